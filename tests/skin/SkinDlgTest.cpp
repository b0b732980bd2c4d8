// CSkinDlg driven through synthetic input: faces, caption commands, dragging, system menu,
// window region and the paint hooks.
#include "tests/platform/HeadlessDesktop.h"

#include "skin/SkinDlg.h"
#include "skin/SkinDraw.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT kTemplate = 600;
constexpr UINT kBackground = 700;
constexpr UINT kCloseHover = 134, kCloseNormal = 135, kClosePressed = 136;
constexpr UINT kMinHover = 137, kMinNormal = 138, kMinPressed = 139;
constexpr UINT kIcon = 128;

constexpr uint32_t kBackColour = 0x808080;
constexpr uint32_t kCloseNormalColour = 0x0000C0;
constexpr uint32_t kCloseHoverColour = 0x00C000;
constexpr uint32_t kClosePressedColour = 0xC00000;
constexpr uint32_t kMinNormalColour = 0x404000;

// The background is 200 x 150 with magenta corner pixels; the close button lands at
// (159, 5)-(180, 22) and the minimise button at (138, 5)-(159, 22).
constexpr POINT kOnClose = {170, 12};
constexpr POINT kOnMinimize = {150, 12};

void AddSkin(HeadlessDesktop& desktop)
{
    DialogTemplate dialog;
    dialog.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog.cx = 100;
    dialog.cy = 80;
    dialog.title = "皮肤";
    desktop.system->Resources().AddDialog(kTemplate, dialog);
    desktop.AddBitmap(kBackground, 200, 150, kBackColour,
                      {{0, 0}, {1, 0}, {0, 1}, {199, 0}, {199, 149}, {0, 149}, {198, 149}});
    // Each face has a magenta pixel in its top-left corner.
    desktop.AddBitmap(kCloseNormal, 21, 17, kCloseNormalColour, {{0, 0}});
    desktop.AddBitmap(kCloseHover, 21, 17, kCloseHoverColour, {{0, 0}});
    desktop.AddBitmap(kClosePressed, 21, 17, kClosePressedColour, {{0, 0}});
    desktop.AddBitmap(kMinNormal, 21, 17, kMinNormalColour);
    desktop.AddBitmap(kMinHover, 21, 17, 0x00C0C0);
    desktop.AddBitmap(kMinPressed, 21, 17, 0xC0C000);
    desktop.system->Resources().AddIcon(kIcon, {{32, std::vector<uint32_t>(32 * 32, 0xFF102030)}});
}

class FrameDialog : public CSkinDlg {
public:
    explicit FrameDialog(bool withIcon = false) : CSkinDlg(kTemplate, nullptr), m_WithIcon(withIcon) {}
    ~FrameDialog() override
    {
        if (m_LoadedIcon)
            DestroyIcon(m_LoadedIcon);
    }
    std::vector<UINT> sysCommands;
    std::function<void(CDC*)> overlay;

protected:
    BOOL OnInitDialog() override
    {
        UseWindowRegion();
        CSkinDlg::OnInitDialog();
        SetBackgroundBitmap(kBackground);
        SetCloseButtonBitmaps(kCloseNormal, kCloseHover, kClosePressed);
        SetMinimizeButtonBitmaps(kMinNormal, kMinHover, kMinPressed);
        SetCaptionHeight(30);
        SetDragFullWindows(TRUE);
        ShowCaptionTitle(FALSE);
        if (m_WithIcon) {
            m_LoadedIcon = LoadIconA(AfxGetResourceHandle(), kIcon);
            SetCaptionIcon(m_LoadedIcon, FALSE);
        }
        return TRUE;
    }
    void DrawOverlay(CDC* pMemDC) override
    {
        if (overlay)
            overlay(pMemDC);
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_SYSCOMMAND)
            sysCommands.push_back(static_cast<UINT>(wParam));
        return CSkinDlg::OnWndMsg(message, wParam, lParam, result);
    }

private:
    bool m_WithIcon;
    HICON m_LoadedIcon = nullptr;
};

constexpr int kStillOpen = 99;

// Runs the dialog modally over the queued script, ending it afterwards if it is still open.
intptr_t RunDialog(HeadlessDesktop& desktop, FrameDialog& dialog)
{
    desktop.backend->Then([&] {
        if (IsWindow(dialog.m_hWnd))
            dialog.EndDialog(kStillOpen);
    });
    return dialog.DoModal();
}

TEST(SkinFrame, CaptionButtonFacesFollowHoverPressAndLeave)
{
    HeadlessDesktop desktop;
    AddSkin(desktop);
    FrameDialog dialog;
    std::vector<uint32_t> faces;
    auto face = [&] { faces.push_back(desktop.backend->Pixel(dialog.m_hWnd, kOnClose.x, kOnClose.y)); };
    auto& script = *desktop.backend;
    script.Then(face);
    script.MoveMouse(kOnClose.x, kOnClose.y).Then(face);
    script.PressLeft().Then(face);
    script.MoveMouse(100, 100).Then(face);  // held, but off the button
    script.ReleaseLeft().MoveMouse(kOnClose.x, kOnClose.y).Then(face);
    script.MoveMouse(500, 500).Then(face);  // leaves the window
    script.Then([&] {
        EXPECT_EQ(desktop.backend->Pixel(dialog.m_hWnd, 159, 5), kBackColour) << "key pixel shows the background";
        EXPECT_EQ(desktop.backend->Pixel(dialog.m_hWnd, 140, 12), kMinNormalColour);
    });
    EXPECT_EQ(RunDialog(desktop, dialog), kStillOpen);
    EXPECT_EQ(faces, (std::vector<uint32_t>{kCloseNormalColour, kCloseHoverColour, kClosePressedColour,
                                            kCloseNormalColour, kCloseHoverColour, kCloseNormalColour}));
}

TEST(SkinFrame, CaptionButtonCommandsNeedPressAndReleaseOnTheSameElement)
{
    struct Case {
        const char* name;
        POINT press;
        POINT release;
        intptr_t result;
        std::vector<UINT> commands;
    };
    const Case cases[] = {
        {"close", kOnClose, kOnClose, IDCANCEL, {SC_CLOSE}},
        {"close, released elsewhere", kOnClose, {100, 100}, kStillOpen, {}},
        {"pressed elsewhere, released on close", {100, 100}, kOnClose, kStillOpen, {}},
        {"pressed on close, released on minimise", kOnClose, kOnMinimize, kStillOpen, {}},
        {"minimise", kOnMinimize, kOnMinimize, kStillOpen, {SC_MINIMIZE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessDesktop desktop;
        AddSkin(desktop);
        FrameDialog dialog;
        bool iconic = false;
        desktop.backend->MoveMouse(c.press.x, c.press.y).PressLeft();
        desktop.backend->MoveMouse(c.release.x, c.release.y).ReleaseLeft();
        desktop.backend->Then([&] { iconic = dialog.IsIconic(); });
        EXPECT_EQ(RunDialog(desktop, dialog), c.result);
        EXPECT_EQ(dialog.sysCommands, c.commands);
        EXPECT_EQ(iconic, c.commands == std::vector<UINT>{SC_MINIMIZE});
    }
}

TEST(SkinFrame, CaptionDragNeedsAnArmedPlainLeftButtonPress)
{
    struct Case {
        const char* name;
        POINT press;
        UINT modifiers;
        bool moves;
    };
    const Case cases[] = {
        {"caption band", {60, 12}, 0, true},
        {"with shift", {60, 12}, MK_SHIFT, false},
        {"with control", {60, 12}, MK_CONTROL, false},
        {"on the close button", kOnClose, 0, false},
        {"below the caption band", {60, 50}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessDesktop desktop;
        desktop.system->SetDragFullWindows(false);
        AddSkin(desktop);
        FrameDialog dialog;
        BOOL fullDuringDrag = FALSE;
        RECT after{};
        auto& script = *desktop.backend;
        script.MoveMouse(c.press.x, c.press.y).SetModifiers(c.modifiers).PressLeft();
        script.MoveMouse(c.press.x + 10, c.press.y + 10).MoveMouse(c.press.x + 30, c.press.y + 40);
        script.Then([&] { SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullDuringDrag, 0); });
        script.ReleaseLeft().SetModifiers(0).Then([&] { dialog.GetWindowRect(&after); });
        RunDialog(desktop, dialog);
        EXPECT_EQ(after.left, c.moves ? 20 : 0);
        EXPECT_EQ(after.top, c.moves ? 30 : 0);
        EXPECT_EQ(fullDuringDrag, c.moves ? TRUE : FALSE) << "the frame's setting holds during its drag only";
        EXPECT_FALSE(desktop.system->DragFullWindows()) << "the system setting is restored";
    }
}

TEST(SkinFrame, IconAreaOpensTheSystemMenuWithItemsGreyedByState)
{
    for (bool withIcon : {true, false}) {
        SCOPED_TRACE(withIcon);
        HeadlessDesktop desktop;
        AddSkin(desktop);
        FrameDialog dialog(withIcon);
        desktop.backend->menuChoices.push_back(SC_MINIMIZE);
        bool iconic = false;
        desktop.backend->Click(35, 10).Then([&] { iconic = dialog.IsIconic(); });
        RunDialog(desktop, dialog);
        if (!withIcon) {
            EXPECT_TRUE(desktop.backend->menus.empty());
            continue;
        }
        ASSERT_EQ(desktop.backend->menus.size(), 1u);
        const auto& items = desktop.backend->menus[0].items;
        ASSERT_EQ(items.size(), 7u);
        auto greyed = [&](size_t position) { return (items[position].flags & MF_GRAYED) != 0; };
        EXPECT_TRUE(greyed(0)) << "restore, while not maximised";
        EXPECT_FALSE(greyed(1));
        EXPECT_FALSE(greyed(2));
        EXPECT_FALSE(greyed(3));
        EXPECT_FALSE(greyed(4));
        EXPECT_FALSE(greyed(6));
        EXPECT_EQ(dialog.sysCommands, std::vector<UINT>{SC_MINIMIZE});
        EXPECT_TRUE(iconic);
    }
}

TEST(SkinFrame, BackgroundShapesAndSizesTheWindow)
{
    HeadlessDesktop desktop;
    AddSkin(desktop);
    FrameDialog dialog;
    RECT rect{};
    std::vector<uint32_t> screen;
    desktop.backend->Then([&] {
        dialog.GetWindowRect(&rect);
        for (auto [x, y] :
             {std::pair{0, 0}, std::pair{1, 0}, std::pair{2, 0}, std::pair{199, 149}, std::pair{198, 148}})
            screen.push_back(desktop.backend->ScreenPixel(x, y));
    });
    RunDialog(desktop, dialog);
    EXPECT_EQ(rect, (RECT{0, 0, 200, 150}));
    const uint32_t desk = HeadlessBackend::kDesktop;
    EXPECT_EQ(screen, (std::vector<uint32_t>{desk, desk, kBackColour, desk, kBackColour}));
}

TEST(SkinFrame, OverlayIsPaintedOverBackgroundAndCaptionButtons)
{
    HeadlessDesktop desktop;
    AddSkin(desktop);
    FrameDialog dialog;
    dialog.overlay = [](CDC* dc) { dc->FillSolidRect({165, 0, 200, 40}, RGB(1, 2, 3)); };
    uint32_t onButton = 0, beside = 0;
    desktop.backend->Then([&] {
        onButton = desktop.backend->Pixel(dialog.m_hWnd, 170, 12);
        beside = desktop.backend->Pixel(dialog.m_hWnd, 162, 12);
    });
    RunDialog(desktop, dialog);
    EXPECT_EQ(onButton, 0x010203u);
    EXPECT_EQ(beside, kCloseNormalColour);
}

TEST(SkinFrame, MaximisedFrameFillsTheWorkAreaAndDoesNotDrag)
{
    HeadlessDesktop desktop;
    AddSkin(desktop);
    FrameDialog dialog;
    RECT maximised{}, afterDrag{};
    uint32_t minimiseFace = 0;
    auto& script = *desktop.backend;
    script.Then([&] {
        dialog.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        dialog.GetWindowRect(&maximised);
    });
    script.Then([&] { minimiseFace = desktop.backend->Pixel(dialog.m_hWnd, 1868, 12); });
    script.MoveMouse(60, 12).PressLeft().MoveMouse(90, 52).ReleaseLeft();
    script.Then([&] { dialog.GetWindowRect(&afterDrag); });
    RunDialog(desktop, dialog);
    EXPECT_EQ(maximised, desktop.backend->workArea);
    EXPECT_EQ(afterDrag, desktop.backend->workArea);
    EXPECT_EQ(minimiseFace, kMinNormalColour) << "minimise sits left of the close button";
}

// Builds a bitmap from rows of characters: '#' opaque grey, 'm' magenta.
HBITMAP BitmapFromPattern(HeadlessDesktop& desktop, UINT id, int width, int height,
                          const std::function<bool(int, int)>& magenta)
{
    BitmapResource bitmap;
    bitmap.width = width;
    bitmap.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.pixels.push_back(magenta(x, y) ? 0xFF00FF : 0x808080);
    desktop.system->Resources().AddBitmap(id, std::move(bitmap));
    return LoadBitmapA(nullptr, id);
}

TEST(SkinRegion, KeepsExactlyTheNonMagentaPixels)
{
    HeadlessDesktop desktop;
    struct Case {
        const char* name;
        int width;
        int height;
        std::function<bool(int, int)> magenta;
    };
    auto corner = [](int x, int y) {
        // Five pixels in each corner of 800 x 600: 20 in all.
        auto near = [](int a, int b) { return (a == 0 && b < 3) || (b == 0 && a < 3); };
        return near(x, y) || near(799 - x, y) || near(x, 599 - y) || near(799 - x, 599 - y);
    };
    const Case cases[] = {
        {"corners", 800, 600, corner},
        {"no magenta", 40, 30, [](int, int) { return false; }},
        // 50 runs per row over 100 rows: more rectangles than one batch holds.
        {"stripes", 100, 100, [](int x, int) { return x % 2 == 1; }},
        {"near-magenta is opaque", 8, 8, [](int, int) { return false; }},
    };
    UINT id = 800;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bitmap = BitmapFromPattern(desktop, ++id, c.width, c.height, c.magenta);
        HRGN region = CreateRectRgn(5, 5, 9, 9);
        ASSERT_TRUE(CSkinDlg::CreateRegionFromBitmap(bitmap, region, kSkinKey, kSkinKey));
        int mismatches = 0;
        long opaque = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                bool inside = PtInRegion(region, x, y) != FALSE;
                mismatches += inside == c.magenta(x, y);
                opaque += inside;
            }
        EXPECT_EQ(mismatches, 0);
        RECT box;
        GetRgnBox(region, &box);
        EXPECT_LE(box.right, c.width);
        if (std::string(c.name) == "corners") {
            EXPECT_EQ(opaque, 800L * 600 - 20);
        }
        DeleteObject(region);
        DeleteObject(bitmap);
    }
    HRGN unused = CreateRectRgn(0, 0, 1, 1);
    EXPECT_FALSE(CSkinDlg::CreateRegionFromBitmap(nullptr, unused, kSkinKey, kSkinKey));
    DeleteObject(unused);
}

TEST(SkinRegion, ToleranceWidensTheKeyRangePerChannel)
{
    HeadlessDesktop desktop;
    BitmapResource bitmap;
    bitmap.width = 3;
    bitmap.height = 1;
    bitmap.pixels = {0xFF00FF, 0xF000F0, 0xFF10FF};
    desktop.system->Resources().AddBitmap(900, bitmap);
    HBITMAP handle = LoadBitmapA(nullptr, 900);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    CSkinDlg::CreateRegionFromBitmap(handle, region, RGB(0xF0, 0, 0xF0), RGB(0x0F, 0x10, 0x0F));
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_FALSE(PtInRegion(region, 1, 0));
    EXPECT_FALSE(PtInRegion(region, 2, 0));
    CSkinDlg::CreateRegionFromBitmap(handle, region, kSkinKey, kSkinKey);
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 1, 0));
    EXPECT_TRUE(PtInRegion(region, 2, 0));
    DeleteObject(region);
    DeleteObject(handle);
}

}  // namespace
