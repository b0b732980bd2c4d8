// The job record in config.ini: defaults, conversions, key order and whole-file replacement.
#include "batch/JobSettings.h"
#include "tests/TestData.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadText(const std::filesystem::path& path)
{
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

JobSettings Sample()
{
    JobSettings settings;
    settings.SrcFileType = 1;
    settings.SrcFileSite = "/pics/a.jpg;/pics/照片.png;";
    settings.SrcFolderSite = "";
    settings.WaterMarkFileSite = "/logo.png";
    settings.OutputFolderSite = "output";
    settings.PosType = 3;
    settings.PosX = -15;
    settings.PosY = 20;
    return settings;
}

}  // namespace

TEST(JobSettings, MissingFileGivesTheDefaults)
{
    TempDir dir;
    JobSettings settings = Sample();
    settings.LoadFromIni((dir / "config.ini").string());
    EXPECT_EQ(settings.SrcFileType, 1);
    EXPECT_EQ(settings.SrcFolderSite, "");
    EXPECT_EQ(settings.SrcFileSite, "");
    EXPECT_EQ(settings.WaterMarkFileSite, "");
    EXPECT_EQ(settings.OutputFolderSite, "output");
    EXPECT_EQ(settings.PosType, 0);
    EXPECT_EQ(settings.PosX, 20);
    EXPECT_EQ(settings.PosY, 20);
}

TEST(JobSettings, FreshFileHasAllKeysInOrderAndRoundTrips)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    ASSERT_TRUE(Sample().SaveToIni(path));
    EXPECT_EQ(ReadText(path), "[common]\n"
                              "SrcFileType=1\n"
                              "SrcFileSite=/pics/a.jpg;/pics/照片.png;\n"
                              "SrcFolderSite=\n"
                              "WaterMarkFileSite=/logo.png\n"
                              "OutputFolderSite=output\n"
                              "PosType=3\n"
                              "PosX=-15\n"
                              "PosY=20\n");
    JobSettings loaded;
    loaded.LoadFromIni(path);
    JobSettings expected = Sample();
    EXPECT_EQ(loaded.SrcFileType, expected.SrcFileType);
    EXPECT_EQ(loaded.SrcFileSite, expected.SrcFileSite);
    EXPECT_EQ(loaded.SrcFolderSite, expected.SrcFolderSite);
    EXPECT_EQ(loaded.WaterMarkFileSite, expected.WaterMarkFileSite);
    EXPECT_EQ(loaded.OutputFolderSite, expected.OutputFolderSite);
    EXPECT_EQ(loaded.PosType, expected.PosType);
    EXPECT_EQ(loaded.PosX, expected.PosX);
    EXPECT_EQ(loaded.PosY, expected.PosY);
}

TEST(JobSettings, ExistingFileKeepsItsOrderAndOtherLines)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    WriteText(path, "[other]\nx=1\n[Common]\nposy=1\nPOSX=2\n");
    ASSERT_TRUE(Sample().SaveToIni(path));
    EXPECT_EQ(ReadText(path), "[other]\nx=1\n[Common]\nposy=20\nPOSX=-15\n"
                              "SrcFileType=1\nSrcFileSite=/pics/a.jpg;/pics/照片.png;\nSrcFolderSite=\n"
                              "WaterMarkFileSite=/logo.png\nOutputFolderSite=output\nPosType=3\n");
}

TEST(JobSettings, NumbersConvertLikeAtoi)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    WriteText(path, "[common]\nSrcFileType=5\nPosType= 7x\nPosX=abc\nPosY=-2147483648\n");
    JobSettings settings;
    settings.LoadFromIni(path);
    EXPECT_EQ(settings.SrcFileType, 5);
    EXPECT_EQ(settings.PosType, 7);
    EXPECT_EQ(settings.PosX, 0);
    EXPECT_EQ(settings.PosY, -2147483648);

    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {{"", 0},
                          {"  -15", -15},
                          {"+8", 8},
                          {"12abc", 12},
                          {"- 3", 0},
                          {"99999999999", 2147483647},
                          {"-99999999999", -2147483647 - 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IniToInt(c.text), c.value);
    }
}

// A list the program saved itself comes back whole however long it is; only a value beyond
// 1 MiB is refused, and the key's default applies.
TEST(JobSettings, ValuesAreReadWholeUpToOneMebibyte)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    JobSettings saved = Sample();
    saved.SrcFileSite.clear();
    for (int i = 0; i < 5000; ++i)
        saved.SrcFileSite += "/pictures/holiday/photo-" + std::to_string(i) + ".jpg;";
    ASSERT_TRUE(saved.SaveToIni(path));
    JobSettings loaded;
    loaded.LoadFromIni(path);
    EXPECT_EQ(loaded.SrcFileSite, saved.SrcFileSite);

    const std::string limit(kIniValueLimit, 'x');
    WriteText(path,
              "[common]\nSrcFolderSite=" + limit + "\nOutputFolderSite=" + limit + "y\nSrcFileSite=" + limit + "yy\n");
    loaded.LoadFromIni(path);
    EXPECT_EQ(loaded.SrcFolderSite, limit);
    EXPECT_EQ(loaded.OutputFolderSite, "output");
    EXPECT_EQ(loaded.SrcFileSite, "");
}

// Files written by other editors: a byte-order mark before the first section, quoted values.
TEST(JobSettings, ByteOrderMarkAndEnclosingQuotesAreReadAsTheWindowsCallReadsThem)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    WriteText(path, "\xEF\xBB\xBF[common]\r\nSrcFileType=0\r\nSrcFolderSite=\"/照片/in\"\r\n"
                    "WaterMarkFileSite='/logo.png'\r\nOutputFolderSite=\"out'\r\nSrcFileSite=\"\"\r\n");
    JobSettings loaded;
    loaded.LoadFromIni(path);
    EXPECT_EQ(loaded.SrcFileType, 0);
    EXPECT_EQ(loaded.SrcFolderSite, "/照片/in");
    EXPECT_EQ(loaded.WaterMarkFileSite, "/logo.png");
    EXPECT_EQ(loaded.OutputFolderSite, "\"out'");  // quotes that do not match stay
    EXPECT_EQ(loaded.SrcFileSite, "");

    // Saving keeps the mark and the file's own line endings.
    ASSERT_TRUE(loaded.SaveToIni(path));
    std::string text = ReadText(path);
    EXPECT_EQ(text.substr(0, 13), "\xEF\xBB\xBF[common]\r\n");
    EXPECT_NE(text.find("\r\nWaterMarkFileSite=/logo.png\r\n"), std::string::npos) << text;
}

// Saving through a config.ini that is a symbolic link changes the file it leads to and keeps
// the link.
TEST(JobSettings, SaveWritesThroughASymbolicLink)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "real");
    std::string target = (dir / "real" / "job.ini").string();
    WriteText(target, "[common]\nPosX=1\n");
    std::filesystem::create_symlink("real/job.ini", dir / "relative.ini");
    std::filesystem::create_symlink(dir / "relative.ini", dir / "config.ini");  // a chain of two

    JobSettings settings = Sample();
    ASSERT_TRUE(settings.SaveToIni((dir / "config.ini").string()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "config.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "relative.ini"));
    JobSettings loaded;
    loaded.LoadFromIni(target);
    EXPECT_EQ(loaded.PosX, -15);
    EXPECT_EQ(loaded.WaterMarkFileSite, "/logo.png");

    // A link to a file not made yet creates that file.
    std::filesystem::create_symlink("real/new.ini", dir / "dangling.ini");
    ASSERT_TRUE(settings.SaveToIni((dir / "dangling.ini").string()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.ini"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "real" / "new.ini"));
}

// A process killed at any moment while saving leaves config.ini either as it was or as the
// new record, never cut short.
TEST(JobSettings, KilledWriterNeverLeavesAHalfWrittenFile)
{
    TempDir dir;
    std::string path = (dir / "config.ini").string();
    JobSettings first = Sample();
    JobSettings second = Sample();
    second.SrcFileSite = std::string(3000, 'z') + ";";
    second.PosX = 123;
    ASSERT_TRUE(first.SaveToIni(path));
    const std::string firstText = ReadText(path);
    ASSERT_TRUE(second.SaveToIni(path));
    const std::string secondText = ReadText(path);

    std::mt19937 random(42);
    for (int round = 0; round < 40; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                (i % 2 ? first : second).SaveToIni(path);
        }
        usleep(200 + random() % 3000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string text = ReadText(path);
        ASSERT_TRUE(text == firstText || text == secondText) << "round " << round << ": " << text.size() << " bytes";
    }
    // A kill between naming the new file and renaming it can leave a hidden sibling; nothing
    // visible is ever left behind.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "config.ini" || name.rfind(".tessmark-", 0) == 0) << name;
    }
}
