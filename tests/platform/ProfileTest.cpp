// Initialisation files: lookups, in-place writes, and replacement in one step.
#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#include "tests/TestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

std::string ReadText(const std::filesystem::path& path)
{
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string Get(const std::string& path, const char* section, const char* key, const char* defaultValue,
                unsigned size = 5000)
{
    std::vector<char> buffer(size);
    GetPrivateProfileStringA(section, key, defaultValue, buffer.data(), size, path.c_str());
    return buffer.data();
}

}  // namespace

TEST(Profile, LooksUpSectionsAndKeysIgnoringCaseAndFallsBackToTheDefault)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    std::string text =
        "; comment\r\n[Other]\r\nPosX=1\r\n[COMMON]\r\n  posx = 15 \r\nName=a=b\r\n[common]\r\nPosX=99\r\n";
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"common", "PosX", "15"},          // first matching section, blanks trimmed
        {"Common", "NAME", "a=b"},         // value runs to the line end
        {"common", "Missing", "default"},  // missing key
        {"absent", "PosX", "default"},     // missing section
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(Get(path, c.section, c.key, "default"), c.expected);
    }
    EXPECT_EQ(Get((dir / "absent.ini").string(), "common", "PosX", "20"), "20");
}

TEST(Profile, WriteReplacesInPlaceAndKeepsEveryOtherLine)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    std::string text = "[common]\r\n; keep me\r\nPosY=1\r\nposx=2\r\n\r\n[other]\r\nPosX=3\r\n";
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));

    ASSERT_TRUE(WritePrivateProfileStringA("Common", "PosX", "-15", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("common", "NewKey", "新值", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("third", "A", "", path.c_str()));

    EXPECT_EQ(ReadText(path), "[common]\r\n; keep me\r\nPosY=1\r\nposx=-15\r\nNewKey=新值\r\n\r\n[other]\r\nPosX=3\r\n"
                              "[third]\r\nA=\r\n");
}

TEST(Profile, WriteCreatesTheFile)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    ASSERT_TRUE(WritePrivateProfileStringA("common", "PosX", "20", path.c_str()));
    EXPECT_EQ(ReadText(path), "[common]\nPosX=20\n");
    // A folder that does not exist: the write fails and creates nothing.
    EXPECT_FALSE(WritePrivateProfileStringA("common", "PosX", "20", (dir / "no/config.ini").string().c_str()));
}

TEST(Profile, ReadsAreCutToTheBufferWithoutSplittingACharacter)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    std::string longValue(6000, 'x');
    ASSERT_TRUE(WritePrivateProfileStringA("common", "Long", longValue.c_str(), path.c_str()));
    EXPECT_EQ(Get(path, "common", "Long", ""), std::string(4999, 'x'));

    // "一" is three bytes: a 6-byte buffer holds five bytes, so only one character fits.
    ASSERT_TRUE(WritePrivateProfileStringA("common", "Wide", "一二三", path.c_str()));
    EXPECT_EQ(Get(path, "common", "Wide", "", 6), "一");
}

TEST(AtomicFile, ReplacesTheTargetKeepingItsModeAndLeavesNothingElse)
{
    TempDir dir;
    std::string path = (dir / "out.jpg").string();
    WriteFileBytes(path, {1, 2, 3});
    chmod(path.c_str(), 0640);

    std::string content = "new content";
    ASSERT_TRUE(WriteFileAtomically(path, content.data(), content.size()));
    EXPECT_EQ(ReadText(path), content);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    {
        SiblingFile abandoned(path);
        ASSERT_TRUE(abandoned.IsValid());
        FILE* file = fopen(abandoned.Path().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fputs("half", file);
        fclose(file);
    }  // not committed: the target stays as it was
    EXPECT_EQ(ReadText(path), content);
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}
