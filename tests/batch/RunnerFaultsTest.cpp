// The command-line runner under faults: special files never waited on, an unusable
// watermark writing nothing, the reason for every picture without output and exit status 3,
// long names, partial files of killed runs, and the memory budget of parallel workers.
#include "batch/JobSettings.h"
#include "image/Picture.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"
#include "tests/batch/RunnerProcess.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::vector<uint8_t>> Contents(const fs::path& folder)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? ReadFileBytes(entry.path()) : std::vector<uint8_t>{};
    return files;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A job over the list `files` (folder mode when `folder` is given) saved beside the runner.
void SaveJob(const Runner& runner, const std::string& list, const fs::path& mark, const fs::path& output,
             const fs::path& folder = {})
{
    JobSettings settings;
    settings.SrcFileType = folder.empty() ? 1 : 0;
    settings.SrcFileSite = list;
    settings.SrcFolderSite = folder.string();
    settings.WaterMarkFileSite = mark.string();
    settings.OutputFolderSite = output.string();
    settings.PosType = 3;
    settings.PosX = 1;
    settings.PosY = 1;
    ASSERT_TRUE(settings.SaveToIni((runner.Folder() / "config.ini").string()));
}

// A process id that is certainly not running any more.
pid_t GonePid()
{
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

// Named pipes as a source, at an output's name, as temp.bmp and as the watermark: each is
// passed over at once (a hang would be killed after a minute and fail the test).
TEST(RunnerFaults, SpecialFilesArePassedOverNeverWaitedOn)
{
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::path out = dir / "out";
    fs::create_directories(src);
    fs::create_directories(out);
    WriteBmp24(src / "a.bmp", GradientImage(40, 30, 1));
    WriteBmp24(src / "c.bmp", GradientImage(30, 20, 2));
    ASSERT_EQ(mkfifo((src / "pipe.jpg").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((out / "c.bmp").c_str(), 0600), 0);
    WriteBmp24(dir / "mark.bmp", SolidImage(4, 4, 0, 0, 255));

    for (const char* workers : {"1", "2"}) {
        SCOPED_TRACE(workers);
        SaveJob(runner, "", dir / "mark.bmp", out, src);
        fs::remove(out / "a.bmp");
        Runner::Result result = runner.RunApart({"-j", workers});
        ASSERT_NE(result.status, -2) << "the run hung";
        EXPECT_EQ(result.status, 3) << result.out << result.err;
        EXPECT_TRUE(fs::is_regular_file(out / "a.bmp"));
        EXPECT_TRUE(fs::is_fifo(out / "c.bmp"));
        std::string pipe = (src / "pipe.jpg").string();
        EXPECT_TRUE(Contains(result.err, "no output for " + pipe + ": cannot read " + pipe + ": not a regular file"))
            << result.err;
        EXPECT_TRUE(Contains(result.err, "no output for " + (src / "c.bmp").string() + ": cannot write " +
                                             (out / "c.bmp").string() + ": not a regular file"))
            << result.err;
        EXPECT_TRUE(Contains(result.out, "1 written to ")) << result.out;
        EXPECT_TRUE(Contains(result.out, "2 without output\n处理完毕\n")) << result.out;
    }

    // temp.bmp a pipe: no picture goes through it, and the pipe stays.
    fs::path tempBmp = runner.Folder() / "temp.bmp";
    ASSERT_EQ(mkfifo(tempBmp.c_str(), 0600), 0);
    SaveJob(runner, (src / "a.bmp").string() + ";", dir / "mark.bmp", dir / "out2");
    Runner::Result result = runner.RunApart({"-j", "1"});
    ASSERT_NE(result.status, -2) << "the run hung";
    EXPECT_EQ(result.status, 3) << result.out << result.err;
    EXPECT_TRUE(Contains(result.err, "temp.bmp cannot be written: not a regular file")) << result.err;
    EXPECT_TRUE(fs::is_fifo(tempBmp));
    fs::remove(tempBmp);

    // The watermark a pipe: nothing is written.
    ASSERT_EQ(mkfifo((dir / "mark.png").c_str(), 0600), 0);
    SaveJob(runner, (src / "a.bmp").string() + ";", dir / "mark.png", dir / "out3");
    result = runner.RunApart({"-j", "1"});
    ASSERT_NE(result.status, -2) << "the run hung";
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "请选择水印文件\n");
    EXPECT_FALSE(fs::exists(dir / "out3" / "a.bmp"));
}

// A watermark that does not load never gives unmarked copies: with the output folder equal
// to the source folder the originals stay byte for byte, and the run ends as a missing
// watermark does.
TEST(RunnerFaults, UnusableWatermarkWritesNothing)
{
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::create_directories(src);
    ASSERT_TRUE(EncodeWithEngine(src / "a.jpg", GradientImage(48, 32, 3), PICTURE_FORMAT_JPG));
    WriteBmp24(src / "b.bmp", GradientImage(20, 10, 4));
    const auto originals = Contents(src);

    ASSERT_TRUE(EncodeWithEngine(dir / "real.png", SoftMark(12, 8), PICTURE_FORMAT_PNG));
    std::vector<uint8_t> png = ReadFileBytes(dir / "real.png");
    fs::path marks = dir / "marks";
    fs::create_directories(marks);
    WriteFileBytes(marks / "text.png", {'h', 'e', 'l', 'l', 'o'});
    WriteFileBytes(marks / "truncated.png", std::vector<uint8_t>(png.begin(), png.begin() + 40));
    WriteFileBytes(marks / "empty.png", {});
    fs::create_symlink("/dev/zero", marks / "zero.jpg");
    WriteFileBytes(marks / "mark.webp", png);  // a picture, but not by its name
    fs::create_directories(marks / "folder.png");

    for (const char* name : {"text.png", "truncated.png", "empty.png", "zero.jpg", "mark.webp", "folder.png"}) {
        SCOPED_TRACE(name);
        SaveJob(runner, "", marks / name, src, src);
        Runner::Result result = runner.RunApart({"-j", "1"});
        ASSERT_NE(result.status, -2) << "the run hung";
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "请选择水印文件\n");
        EXPECT_TRUE(Contains(result.err, "unusable watermark " + (marks / name).string() + ": ")) << result.err;
        EXPECT_EQ(Contents(src), originals);
        EXPECT_FALSE(fs::exists(runner.Folder() / "temp.bmp"));
    }
}

// Every picture without output is named on standard error with its reason, and the run
// exits with 3; the pictures that could be written are.
TEST(RunnerFaults, EachPictureWithoutOutputIsReportedAndTheStatusIsThree)
{
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::create_directories(src);
    WriteBmp24(src / "ok.bmp", GradientImage(200, 200, 5));  // a 120 kB bitmap result
    WriteBlankPng(src / "big.png", 20000, 20000);            // valid, beyond the canvas limit
    WriteBmp24(dir / "mark.bmp", SolidImage(4, 4, 0, 0, 255));
    const std::string ok = (src / "ok.bmp").string();
    const std::string big = (src / "big.png").string();
    const std::string list = ok + ";" + big + ";";
    fs::path tempBmp = runner.Folder() / "temp.bmp";

    WriteFileBytes(dir / "a-file", {'x'});
    fs::path readOnly = dir / "read-only";
    fs::create_directories(readOnly);
    WriteFileBytes(readOnly / "ok.bmp", {'o', 'l', 'd'});
    chmod((readOnly / "ok.bmp").c_str(), 0444);

    struct Case {
        const char* what;
        fs::path output;
        std::vector<std::string> arguments;
        long fileSizeLimit;
        bool tempBmpFolder;
        std::string okReason;  // why ok.bmp gets no output; empty: it is written
    };
    const Case cases[] = {
        {"output folder is a file",
         dir / "a-file",
         {"-j", "1"},
         0,
         false,
         "cannot write " + (dir / "a-file" / "ok.bmp").string() + ": Not a directory"},
        {"read-only output file",
         readOnly,
         {"-j", "1"},
         0,
         false,
         "cannot write " + (readOnly / "ok.bmp").string() + ": the file is not writable"},
        {"output beyond the file size limit",
         dir / "limited",
         {"-j", "2"},
         100000,
         false,
         "cannot write " + (dir / "limited" / "ok.bmp").string() + ": File too large"},
        {"temp.bmp beyond the file size limit",
         dir / "limited1",
         {"-j", "1"},
         100000,
         false,
         "temp.bmp cannot be written: File too large"},
        {"temp.bmp a folder", dir / "tempfolder", {"-j", "1"}, 0, true, "temp.bmp cannot be written: Is a directory"},
        {"everything else fine", dir / "fine", {"-j", "1"}, 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.tempBmpFolder)
            fs::create_directories(tempBmp);
        SaveJob(runner, list, dir / "mark.bmp", c.output);
        Runner::Result result = runner.RunApart(c.arguments, 120, c.fileSizeLimit);
        fs::remove_all(tempBmp);
        ASSERT_NE(result.status, -2) << "the run hung";
        EXPECT_EQ(result.status, 3) << result.out << result.err;
        EXPECT_TRUE(
            Contains(result.err, "no output for " + big + ": picture too large: 400 megapixels, the limit is 268\n"))
            << result.err;
        if (c.okReason.empty()) {
            EXPECT_TRUE(fs::is_regular_file(c.output / "ok.bmp"));
            EXPECT_TRUE(Contains(result.out, "1 written to " + c.output.string() + "\n1 without output\n"))
                << result.out;
        } else {
            EXPECT_TRUE(Contains(result.err, "no output for " + ok + ": " + c.okReason + "\n")) << result.err;
            EXPECT_TRUE(Contains(result.out, "0 written to " + c.output.string() + "\n2 without output\n"))
                << result.out;
        }
    }
    // The read-only picture was left as it was.
    EXPECT_EQ(ReadFileBytes(readOnly / "ok.bmp"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// A source name of 255 bytes, the file-system limit, still gets its output; partial files
// that killed runs left in the output folder are removed, those of a live writer are not.
TEST(RunnerFaults, LongNamesAreWrittenAndPartialFilesOfGoneWritersRemoved)
{
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::path out = dir / "out";
    fs::create_directories(src);
    fs::create_directories(out);
    const std::string longName = std::string(251, 'n') + ".bmp";
    WriteBmp24(src / longName, GradientImage(16, 16, 6));
    WriteBmp24(dir / "mark.bmp", SolidImage(2, 2, 0, 0, 255));

    const std::string stale = ".tessmark-" + std::to_string(GonePid()) + "-0123456789ab.part";
    const std::string live = ".tessmark-" + std::to_string(getpid()) + "-0123456789ab.part";
    for (const std::string& name : {stale, live, std::string(".notes.part"), std::string("keep.jpg")})
        WriteFileBytes(out / name, {'p', 'a', 'r', 't'});

    for (const char* workers : {"1", "2"}) {
        SCOPED_TRACE(workers);
        SaveJob(runner, (src / longName).string() + ";", dir / "mark.bmp", out);
        Runner::Result result = runner.RunApart({"-j", workers});
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_TRUE(fs::is_regular_file(out / longName));
        EXPECT_FALSE(fs::exists(out / stale));
        EXPECT_TRUE(fs::exists(out / live));
        EXPECT_TRUE(fs::exists(out / ".notes.part"));
        EXPECT_TRUE(fs::exists(out / "keep.jpg"));
        fs::remove(out / longName);
    }
}

// Parallel workers over large pictures stay within the memory budget: each 4000 x 4000
// picture is estimated at about 240 MB, so with a budget of 300 MiB they are composed one
// at a time. The peak is the runner's own VmHWM.
// A sanitizer's shadow memory and quarantine count toward the peak, so the figure means
// something only in a plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

TEST(RunnerFaults, ParallelWorkersStayWithinTheMemoryBudget)
{
    if (kSanitizedBuild)
        GTEST_SKIP() << "peak memory is not meaningful under a sanitizer";
    TempDir dir;
    Runner runner(dir);
    fs::path src = dir / "src";
    fs::create_directories(src);
    WriteBlankPng(src / "p0.png", 4000, 4000);
    for (int i = 1; i < 4; ++i)
        fs::copy_file(src / "p0.png", src / ("p" + std::to_string(i) + ".png"));
    WriteBmp24(dir / "mark.bmp", SolidImage(8, 8, 0, 0, 255));
    SaveJob(runner, "", dir / "mark.bmp", dir / "out", src);

    constexpr uint64_t kBudgetMiB = 300;
    Runner::Result result =
        runner.RunApart({"-j", "2", "--memory-budget", std::to_string(kBudgetMiB), "--peak-memory"}, 300);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(Contents(dir / "out").size(), 4u);
    uint64_t peakKiB = 0;
    size_t at = result.err.find("peak memory: ");
    ASSERT_NE(at, std::string::npos) << result.err;
    ASSERT_EQ(sscanf(result.err.c_str() + at, "peak memory: %" SCNu64 " kB", &peakKiB), 1) << result.err;
    RecordProperty("peak_kib", std::to_string(peakKiB));
    printf("peak of -j 2 over four 4000 x 4000 pictures with a %" PRIu64 " MiB budget: %" PRIu64 " MiB\n", kBudgetMiB,
           peakKiB / 1024);
    EXPECT_LE(peakKiB, kBudgetMiB * 1024);
}
