// Initialisation files: lookups, in-place writes, and replacement in one step.
#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#include "tests/TestData.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

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

// One field of /proc/self/status in bytes (VmRSS, VmHWM).
uint64_t StatusBytes(const char* field)
{
    FILE* status = fopen("/proc/self/status", "r");
    if (status == nullptr)
        return 0;
    char line[256];
    uint64_t kib = 0;
    size_t length = strlen(field);
    while (fgets(line, sizeof line, status) != nullptr) {
        if (strncmp(line, field, length) == 0 && line[length] == ':') {
            sscanf(line + length + 1, "%" SCNu64, &kib);
            break;
        }
    }
    fclose(status);
    return kib * 1024;
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

// Ten megabytes of blank lines cost a small multiple of their size, not a structure per line.
// Measured in a child process of its own.
TEST(Profile, ReaderMemoryStaysNearTheFileSize)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    constexpr size_t kBlankBytes = 10u << 20;
    std::string text = std::string(kBlankBytes, '\n') + "[common]\nPosX=7\n";
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    text = std::string();

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The peak is reset to the current size first ("5" clears it).
        FILE* clear = fopen("/proc/self/clear_refs", "w");
        if (clear == nullptr || fputs("5", clear) < 0 || fclose(clear) != 0)
            _exit(2);
        uint64_t before = StatusBytes("VmRSS");
        ProfileFile profile;
        profile.Load(path);
        std::string value;
        bool found = profile.Get("common", "PosX", value) && value == "7";
        profile.Set("common", "PosY", "8");
        uint64_t used = StatusBytes("VmHWM") - before;
        fprintf(stderr, "profile of %zu bytes: peak grew by %" PRIu64 " bytes\n", kBlankBytes, used);
        _exit(found && used <= 4 * kBlankBytes ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "the peak memory of a process cannot be reset here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A pipe, a folder or a device at the file's name reads as an empty profile at once.
TEST(Profile, SpecialFilesReadAsEmptyWithoutWaiting)
{
    TempDir dir;
    std::string fifo = (dir / "fifo.ini").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, dir.Path().string(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Get(path, "common", "PosX", "20"), "20");
    }
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
