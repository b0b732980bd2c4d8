// CSkinLabel: the captured-parent brush before and after SetBackground, moves and blending.
#include "tests/skin/ControlStage.h"

#include "skin/SkinLabel.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr uint32_t kParentGrey = 0x808080;
constexpr RECT kLabel = {40, 30, 140, 60};

struct LabelStage {
    LabelStage() : stage(desktop, 300, 200, kParentGrey)
    {
        HWND control = stage.AddControl(WC_STATIC, "", SS_LEFT, kLabel, 1010);
        label.SubclassWindow(control);
        desktop.backend->Run();
    }
    size_t Prints() const { return stage.parent.Count(WM_PRINT); }
    void Move(int x, int y)
    {
        label.SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE);
        desktop.backend->Run();
    }

    HeadlessDesktop desktop;
    ControlStage stage;
    CSkinLabel label;
};

bool Near(uint32_t pixel, uint32_t expected, int tolerance)
{
    for (int shift : {0, 8, 16}) {
        int a = static_cast<int>((pixel >> shift) & 0xFF);
        int b = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

TEST(SkinLabel, IsMagentaUntilItsBackgroundIsSet)
{
    LabelStage bench;
    EXPECT_EQ(bench.stage.Pixel(50, 40), 0xFF00FFu);
    EXPECT_EQ(bench.Prints(), 0u);
}

TEST(SkinLabel, PlainColourIsCutFromTheParentAndStaysWhereTheLabelWasWhenMoved)
{
    LabelStage bench;
    // The parent shows a mark where the label goes, so its image under the label can be told
    // from a plain fill.
    const RECT mark = {160, 110, 200, 120};
    bench.stage.parent.handlers[WM_ERASEBKGND] = [&](WPARAM wParam, LPARAM) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        FillClient(bench.stage.parent.m_hWnd, dc, Px(kParentGrey));
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &mark, blue);
        DeleteObject(blue);
        return LRESULT{1};
    };
    bench.label.SetBackground(0x00FF00, 0x00FF00, 0x1000000, 0);
    bench.label.SetTextColor(0xFFFFFF);
    bench.desktop.backend->Run();
    EXPECT_EQ(bench.Prints(), 1u) << "the parent painted itself once into the capture";
    EXPECT_EQ(bench.stage.Count(kLabel, 0x00FF00), 100 * 30);
    EXPECT_EQ(bench.stage.Pixel(39, 40), kParentGrey);

    bench.Move(150, 100);
    EXPECT_EQ(bench.Prints(), 1u) << "an opaque label keeps its brush when moved";
    const RECT moved = {150, 100, 250, 130};
    EXPECT_EQ(bench.stage.Count(moved, 0x00FF00), 0) << "the colour stayed at the old place";
    EXPECT_EQ(bench.stage.Count(moved, 0x0000FF), 40 * 10) << "the parent's image under the label";
    EXPECT_EQ(bench.stage.Box(moved, 0x0000FF), mark);
    EXPECT_EQ(bench.stage.Count(moved, kParentGrey), 100 * 30 - 40 * 10);
    EXPECT_EQ(bench.stage.Pixel(50, 40), kParentGrey) << "the old place shows the parent again";

    SetWindowTextA(bench.label.m_hWnd, "处理完毕");
    bench.desktop.backend->Run();
    EXPECT_GT(bench.stage.Count(moved, 0xFFFFFF), 10) << "text in the label's colour";
}

TEST(SkinLabel, SeeThroughLevelBlendsAtConstantAlphaAndFollowsMoves)
{
    LabelStage bench;
    bench.label.SetBackground(RGB(255, 0, 0), RGB(255, 0, 0), 0x1000000, 100);
    bench.desktop.backend->Run();
    // 155 / 255 of red over 100 / 255 of the grey parent.
    uint32_t blended = (205u << 16) | (50u << 8) | 50u;
    EXPECT_TRUE(Near(bench.stage.Pixel(50, 40), blended, 2)) << std::hex << bench.stage.Pixel(50, 40);
    bench.Move(150, 100);
    EXPECT_EQ(bench.Prints(), 2u) << "a blended label rebuilds its brush on a move";
    EXPECT_TRUE(Near(bench.stage.Pixel(160, 110), blended, 2));
}

TEST(SkinLabel, DifferentColoursMakeAGradient)
{
    LabelStage bench;
    bench.label.SetBackground(RGB(0, 0, 0), RGB(255, 255, 255), 0x1000000, 0);
    bench.desktop.backend->Run();
    uint32_t left = bench.stage.Pixel(kLabel.left, 45);
    uint32_t right = bench.stage.Pixel(kLabel.right - 1, 45);
    EXPECT_LT(left & 0xFF, 10u);
    EXPECT_GT(right & 0xFF, 240u);
    EXPECT_EQ(bench.stage.Pixel(kLabel.left, kLabel.top), bench.stage.Pixel(kLabel.left, kLabel.bottom - 1));
}

}  // namespace
