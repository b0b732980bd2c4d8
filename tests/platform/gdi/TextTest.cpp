// Text by pixels: font resolution, extents, crisp ink in the text colour, DrawTextA layout.
#include "platform/gdi/Gdi.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr char kChinese[] = "处理完毕";

class TextCanvas {
public:
    TextCanvas(int width, int height) : m_Surface(width, height, 0xFFFFFF)
    {
        m_Dc = CreateSurfaceDC(m_Surface, POINT{0, 0}, RECT{0, 0, width, height});
        m_Font = CreateFontA(PointsToFontHeight(90), 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
        m_Previous = SelectObject(m_Dc, m_Font);
        SetBkMode(m_Dc, TRANSPARENT);
    }
    ~TextCanvas()
    {
        SelectObject(m_Dc, m_Previous);
        DeleteObject(m_Font);
        DeleteDC(m_Dc);
    }
    HDC Dc() const { return m_Dc; }
    const Surface& Pixels() const { return m_Surface; }
    void Clear() { m_Surface.Fill(0xFFFFFF); }

    // The bounding box of every pixel that is not white; empty when there is none.
    RECT InkBox() const
    {
        RECT box{m_Surface.Width(), m_Surface.Height(), 0, 0};
        for (int y = 0; y < m_Surface.Height(); ++y)
            for (int x = 0; x < m_Surface.Width(); ++x)
                if ((m_Surface.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
    bool HasInk() const
    {
        RECT box = InkBox();
        return box.right > box.left;
    }

private:
    Surface m_Surface;
    HDC m_Dc = nullptr;
    HFONT m_Font = nullptr;
    HGDIOBJ m_Previous = nullptr;
};

}  // namespace

// The tests run with their own font configuration: only the font files of the packages that
// the install script brings, so a font installed by hand can change no result.
TEST(GdiText, TestsSeeOnlyTheInstalledFontPackages)
{
    const char* file = std::getenv("FONTCONFIG_FILE");
    if (file == nullptr)
        GTEST_SKIP() << "run through ctest to get the tests' font configuration";
    LoadFontAliases();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcPattern* all = FcPatternCreate();
    FcFontSet* fonts = FcFontList(nullptr, all, objects);
    ASSERT_NE(fonts, nullptr);
    EXPECT_GT(fonts->nfont, 0);
    for (int i = 0; i < fonts->nfont; ++i) {
        FcChar8* path = nullptr;
        ASSERT_EQ(FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &path), FcResultMatch);
        std::string name = reinterpret_cast<char*>(path);
        EXPECT_TRUE(name.rfind("/usr/share/fonts/truetype/liberation/", 0) == 0 ||
                    name.rfind("/usr/share/fonts/truetype/dejavu/", 0) == 0 ||
                    name == "/usr/share/fonts/truetype/arphic/uming.ttc")
            << name;
    }
    FcFontSetDestroy(fonts);
    FcPatternDestroy(all);
    FcObjectSetDestroy(objects);
    struct Alias {
        const char* requested;
        const char* family;
    } aliases[] = {{"Arial", "Liberation Sans"},
                   {"Times New Roman", "Liberation Serif"},
                   {"Courier New", "Liberation Mono"},
                   {"宋体", "AR PL UMing CN"}};
    for (const Alias& alias : aliases) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(alias.requested));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        ASSERT_NE(match, nullptr);
        FcChar8* family = nullptr;
        ASSERT_EQ(FcPatternGetString(match, FC_FAMILY, 0, &family), FcResultMatch);
        EXPECT_STREQ(reinterpret_cast<char*>(family), alias.family) << alias.requested;
        FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
}

TEST(GdiText, SongFaceResolvesToAMingStyleCjkFont)
{
    LoadFontAliases();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("宋体"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    ASSERT_NE(match, nullptr);
    FcChar8* family = nullptr;
    ASSERT_EQ(FcPatternGetString(match, FC_FAMILY, 0, &family), FcResultMatch);
    std::string name = reinterpret_cast<char*>(family);
    EXPECT_TRUE(name == "SimSun" || name.rfind("AR PL UMing", 0) == 0 || name.rfind("Noto Serif CJK", 0) == 0) << name;
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    EXPECT_EQ(PointsToFontHeight(90), -12);
}

TEST(GdiText, TextOutInksCrisplyInsideItsExtent)
{
    TextCanvas canvas(120, 40);
    SIZE extent{};
    ASSERT_TRUE(GetTextExtentPoint32A(canvas.Dc(), kChinese, -1, &extent));
    // Four 12-pixel ideographs at 9 points.
    EXPECT_EQ(extent.cx, 48);
    EXPECT_GE(extent.cy, 12);
    EXPECT_LE(extent.cy, 18);
    SIZE two{};
    GetTextExtentPoint32A(canvas.Dc(), kChinese, 6, &two);  // the first two characters' bytes
    EXPECT_EQ(two.cx, 24);

    SetTextColor(canvas.Dc(), RGB(200, 0, 0));
    ASSERT_TRUE(TextOutA(canvas.Dc(), 10, 5, kChinese, -1));
    RECT ink = canvas.InkBox();
    ASSERT_LT(ink.left, ink.right);
    EXPECT_GE(ink.left, 10);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.right, 10 + extent.cx);
    EXPECT_LE(ink.bottom, 5 + extent.cy);
    EXPECT_GT(ink.right - ink.left, 40);  // the ink spans all four characters
    // No antialiasing: every pixel is the background or the text colour.
    int inked = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            uint32_t pixel = canvas.Pixels().Pixel(x, y) & 0xFFFFFF;
            ASSERT_TRUE(pixel == 0xFFFFFF || pixel == 0xC80000) << std::hex << pixel;
            inked += pixel == 0xC80000;
        }
    EXPECT_GT(inked, 60);
}

TEST(GdiText, OpaqueModeFillsTheTextCell)
{
    TextCanvas canvas(80, 30);
    SetBkMode(canvas.Dc(), OPAQUE);
    SetBkColor(canvas.Dc(), RGB(0, 0, 255));
    SetTextColor(canvas.Dc(), RGB(0, 0, 0));
    TextOutA(canvas.Dc(), 2, 3, "Ab", -1);
    SIZE extent{};
    GetTextExtentPoint32A(canvas.Dc(), "Ab", -1, &extent);
    EXPECT_EQ(canvas.Pixels().Pixel(2, 3) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(canvas.Pixels().Pixel(2 + extent.cx - 1, 3 + extent.cy - 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(canvas.Pixels().Pixel(2 + extent.cx, 3) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(canvas.Pixels().Pixel(2, 3 + extent.cy) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(GdiText, DrawTextAlignsInsideTheRectangle)
{
    TextCanvas canvas(200, 60);
    SIZE extent{};
    GetTextExtentPoint32A(canvas.Dc(), kChinese, -1, &extent);
    struct Case {
        const char* name;
        UINT format;
        int expectedLeft;  // ink may start a pixel or two inside the cell
    };
    const RECT rect{20, 10, 180, 50};
    const Case cases[] = {
        {"left", DT_SINGLELINE | DT_VCENTER, 20},
        {"centre", DT_SINGLELINE | DT_VCENTER | DT_CENTER, 20 + (160 - extent.cx) / 2},
        {"right", DT_SINGLELINE | DT_VCENTER | DT_RIGHT, 180 - extent.cx},
        // A wrapping layout that fits on one line is centred by the layout itself.
        {"wrapped centre", DT_WORDBREAK | DT_CENTER, 20 + (160 - extent.cx) / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        canvas.Clear();
        RECT r = rect;
        EXPECT_EQ(DrawTextA(canvas.Dc(), kChinese, -1, &r, c.format), extent.cy);
        RECT ink = canvas.InkBox();
        EXPECT_GE(ink.left, c.expectedLeft);
        EXPECT_LE(ink.left, c.expectedLeft + 2);
        EXPECT_LE(ink.right, c.expectedLeft + extent.cx);
        // Single lines are vertically centred: the cell starts at top + (40 - cy) / 2.
        int cellTop = (c.format & DT_VCENTER) ? 10 + (40 - extent.cy) / 2 : 10;
        EXPECT_GE(ink.top, cellTop);
        EXPECT_LE(ink.bottom, cellTop + extent.cy);
    }
}

TEST(GdiText, DrawTextMeasuresWrapsClipsAndStripsPrefixes)
{
    TextCanvas canvas(200, 100);
    SIZE extent{};
    GetTextExtentPoint32A(canvas.Dc(), kChinese, -1, &extent);

    RECT calc{5, 5, 5, 5};
    DrawTextA(canvas.Dc(), kChinese, -1, &calc, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(calc.right - calc.left, extent.cx);
    EXPECT_EQ(calc.bottom - calc.top, extent.cy);
    EXPECT_FALSE(canvas.HasInk());  // measuring draws nothing

    // Word breaking in a 30-pixel-wide rectangle puts two ideographs on each of two lines.
    RECT narrow{0, 0, 30, 100};
    int height = DrawTextA(canvas.Dc(), kChinese, -1, &narrow, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(height, 2 * extent.cy - 2);
    EXPECT_LE(narrow.right, 30);

    // Text is clipped to its rectangle.
    RECT small{10, 10, 30, 60};
    DrawTextA(canvas.Dc(), kChinese, -1, &small, DT_SINGLELINE);
    RECT ink = canvas.InkBox();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 30);

    // '&' marks a mnemonic unless DT_NOPREFIX is given.
    SIZE plain{};
    GetTextExtentPoint32A(canvas.Dc(), "Open", -1, &plain);
    RECT prefixed{0, 0, 0, 0};
    DrawTextA(canvas.Dc(), "&Open", -1, &prefixed, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(prefixed.right, plain.cx);
    RECT literal{0, 0, 0, 0};
    DrawTextA(canvas.Dc(), "&Open", -1, &literal, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_GT(literal.right, plain.cx);
}
