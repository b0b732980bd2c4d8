// The main window after start-up: size and place, every element of the skinned layout, the
// empty labels over the skin, the skin under the buttons' see-through pixels, Enter and Esc,
// and the faces of a command bar and a round button.
#include "tests/app/MainWindowStage.h"

#include "feed/FeedAddress.h"
#include "res/ResourceIds.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kBlack = 0x000000;

TEST(MainWindowLayout, EveryElementStandsWhereTheSkinPutsIt)
{
    MainWindowStage stage;
    stage.Script().Then([&] {
        RECT window;
        GetWindowRect(stage.Window(), &window);
        RECT work = stage.desktop.backend->workArea;
        EXPECT_EQ(window.right - window.left, 800);
        EXPECT_EQ(window.bottom - window.top, 600);
        EXPECT_EQ(window.left, work.left + (work.right - work.left - 800) / 2) << "centred";
        EXPECT_EQ(window.top, work.top + (work.bottom - work.top - 600) / 2);

        struct Row {
            const char* name;
            int id;
            RECT rect;
        };
        const Row rows[] = {
            {"指定图片文件", IDC_BTN_SOURCE, {685, 115, 774, 142}},
            {"指定水印文件", IDC_BTN_MARKFILE, {685, 166, 774, 193}},
            {"指定输出目录", IDC_BTN_OUTPUT, {685, 218, 774, 245}},
            {"指定水印位置", IDC_BTN_POSITION, {685, 270, 774, 297}},
            {"开始", IDC_BTN_START, {685, 322, 774, 349}},
            {"status label, template size", IDC_STATIC_STATUS, {694, 380, 694 + 87, 380 + 59}},
            {"version label, template size", IDC_STATIC_VERSION, {700, 460, 700 + 191, 460 + 32}},
            {"about", IDC_BTN_ABOUT, {580, 543, 645, 597}},
            {"help", IDC_BTN_HELP, {650, 543, 715, 597}},
            {"home", IDC_BTN_HOME, {720, 543, 785, 597}},
            {"web control, parked", IDC_WEB_AD, {-1000, -1000, -773, -947}},
            {"news strip", 0xFFFF, {6, 519, 794, 541}},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            EXPECT_EQ(stage.ControlRect(row.id), row.rect);
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(stage.Window(), row.id)));
        }

        // The caption buttons, the banner and the five bar faces with their captions.
        EXPECT_EQ(stage.BitmapMismatches(IDB_CLOSE_NORMAL, 759, 1), 0);
        EXPECT_EQ(stage.BitmapMismatches(IDB_MINIMIZE_NORMAL, 738, 1), 0);
        EXPECT_EQ(stage.BitmapMismatches(IDB_BANNER, 338, 544), 0);
        const RECT captionArea = {4, 3, 85, 24};
        for (int y : {115, 166, 218, 270, 322}) {
            SCOPED_TRACE(y);
            EXPECT_EQ(stage.BitmapMismatches(IDB_BAR_NORMAL, 685, y, {captionArea}), 0);
            EXPECT_TRUE(stage.Box({689, y + 3, 770, y + 24}, kBlack).has_value()) << "caption drawn";
        }
        EXPECT_EQ(stage.BitmapMismatches(IDB_ABOUT_NORMAL, 580, 543), 0);
        EXPECT_EQ(stage.BitmapMismatches(IDB_HELP_NORMAL, 650, 543), 0);
        EXPECT_EQ(stage.BitmapMismatches(IDB_HOME_NORMAL, 720, 543), 0);
        // Everywhere else the background, bitmap 133, shows, the two empty labels included:
        // they were coloured before they moved, so where they stand now they show the skin
        // (the status label its black screen). The background's magenta corners are cut from
        // the window's shape, so the desktop shows there.
        std::vector<RECT> covered = {{28, 40, 668, 502}, {738, 1, 780, 18}, {338, 544, 565, 597}};
        for (const Row& row : rows)
            if (row.id != IDC_STATIC_STATUS && row.id != IDC_STATIC_VERSION)
                covered.push_back(row.rect);
        EXPECT_EQ(stage.BitmapMismatches(IDB_MAIN_BACKGROUND, 0, 0, covered), 0);
        EXPECT_EQ(stage.desktop.backend->ScreenPixel(window.left, window.top), HeadlessBackend::kDesktop);
        EXPECT_EQ(stage.Pixel(720, 420), kBlack) << "the screen of the art under the status label";
        // The news strip stays empty and dark until the feed fills it.
        EXPECT_EQ(stage.Pixel(400, 530), 0x262626);
    });
    EXPECT_EQ(stage.Run(), kStillOpen);
}

TEST(MainWindowLayout, SeeThroughPixelsOfTheButtonsShowTheSkinWhetherThePreviewHasASourceOrNot)
{
    // The first copy of the window to the screen puts the skin under the controls, which no
    // later copy touches: with a source found at start-up as without one.
    TempDir dir;
    std::filesystem::create_directories(dir / "photos");
    WriteBmp24(dir / "photos" / "a.bmp", SolidImage(300, 200, 200, 10, 70));
    WriteBmp24(dir / "mark.bmp", SolidImage(20, 20, 10, 200, 110));
    struct Button {
        int bitmap;
        POINT place;
    };
    const Button buttons[] = {{IDB_ABOUT_NORMAL, {580, 543}},
                              {IDB_HELP_NORMAL, {650, 543}},
                              {IDB_HOME_NORMAL, {720, 543}},
                              {IDB_BAR_NORMAL, {685, 115}},
                              {IDB_BAR_NORMAL, {685, 322}}};
    const SkinBitmap* background = FindSkinBitmap(IDB_MAIN_BACKGROUND);
    ASSERT_NE(background, nullptr);
    for (bool withSource : {false, true}) {
        SCOPED_TRACE(withSource ? "a source at start-up" : "nothing configured");
        MainWindowStage stage;
        if (withSource) {
            JobSettings job;
            job.SrcFileType = 0;
            job.SrcFolderSite = (dir / "photos").string();
            job.WaterMarkFileSite = (dir / "mark.bmp").string();
            job.OutputFolderSite = (dir / "out").string();
            job.SaveToIni();
        }
        stage.Script().Then([&] {
            if (!withSource) {
                // The window the user sees first shows the default picture: the first erase,
                // which shows only the frame, was the version label's capture of the window.
                EXPECT_EQ(stage.BitmapMismatches(IDB_DEFAULT_PREVIEW, 29, 40), 0);
            }
            // A later full repaint leaves what the first one put under the controls.
            stage.Repaint();
            for (const Button& button : buttons) {
                SCOPED_TRACE(button.bitmap);
                const SkinBitmap* face = FindSkinBitmap(button.bitmap);
                ASSERT_NE(face, nullptr);
                int keyPixels = 0, mismatches = 0;
                for (int row = 0; row < face->height; ++row)
                    for (int column = 0; column < face->width; ++column) {
                        if ((face->pixels[static_cast<size_t>(row) * face->width + column] & 0xFFFFFF) != 0xFF00FF)
                            continue;
                        int x = button.place.x + column, y = button.place.y + row;
                        ++keyPixels;
                        mismatches += stage.Pixel(x, y) !=
                                      (background->pixels[static_cast<size_t>(y) * background->width + x] & 0xFFFFFF);
                    }
                EXPECT_GT(keyPixels, 0);
                EXPECT_EQ(mismatches, 0);
            }
        });
        stage.Run();
    }
}

TEST(MainWindowLayout, BothLabelsAreEmptyBeforeFeedAndRun)
{
    MainWindowStage stage;
    stage.Script().Then([&] {
        EXPECT_EQ(GetWindowTextString(GetDlgItem(stage.Window(), IDC_STATIC_STATUS)), "");
        EXPECT_EQ(GetWindowTextString(GetDlgItem(stage.Window(), IDC_STATIC_VERSION)), "");
        // No template text shows: the labels show only the skin under them.
        EXPECT_FALSE(stage.Box({694, 380, 781, 439}, 0xFFFFFF).has_value());
        EXPECT_FALSE(stage.Box({700, 460, 800, 492}, 0xFFFFFF).has_value());
        // The title stays the window text, for the task bar.
        EXPECT_EQ(GetWindowTextString(stage.Window()), "Tessmark-Orvel软件系列");
    });
    stage.Run();
}

TEST(MainWindowLayout, EnterKeepsTheWindowAndEscEndsIt)
{
    // The command bars are owner-drawn: Enter with the focus on one is the window's OK, which
    // does nothing, and never opens the bar's dialog.
    MainWindowStage stage;
    bool openAfterEnter = false;
    size_t windowsAfterEnter = 0;
    stage.Script().Then([&] { SetFocus(GetDlgItem(stage.Window(), IDC_BTN_SOURCE)); });
    stage.Script().PressKey(VK_RETURN).Then([&] {
        openAfterEnter = IsWindow(stage.Window());
        windowsAfterEnter = stage.desktop.system->TopLevelWindows().size();
        EXPECT_EQ(GetFocus(), GetDlgItem(stage.Window(), IDC_BTN_SOURCE));
    });
    stage.Script().PressKey(VK_ESCAPE);
    EXPECT_EQ(stage.Run(), IDCANCEL);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(windowsAfterEnter, 1u) << "no dialog opened";
}

TEST(MainWindowLayout, CommandBarAndRoundButtonShowHoverAndPressedFaces)
{
    struct Case {
        const char* name;
        POINT place;
        int hover, normal, pressed;
        std::vector<RECT> caption;
    };
    const Case cases[] = {
        {"command bar", {685, 115}, IDB_BAR_HOVER, IDB_BAR_NORMAL, IDB_BAR_PRESSED, {{4, 3, 85, 24}}},
        {"round button", {650, 543}, IDB_HELP_HOVER, IDB_HELP_NORMAL, IDB_HELP_PRESSED, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindowStage stage;
        std::vector<int> faces;
        auto face = [&] {
            for (int id : {c.hover, c.normal, c.pressed})
                if (stage.BitmapMismatches(id, c.place.x, c.place.y, c.caption) == 0) {
                    faces.push_back(id);
                    return;
                }
            faces.push_back(0);
        };
        stage.Script().Then(face);
        stage.MoveTo(c.place.x + 30, c.place.y + 12).Then(face);
        stage.Script().PressLeft().Then(face);
        stage.Script().ReleaseLeft().Then(face);
        stage.MoveTo(300, 300).Then(face);
        stage.Run();
        EXPECT_EQ(faces, (std::vector<int>{c.normal, c.hover, c.pressed, c.hover, c.normal}));
    }
}

TEST(MainWindowLayout, RoundButtonsOpenTheHomeAndHelpPages)
{
    MainWindowStage stage;
    stage.MoveTo(750, 570).PressLeft().ReleaseLeft();
    stage.MoveTo(680, 570).PressLeft().ReleaseLeft();
    stage.Run();
    const std::vector<std::string> expected = {
        kHomePageUrl,
        kHelpPageUrl,
    };
    EXPECT_EQ(stage.desktop.backend->openedAddresses, expected);
}

TEST(MainWindowLayout, MinimisedWindowShowsItsIconAndDragsWithIt)
{
    MainWindowStage stage;
    stage.Script().Then([&] {
        EXPECT_EQ(reinterpret_cast<HICON>(stage.dialog->SendMessage(WM_QUERYDRAGICON)), stage.dialog->m_hIcon);
        EXPECT_NE(stage.dialog->m_hIcon, nullptr);
    });
    stage.MoveTo(748, 9).PressLeft().ReleaseLeft();
    stage.Script().Then([&] { EXPECT_TRUE(IsIconic(stage.Window())); });
    stage.Run();
}

}  // namespace
