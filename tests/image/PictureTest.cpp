// CPicture: sizes, depth normalisation, palette and pixel operations, geometry, ownership.
#include "image/Picture.h"
#include "tests/TestData.h"

#include <cstring>
#include <functional>
#include <vector>

namespace {

// A picture whose every pixel is a function of its position, with an alpha plane.
std::unique_ptr<CPicture> Patterned(DWORD width, DWORD height, DWORD bpp)
{
    auto picture = std::make_unique<CPicture>(width, height, bpp);
    picture->AlphaCreate();
    for (long y = 0; y < static_cast<long>(height); ++y) {
        for (long x = 0; x < static_cast<long>(width); ++x) {
            if (bpp == 24)
                picture->SetPixelColor(x, y, RGB(static_cast<BYTE>(x * 10 + 1), static_cast<BYTE>(y * 10 + 2), 3));
            else
                picture->SetPixelIndex(x, y, static_cast<BYTE>((x * 7 + y * 3) % picture->GetNumColors()));
            picture->AlphaSet(x, y, static_cast<BYTE>(x * 16 + y));
        }
    }
    return picture;
}

bool SamePixel(const CPicture& a, long ax, long ay, const CPicture& b, long bx, long by)
{
    return a.GetPixelColor(ax, ay, true) == b.GetPixelColor(bx, by, true) &&
           a.GetPixelIndex(ax, ay) == b.GetPixelIndex(bx, by);
}

}  // namespace

TEST(PictureCreate, SizesFollowDepthAndWidth)
{
    struct Case {
        DWORD width, height, bpp;
        WORD bitCount;
        DWORD effWidth, sizeImage, colors, size;
    };
    const Case cases[] = {
        {10, 3, 24, 24, 32, 96, 0, 136},  {10, 3, 1, 1, 4, 12, 2, 60},     {10, 3, 0, 1, 4, 12, 2, 60},
        {10, 3, 2, 4, 8, 24, 16, 128},    {10, 3, 3, 4, 8, 24, 16, 128},   {10, 3, 5, 8, 12, 36, 256, 1100},
        {10, 3, 7, 8, 12, 36, 256, 1100}, {10, 3, 16, 24, 32, 96, 0, 136}, {10, 3, 32, 24, 32, 96, 0, 136},
        {33, 1, 1, 1, 8, 8, 2, 56},       {0, 5, 24, 24, 0, 0, 0, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bpp);
        CPicture picture;
        ASSERT_NE(picture.Create(c.width, c.height, c.bpp, PICTURE_FORMAT_PNG), nullptr);
        EXPECT_EQ(picture.GetBpp(), c.bitCount);
        EXPECT_EQ(picture.GetEffWidth(), c.effWidth);
        EXPECT_EQ(picture.head.biSizeImage, c.sizeImage);
        EXPECT_EQ(picture.GetNumColors(), c.colors);
        EXPECT_EQ(picture.GetSize(), c.size);
        EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_PNG);
        EXPECT_EQ(picture.GetBits(0), picture.pDib + 40 + c.colors * 4);
        // The header copy at the front of the block is little-endian, field by field.
        EXPECT_EQ(picture.pDib[0], 40);
        EXPECT_EQ(picture.pDib[14], c.bitCount);
        for (DWORD i = 0; i < c.colors; ++i)
            EXPECT_EQ(picture.GetPaletteColor(static_cast<BYTE>(i)), RGBQUAD{});
    }
}

TEST(PictureCreate, RefusesSizesBeyondTheLimitsWithoutWrapping)
{
    struct Case {
        DWORD width, height, bpp;
        const char* error;
    };
    const Case cases[] = {
        {100000, 100000, 24, "PICTURE_MAX_MEMORY exceeded"},
        {0xFFFFFFFF, 0xFFFFFFFF, 24, "PICTURE_MAX_MEMORY exceeded"},
        {0x80000000, 0x80000000, 1, "PICTURE_MAX_MEMORY exceeded"},
        // Within the limit but not describable by a signed 32-bit width.
        {0xFFFFFFFF, 1, 1, "CPicture::Create can't allocate memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bpp);
        CPicture picture(1, 1, 24);
        EXPECT_EQ(picture.Create(c.width, c.height, c.bpp), nullptr);
        EXPECT_FALSE(picture.IsValid());
        EXPECT_STREQ(picture.GetLastError(), c.error);
    }
}

TEST(PictureCreate, KeepsTheCallersSettings)
{
    CPicture picture;
    picture.SetTransIndex(7);
    picture.SetXDPI(300);
    picture.info.nFrame = 2;
    ASSERT_TRUE(picture.Create(4, 4, 8));
    EXPECT_EQ(picture.GetTransIndex(), 7);
    EXPECT_EQ(picture.GetXDPI(), 300);
    EXPECT_EQ(picture.info.nFrame, 2);
}

TEST(Picture, StartupDefaultsAndResolution)
{
    CPicture picture(PICTURE_FORMAT_GIF);
    EXPECT_FALSE(picture.IsValid());
    EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_GIF);
    EXPECT_EQ(picture.info.nQuality, 90);
    EXPECT_EQ(picture.info.nAlphaMax, 255);
    EXPECT_EQ(picture.GetTransIndex(), -1);
    EXPECT_TRUE(picture.info.bEnabled);
    EXPECT_EQ(picture.head.biXPelsPerMeter, 3780);
    struct Case {
        long dpi;
        LONG pelsPerMeter;
    };
    // Resolutions the 32-bit field cannot hold saturate.
    for (const Case c : {Case{72, 2835}, Case{300, 11811}, Case{96, 3780}, Case{0, 0}, Case{100000000, INT32_MAX},
                         Case{-100000000, INT32_MIN}}) {
        picture.SetXDPI(c.dpi);
        picture.SetYDPI(c.dpi);
        EXPECT_EQ(picture.head.biXPelsPerMeter, c.pelsPerMeter);
        EXPECT_EQ(picture.head.biYPelsPerMeter, c.pelsPerMeter);
    }
}

TEST(PicturePixels, IndexesPackByDepth)
{
    CPicture four(3, 2, 4);
    four.Clear(0);
    four.SetPixelIndex(0, 1, 0xA);
    four.SetPixelIndex(1, 1, 0x1F);  // only the low 4 bits are stored
    EXPECT_EQ(four.GetBits(1)[0], 0xAF);
    EXPECT_EQ(four.GetPixelIndex(1, 1), 0xF);

    CPicture one(10, 1, 1);
    one.Clear(0);
    one.SetPixelIndex(0, 0, 1);
    one.SetPixelIndex(9, 0, 3);  // lowest bit
    EXPECT_EQ(one.GetBits(0)[0], 0x80);
    EXPECT_EQ(one.GetBits(0)[1], 0x40);
    one.SetPixelIndex(0, 0, 0);
    EXPECT_EQ(one.GetBits(0)[0], 0x00);

    CPicture eight(2, 2, 8);
    eight.Clear(9);
    EXPECT_EQ(eight.GetPixelIndex(5, 5), 9);  // outside: the first pixel byte
    eight.SetTransIndex(4);
    EXPECT_EQ(eight.GetPixelIndex(-1, 0), 4);  // outside: the transparent index
    eight.SetPixelIndex(2, 0, 1);              // outside: ignored
    EXPECT_EQ(eight.GetBits(0)[2], 9);

    CPicture rgb(2, 2, 24);
    rgb.Clear(0x33);
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), 0);
}

TEST(PicturePixels, ColoursThroughPaletteAndAlpha)
{
    CPicture picture(2, 1, 8);
    picture.SetPaletteColor(0, 0, 0, 0);
    picture.SetPaletteColor(1, 255, 0, 0);
    picture.SetPixelColor(1, 0, RGB(250, 5, 5));
    EXPECT_EQ(picture.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(picture.GetPixelColor(1, 0), (RGBQUAD{0, 0, 255, 0}));

    CPicture rgb(2, 1, 24);
    rgb.Clear(0);
    ASSERT_TRUE(rgb.AlphaCreate());
    rgb.SetPixelColor(0, 0, RGBQUAD{1, 2, 3, 77}, true);
    EXPECT_EQ(rgb.GetPixelColor(0, 0), (RGBQUAD{1, 2, 3, 77}));
    EXPECT_EQ(rgb.GetPixelColor(0, 0, false).rgbReserved, 0);
    EXPECT_EQ(rgb.GetPixelColor(1, 0).rgbReserved, 255);  // a new plane is opaque
    // Outside without a transparent index: the colour of pixel (0, 0).
    EXPECT_EQ(rgb.GetPixelColor(-3, 9), (RGBQUAD{1, 2, 3, 77}));
    rgb.SetTransIndex(0);
    rgb.info.nBkgndColor = RGBQUAD{9, 9, 9, 0};
    EXPECT_EQ(rgb.GetPixelColor(-3, 9), (RGBQUAD{9, 9, 9, 0}));
    EXPECT_EQ(rgb.GetTransColor(), (RGBQUAD{9, 9, 9, 0}));

    // A picture without pixels answers outside points without recursing.
    CPicture empty(0, 0, 24);
    EXPECT_EQ(empty.GetPixelColor(0, 0), RGBQUAD{});
    CPicture emptyIndexed(0, 3, 8);
    EXPECT_EQ(emptyIndexed.GetPixelIndex(0, 0), 0);
}

TEST(PicturePalette, NearestIndexPrefersExactThenLowerAndCaches)
{
    CPicture picture(1, 1, 4);
    picture.SetPaletteColor(2, 100, 100, 100);
    picture.SetPaletteColor(3, 100, 100, 100);
    picture.SetPaletteColor(4, 10, 0, 0);
    picture.SetPaletteColor(5, 0, 0, 10);
    EXPECT_EQ(picture.GetNearestIndex(RGBQUAD{100, 100, 100, 0}), 2);  // first exact entry
    // Equal distance to entries 4 and 5 (and not to 0, which is nearer): entry 0 is black.
    EXPECT_EQ(picture.GetNearestIndex(RGBQUAD{5, 0, 5, 0}), 0);
    picture.SetPaletteColor(0, 255, 255, 255);
    picture.SetPaletteColor(1, 255, 255, 255);
    for (int i = 6; i < 16; ++i)
        picture.SetPaletteColor(static_cast<BYTE>(i), 255, 255, 255);
    EXPECT_EQ(picture.GetNearestIndex(RGBQUAD{5, 0, 5, 0}), 4);  // tie between 4 and 5

    // A repeated query answers from the cache even when the table changed behind its back...
    picture.GetPalette()[4] = RGBQUAD{200, 200, 200, 0};
    EXPECT_EQ(picture.GetNearestIndex(RGBQUAD{5, 0, 5, 0}), 4);
    // ...and any palette store clears the cache.
    picture.SetPaletteColor(9, 255, 255, 255);
    EXPECT_EQ(picture.GetNearestIndex(RGBQUAD{5, 0, 5, 0}), 5);

    // A colour count from a file larger than the table never makes the search leave it.
    picture.head.biClrImportant = 1000;
    picture.SetPaletteColor(15, 1, 2, 3);
    EXPECT_EQ(picture.GetNearestIndex(RGBQUAD{3, 2, 1, 0}), 15);
}

TEST(PicturePalette, SettersRespectTheTableSize)
{
    CPicture picture(1, 1, 1);
    picture.SetPaletteColor(5, 1, 2, 3);  // beyond 2 entries: ignored
    EXPECT_EQ(picture.GetPaletteColor(5), RGBQUAD{});
    BYTE r = 0, g = 0, b = 0;
    EXPECT_FALSE(picture.GetPaletteColor(200, &r, &g, &b));
    picture.SetPaletteColor(1, 10, 20, 30, 40);
    EXPECT_TRUE(picture.GetPaletteColor(1, &r, &g, &b));
    EXPECT_EQ(r, 10);
    EXPECT_EQ(b, 30);
    EXPECT_TRUE(picture.AlphaPaletteIsValid());

    const BYTE triples[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    picture.SetPalette(triples, 3);
    EXPECT_EQ(picture.GetPaletteColor(1), (RGBQUAD{6, 5, 4, 40}));  // fourth byte untouched

    const BYTE reds[] = {11, 12};
    picture.SetPalette(2, reds);  // green and blue default to red
    EXPECT_EQ(picture.GetPaletteColor(0), (RGBQUAD{11, 11, 11, 0}));

    RGBQUAD many[256] = {};
    many[0] = RGBQUAD{1, 1, 1, 1};
    picture.SetPalette(many, 256);
    EXPECT_EQ(picture.GetPaletteColor(0), (RGBQUAD{1, 1, 1, 1}));

    CPicture rgb(1, 1, 24);
    EXPECT_EQ(rgb.GetPalette(), nullptr);
    EXPECT_FALSE(rgb.GetPaletteColor(0, &r, &g, &b));
}

TEST(PicturePalette, GrayScaleMeansTheIdentityRamp)
{
    CPicture eight(1, 1, 8);
    eight.SetGrayPalette();
    EXPECT_TRUE(eight.IsGrayScale());
    eight.SetPaletteColor(7, 7, 7, 8);
    EXPECT_FALSE(eight.IsGrayScale());

    CPicture four(1, 1, 4);
    four.SetGrayPalette();
    EXPECT_EQ(four.GetPaletteColor(15), (RGBQUAD{255, 255, 255, 0}));
    EXPECT_EQ(four.GetPaletteColor(1), (RGBQUAD{17, 17, 17, 0}));
    EXPECT_FALSE(four.IsGrayScale());

    CPicture one(1, 1, 1);
    one.SetGrayPalette();
    EXPECT_EQ(one.GetPaletteColor(1), (RGBQUAD{255, 255, 255, 0}));
}

TEST(PicturePalette, SwapIndexExchangesEntriesAndPixels)
{
    CPicture picture(3, 1, 4);
    picture.Clear(0);
    picture.SetPaletteColor(1, 1, 1, 1);
    picture.SetPaletteColor(2, 2, 2, 2);
    picture.SetPixelIndex(0, 0, 1);
    picture.SetPixelIndex(1, 0, 2);
    picture.SetPixelIndex(2, 0, 3);
    picture.SwapIndex(1, 2);
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(picture.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(picture.GetPixelIndex(2, 0), 3);
    EXPECT_EQ(picture.GetPaletteColor(1), (RGBQUAD{2, 2, 2, 0}));
    picture.SwapIndex(1, 200);  // beyond the table: nothing happens
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 2);
}

TEST(PictureGeometry, FlipMirrorAndRotationsMoveEveryPixelAndAlpha)
{
    using Mapping = std::function<void(long x, long y, long w, long h, long& sx, long& sy)>;
    struct Case {
        const char* name;
        bool (CPicture::*operation)();
        bool swapsAxes;
        Mapping source;  // where the new pixel (x, y) comes from in the old picture
    };
    const Case cases[] = {
        {"flip", &CPicture::Flip, false,
         [](long x, long y, long, long h, long& sx, long& sy) { sx = x, sy = h - 1 - y; }},
        {"mirror", &CPicture::Mirror, false,
         [](long x, long y, long w, long, long& sx, long& sy) { sx = w - 1 - x, sy = y; }},
        {"rotate left", &CPicture::RotateLeft, true,
         [](long x, long y, long, long h, long& sx, long& sy) { sx = y, sy = h - 1 - x; }},
        {"rotate right", &CPicture::RotateRight, true,
         [](long x, long y, long w, long, long& sx, long& sy) { sx = w - 1 - y, sy = x; }},
    };
    for (const Case& c : cases) {
        for (DWORD bpp : {1u, 4u, 8u, 24u}) {
            SCOPED_TRACE(testing::Message() << c.name << " " << bpp);
            const long width = 11;
            const long height = 5;
            auto original = Patterned(width, height, bpp);
            auto turned = Patterned(width, height, bpp);
            turned->SetXDPI(72);
            ASSERT_TRUE(((*turned).*c.operation)());
            ASSERT_EQ(static_cast<long>(turned->GetWidth()), c.swapsAxes ? height : width);
            ASSERT_EQ(static_cast<long>(turned->GetHeight()), c.swapsAxes ? width : height);
            EXPECT_EQ(turned->GetBpp(), bpp);
            EXPECT_TRUE(turned->AlphaIsValid());
            EXPECT_EQ(c.swapsAxes ? turned->GetYDPI() : turned->GetXDPI(), 72);
            for (long y = 0; y < static_cast<long>(turned->GetHeight()); ++y) {
                for (long x = 0; x < static_cast<long>(turned->GetWidth()); ++x) {
                    long sx = 0, sy = 0;
                    c.source(x, y, width, height, sx, sy);
                    ASSERT_TRUE(SamePixel(*turned, x, y, *original, sx, sy)) << x << "," << y;
                }
            }
        }
    }
    CPicture empty;
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.RotateLeft());
}

TEST(PictureAlpha, PlaneOperations)
{
    CPicture picture(3, 2, 24);
    EXPECT_EQ(picture.GetColorType(), 2);
    EXPECT_EQ(CPicture(1, 1, 4).GetColorType(), 1);
    EXPECT_FALSE(picture.AlphaFlip());
    EXPECT_EQ(picture.AlphaGet(0, 0), 0);
    ASSERT_TRUE(picture.AlphaCreate());
    EXPECT_EQ(picture.GetColorType(), 4);
    picture.AlphaSet(0, 0, 1);
    picture.AlphaSet(2, 1, 9);
    picture.AlphaSet(3, 1, 50);  // outside: ignored
    EXPECT_EQ(picture.pAlpha[5], 9);
    ASSERT_TRUE(picture.AlphaFlip());
    EXPECT_EQ(picture.AlphaGet(0, 1), 1);
    ASSERT_TRUE(picture.AlphaMirror());
    EXPECT_EQ(picture.AlphaGet(2, 1), 1);
    picture.AlphaDelete();
    EXPECT_FALSE(picture.AlphaIsValid());
    EXPECT_EQ(picture.GetColorType(), 2);

    picture.SelectionDelete();
    EXPECT_EQ(picture.info.rSelectionBox.left, 3);
    EXPECT_EQ(picture.info.rSelectionBox.bottom, 2);
    EXPECT_TRUE(picture.SelectionIsInside(2, 1));
    EXPECT_FALSE(picture.SelectionIsInside(3, 1));
}

TEST(PictureOwnership, TransferMovesEverythingAndEmptiesTheSource)
{
    CPicture source(4, 4, 8, PICTURE_FORMAT_GIF);
    source.AlphaCreate();
    source.SetTransIndex(3);
    BYTE* dib = source.pDib;
    CPicture target(2, 2, 24);
    ASSERT_TRUE(target.Transfer(source));
    EXPECT_EQ(target.pDib, dib);
    EXPECT_EQ(target.GetTransIndex(), 3);
    EXPECT_EQ(target.GetType(), PICTURE_FORMAT_GIF);
    EXPECT_TRUE(target.AlphaIsValid());
    EXPECT_FALSE(source.IsValid());
    EXPECT_EQ(source.pAlpha, nullptr);
    EXPECT_EQ(source.GetTransIndex(), 0);  // info is zeroed, not restarted
    EXPECT_FALSE(source.info.bEnabled);
}

TEST(PictureOwnership, GhostSharesAndNeverFrees)
{
    auto owner = std::make_unique<CPicture>(4, 4, 24);
    owner->Clear(0x11);
    {
        CPicture ghost;
        ghost.Ghost(owner.get());
        EXPECT_EQ(ghost.pDib, owner->pDib);
        EXPECT_FALSE(ghost.Destroy());
        EXPECT_EQ(ghost.Create(2, 2, 8), nullptr);
        CPicture other(1, 1, 24);
        EXPECT_FALSE(ghost.Transfer(other));

        // A copy of a ghost owns its own buffers.
        CPicture copy(ghost);
        EXPECT_NE(copy.pDib, owner->pDib);
        EXPECT_EQ(copy.info.pGhost, nullptr);
        EXPECT_EQ(copy.GetBits(3)[0], 0x11);
    }
    // The ghost's destruction left the owner's pixels alone (ASan would report a double free).
    EXPECT_EQ(owner->GetBits(3)[0], 0x11);
}

TEST(PictureOwnership, CopyChoosesPixelsAlphaAndPalette)
{
    auto source = Patterned(5, 3, 8);
    source->SetPaletteColor(200, 1, 2, 3);
    CPicture withPixels(*source, true, false, true);
    EXPECT_EQ(std::memcmp(withPixels.pDib, source->pDib, source->GetSize()), 0);
    EXPECT_EQ(withPixels.AlphaGet(4, 2), source->AlphaGet(4, 2));

    CPicture paletteOnly(*source, false, false, false);
    EXPECT_EQ(paletteOnly.GetPaletteColor(200), (RGBQUAD{3, 2, 1, 0}));
    EXPECT_FALSE(paletteOnly.AlphaIsValid());

    CPicture later;
    later.CopyInfo(*source);
    EXPECT_EQ(later.info.dwEffWidth, source->info.dwEffWidth);
    CPicture valid(1, 1, 24);
    valid.info.nQuality = 10;
    valid.CopyInfo(*source);  // ignored while a picture exists
    EXPECT_EQ(valid.info.nQuality, 10);
}

TEST(PictureIterator, WalksRowsAndClampsCopies)
{
    CPicture picture(3, 3, 8);  // rows of 4 bytes
    picture.Clear(0);
    CPictureIterator iterator(&picture);
    EXPECT_EQ(iterator.GetRow(), picture.GetBits(0));
    iterator.Upset();
    EXPECT_EQ(iterator.GetY(), 2);
    const BYTE row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    iterator.SetRow(row, 100);  // clamped to the row
    EXPECT_EQ(picture.GetBits(2)[3], 4);
    EXPECT_EQ(picture.GetBits(1)[0], 0);
    EXPECT_TRUE(iterator.NextRow());
    EXPECT_EQ(iterator.GetRow(), picture.GetBits(1));
    EXPECT_TRUE(iterator.NextRow());
    EXPECT_FALSE(iterator.NextRow());

    BYTE out[8] = {};
    iterator.GetRow(2);
    iterator.GetRow(out, 8);  // clamped to the row
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(out[4], 0);

    iterator.SetY(3);  // the row count itself: a position without bytes
    EXPECT_EQ(iterator.GetRow(), nullptr);
    iterator.SetRow(row, 4);  // nothing to write into
    iterator.SetY(-1);        // ignored
    EXPECT_EQ(iterator.GetY(), 3);
}
