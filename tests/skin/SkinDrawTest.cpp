// CSkinDraw: gradients, key-colour copies and stretches, centred text extents.
#include "tests/platform/HeadlessDesktop.h"

#include "skin/SkinDraw.h"

#include <gtest/gtest.h>

namespace {

// A memory DC over a fresh white bitmap.
struct Canvas {
    Canvas(int width, int height)
    {
        dc.CreateCompatibleDC(nullptr);
        HDC screen = GetDC(nullptr);
        bitmap.Attach(CreateCompatibleBitmap(screen, width, height));
        ReleaseDC(nullptr, screen);
        old = dc.SelectObject(&bitmap);
        dc.FillSolidRect({0, 0, width, height}, RGB(255, 255, 255));
    }
    ~Canvas() { dc.SelectObject(old); }
    COLORREF At(int x, int y) { return GetPixel(dc, x, y); }
    CDC dc;
    CBitmap bitmap;
    HGDIOBJ old = nullptr;
};

TEST(SkinDraw, GradientRunsLeftToRightOnlyForTheHorizontalWord)
{
    HeadlessDesktop desktop;
    struct Case {
        DWORD mode;
        bool horizontal;
    };
    for (const Case& c : {Case{0, false}, Case{0x10000000, false}, Case{0x1000000, true}, Case{1, false}}) {
        SCOPED_TRACE(c.mode);
        Canvas canvas(64, 64);
        CSkinDraw().FillGradient(&canvas.dc, RGB(0, 0, 0), RGB(255, 255, 255), c.mode, {0, 0, 64, 64});
        COLORREF topLeft = canvas.At(0, 0);
        COLORREF topRight = canvas.At(63, 0);
        COLORREF bottomLeft = canvas.At(0, 63);
        EXPECT_LT(GetRValue(topLeft), 10);
        if (c.horizontal) {
            EXPECT_GT(GetRValue(topRight), 240);
            EXPECT_EQ(bottomLeft, topLeft);
        } else {
            EXPECT_GT(GetRValue(bottomLeft), 240);
            EXPECT_EQ(topRight, topLeft);
        }
    }
    Canvas solid(16, 16);
    CSkinDraw().FillGradient(&solid.dc, 0x262626, 0x262626, 0, {0, 0, 16, 16});
    EXPECT_EQ(solid.At(0, 0), 0x262626u);
    EXPECT_EQ(solid.At(15, 15), 0x262626u);
}

TEST(SkinDraw, KeyColourPixelsLeaveTheTargetUnchanged)
{
    HeadlessDesktop desktop;
    desktop.AddBitmap(900, 21, 17, 0x3366CC, {{0, 0}, {20, 16}, {10, 8}});
    CBitmap button;
    ASSERT_TRUE(button.LoadBitmap(900));

    Canvas exact(40, 30);
    CSkinDraw().StretchTransparent(&exact.dc, &button, {5, 5, 26, 22}, kSkinKey);
    EXPECT_EQ(exact.At(6, 5), RGB(0x33, 0x66, 0xCC));
    EXPECT_EQ(exact.At(24, 21), RGB(0x33, 0x66, 0xCC));
    for (auto [x, y] : {std::pair{5, 5}, std::pair{25, 21}, std::pair{15, 13}})
        EXPECT_EQ(exact.At(x, y), RGB(255, 255, 255)) << x << "," << y;
    EXPECT_EQ(exact.At(4, 5), RGB(255, 255, 255)) << "nothing outside the rectangle";
    EXPECT_EQ(exact.At(26, 5), RGB(255, 255, 255));

    Canvas doubled(60, 50);
    CSkinDraw().StretchTransparent(&doubled.dc, &button, {0, 0, 42, 34}, kSkinKey);
    EXPECT_EQ(doubled.At(1, 1), RGB(255, 255, 255)) << "the key pixel grows with the stretch";
    EXPECT_EQ(doubled.At(2, 2), RGB(0x33, 0x66, 0xCC));
    EXPECT_EQ(doubled.At(41, 33), RGB(255, 255, 255));
    EXPECT_EQ(doubled.At(39, 33), RGB(0x33, 0x66, 0xCC));

    Canvas copied(40, 30);
    CSkinDraw().DrawTransparentBitmap(&copied.dc, &button, 2, 3, kSkinKey);
    EXPECT_EQ(copied.At(2, 3), RGB(255, 255, 255));
    EXPECT_EQ(copied.At(3, 3), RGB(0x33, 0x66, 0xCC));
    CSkinDraw().DrawBitmap(&copied.dc, &button, 2, 3);
    EXPECT_EQ(copied.At(2, 3), RGB(255, 0, 255)) << "the plain copy keeps the key colour";
}

TEST(SkinDraw, MissingBitmapDrawsNothing)
{
    HeadlessDesktop desktop;
    CBitmap missing;
    Canvas canvas(10, 10);
    CSkinDraw draw;
    draw.DrawBitmap(&canvas.dc, &missing, 0, 0);
    draw.DrawTransparentBitmap(&canvas.dc, &missing, 0, 0, kSkinKey);
    draw.StretchTransparent(&canvas.dc, &missing, {0, 0, 10, 10}, kSkinKey);
    EXPECT_EQ(canvas.At(5, 5), RGB(255, 255, 255));
}

TEST(SkinDraw, CentredTextExtentTruncatesTowardZero)
{
    HeadlessDesktop desktop;
    Canvas canvas(10, 10);
    CFont font;
    font.CreatePointFont(90, "宋体");
    canvas.dc.SelectObject(&font);
    const std::string text = "点击下载";
    SIZE extent = canvas.dc.GetTextExtent(text);
    ASSERT_GT(extent.cx, 10);
    struct Case {
        int spareWidth;  // rectangle width minus text width
        int dx;
    };
    for (const Case& c : {Case{60, 30}, Case{61, 30}, Case{0, 0}, Case{-3, -1}, Case{-4, -2}}) {
        SCOPED_TRACE(c.spareWidth);
        RECT rc = {10, 20, 10 + extent.cx + c.spareWidth, 20 + extent.cy + 6};
        RECT centred = CSkinDraw().CenterTextRect(&canvas.dc, text, rc);
        EXPECT_EQ(centred.left, rc.left + c.dx);
        EXPECT_EQ(centred.right, rc.right - c.dx);
        EXPECT_EQ(centred.top, 23);
        EXPECT_EQ(centred.bottom, rc.bottom - 3);
    }
}

}  // namespace
