// The command-line runner where names collide: an output that is the watermark file itself,
// several sources mapping to one output name, and a temp.bmp that is a link to another file.
#include "batch/JobSettings.h"
#include "image/Picture.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"
#include "tests/batch/RunnerProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kCorner = 3;
constexpr int kMargin = 2;

std::map<std::string, std::vector<uint8_t>> Contents(const fs::path& folder)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadFileBytes(entry.path());
    return files;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

void SaveJob(const Runner& runner, int srcFileType, const std::string& sources, const fs::path& mark,
             const fs::path& output)
{
    JobSettings settings;
    settings.SrcFileType = srcFileType;
    (srcFileType == 0 ? settings.SrcFolderSite : settings.SrcFileSite) = sources;
    settings.WaterMarkFileSite = mark.string();
    settings.OutputFolderSite = output.string();
    settings.PosType = kCorner;
    settings.PosX = kMargin;
    settings.PosY = kMargin;
    ASSERT_TRUE(settings.SaveToIni((runner.Folder() / "config.ini").string()));
}

std::vector<uint8_t> Expected(const TestImage& source, const TestImage& mark)
{
    return EncodeBmp24(ExpectedComposite(source, mark, kCorner, kMargin, kMargin));
}

}  // namespace

// An output that would replace the watermark file, by its own name or as the same file
// through a link, is passed over and reported; the mark keeps its bytes (alpha included) and
// every other picture gets the mark as it was before the first file, with -j 1 as with -j 2.
TEST(RunnerCollisions, OutputThatIsTheWatermarkFileIsPassedOver)
{
    const TestImage first = GradientImage(40, 30, 1);
    const TestImage last = GradientImage(36, 28, 2);
    const TestImage markImage = SoftMark(12, 8);

    struct Case {
        const char* what;
        // Builds the job in `dir`, whose source src/mark.png maps to the output `clash`, the
        // watermark file `mark` itself; answers both paths.
        std::function<void(const TempDir& dir, const Runner& runner, fs::path& mark, fs::path& clash)> make;
    };
    const Case cases[] = {
        {"output folder is the source folder holding the mark",
         [&](const TempDir& dir, const Runner& runner, fs::path& mark, fs::path& clash) {
             fs::path src = dir / "src";
             fs::create_directories(src);
             WriteBmp24(src / "a.bmp", first);
             ASSERT_TRUE(EncodeWithEngine(src / "mark.png", markImage, PICTURE_FORMAT_PNG));
             WriteBmp24(src / "z.bmp", last);
             mark = src / "mark.png";
             clash = mark;
             SaveJob(runner, 0, src.string(), mark, src);
         }},
        {"output folder is a symbolic link to the mark's folder",
         [&](const TempDir& dir, const Runner& runner, fs::path& mark, fs::path& clash) {
             fs::create_directories(dir / "src");
             fs::create_directories(dir / "marks");
             WriteBmp24(dir / "src" / "a.bmp", first);
             ASSERT_TRUE(EncodeWithEngine(dir / "src" / "mark.png", GradientImage(20, 20, 3), PICTURE_FORMAT_PNG));
             WriteBmp24(dir / "src" / "z.bmp", last);
             ASSERT_TRUE(EncodeWithEngine(dir / "marks" / "mark.png", markImage, PICTURE_FORMAT_PNG));
             fs::create_directory_symlink(dir / "marks", dir / "out");
             mark = dir / "marks" / "mark.png";
             clash = dir / "out" / "mark.png";
             SaveJob(runner, 0, (dir / "src").string(), mark, dir / "out");
         }},
        {"the output is a symbolic link to the mark",
         [&](const TempDir& dir, const Runner& runner, fs::path& mark, fs::path& clash) {
             fs::create_directories(dir / "src");
             fs::create_directories(dir / "out");
             WriteBmp24(dir / "src" / "a.bmp", first);
             ASSERT_TRUE(EncodeWithEngine(dir / "src" / "mark.png", GradientImage(20, 20, 3), PICTURE_FORMAT_PNG));
             WriteBmp24(dir / "src" / "z.bmp", last);
             ASSERT_TRUE(EncodeWithEngine(dir / "real.png", markImage, PICTURE_FORMAT_PNG));
             fs::create_symlink(dir / "real.png", dir / "out" / "mark.png");
             mark = dir / "real.png";
             clash = dir / "out" / "mark.png";
             std::string list;
             for (const char* name : {"a.bmp", "mark.png", "z.bmp"})
                 list += (dir / "src" / name).string() + ";";
             SaveJob(runner, 1, list, mark, dir / "out");
         }},
        {"the output is a hard link to the mark",
         [&](const TempDir& dir, const Runner& runner, fs::path& mark, fs::path& clash) {
             fs::create_directories(dir / "src");
             fs::create_directories(dir / "out");
             WriteBmp24(dir / "src" / "a.bmp", first);
             ASSERT_TRUE(EncodeWithEngine(dir / "src" / "mark.png", GradientImage(20, 20, 3), PICTURE_FORMAT_PNG));
             WriteBmp24(dir / "src" / "z.bmp", last);
             ASSERT_TRUE(EncodeWithEngine(dir / "real.png", markImage, PICTURE_FORMAT_PNG));
             fs::create_hard_link(dir / "real.png", dir / "out" / "mark.png");
             mark = dir / "real.png";
             clash = dir / "out" / "mark.png";
             SaveJob(runner, 0, (dir / "src").string(), mark, dir / "out");
         }},
    };

    for (const Case& c : cases) {
        std::map<std::string, std::vector<uint8_t>> outputs[2];
        for (int pass = 0; pass < 2; ++pass) {
            const char* workers = pass == 0 ? "1" : "2";
            SCOPED_TRACE(std::string(c.what) + ", -j " + workers);
            TempDir dir;
            Runner runner(dir);
            fs::path mark, clash;
            c.make(dir, runner, mark, clash);
            const std::vector<uint8_t> markBytes = ReadFileBytes(mark);
            const bool clashIsLink = fs::is_symlink(clash);
            TestImage storedMark;
            ASSERT_TRUE(DecodeWithEngine(mark, storedMark));

            Runner::Result result = runner.RunApart({"-j", workers});
            ASSERT_NE(result.status, -2) << "the run hung";
            EXPECT_EQ(result.status, 3) << result.out << result.err;
            EXPECT_EQ(ReadFileBytes(mark), markBytes);
            EXPECT_EQ(fs::is_symlink(clash), clashIsLink);
            EXPECT_TRUE(fs::equivalent(clash, mark));
            const std::string source = (dir / "src" / "mark.png").string();
            EXPECT_TRUE(Contains(result.err, "no output for " + source + ": cannot write " + clash.string() +
                                                 ": it is the watermark file\n"))
                << result.err;
            EXPECT_TRUE(Contains(result.out, "2 written to ")) << result.out;
            EXPECT_TRUE(Contains(result.out, "1 without output\n")) << result.out;

            fs::path out = clash.parent_path();
            EXPECT_EQ(ReadFileBytes(out / "a.bmp"), Expected(first, storedMark));
            EXPECT_EQ(ReadFileBytes(out / "z.bmp"), Expected(last, storedMark));
            outputs[pass] = Contents(out);
        }
        EXPECT_EQ(outputs[0], outputs[1]) << c.what;
    }
}

// Sources that map to one output name are composed in list order whatever the number of
// workers, so the last one listed is the one left. The first is large, so that a second
// worker composing the small ones beside it would finish them first.
TEST(RunnerCollisions, FilesSharingAnOutputNameLeaveTheLastListed)
{
    TempDir dir;
    Runner runner(dir);
    const TestImage pictures[] = {GradientImage(1400, 1000, 1), GradientImage(30, 20, 2), GradientImage(50, 40, 3),
                                  GradientImage(26, 18, 4)};
    const char* folders[] = {"A", "B", "C", "D"};
    const char* names[] = {"same.bmp", "same.bmp", "other.bmp", "same.bmp"};
    std::string list;
    for (int i = 0; i < 4; ++i) {
        fs::create_directories(dir / folders[i]);
        WriteBmp24(dir / folders[i] / names[i], pictures[i]);
        list += (dir / folders[i] / names[i]).string() + ";";
    }
    const TestImage markImage = SoftMark(10, 6);
    ASSERT_TRUE(EncodeWithEngine(dir / "mark.png", markImage, PICTURE_FORMAT_PNG));
    TestImage storedMark;
    ASSERT_TRUE(DecodeWithEngine(dir / "mark.png", storedMark));

    std::map<std::string, std::vector<uint8_t>> serial;
    for (const char* workers : {"1", "2", "3"}) {
        SCOPED_TRACE(std::string("-j ") + workers);
        fs::path out = dir / (std::string("out") + workers);
        SaveJob(runner, 1, list, dir / "mark.png", out);
        Runner::Result result = runner.RunApart({"-j", workers}, 120);
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_TRUE(Contains(result.out, "4 written to ")) << result.out;
        EXPECT_EQ(ReadFileBytes(out / "same.bmp"), Expected(pictures[3], storedMark));
        EXPECT_EQ(ReadFileBytes(out / "other.bmp"), Expected(pictures[2], storedMark));
        if (serial.empty())
            serial = Contents(out);
        else
            EXPECT_EQ(Contents(out), serial);
    }
}

// A temp.bmp that is a link is never followed: the file it leads to keeps its bytes (a
// dangling link's target is never made), the run composes through a file of its own in the
// link's place and removes it at the end.
TEST(RunnerCollisions, TempBmpThatIsALinkIsNeverWrittenThrough)
{
    const TestImage picture = GradientImage(30, 20, 5);
    const std::vector<uint8_t> victimBytes = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};
    struct Case {
        const char* what;
        bool hardLink;
        bool dangling;
    };
    const Case cases[] = {
        {"symbolic link to a file", false, false},
        {"symbolic link to nothing yet", false, true},
        {"hard link to a file", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Runner runner(dir);
        fs::create_directories(dir / "elsewhere");
        fs::path victim = dir / "elsewhere" / "victim.bmp";
        fs::path tempBmp = runner.Folder() / "temp.bmp";
        if (!c.dangling)
            WriteFileBytes(victim, victimBytes);
        if (c.hardLink)
            fs::create_hard_link(victim, tempBmp);
        else
            fs::create_symlink(victim, tempBmp);
        WriteBmp24(dir / "p.bmp", picture);
        WriteBmp24(dir / "q.bmp", GradientImage(24, 16, 6));
        ASSERT_TRUE(EncodeWithEngine(dir / "mark.png", SoftMark(8, 6), PICTURE_FORMAT_PNG));
        TestImage storedMark;
        ASSERT_TRUE(DecodeWithEngine(dir / "mark.png", storedMark));
        SaveJob(runner, 1, (dir / "p.bmp").string() + ";" + (dir / "q.bmp").string() + ";", dir / "mark.png",
                dir / "out");

        Runner::Result result = runner.RunApart({"-j", "1"});
        ASSERT_NE(result.status, -2) << "the run hung";
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        if (c.dangling)
            EXPECT_FALSE(fs::exists(victim));
        else
            EXPECT_EQ(ReadFileBytes(victim), victimBytes);
        EXPECT_EQ(ReadFileBytes(dir / "out" / "p.bmp"), Expected(picture, storedMark));
        EXPECT_EQ(ReadFileBytes(dir / "out" / "q.bmp"), Expected(GradientImage(24, 16, 6), storedMark));
        EXPECT_FALSE(fs::exists(fs::symlink_status(tempBmp)));
    }
}
