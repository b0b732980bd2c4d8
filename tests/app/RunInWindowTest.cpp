// The batch run started from the main window: the status label following the worker, the end
// in the label and the notice box, the missing-setting notices with the main window disabled,
// Start during a run, and closing the window during a run.
#include "tests/app/MainWindowStage.h"

#include "res/ResourceIds.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

constexpr POINT kStartButton = {685 + 44, 322 + 13};

// Drives the main window in real time: the virtual clock moves 10 ms per idle turn so timer 2
// polls the worker; open notices are read and closed; the label's texts are recorded.
class RunDriver {
public:
    explicit RunDriver(MainWindowStage& stage) : m_Stage(stage) {}

    struct Notice {
        std::string text;
        bool mainDisabled;
    };
    std::vector<Notice> notices;
    std::vector<std::string> labelTexts;  // each change of label 1010
    bool enabledAtEnd = false;
    std::string labelAtEnd;

    // Keeps time running until `until` answers true (or 30 s pass), then ends the window.
    void RunUntil(std::function<bool()> until)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        m_Stage.Script().onIdle = [this, until, deadline] {
            if (m_Finished)
                return false;
            Observe();
            if (until() || std::chrono::steady_clock::now() > deadline) {
                m_Finished = true;
                // Some more polls, then the state is taken and the window ended.
                m_Stage.Script().Advance(100).Then([this] {
                    Observe();
                    enabledAtEnd = IsWindowEnabled(m_Stage.Window());
                    labelAtEnd = Label();
                    if (IsWindow(m_Stage.Window()))
                        m_Stage.dialog->EndDialog(kStillOpen);
                });
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            m_Stage.Script().Advance(10);
            return true;
        };
    }

    std::string Label() const { return GetWindowTextString(GetDlgItem(m_Stage.Window(), IDC_STATIC_STATUS)); }

    std::vector<std::string> NoticeTexts() const
    {
        std::vector<std::string> texts;
        for (const Notice& notice : notices)
            texts.push_back(notice.text);
        return texts;
    }

    void Observe()
    {
        if (!IsWindow(m_Stage.Window()))
            return;
        std::string label = Label();
        if (labelTexts.empty() || labelTexts.back() != label)
            labelTexts.push_back(label);
        // A message box stands in for the notice box where that is not built in.
        auto& boxes = m_Stage.desktop.backend->messageBoxes;
        for (; m_SeenBoxes < boxes.size(); ++m_SeenBoxes)
            notices.push_back({boxes[m_SeenBoxes].text, true});
        for (HWND window : m_Stage.desktop.system->TopLevelWindows()) {
            HWND message = GetDlgItem(window, IDC_NOTICE_MESSAGE);
            if (window == m_Stage.Window() || !message || !IsWindowVisible(window))
                continue;
            notices.push_back({GetWindowTextString(message), !IsWindowEnabled(m_Stage.Window())});
            EndDialog(window, IDOK);
        }
    }

private:
    MainWindowStage& m_Stage;
    size_t m_SeenBoxes = 0;
    bool m_Finished = false;
};

struct Job {
    TempDir dir;
    JobSettings settings;
    std::vector<std::string> names;

    explicit Job(int files, int width = 1200, int height = 900)
    {
        std::filesystem::create_directories(dir / "photos");
        for (int i = 0; i < files; ++i) {
            std::string name = std::string(1, static_cast<char>('a' + i)) + ".bmp";
            WriteBmp24(dir / "photos" / name, SolidImage(width, height, static_cast<uint8_t>(40 * i), 90, 160));
            names.push_back(name);
        }
        WriteFileBytes(dir / "photos" / "notes.txt", {'n', 'o'});
        WriteBmp24(dir / "mark.bmp", SolidImage(60, 40, 250, 250, 0));
        settings.SrcFileType = 0;
        settings.SrcFolderSite = (dir / "photos").string();
        settings.WaterMarkFileSite = (dir / "mark.bmp").string();
        settings.OutputFolderSite = (dir / "out").string();
        settings.PosType = 3;
        settings.PosX = 20;
        settings.PosY = 20;
    }

    // The output files, each checked to decode whole.
    std::vector<std::string> CompleteOutputs(int width, int height) const
    {
        std::vector<std::string> outputs;
        if (!std::filesystem::exists(dir / "out"))
            return outputs;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
            TestImage image;
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(DecodeWithEngine(entry.path(), image)) << name;
            EXPECT_EQ(image.width, width) << name;
            EXPECT_EQ(image.height, height) << name;
            outputs.push_back(name);
        }
        std::sort(outputs.begin(), outputs.end());
        return outputs;
    }
};

bool TempBmpExists()
{
    return std::filesystem::exists(CPathHelper().ResolvePath("temp.bmp"));
}

TEST(RunInWindow, StartShowsTheStatusThenTheEndInLabelAndNotice)
{
    Job job(3);
    MainWindowStage stage;
    RunDriver driver(stage);
    stage.Script().Then([&] { stage.dialog->m_Settings = job.settings; });
    stage.MoveTo(kStartButton.x, kStartButton.y).PressLeft().ReleaseLeft();
    driver.RunUntil([&] { return !driver.notices.empty() && !stage.dialog->IsRunActive(); });
    stage.dialog->DoModal();

    EXPECT_EQ(driver.NoticeTexts(), std::vector<std::string>{"处理完毕"});
    ASSERT_FALSE(driver.labelTexts.empty());
    EXPECT_EQ(driver.labelTexts.back(), "处理完毕");
    for (size_t i = 1; i + 1 < driver.labelTexts.size(); ++i) {
        const std::string& text = driver.labelTexts[i];
        bool known = false;
        for (const std::string& name : job.names)
            known = known || text == "正在处理图片\r\n" + name;
        EXPECT_TRUE(known) << text;
    }
    EXPECT_EQ(job.CompleteOutputs(1200, 900), job.names) << "notes.txt reaches the composer and is passed over";
    EXPECT_FALSE(TempBmpExists());
}

TEST(RunInWindow, MissingSettingsShowOneNoticeWithTheMainWindowDisabled)
{
    struct Case {
        const char* name;
        std::function<void(JobSettings&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"no source folder, nothing else either",
         [](JobSettings& s) {
             s.SrcFolderSite.clear();
             s.WaterMarkFileSite.clear();
             s.OutputFolderSite.clear();
         },
         "请选择源目录"},
        {"list mode with a folder but no list",
         [](JobSettings& s) {
             s.SrcFileType = 1;
             s.SrcFileSite.clear();
         },
         "请选择源文件"},
        {"no watermark", [](JobSettings& s) { s.WaterMarkFileSite.clear(); }, "请选择水印文件"},
        {"no output folder", [](JobSettings& s) { s.OutputFolderSite.clear(); }, "请选择输出目录"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Job job(1, 50, 40);
        c.change(job.settings);
        MainWindowStage stage;
        RunDriver driver(stage);
        stage.Script().Then([&] { stage.dialog->m_Settings = job.settings; });
        stage.MoveTo(kStartButton.x, kStartButton.y).PressLeft().ReleaseLeft();
        driver.RunUntil([&] { return !driver.notices.empty() && !stage.dialog->IsRunActive(); });
        stage.dialog->DoModal();
        EXPECT_TRUE(driver.enabledAtEnd) << "enabled again after the notice";
        EXPECT_EQ(driver.labelAtEnd, "") << "the label stays as it was";
        ASSERT_EQ(driver.notices.size(), 1u);
        EXPECT_EQ(driver.notices[0].text, c.message);
        EXPECT_TRUE(driver.notices[0].mainDisabled);
        EXPECT_FALSE(std::filesystem::exists(job.dir / "out"));
        EXPECT_FALSE(TempBmpExists());
        EXPECT_EQ(stage.dialog->m_bRunDone.load(), 0);
    }
}

TEST(RunInWindow, StartDuringARunStartsNoSecondRun)
{
    Job job(6);
    MainWindowStage stage;
    RunDriver driver(stage);
    bool runningAtSecondStart = false;
    stage.Script().Then([&] { stage.dialog->m_Settings = job.settings; });
    stage.MoveTo(kStartButton.x, kStartButton.y).PressLeft().ReleaseLeft();
    stage.Script().Then([&] { runningAtSecondStart = stage.dialog->IsRunActive(); });
    stage.Script().PressLeft().ReleaseLeft();
    std::optional<std::chrono::steady_clock::time_point> finishedAt;
    driver.RunUntil([&] {
        if (!finishedAt && !driver.notices.empty())
            finishedAt = std::chrono::steady_clock::now();
        // Some more time after the end, for a second run's notice to show if one ran.
        return finishedAt && std::chrono::steady_clock::now() > *finishedAt + std::chrono::milliseconds(300);
    });
    stage.dialog->DoModal();
    ASSERT_TRUE(runningAtSecondStart) << "the run ended before the second press; the case did not happen";
    EXPECT_EQ(driver.NoticeTexts(), std::vector<std::string>{"处理完毕"});
    EXPECT_EQ(driver.labelTexts.back(), "处理完毕");
    EXPECT_EQ(job.CompleteOutputs(1200, 900), job.names);
}

TEST(RunInWindow, ClosingDuringARunKeepsOnlyCompleteOutputsAndJoinsTheWorker)
{
    Job job(8, 1600, 1200);
    MainWindowStage stage;
    RunDriver driver(stage);
    stage.Script().Then([&] { stage.dialog->m_Settings = job.settings; });
    stage.MoveTo(kStartButton.x, kStartButton.y).PressLeft().ReleaseLeft();
    bool closing = false;
    stage.Script().onIdle = [&] {
        driver.Observe();
        if (!closing && driver.Label().rfind("正在处理图片", 0) == 0) {
            closing = true;
            stage.Script().PressKey(VK_ESCAPE);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stage.Script().Advance(10);
        return true;
    };
    intptr_t result = stage.dialog->DoModal();
    stage.Script().onIdle = nullptr;
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(closing);
    EXPECT_FALSE(stage.dialog->IsRunActive()) << "the worker was joined before the window went";
    std::vector<std::string> outputs = job.CompleteOutputs(1600, 1200);
    EXPECT_LT(outputs.size(), job.names.size()) << "the run stopped after its current file";
    EXPECT_TRUE(driver.notices.empty()) << "no end notice after closing";
    EXPECT_FALSE(TempBmpExists());
}

}  // namespace
