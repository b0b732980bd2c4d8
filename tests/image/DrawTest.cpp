// Drawing pictures onto memory DCs: plain copies, scaling, every blend rule and clipping.
#include "image/Picture.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// A display-compatible canvas in a memory DC, read back pixel by pixel as 0x00RRGGBB.
class Canvas {
public:
    Canvas(int width, int height) : m_Width(width), m_Height(height)
    {
        HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        m_Dc = CreateCompatibleDC(screen);
        m_Bitmap = CreateCompatibleBitmap(screen, width, height);
        DeleteDC(screen);
        m_Previous = SelectObject(m_Dc, m_Bitmap);
        // A background that differs from pixel to pixel, so misplaced reads show.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                SetPixel(m_Dc, x, y,
                         RGB(static_cast<BYTE>(17 * x + 3), static_cast<BYTE>(29 * y + 7),
                             static_cast<BYTE>(11 * (x + y) + 100)));
    }
    ~Canvas()
    {
        SelectObject(m_Dc, m_Previous);
        DeleteObject(m_Bitmap);
        DeleteDC(m_Dc);
    }
    HDC Dc() const { return m_Dc; }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    uint32_t Pixel(int x, int y) const { return GetBitmapSurface(m_Bitmap)->Pixel(x, y) & 0xFFFFFF; }
    std::vector<uint32_t> Snapshot() const
    {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < m_Height; ++y)
            for (int x = 0; x < m_Width; ++x)
                pixels.push_back(Pixel(x, y));
        return pixels;
    }

private:
    int m_Width;
    int m_Height;
    HDC m_Dc = nullptr;
    HBITMAP m_Bitmap = nullptr;
    HGDIOBJ m_Previous = nullptr;
};

uint32_t Rgb(const RGBQUAD& q)
{
    return (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
}

// Picture pixel at column x and row `top` counted from the picture's top edge.
RGBQUAD PictureColour(const CPicture& picture, long x, long top)
{
    long row = static_cast<long>(picture.GetHeight()) - 1 - top;
    if (picture.GetNumColors())
        return picture.GetPaletteColor(picture.GetPixelIndex(x, row));
    const BYTE* p = picture.GetBits(row) + 3 * x;
    return RGBQUAD{p[0], p[1], p[2], 0};
}

// The blend of one picture pixel over one canvas pixel, written out from the drawing rules.
uint32_t ExpectedBlend(const CPicture& picture, long x, long top, uint32_t background)
{
    long row = static_cast<long>(picture.GetHeight()) - 1 - top;
    int alpha = picture.AlphaIsValid() ? picture.AlphaGet(x, row) : 255;
    alpha = (alpha * (picture.info.nAlphaMax + 1)) / 256;
    RGBQUAD colour = PictureColour(picture, x, top);
    if (picture.GetNumColors()) {
        if (picture.info.bAlphaPaletteEnabled)
            alpha = (alpha * (colour.rgbReserved + 1)) / 256;
        if (picture.info.nBkgndIndex != -1 && picture.GetPixelIndex(x, row) == picture.info.nBkgndIndex)
            return background;
    } else if (picture.info.nBkgndIndex != -1) {
        const RGBQUAD key = picture.info.nBkgndColor;
        if (key.rgbReserved == 0 && key.rgbBlue == colour.rgbBlue && key.rgbGreen == colour.rgbGreen &&
            key.rgbRed == colour.rgbRed)
            return background;
    }
    if (alpha == 0)
        return background;
    if (alpha == 255)
        return Rgb(colour);
    auto mix = [&](int shift, BYTE value) {
        uint32_t under = (background >> shift) & 0xFF;
        return ((under * (255 - alpha) + static_cast<uint32_t>(alpha) * value) / 256) << shift;
    };
    return mix(16, colour.rgbRed) | mix(8, colour.rgbGreen) | mix(0, colour.rgbBlue);
}

// Checks a 1:1 draw at (x, y) over every canvas pixel against ExpectedBlend.
void ExpectBlendedDraw(const CPicture& picture, long x, long y)
{
    Canvas canvas(12, 10);
    std::vector<uint32_t> before = canvas.Snapshot();
    CPicture& drawn = const_cast<CPicture&>(picture);
    EXPECT_EQ(drawn.Draw(canvas.Dc(), x, y), 1);
    for (int ty = 0; ty < canvas.Height(); ++ty) {
        for (int tx = 0; tx < canvas.Width(); ++tx) {
            uint32_t under = before[static_cast<size_t>(ty * canvas.Width() + tx)];
            long px = tx - x;
            long top = ty - y;
            bool inside = px >= 0 && top >= 0 && px < static_cast<long>(picture.GetWidth()) &&
                          top < static_cast<long>(picture.GetHeight());
            uint32_t expected = inside ? ExpectedBlend(picture, px, top, under) : under;
            ASSERT_EQ(canvas.Pixel(tx, ty), expected) << "at " << tx << "," << ty;
        }
    }
}

void FillRandom24(CPicture& picture, std::mt19937& random)
{
    for (DWORD y = 0; y < picture.GetHeight(); ++y)
        for (DWORD x = 0; x < picture.GetWidth() * 3; ++x)
            picture.GetBits(y)[x] = static_cast<BYTE>(random());
}

}  // namespace

TEST(PictureDraw, WorkedBlendValues)
{
    struct Case {
        const char* name;
        BYTE background;
        BYTE image;
        BYTE alpha;
        BYTE alphaMax;
        BYTE expected;
    };
    const Case cases[] = {
        {"alpha 128 over 200", 200, 0, 128, 255, 99},
        {"alpha 254 white on white stays below 255", 255, 255, 254, 255, 254},
        {"global opacity 127 turns 200 into 100", 0, 255, 200, 127, 99},
        {"alpha 255 copies", 10, 77, 255, 255, 77},
        {"alpha 0 keeps the target", 10, 77, 0, 255, 10},
        {"global opacity 0 keeps the target", 10, 77, 255, 0, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(1, 1);
        COLORREF under = RGB(c.background, c.background, c.background);
        SetPixel(canvas.Dc(), 0, 0, under);
        CPicture picture(1, 1, 24);
        picture.SetPixelColor(0, 0, RGB(c.image, c.image, c.image));
        ASSERT_TRUE(picture.AlphaCreate());
        picture.AlphaSet(0, 0, c.alpha);
        picture.info.nAlphaMax = c.alphaMax;
        EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0), 1);
        EXPECT_EQ(canvas.Pixel(0, 0), 0x010101u * c.expected);
    }
}

TEST(PictureDraw, PaletteAlphaWithoutAlphaPlaneIsTheEntryOpacity)
{
    Canvas canvas(1, 1);
    SetPixel(canvas.Dc(), 0, 0, RGB(0, 0, 0));
    CPicture picture(1, 1, 8);
    picture.SetPaletteColor(3, 255, 255, 255, 100);
    picture.SetPixelIndex(0, 0, 3);
    picture.info.bAlphaPaletteEnabled = true;
    picture.Draw(canvas.Dc(), 0, 0);
    // a = 255 * 256 >> 8 = 255, then 255 * 101 >> 8 = 100; 100 * 255 >> 8 = 99.
    EXPECT_EQ(canvas.Pixel(0, 0), 0x636363u);
}

TEST(PictureDraw, OpaquePictureLandsByteForByte)
{
    std::mt19937 random(7);
    for (WORD bpp : {WORD{24}, WORD{8}, WORD{4}, WORD{1}}) {
        SCOPED_TRACE(bpp);
        CPicture picture(5, 4, bpp);
        if (bpp == 24) {
            FillRandom24(picture, random);
        } else {
            for (DWORD i = 0; i < picture.GetNumColors(); ++i)
                picture.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                                        static_cast<BYTE>(random()));
            for (long y = 0; y < 4; ++y)
                for (long x = 0; x < 5; ++x)
                    picture.SetPixelIndex(x, y, static_cast<BYTE>(random() % picture.GetNumColors()));
        }
        Canvas canvas(8, 8);
        std::vector<uint32_t> before = canvas.Snapshot();
        EXPECT_EQ(picture.Draw(canvas.Dc(), 2, 3), 1);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= 2 && x < 7 && y >= 3 && y < 7;
                uint32_t expected =
                    inside ? Rgb(PictureColour(picture, x - 2, y - 3)) : before[static_cast<size_t>(y * 8 + x)];
                ASSERT_EQ(canvas.Pixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(PictureDraw, AlphaPlaneBlendMatchesReference)
{
    std::mt19937 random(11);
    CPicture picture(5, 4, 24);
    FillRandom24(picture, random);
    ASSERT_TRUE(picture.AlphaCreate());
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 5; ++x)
            picture.AlphaSet(x, y, static_cast<BYTE>(random()));
    picture.AlphaSet(0, 0, 0);
    picture.AlphaSet(1, 0, 255);
    picture.info.nAlphaMax = 200;
    ExpectBlendedDraw(picture, 3, 2);
    ExpectBlendedDraw(picture, -2, 7);  // partly outside: only the inside part is drawn
}

TEST(PictureDraw, PaletteAlphaAndTransparentIndexMatchReference)
{
    std::mt19937 random(13);
    CPicture picture(6, 5, 8);
    for (int i = 0; i < 256; ++i)
        picture.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                                static_cast<BYTE>(random()), static_cast<BYTE>(random()));
    for (long y = 0; y < 5; ++y)
        for (long x = 0; x < 6; ++x)
            picture.SetPixelIndex(x, y, static_cast<BYTE>(random() % 6));
    picture.info.bAlphaPaletteEnabled = true;
    picture.SetTransIndex(2);
    ExpectBlendedDraw(picture, 1, 1);
    ASSERT_TRUE(picture.AlphaCreate());
    for (long y = 0; y < 5; ++y)
        for (long x = 0; x < 6; ++x)
            picture.AlphaSet(x, y, static_cast<BYTE>(random()));
    ExpectBlendedDraw(picture, 4, 6);
}

TEST(PictureDraw, TransparentColourOf24BitPicture)
{
    std::mt19937 random(17);
    CPicture picture(4, 4, 24);
    FillRandom24(picture, random);
    const RGBQUAD key{10, 20, 30, 0};
    for (long i = 0; i < 4; ++i)
        picture.SetPixelColor(i, i, key);
    picture.SetTransIndex(0);
    picture.info.nBkgndColor = key;
    ExpectBlendedDraw(picture, 2, 2);

    // A key whose fourth byte is set never matches: the key-coloured pixels are painted.
    picture.info.nBkgndColor.rgbReserved = 1;
    Canvas canvas(4, 4);
    picture.Draw(canvas.Dc(), 0, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(canvas.Pixel(i, 3 - i), 0x1E140Au);
}

TEST(PictureDraw, ScalingMapsPixelsByNearestNeighbour)
{
    // Picture pixel (x, row from top) carries the value 16 * top + x in its blue byte.
    auto makePicture = [](long size) {
        CPicture picture(static_cast<DWORD>(size), static_cast<DWORD>(size), 24);
        for (long top = 0; top < size; ++top)
            for (long x = 0; x < size; ++x)
                picture.SetPixelColor(x, size - 1 - top, RGBQUAD{static_cast<BYTE>(16 * top + x), 0, 0, 0});
        return picture;
    };
    struct Case {
        const char* name;
        long pictureSize;
        long drawSize;
        bool blended;
    };
    const Case cases[] = {
        {"enlarge 4 to 8, plain", 4, 8, false},
        {"enlarge 4 to 8, blended", 4, 8, true},
        {"reduce 8 to 4, plain", 8, 4, false},
        {"reduce 8 to 4, blended", 8, 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CPicture picture = makePicture(c.pictureSize);
        if (c.blended) {
            ASSERT_TRUE(picture.AlphaCreate());  // all opaque: copied through the blended path
        }
        Canvas canvas(8, 8);
        EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0, c.drawSize, c.drawSize), 1);
        for (int y = 0; y < c.drawSize; ++y)
            for (int x = 0; x < c.drawSize; ++x) {
                // Enlarging repeats each column and row twice; reducing takes columns 0, 2, 4, 6
                // and rows 1, 3, 5, 7 counted from the top.
                long sx = c.drawSize > c.pictureSize ? x / 2 : 2 * x;
                long top = c.drawSize > c.pictureSize ? y / 2 : 2 * y + 1;
                ASSERT_EQ(canvas.Pixel(x, y), static_cast<uint32_t>(16 * top + sx)) << x << "," << y;
            }
    }
}

TEST(PictureDraw, ScaledPalettePictureUsesItsColours)
{
    CPicture picture(2, 2, 1);
    picture.Clear(0);
    picture.SetPaletteColor(0, 255, 0, 0);
    picture.SetPaletteColor(1, 0, 0, 255);
    picture.SetPixelIndex(1, 1, 1);  // top-right
    Canvas canvas(4, 4);
    picture.Draw(canvas.Dc(), 0, 0, 4, 4);
    EXPECT_EQ(canvas.Pixel(3, 0), 0x0000FFu);
    EXPECT_EQ(canvas.Pixel(2, 1), 0x0000FFu);
    EXPECT_EQ(canvas.Pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(3, 3), 0xFF0000u);
}

TEST(PictureDraw, NothingIsAttemptedForEmptyDisabledOrZeroSizedDraws)
{
    CPicture picture(3, 3, 24);
    picture.Clear(0);
    Canvas canvas(4, 4);
    std::vector<uint32_t> before = canvas.Snapshot();
    EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0, 0, 3), 0);
    EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0, 3, 0), 0);
    EXPECT_EQ(picture.Draw(nullptr, 0, 0), 0);
    CPicture empty;
    EXPECT_EQ(empty.Draw(canvas.Dc(), 0, 0), 0);
    picture.info.bEnabled = false;
    EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0), 0);
    EXPECT_EQ(canvas.Snapshot(), before);

    // cx = -1 draws at the picture's own width (black picture, 3 x 2 here).
    picture.info.bEnabled = true;
    EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0, -1, 2), 1);
    EXPECT_EQ(canvas.Pixel(2, 1), 0u);
    EXPECT_EQ(canvas.Pixel(3, 1), before[7]);
    EXPECT_EQ(canvas.Pixel(2, 2), before[10]);
}

TEST(PictureDraw, ClipRectangleLimitsPaintingAndIsRestored)
{
    for (bool blended : {false, true}) {
        SCOPED_TRACE(blended ? "blended" : "plain");
        CPicture picture(4, 4, 24);
        picture.Clear(0);
        if (blended) {
            ASSERT_TRUE(picture.AlphaCreate());
        }
        Canvas canvas(8, 8);
        std::vector<uint32_t> before = canvas.Snapshot();
        const RECT clip{2, 1, 5, 3};
        // Scaled so that the blended and the plain path both go through the paint box.
        EXPECT_EQ(picture.Draw(canvas.Dc(), 0, 0, 8, 8, &clip), 1);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
                ASSERT_EQ(canvas.Pixel(x, y), inside ? 0u : before[static_cast<size_t>(y * 8 + x)]) << x << "," << y;
            }
        RECT box{};
        GetClipBox(canvas.Dc(), &box);
        EXPECT_EQ(box.left, 0);
        EXPECT_EQ(box.top, 0);
        EXPECT_EQ(box.right, 8);
        EXPECT_EQ(box.bottom, 8);
    }
}

TEST(PictureDraw, DestinationOutsideClipBoxChangesNothing)
{
    CPicture picture(4, 4, 24);
    ASSERT_TRUE(picture.AlphaCreate());
    Canvas canvas(8, 8);
    std::vector<uint32_t> before = canvas.Snapshot();
    EXPECT_EQ(picture.Draw(canvas.Dc(), 20, 2), 1);
    EXPECT_EQ(picture.Draw(canvas.Dc(), 2, -10, 4, 4), 1);
    EXPECT_EQ(canvas.Snapshot(), before);
}
