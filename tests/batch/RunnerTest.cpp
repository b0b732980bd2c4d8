// The command-line runner end to end: a mixed folder, the validation exit, parallel workers
// giving the same bytes, and kills at random moments never leaving a cut-short file.
#include "batch/JobSettings.h"
#include "batch/TempBmpLock.h"
#include "image/Picture.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"
#include "tests/batch/RunnerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// JPEG results (quality 90) may differ from the exact composition by this much per channel,
// at most anywhere and on average over the picture.
constexpr int kJpegLargestError = 48;
constexpr double kJpegMeanError = 1.5;

std::map<std::string, std::vector<uint8_t>> Contents(const fs::path& folder)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadFileBytes(entry.path());
    return files;
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A folder of `count` small pictures and a watermark; answers the --set arguments of a
// folder job over them with its output in `output`.
std::vector<std::string> SmallFolderJob(const TempDir& dir, int count, const fs::path& output)
{
    fs::path src = dir / "src";
    fs::create_directories(src);
    for (int i = 0; i < count; ++i)
        WriteBmp24(src / ("p" + std::to_string(i) + ".bmp"), GradientImage(64, 48, i));
    EncodeWithEngine(dir / "mark.png", SoftMark(16, 10), PICTURE_FORMAT_PNG);
    return {"--set", "SrcFileType=0",
            "--set", "SrcFolderSite=" + src.string(),
            "--set", "WaterMarkFileSite=" + (dir / "mark.png").string(),
            "--set", "OutputFolderSite=" + output.string()};
}

}  // namespace

TEST(Runner, MixedFolderGivesExactlyTheExpectedOutputs)
{
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::create_directories(src);
    TestImage bmp = GradientImage(90, 60, 1);
    TestImage png = GradientImage(70, 50, 2);
    png.alpha.assign(static_cast<size_t>(70) * 50, 255);
    for (int x = 0; x < 70; ++x)
        png.alpha[static_cast<size_t>(25) * 70 + x] = static_cast<uint8_t>(x * 3);  // one soft row over white
    TestImage jpg = GradientImage(120, 80, 3);
    TestImage mark = SoftMark(24, 14);
    WriteBmp24(src / "a.bmp", bmp);
    ASSERT_TRUE(EncodeWithEngine(src / "b.png", png, PICTURE_FORMAT_PNG));
    ASSERT_TRUE(EncodeWithEngine(src / "c.jpg", jpg, PICTURE_FORMAT_JPG));
    ASSERT_TRUE(EncodeWithEngine(src / "d.gif", jpg, PICTURE_FORMAT_JPG));  // JPEG data under a .gif name
    WriteFileBytes(src / "notes.txt", {'n', 'o'});
    fs::create_directory(src / "sub.jpg");
    WriteBmp24(src / ".hidden.bmp", bmp);
    ASSERT_TRUE(EncodeWithEngine(dir / "mark.png", mark, PICTURE_FORMAT_PNG));

    JobSettings settings;
    settings.SrcFileType = 0;
    settings.SrcFolderSite = src.string();
    settings.WaterMarkFileSite = (dir / "mark.png").string();
    settings.OutputFolderSite = "output";  // beside the executable
    settings.PosType = 2;
    settings.PosX = 5;
    settings.PosY = 3;
    ASSERT_TRUE(settings.SaveToIni((runner.Folder() / "config.ini").string()));

    std::string printed;
    ASSERT_EQ(runner.Run({"-j", "1"}, printed), 0) << printed;
    EXPECT_NE(printed.find("[1/4] 正在处理图片\na.bmp\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("[4/4] 正在处理图片\nd.gif\n"), std::string::npos) << printed;
    EXPECT_EQ(printed.substr(printed.size() - std::string("处理完毕\n").size()), "处理完毕\n");

    fs::path output = runner.Folder() / "output";
    ASSERT_EQ(Names(output), (std::set<std::string>{"a.bmp", "b.png", "c.jpg", "d.gif"}));
    EXPECT_FALSE(fs::exists(runner.Folder() / "temp.bmp"));

    // Expected pictures from the sources as the engine decodes them, composed by hand.
    TestImage storedMark, storedPng, storedJpg;
    ASSERT_TRUE(DecodeWithEngine(dir / "mark.png", storedMark));
    ASSERT_TRUE(DecodeWithEngine(src / "b.png", storedPng));
    ASSERT_TRUE(DecodeWithEngine(src / "c.jpg", storedJpg));
    EXPECT_EQ(ReadFileBytes(output / "a.bmp"), EncodeBmp24(ExpectedComposite(bmp, storedMark, 2, 5, 3)));

    TestImage result;
    ASSERT_TRUE(DecodeWithEngine(output / "b.png", result));
    EXPECT_TRUE(result.alpha.empty());
    EXPECT_EQ(Compare(result, ExpectedComposite(storedPng, storedMark, 2, 5, 3)).largest, 0);

    TestImage expectedJpg = ExpectedComposite(storedJpg, storedMark, 2, 5, 3);
    for (const char* name : {"c.jpg", "d.gif"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = ReadFileBytes(output / name);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        ASSERT_TRUE(DecodeWithEngine(output / name, result));
        Difference difference = Compare(result, expectedJpg);
        EXPECT_LE(difference.largest, kJpegLargestError);
        EXPECT_LE(difference.mean, kJpegMeanError);
    }

    // Two workers, each through its own in-memory bitmap, write the same bytes.
    ASSERT_EQ(runner.Run({"-j", "2", "--set", "OutputFolderSite=" + (dir / "parallel").string()}, printed), 0)
        << printed;
    EXPECT_EQ(Contents(dir / "parallel"), Contents(output));
}

TEST(Runner, MissingSettingPrintsItsMessageAndExitsWithTwo)
{
    TempDir dir;
    Runner runner(dir);
    std::string printed;
    EXPECT_EQ(runner.Run({}, printed), 2);  // no config.ini: list mode with an empty list
    EXPECT_EQ(printed, "请选择源文件\n");
    EXPECT_EQ(runner.Run({"--set", "SrcFileType=0"}, printed), 2);
    EXPECT_EQ(printed, "请选择源目录\n");
    // --set saved the settings file beside the executable.
    JobSettings saved;
    saved.LoadFromIni((runner.Folder() / "config.ini").string());
    EXPECT_EQ(saved.SrcFileType, 0);
    EXPECT_EQ(runner.Run({"--bogus"}, printed), 2);
    // A value holding a line break would be saved cut at the break: refused, nothing saved.
    EXPECT_EQ(runner.Run({"--set", "SrcFileSite=/a.jpg;\n/b.jpg;"}, printed), 2);
    EXPECT_EQ(printed, "a value cannot hold a line break: SrcFileSite\n");
    saved.LoadFromIni((runner.Folder() / "config.ini").string());
    EXPECT_EQ(saved.SrcFileSite, "");
}

// A runner killed at random moments, many times over, leaves every output and config.ini
// either absent, as before, or complete.
TEST(Runner, KilledRunsNeverLeaveCutShortFiles)
{
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::create_directories(src);
    for (int i = 0; i < 8; ++i) {
        TestImage picture = GradientImage(320, 240, i);
        if (i % 2 == 0)
            WriteBmp24(src / ("p" + std::to_string(i) + ".bmp"), picture);
        else
            ASSERT_TRUE(EncodeWithEngine(src / ("p" + std::to_string(i) + ".jpg"), picture, PICTURE_FORMAT_JPG));
    }
    ASSERT_TRUE(EncodeWithEngine(dir / "mark.png", SoftMark(60, 30), PICTURE_FORMAT_PNG));
    const std::vector<std::string> arguments = {"--set", "SrcFileType=0",
                                                "--set", "SrcFolderSite=" + src.string(),
                                                "--set", "WaterMarkFileSite=" + (dir / "mark.png").string(),
                                                "--set", "SrcFileSite=" + std::string(2000, 'x') + ";",
                                                "-j",    "1"};

    std::string printed;
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(runner.Run(arguments, printed), 0) << printed;
    // Kills fall anywhere in the time a whole run takes (start-up included).
    auto runMicroseconds =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count();
    const auto reference = Contents(runner.Folder() / "output");
    ASSERT_EQ(reference.size(), 8u);
    const std::vector<uint8_t> config = ReadFileBytes(runner.Folder() / "config.ini");
    fs::remove_all(runner.Folder() / "output");

    std::mt19937 random(7);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        fs::remove_all(runner.Folder() / "output");
        pid_t child = runner.Spawn(arguments, dir / "killed.txt");
        usleep(static_cast<useconds_t>(random() % static_cast<uint64_t>(runMicroseconds + 1)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_EQ(ReadFileBytes(runner.Folder() / "config.ini"), config);
        if (!fs::exists(runner.Folder() / "output"))
            continue;
        for (const auto& [name, bytes] : Contents(runner.Folder() / "output")) {
            if (name.front() == '.')
                continue;  // a hidden sibling being written when the kill came
            ASSERT_TRUE(reference.count(name)) << name;
            ASSERT_EQ(bytes, reference.at(name)) << name;
        }
    }
}

// A reader that goes away (as `| head -1` does) costs the status lines, never the pictures.
TEST(Runner, ClosedStandardOutputNeverStopsTheBatch)
{
    TempDir dir;
    Runner runner(dir);
    std::vector<std::string> arguments = SmallFolderJob(dir, 6, dir / "out");
    for (const char* workers : {"1", "2"}) {
        SCOPED_TRACE(workers);
        fs::remove_all(dir / "out");
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        close(ends[0]);  // nobody reads: the first status line meets a closed pipe
        std::vector<std::string> all = arguments;
        all.insert(all.end(), {"-j", workers});
        std::string printed;
        int status = runner.Run(all, printed, ends[1]);
        close(ends[1]);
        EXPECT_EQ(status, 0) << printed;
        ASSERT_TRUE(fs::exists(dir / "out"));
        std::set<std::string> expected;
        for (int i = 0; i < 6; ++i)
            expected.insert("p" + std::to_string(i) + ".bmp");
        EXPECT_EQ(Names(dir / "out"), expected);  // all written, no partial file left
    }
}

// A settings file that is a folder or a FIFO gives a clear message and status 2, at once.
TEST(Runner, SettingsFileThatIsNoRegularFileIsRefused)
{
    TempDir dir;
    Runner runner(dir);
    fs::create_directory(dir / "folder.ini");
    ASSERT_EQ(mkfifo((dir / "fifo.ini").c_str(), 0644), 0);
    for (const char* name : {"folder.ini", "fifo.ini"}) {
        SCOPED_TRACE(name);
        for (bool withSet : {false, true}) {
            std::vector<std::string> arguments = {"--config", (dir / name).string()};
            if (withSet)
                arguments.insert(arguments.end(), {"--set", "PosX=3"});
            std::string printed;
            EXPECT_EQ(runner.Run(arguments, printed), 2) << printed;
            EXPECT_EQ(printed, "not a settings file: " + (dir / name).string() + "\n");
        }
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.ini"));
}

// Two runs of one executable share its temp.bmp: while one runs, a second one says so and
// exits with status 2, writing nothing; the first one's pictures are its own.
TEST(Runner, SecondRunWhileTempBmpIsInUseExitsWithTwo)
{
    TempDir dir;
    Runner runner(dir);
    // Pictures large enough that the first run is still at its first files when it is held.
    fs::create_directories(dir / "src");
    for (int i = 0; i < 6; ++i)
        WriteBmp24(dir / "src" / ("p" + std::to_string(i) + ".bmp"), GradientImage(1200, 900, i));
    std::vector<std::string> first = SmallFolderJob(dir, 0, dir / "first");
    first.insert(first.end(), {"-j", "1", "--config", (dir / "a.ini").string()});
    std::vector<std::string> second = {"--config", (dir / "b.ini").string(),
                                       "-j",       "1",
                                       "--set",    "SrcFileType=0",
                                       "--set",    "SrcFolderSite=" + (dir / "src").string(),
                                       "--set",    "WaterMarkFileSite=" + (dir / "mark.png").string(),
                                       "--set",    "OutputFolderSite=" + (dir / "second").string(),
                                       "--set",    "PosType=3"};

    // The first run is held still after its first status line, with the lock taken.
    pid_t running = runner.Spawn(first, dir / "first.txt");
    bool started = false;
    for (int waited = 0; waited < 6000 && !started; ++waited) {
        std::vector<uint8_t> printed = ReadFileBytes(dir / "first.txt");
        started = std::string(printed.begin(), printed.end()).find("[1/6]") != std::string::npos;
        if (!started)
            usleep(1000);
    }
    ASSERT_TRUE(started);
    kill(running, SIGSTOP);
    std::vector<uint8_t> sofar = ReadFileBytes(dir / "first.txt");
    ASSERT_EQ(std::string(sofar.begin(), sofar.end()).find("[6/6]"), std::string::npos) << "held too late";
    std::string printed;
    EXPECT_EQ(runner.Run(second, printed), 2) << printed;
    EXPECT_EQ(printed, std::string(kTempBmpBusy) + "\n");
    EXPECT_FALSE(fs::exists(dir / "second"));
    kill(running, SIGCONT);
    int status = 0;
    waitpid(running, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Once the first run is over the second one runs; each output holds its own job's mark.
    ASSERT_EQ(runner.Run(second, printed), 0) << printed;
    TestImage storedMark;
    ASSERT_TRUE(DecodeWithEngine(dir / "mark.png", storedMark));
    for (int i = 0; i < 6; ++i) {
        std::string name = "p" + std::to_string(i) + ".bmp";
        SCOPED_TRACE(name);
        TestImage source = GradientImage(1200, 900, i);
        EXPECT_EQ(ReadFileBytes(dir / "first" / name), EncodeBmp24(ExpectedComposite(source, storedMark, 0, 20, 20)));
        EXPECT_EQ(ReadFileBytes(dir / "second" / name), EncodeBmp24(ExpectedComposite(source, storedMark, 3, 20, 20)));
    }
}
