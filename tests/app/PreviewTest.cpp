// The preview painted while the main window erases: the worked scaling examples read back
// from the window surface, the source search, the default picture, the bare frame, the first
// erase and the controls kept out of the copy.
#include "tests/app/MainWindowStage.h"

#include "res/ResourceIds.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"

#include <gtest/gtest.h>

namespace {

// Colours the frame does not use, as the surface shows them (0x00RRGGBB).
constexpr uint8_t kSourceRgb[3] = {201, 13, 77};
constexpr uint8_t kMarkRgb[3] = {17, 203, 111};
constexpr uint32_t kSourceColour = 0xC90D4D;
constexpr uint32_t kMarkColour = 0x11CB6F;
// A generous area around the preview rectangle.
constexpr RECT kAroundPreview = {0, 30, 680, 515};

void WriteSolid(const std::filesystem::path& path, int width, int height, const uint8_t (&rgb)[3])
{
    WriteBmp24(path, SolidImage(width, height, rgb[0], rgb[1], rgb[2]));
}

JobSettings FolderJob(const TempDir& dir, int32_t posType, int32_t posX, int32_t posY)
{
    JobSettings settings;
    settings.SrcFileType = 0;
    settings.SrcFolderSite = (dir / "photos").string();
    settings.WaterMarkFileSite = (dir / "mark.bmp").string();
    settings.OutputFolderSite = (dir / "out").string();
    settings.PosType = posType;
    settings.PosX = posX;
    settings.PosY = posY;
    return settings;
}

TEST(Preview, WorkedExamplesLandWhereTheScaleSays)
{
    struct Case {
        const char* name;
        int sw, sh, ww, wh, posType, posX, posY;
        RECT source, mark;
    };
    const Case cases[] = {
        {"scaled, corner 3", 1000, 700, 100, 80, 3, 20, 20, {28, 48, 667, 495}, {592, 432, 655, 483}},
        {"scaled, corner 0", 1000, 700, 100, 80, 0, 20, 20, {28, 48, 667, 495}, {40, 60, 103, 111}},
        {"fits, corner 1", 400, 300, 100, 80, 1, 20, 20, {147, 121, 547, 421}, {427, 141, 527, 221}},
        {"tall, corner 2", 2000, 3000, 300, 100, 2, 50, 40, {194, 41, 501, 502}, {201, 481, 247, 496}},
        {"exactly the rectangle", 639, 461, 10, 10, 0, 20, 20, {28, 41, 667, 502}, {48, 61, 58, 71}},
        {"one pixel wider", 640, 461, 10, 10, 0, 20, 20, {28, 41, 667, 501}, {47, 60, 56, 69}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directories(dir / "photos");
        WriteSolid(dir / "photos" / "a.bmp", c.sw, c.sh, kSourceRgb);
        WriteSolid(dir / "mark.bmp", c.ww, c.wh, kMarkRgb);
        MainWindowStage stage;
        stage.Script().Then([&] {
            stage.dialog->m_Settings = FolderJob(dir, c.posType, c.posX, c.posY);
            stage.Repaint();
            EXPECT_EQ(stage.Box(kAroundPreview, kSourceColour), c.source);
            EXPECT_EQ(stage.Box(kAroundPreview, kMarkColour), c.mark);
        });
        stage.Run();
    }
}

TEST(Preview, SourceSearchAndFallbacks)
{
    // What the preview area shows.
    enum class Shows { Source, DefaultPicture, BareFrame };
    struct Case {
        const char* name;
        std::function<void(const TempDir&, JobSettings&)> prepare;
        Shows shows;
    };
    const Case cases[] = {
        {"first picture of the folder", [](const TempDir&, JobSettings&) {}, Shows::Source},
        {"missing watermark, full folder",
         [](const TempDir& dir, JobSettings& s) { s.WaterMarkFileSite = (dir / "absent.bmp").string(); },
         Shows::DefaultPicture},
        {"folder without a picture name",
         [](const TempDir& dir, JobSettings& s) {
             std::filesystem::create_directories(dir / "texts");
             WriteFileBytes(dir / "texts" / "notes.txt", {1, 2, 3});
             s.SrcFolderSite = (dir / "texts").string();
         },
         Shows::DefaultPicture},
        {"sub-folder named like a picture comes first",
         [](const TempDir& dir, JobSettings& s) {
             std::filesystem::create_directories(dir / "mixed" / "0.bmp");
             WriteSolid(dir / "mixed" / "1.bmp", 300, 200, kSourceRgb);
             s.SrcFolderSite = (dir / "mixed").string();
         },
         Shows::Source},
        {"list: first entry",
         [](const TempDir& dir, JobSettings& s) {
             s.SrcFileType = 1;
             s.SrcFileSite = (dir / "photos" / "a.bmp").string() + ";" + (dir / "absent.bmp").string() + ";";
         },
         Shows::Source},
        {"list: first entry missing",
         [](const TempDir& dir, JobSettings& s) {
             s.SrcFileType = 1;
             s.SrcFileSite = (dir / "absent.bmp").string() + ";" + (dir / "photos" / "a.bmp").string() + ";";
         },
         Shows::DefaultPicture},
        {"list without a final separator",
         [](const TempDir& dir, JobSettings& s) {
             s.SrcFileType = 1;
             s.SrcFileSite = (dir / "photos" / "a.bmp").string();
         },
         Shows::DefaultPicture},
        {"list: first entry exists but is no picture",
         [](const TempDir& dir, JobSettings& s) {
             WriteFileBytes(dir / "notes.txt", {1, 2, 3});
             s.SrcFileType = 1;
             s.SrcFileSite = (dir / "notes.txt").string() + ";";
         },
         Shows::BareFrame},
        {"watermark exists but is no picture",
         [](const TempDir& dir, JobSettings& s) {
             WriteFileBytes(dir / "mark.txt", {1, 2, 3});
             s.WaterMarkFileSite = (dir / "mark.txt").string();
         },
         Shows::BareFrame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directories(dir / "photos");
        WriteSolid(dir / "photos" / "a.bmp", 300, 200, kSourceRgb);
        WriteSolid(dir / "mark.bmp", 30, 20, kMarkRgb);
        JobSettings settings = FolderJob(dir, 0, 10, 10);
        c.prepare(dir, settings);
        MainWindowStage stage;
        stage.Script().Then([&] {
            stage.dialog->m_Settings = settings;
            stage.Repaint();
            bool source = stage.Box(kAroundPreview, kSourceColour).has_value();
            int defaultMismatches = stage.BitmapMismatches(IDB_DEFAULT_PREVIEW, 29, 40);
            int frameMismatches = stage.BitmapMismatches(IDB_MAIN_BACKGROUND, 0, 0,
                                                         {{0, 0, 800, 28}, {667, 0, 800, 600}, {0, 502, 800, 600}});
            EXPECT_EQ(source, c.shows == Shows::Source);
            EXPECT_EQ(defaultMismatches == 0, c.shows == Shows::DefaultPicture);
            EXPECT_EQ(frameMismatches == 0, c.shows == Shows::BareFrame);
        });
        stage.Run();
    }
}

TEST(Preview, FolderIsSearchedInTheBatchOrder)
{
    // ASCII letters fold to upper case: a.bmp comes before B.bmp, although 'B' < 'a' in bytes.
    TempDir dir;
    std::filesystem::create_directories(dir / "photos");
    WriteSolid(dir / "photos" / "B.bmp", 300, 200, kMarkRgb);
    WriteSolid(dir / "photos" / "a.bmp", 300, 200, kSourceRgb);
    const uint8_t blue[3] = {0, 0, 255};
    WriteSolid(dir / "mark.bmp", 10, 10, blue);
    MainWindowStage stage;
    stage.Script().Then([&] {
        stage.dialog->m_Settings = FolderJob(dir, 0, 0, 0);
        stage.Repaint();
        EXPECT_TRUE(stage.Box(kAroundPreview, kSourceColour).has_value());
        EXPECT_FALSE(stage.Box(kAroundPreview, kMarkColour).has_value());
    });
    stage.Run();
}

// Records, for every erase, whether the DC then showed the default picture.
class ErasingMainDlg : public CMainDlg {
public:
    std::vector<bool> defaultShown;
    POINT probe = {350, 250};
    uint32_t defaultPixel = 0;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        bool handled = CMainDlg::OnWndMsg(message, wParam, lParam, result);
        if (message == WM_ERASEBKGND) {
            COLORREF shown = GetPixel(reinterpret_cast<HDC>(wParam), probe.x, probe.y);
            defaultShown.push_back(Px(shown) == defaultPixel);
        }
        return handled;
    }
};

TEST(Preview, TheFirstEraseWithoutASourceShowsOnlyTheFrame)
{
    HeadlessDesktop desktop;
    AddProgramResources(desktop.system->Resources());
    std::filesystem::remove(CPathHelper().ResolvePath("config.ini"));
    ErasingMainDlg dialog;
    const SkinBitmap* picture = FindSkinBitmap(IDB_DEFAULT_PREVIEW);
    const SkinBitmap* background = FindSkinBitmap(IDB_MAIN_BACKGROUND);
    dialog.defaultPixel = picture->pixels[(250 - 40) * picture->width + (350 - 29)];
    ASSERT_NE(dialog.defaultPixel, background->pixels[250 * background->width + 350]);
    desktop.backend->Then([&] { dialog.EndDialog(kStillOpen); });
    dialog.DoModal();
    ASSERT_GE(dialog.defaultShown.size(), 2u);
    EXPECT_FALSE(dialog.defaultShown[0]) << "the first erase of the program's life draws no default picture";
    for (size_t i = 1; i < dialog.defaultShown.size(); ++i)
        EXPECT_TRUE(dialog.defaultShown[i]) << "erase " << i;
}

TEST(Preview, TheCopyLeavesTheListedControlsAlone)
{
    MainWindowStage stage;
    stage.Script().Then([&] {
        // An erase into a DC filled with a marker colour: the copy covers everything but the
        // listed controls; the status label is not in the list.
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP canvas = CreateCompatibleBitmap(screen, 800, 600);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(memory, canvas);
        RECT all = {0, 0, 800, 600};
        HBRUSH marker = CreateSolidBrush(RGB(1, 2, 3));
        FillRect(memory, &all, marker);
        DeleteObject(marker);
        stage.dialog->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory));
        auto untouched = [&](const RECT& rect) {
            int count = 0;
            for (int y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, 600); ++y)
                for (int x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, 800); ++x)
                    count += GetPixel(memory, x, y) == RGB(1, 2, 3);
            return count;
        };
        auto area = [](const RECT& rect) {
            return (std::min<LONG>(rect.right, 800) - std::max<LONG>(rect.left, 0)) *
                   (std::min<LONG>(rect.bottom, 600) - std::max<LONG>(rect.top, 0));
        };
        for (int id : {IDC_BTN_SOURCE, IDC_BTN_MARKFILE, IDC_BTN_OUTPUT, IDC_BTN_POSITION, IDC_BTN_START, IDC_BTN_ABOUT,
                       IDC_BTN_HELP, IDC_BTN_HOME, 0xFFFF, IDC_STATIC_VERSION}) {
            SCOPED_TRACE(id);
            RECT rect = stage.ControlRect(id);
            EXPECT_EQ(untouched(rect), area(rect));
        }
        EXPECT_EQ(untouched(stage.ControlRect(IDC_STATIC_STATUS)), 0) << "the status label is painted over";
        EXPECT_EQ(untouched({0, 0, 680, 515}), 0);
        // The DC's clipping is its own again afterwards.
        RECT bar = stage.ControlRect(IDC_BTN_SOURCE);
        SetPixel(memory, bar.left + 1, bar.top + 1, RGB(9, 9, 9));
        EXPECT_EQ(GetPixel(memory, bar.left + 1, bar.top + 1), RGB(9, 9, 9));
        SelectObject(memory, old);
        DeleteObject(canvas);
        DeleteDC(memory);
    });
    stage.Run();
}

}  // namespace
