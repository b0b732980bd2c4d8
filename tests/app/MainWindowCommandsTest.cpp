// The main window's set-up commands and about box: each bar opens its dialog, OK takes the
// values back and saves config.ini, Cancel changes nothing, and what each one repaints; the
// position dialog's Apply reaching the main window while the dialog stays open.
#include "tests/app/MainWindowStage.h"

#include "dialogs/PositionApply.h"
#include "res/ResourceIds.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

constexpr uint32_t kSourceColour = 0xC90D4D;
constexpr uint32_t kOldMarkColour = 0x11CB6F;
constexpr uint32_t kNewMarkColour = 0x2040E0;

// The command bars' middles, client pixels.
constexpr POINT kSourceBar = {729, 128};
constexpr POINT kMarkFileBar = {729, 179};
constexpr POINT kOutputBar = {729, 231};
constexpr POINT kPositionBar = {729, 283};
constexpr POINT kAboutButton = {612, 570};

std::string ConfigPath()
{
    return CPathHelper().ResolvePath("config.ini");
}

JobSettings SavedSettings()
{
    JobSettings saved;
    saved.LoadFromIni();
    return saved;
}

void ExpectSameSettings(const JobSettings& a, const JobSettings& b)
{
    EXPECT_EQ(a.SrcFileType, b.SrcFileType);
    EXPECT_EQ(a.SrcFolderSite, b.SrcFolderSite);
    EXPECT_EQ(a.SrcFileSite, b.SrcFileSite);
    EXPECT_EQ(a.WaterMarkFileSite, b.WaterMarkFileSite);
    EXPECT_EQ(a.OutputFolderSite, b.OutputFolderSite);
    EXPECT_EQ(a.PosType, b.PosType);
    EXPECT_EQ(a.PosX, b.PosX);
    EXPECT_EQ(a.PosY, b.PosY);
}

// The topmost window: the dialog a command opened, or the main window.
HWND TopWindow(const MainWindowStage& stage)
{
    return stage.desktop.system->TopLevelWindows().front();
}

// Clicks the middle of a control of the topmost window with the mouse, at once.
void ClickControl(MainWindowStage& stage, int id)
{
    HWND control = GetDlgItem(TopWindow(stage), id);
    ASSERT_NE(control, nullptr) << "control " << id;
    RECT rect;
    GetWindowRect(control, &rect);
    POINT middle = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    WindowSystem& system = *stage.desktop.system;
    system.MouseMove(middle, 0);
    system.MouseButtonEvent(MouseButton::Left, true, middle, 0);
    system.MouseButtonEvent(MouseButton::Left, false, middle, 0);
}

void TypeInto(const MainWindowStage& stage, int id, const std::string& text)
{
    SetWindowTextA(GetDlgItem(TopWindow(stage), id), text.c_str());
}

// Queues a click on a main-window control; the dialog it opens runs the steps queued after it.
void QueueClick(MainWindowStage& stage, POINT client)
{
    stage.MoveTo(client.x, client.y).PressLeft().ReleaseLeft();
}

TEST(MainWindowCommands, EachCommandOpensItsDialogAndOnlyOkKeepsAndSavesItsValues)
{
    TempDir dir;
    struct Case {
        const char* name;
        POINT button;
        const char* title;
        // Fills the open dialog.
        std::function<void(MainWindowStage&)> fill;
        // What the settings hold after OK.
        std::function<void(JobSettings&)> expect;
    };
    const std::string folder = (dir / "照片").string();
    const std::string list = "/p/1.jpg;/q/2.png;";
    const std::string mark = (dir / "mark.png").string();
    const std::string output = (dir / "结果").string();
    const Case cases[] = {
        {"source", kSourceBar, "指定图片文件",
         [&](MainWindowStage& stage) {
             ClickControl(stage, IDC_SRC_MODE_FILES);
             TypeInto(stage, IDC_SRC_FOLDER_EDIT, folder);
             TypeInto(stage, IDC_SRC_FILES_EDIT, list);
         },
         [&](JobSettings& settings) {
             settings.SrcFileType = 1;
             settings.SrcFolderSite = folder;
             settings.SrcFileSite = list;
         }},
        {"watermark file", kMarkFileBar, "指定水印文件",
         [&](MainWindowStage& stage) { TypeInto(stage, IDC_MARK_EDIT, mark); },
         [&](JobSettings& settings) { settings.WaterMarkFileSite = mark; }},
        {"output folder", kOutputBar, "指定输出目录",
         [&](MainWindowStage& stage) { TypeInto(stage, IDC_OUTPUT_EDIT, output); },
         [&](JobSettings& settings) { settings.OutputFolderSite = output; }},
        {"position", kPositionBar, "指定水印位置",
         [&](MainWindowStage& stage) {
             ClickControl(stage, IDC_POS_CHECK_TOPRIGHT);
             TypeInto(stage, IDC_POS_X_TOPRIGHT, " 15 ");
             TypeInto(stage, IDC_POS_Y_TOPRIGHT, "-10");
         },
         [&](JobSettings& settings) {
             settings.PosType = 1;
             settings.PosX = 15;
             settings.PosY = -10;
         }},
    };
    for (const Case& c : cases)
        for (int ending : {IDCANCEL, IDOK}) {
            SCOPED_TRACE(std::string(c.name) + (ending == IDOK ? ", OK" : ", Cancel"));
            MainWindowStage stage;
            JobSettings before;
            std::string openedTitle;
            bool mainDisabled = false;
            stage.Script().Then([&] { before = stage.dialog->m_Settings; });
            QueueClick(stage, c.button);
            stage.Script().Then([&] {
                openedTitle = GetWindowTextString(TopWindow(stage));
                mainDisabled = !IsWindowEnabled(stage.Window());
                c.fill(stage);
                ClickControl(stage, ending);
            });
            stage.Script().Then([&] {
                EXPECT_EQ(TopWindow(stage), stage.Window()) << "the dialog closed";
                JobSettings expected = before;
                if (ending == IDOK) {
                    c.expect(expected);
                    ASSERT_TRUE(std::filesystem::exists(ConfigPath()));
                    ExpectSameSettings(SavedSettings(), expected);
                } else {
                    EXPECT_FALSE(std::filesystem::exists(ConfigPath())) << "nothing saved";
                }
                ExpectSameSettings(stage.dialog->m_Settings, expected);
            });
            EXPECT_EQ(stage.Run(), kStillOpen);
            EXPECT_EQ(openedTitle, c.title);
            EXPECT_TRUE(mainDisabled) << "the dialog is owned by the main window";
        }
}

TEST(MainWindowCommands, OkWithUnchangedValuesStillWritesEveryKey)
{
    MainWindowStage stage;
    stage.Script().Then([&] { stage.dialog->m_Settings.SrcFileSite = "/p/1.jpg;"; });
    QueueClick(stage, kSourceBar);
    stage.Script().Then([&] { ClickControl(stage, IDOK); });
    stage.Run();
    ASSERT_TRUE(std::filesystem::exists(ConfigPath()));
    std::vector<uint8_t> bytes = ReadFileBytes(ConfigPath());
    std::string text(bytes.begin(), bytes.end());
    for (const char* key : {"SrcFileType=", "SrcFolderSite=", "SrcFileSite=", "WaterMarkFileSite=", "OutputFolderSite=",
                            "PosType=", "PosX=", "PosY="}) {
        SCOPED_TRACE(key);
        EXPECT_NE(text.find(key), std::string::npos);
    }
    ExpectSameSettings(SavedSettings(), stage.dialog->m_Settings);
}

TEST(MainWindowCommands, AboutBoxOpensFromItsButtonAndClosesWithIt)
{
    MainWindowStage stage;
    std::string title, version;
    QueueClick(stage, kAboutButton);
    stage.Script().Then([&] {
        title = GetWindowTextString(TopWindow(stage));
        version = GetWindowTextString(GetDlgItem(TopWindow(stage), IDC_ABOUT_VERSION));
        ClickControl(stage, IDOK);
    });
    stage.Script().Then([&] { EXPECT_EQ(TopWindow(stage), stage.Window()); });
    EXPECT_EQ(stage.Run(), kStillOpen);
    EXPECT_EQ(title, "关于");
    EXPECT_EQ(version, "Tessmark 1.00");
    EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
}

// A job whose preview is a 600 x 440 source at (47, 51), unscaled, with a 500 x 400 mark: at
// corner 0 with no margins the mark covers (47, 51)-(547, 451), across the left and top edges
// of the rectangle the set-up commands repaint.
struct RepaintJob {
    RepaintJob()
    {
        std::filesystem::create_directories(dir / "photos");
        WriteBmp24(dir / "photos" / "a.bmp", SolidImage(600, 440, 0xC9, 0x0D, 0x4D));
        WriteBmp24(dir / "old.bmp", SolidImage(500, 400, 0x11, 0xCB, 0x6F));
        WriteBmp24(dir / "new.bmp", SolidImage(500, 400, 0x20, 0x40, 0xE0));
        settings.SrcFileType = 0;
        settings.SrcFolderSite = (dir / "photos").string();
        settings.WaterMarkFileSite = OldMark();
        settings.OutputFolderSite = (dir / "out").string();
    }
    std::string OldMark() const { return (dir / "old.bmp").string(); }
    std::string NewMark() const { return (dir / "new.bmp").string(); }

    TempDir dir;
    JobSettings settings;
};

// Points of the preview: inside the repaint rectangle, and outside it on either side.
constexpr POINT kInside = {120, 120};
constexpr POINT kLeftOfRect = {60, 60};
constexpr POINT kRightOfRect = {630, 480};

// The main window with the skinned frame's repaint on activation held back. When a dialog
// closes, the main window becomes active again and its frame repaints all of it; without that
// repaint what a command invalidates itself shows on its own.
class MainWindowWithoutActivationRepaint : public CMainDlg {
protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_NCACTIVATE) {
            *result = TRUE;
            return true;
        }
        return CMainDlg::OnWndMsg(message, wParam, lParam, result);
    }
};

TEST(MainWindowCommands, OkRepaintsOnlyThePreviewRectangleAndTheOutputFolderNothing)
{
    struct Case {
        const char* name;
        POINT button;
        // Runs in the main window before the command; may change what a repaint would show.
        std::function<void(MainWindowStage&, const RepaintJob&)> before;
        std::function<void(MainWindowStage&, const RepaintJob&)> fill;
        // Colours after OK, then after a full repaint, at kInside, kLeftOfRect, kRightOfRect.
        std::array<uint32_t, 3> afterOk, afterRepaint;
    };
    const Case cases[] = {
        {"watermark file",
         kMarkFileBar,
         {},
         [](MainWindowStage& stage, const RepaintJob& job) { TypeInto(stage, IDC_MARK_EDIT, job.NewMark()); },
         {kNewMarkColour, kOldMarkColour, kSourceColour},
         {kNewMarkColour, kNewMarkColour, kSourceColour}},
        {"position, corner 3",
         kPositionBar,
         {},
         [](MainWindowStage& stage, const RepaintJob&) { ClickControl(stage, IDC_POS_CHECK_BOTTOMRIGHT); },
         {kSourceColour, kOldMarkColour, kSourceColour},
         {kSourceColour, kSourceColour, kOldMarkColour}},
        {"output folder: the new mark, set behind the window's back, shows only after a repaint",
         kOutputBar,
         [](MainWindowStage& stage, const RepaintJob& job) {
             stage.dialog->m_Settings.WaterMarkFileSite = job.NewMark();
         },
         [](MainWindowStage& stage, const RepaintJob& job) {
             TypeInto(stage, IDC_OUTPUT_EDIT, (job.dir / "elsewhere").string());
         },
         {kOldMarkColour, kOldMarkColour, kSourceColour},
         {kNewMarkColour, kNewMarkColour, kSourceColour}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RepaintJob job;
        MainWindowStage stage([] { return std::make_unique<MainWindowWithoutActivationRepaint>(); });
        auto colours = [&] {
            return std::array<uint32_t, 3>{stage.Pixel(kInside.x, kInside.y), stage.Pixel(kLeftOfRect.x, kLeftOfRect.y),
                                           stage.Pixel(kRightOfRect.x, kRightOfRect.y)};
        };
        std::array<uint32_t, 3> start{}, afterOk{}, afterRepaint{};
        stage.Script().Then([&] {
            stage.dialog->m_Settings = job.settings;
            stage.Repaint();
            start = colours();
            if (c.before)
                c.before(stage, job);
        });
        QueueClick(stage, c.button);
        stage.Script().Then([&] {
            c.fill(stage, job);
            ClickControl(stage, IDOK);
        });
        stage.Script().Then([&] {
            afterOk = colours();
            stage.Repaint();
            afterRepaint = colours();
        });
        stage.Run();
        EXPECT_EQ(start, (std::array<uint32_t, 3>{kOldMarkColour, kOldMarkColour, kSourceColour}));
        EXPECT_EQ(afterOk, c.afterOk);
        EXPECT_EQ(afterRepaint, c.afterRepaint);
    }
}

TEST(MainWindowCommands, ApplyThenCancelKeepsTheAppliedPositionInMemoryUntilTheNextSave)
{
    RepaintJob job;
    MainWindowStage stage;
    JobSettings whileOpen, afterCancel, savedAfterCancel;
    uint32_t outsideRectWhileOpen = 0;
    bool dialogStillOpen = false;
    stage.Script().Then([&] {
        stage.dialog->m_Settings = job.settings;
        stage.dialog->m_Settings.SaveToIni();
        stage.Repaint();
    });
    QueueClick(stage, kPositionBar);
    stage.Script().Then([&] {
        ClickControl(stage, IDC_POS_CHECK_BOTTOMRIGHT);
        TypeInto(stage, IDC_POS_X_BOTTOMRIGHT, "5");
        TypeInto(stage, IDC_POS_Y_BOTTOMRIGHT, "7");
        ClickControl(stage, IDC_POS_APPLY);
        dialogStillOpen = TopWindow(stage) != stage.Window();
        whileOpen = stage.dialog->m_Settings;
        stage.dialog->UpdateWindow();
        // The whole window repaints, not only the set-up rectangle: the old mark's corner
        // left of the rectangle shows the source again.
        outsideRectWhileOpen = stage.Pixel(kLeftOfRect.x, kLeftOfRect.y);
        ClickControl(stage, IDCANCEL);
    });
    stage.Script().Then([&] {
        afterCancel = stage.dialog->m_Settings;
        savedAfterCancel = SavedSettings();
    });
    // The next OK of any set-up dialog saves the applied values with its own.
    QueueClick(stage, kOutputBar);
    stage.Script().Then([&] { ClickControl(stage, IDOK); });
    stage.Run();

    EXPECT_TRUE(dialogStillOpen);
    EXPECT_EQ(outsideRectWhileOpen, kSourceColour);
    for (const JobSettings* settings : {&whileOpen, &afterCancel}) {
        EXPECT_EQ(settings->PosType, 3);
        EXPECT_EQ(settings->PosX, 5);
        EXPECT_EQ(settings->PosY, 7);
    }
    EXPECT_EQ(savedAfterCancel.PosType, 0) << "Apply does not save";
    EXPECT_EQ(savedAfterCancel.PosX, 0);
    JobSettings saved = SavedSettings();
    EXPECT_EQ(saved.PosType, 3);
    EXPECT_EQ(saved.PosX, 5);
    EXPECT_EQ(saved.PosY, 7);
}

TEST(MainWindowCommands, ApplyMessageWithAnotherFirstParameterIsIgnoredAndLeavesTheRecordToTheSender)
{
    MainWindowStage stage;
    stage.Script().Then([&] {
        JobSettings before = stage.dialog->m_Settings;
        PositionApply record{2, 40, 50};
        LRESULT answer = stage.dialog->SendMessage(WM_APPLY_POSITION, 0, reinterpret_cast<LPARAM>(&record));
        EXPECT_EQ(answer, 0);
        ExpectSameSettings(stage.dialog->m_Settings, before);
    });
    stage.Run();
}

}  // namespace
