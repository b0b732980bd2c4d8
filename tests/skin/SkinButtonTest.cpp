// CSkinButton: faces by state, the pressed text shift, hidden captions, size from the face.
#include "tests/skin/ControlStage.h"

#include "skin/SkinButton.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kNormal = 0xE0C000, kHover = 0xFFE000, kPressed = 0xA08000;
constexpr RECT kButton = {20, 20, 109, 47};  // 89 x 27 once the faces are set
constexpr POINT kFacePoint = {23, 23};
constexpr POINT kInside = {64, 33};

struct ButtonStage {
    explicit ButtonStage(bool showText = true, bool faces = true) : stage(desktop, 200, 100)
    {
        desktop.AddBitmap(153, 89, 27, kNormal);
        desktop.AddBitmap(152, 89, 27, kHover);
        desktop.AddBitmap(154, 89, 27, kPressed);
        stage.parent.handlers[WM_COMMAND] = [this](WPARAM w, LPARAM) {
            if (HIWORD(w) == BN_CLICKED)
                ++clicks;
            return LRESULT{0};
        };
        HWND control =
            stage.AddControl(WC_BUTTON, "开始", BS_PUSHBUTTON | WS_BORDER, {kButton.left, kButton.top, 60, 40}, 1006);
        button.SubclassWindow(control);
        if (faces)
            button.SetBitmaps(153, 152, 154, 154, 0x1000000, 0);
        button.ShowText(showText);
        desktop.backend->Run();
    }
    uint32_t Face() const { return stage.Pixel(kFacePoint.x, kFacePoint.y); }
    std::optional<RECT> Text() const { return stage.Box(kButton, 0x000000); }

    HeadlessDesktop desktop;
    ControlStage stage;
    CSkinButton button;
    int clicks = 0;
};

TEST(SkinButton, TakesItsNormalFacesSizeAndBecomesOwnerDrawn)
{
    RECT rect;
    {
        ButtonStage bench;
        bench.button.GetWindowRect(&rect);
        EXPECT_EQ(rect, kButton);
        EXPECT_EQ(bench.button.GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);
        EXPECT_FALSE(bench.button.GetStyle() & WS_BORDER);
    }
    ButtonStage plain(true, false);
    plain.button.GetWindowRect(&rect);
    EXPECT_EQ(rect, (RECT{20, 20, 60, 40})) << "without a face the button keeps its size";
    EXPECT_EQ(plain.stage.Pixel(25, 25), Px(0xFF0000)) << "plain blue face";
}

TEST(SkinButton, FaceFollowsHoverPressReleaseLeaveAndDisable)
{
    ButtonStage bench;
    std::vector<uint32_t> faces{bench.Face()};
    auto record = [&] { faces.push_back(bench.Face()); };
    auto& script = *bench.desktop.backend;
    script.MoveMouse(kInside.x, kInside.y).Then(record);
    script.PressLeft().Then(record);
    script.ReleaseLeft().Then(record);
    script.MoveMouse(150, 80).Then(record);
    script.Run();
    EXPECT_EQ(faces, (std::vector<uint32_t>{kNormal, kHover, kPressed, kHover, kNormal}));
    EXPECT_EQ(bench.clicks, 1);

    bench.button.EnableWindow(FALSE);
    script.Run();
    EXPECT_EQ(bench.Face(), kPressed) << "the disabled face is the pressed picture";
}

TEST(SkinButton, PressedTextMovesOnePixelRightAndDown)
{
    ButtonStage bench;
    auto& script = *bench.desktop.backend;
    std::optional<RECT> hovered, pressed;
    script.MoveMouse(kInside.x, kInside.y).Then([&] { hovered = bench.Text(); });
    script.PressLeft().Then([&] { pressed = bench.Text(); }).ReleaseLeft().Run();
    ASSERT_TRUE(hovered && pressed);
    EXPECT_EQ(pressed->left, hovered->left + 1);
    EXPECT_EQ(pressed->top, hovered->top + 1);
    EXPECT_EQ(pressed->right, hovered->right + 1);
}

TEST(SkinButton, CaptionIsDrawnOnlyWhenShown)
{
    {
        ButtonStage shown(true);
        EXPECT_TRUE(shown.Text().has_value());
    }
    ButtonStage hidden(false);
    EXPECT_FALSE(hidden.Text().has_value());
}

TEST(SkinButton, DraggingOntoItWithTheButtonHeldDoesNotLightIt)
{
    ButtonStage bench;
    auto& script = *bench.desktop.backend;
    uint32_t face = 0;
    script.MoveMouse(150, 80).PressLeft().MoveMouse(kInside.x, kInside.y).MoveMouse(kInside.x + 1, kInside.y);
    script.Then([&] { face = bench.Face(); }).ReleaseLeft().Run();
    EXPECT_EQ(face, kNormal);
    EXPECT_FALSE(bench.button.IsHover());
    EXPECT_EQ(bench.clicks, 0);
}

}  // namespace
