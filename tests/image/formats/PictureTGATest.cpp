// Tests of the Targa codec: packets across rows, pixel depths, orientation, colour maps,
// refusals and round trips.
#include "image/formats/PictureTGA.h"
#include "tests/image/formats/CodecTestUtil.h"

using namespace codec_test;

namespace {

struct TgaHeaderFields {
    uint8_t imageType = 2;
    uint16_t width = 1;
    uint16_t height = 1;
    uint8_t depth = 24;
    uint8_t descriptor = 0;
    uint8_t colorMapType = 0;
    uint16_t colorMapFirst = 0;
    uint16_t colorMapLength = 0;
    uint8_t colorMapEntrySize = 0;
    uint8_t idLength = 0;
};

Bytes Tga(const TgaHeaderFields& h, const Bytes& body)
{
    Bytes bytes = {h.idLength,
                   h.colorMapType,
                   h.imageType,
                   static_cast<uint8_t>(h.colorMapFirst),
                   static_cast<uint8_t>(h.colorMapFirst >> 8),
                   static_cast<uint8_t>(h.colorMapLength),
                   static_cast<uint8_t>(h.colorMapLength >> 8),
                   h.colorMapEntrySize,
                   0,
                   0,
                   0,
                   0,
                   static_cast<uint8_t>(h.width),
                   static_cast<uint8_t>(h.width >> 8),
                   static_cast<uint8_t>(h.height),
                   static_cast<uint8_t>(h.height >> 8),
                   h.depth,
                   h.descriptor};
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

// Indices of one memory row of an 8-bit picture.
Bytes Row(const CPicture& picture, DWORD memoryRow)
{
    const BYTE* bits = picture.GetBits(memoryRow);
    return Bytes(bits, bits + picture.GetWidth());
}

}  // namespace

TEST(TgaDecode, RunAndRawPacketsContinueIntoTheNextRow)
{
    // Grey run-length file 4 x 2, bottom-up. Row 0: raw 1, 2, then a run 0x85 (6 pixels of 9)
    // that fills 2 pixels and the first 4 of row 1.
    const auto run =
        DecodeWith<CPictureTGA>(Tga({.imageType = 11, .width = 4, .height = 2, .depth = 8}, {0x01, 1, 2, 0x85, 9}));
    ASSERT_TRUE(run.ok) << run.Error();
    EXPECT_EQ(Row(*run.picture, 0), (Bytes{1, 2, 9, 9}));
    EXPECT_EQ(Row(*run.picture, 1), (Bytes{9, 9, 9, 9}));

    // 5 x 2: a run of 2, then raw 0x04 (5 pixels) starting 3 before the row end; its last 2
    // pixels start row 1, followed by a run of 3.
    const auto raw = DecodeWith<CPictureTGA>(
        Tga({.imageType = 11, .width = 5, .height = 2, .depth = 8}, {0x81, 7, 0x04, 10, 11, 12, 13, 14, 0x82, 3}));
    ASSERT_TRUE(raw.ok) << raw.Error();
    EXPECT_EQ(Row(*raw.picture, 0), (Bytes{7, 7, 10, 11, 12}));
    EXPECT_EQ(Row(*raw.picture, 1), (Bytes{13, 14, 3, 3, 3}));
}

TEST(TgaDecode, ExpandsEveryPixelDepth)
{
    const struct {
        const char* name;
        TgaHeaderFields header;
        Bytes body;
        RGBQUAD expected;  // blue, green, red, alpha of pixel (0, 0)
        bool hasAlpha;
    } cases[] = {
        {"16-bit 0x7FFF", {.depth = 16}, {0xFF, 0x7F}, {248, 248, 248, 255}, false},
        {"15-bit red", {.depth = 15}, {0x00, 0x7C}, {0, 0, 248, 255}, false},
        {"16-bit attribute bit ignored", {.depth = 16}, {0x1F, 0x80}, {248, 0, 0, 255}, false},
        {"24-bit", {.depth = 24}, {10, 20, 30}, {10, 20, 30, 255}, false},
        {"32-bit", {.depth = 32}, {10, 20, 30, 40}, {10, 20, 30, 40}, true},
        {"grey and alpha", {.imageType = 3, .depth = 16}, {90, 17}, {90, 90, 90, 17}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPictureTGA>(Tga(c.header, c.body));
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_EQ(decoded.picture->GetBpp(), 24);
        EXPECT_EQ(decoded.picture->AlphaIsValid(), c.hasAlpha);
        const RGBQUAD color = decoded.picture->GetPixelColor(0, 0, false);
        EXPECT_EQ(color.rgbBlue, c.expected.rgbBlue);
        EXPECT_EQ(color.rgbGreen, c.expected.rgbGreen);
        EXPECT_EQ(color.rgbRed, c.expected.rgbRed);
        EXPECT_EQ(PixelAlpha(*decoded.picture, 0, 0), c.expected.rgbReserved);
    }
}

TEST(TgaDecode, OrientationBitsGiveTheSamePicture)
{
    // 3 x 2 true colour with alpha; pixel value = (column, row from the top).
    auto pixel = [](int x, int top) { return Bytes{uint8_t(x), uint8_t(top), uint8_t(x + top), uint8_t(100 + x)}; };
    auto body = [&](bool topDown, bool rightToLeft) {
        Bytes bytes;
        for (int fileRow = 0; fileRow < 2; ++fileRow) {
            const int top = topDown ? fileRow : 1 - fileRow;
            for (int i = 0; i < 3; ++i) {
                const Bytes p = pixel(rightToLeft ? 2 - i : i, top);
                bytes.insert(bytes.end(), p.begin(), p.end());
            }
        }
        return bytes;
    };
    const auto reference =
        DecodeWith<CPictureTGA>(Tga({.width = 3, .height = 2, .depth = 32, .descriptor = 0x08}, body(false, false)));
    ASSERT_TRUE(reference.ok) << reference.Error();
    EXPECT_EQ(reference.picture->GetPixelColor(2, 1, false).rgbBlue, 2);
    EXPECT_EQ(reference.picture->AlphaGet(2, 1), 102);
    for (uint8_t descriptor : {0x28, 0x18, 0x38}) {
        SCOPED_TRACE(int(descriptor));
        const auto decoded =
            DecodeWith<CPictureTGA>(Tga({.width = 3, .height = 2, .depth = 32, .descriptor = descriptor},
                                        body((descriptor & 0x20) != 0, (descriptor & 0x10) != 0)));
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_TRUE(SamePixels(*reference.picture, *decoded.picture));
    }
}

TEST(TgaDecode, ColourMapHonoursEntrySizeAndFirstIndex)
{
    // Two 16-bit map entries starting at index 4, then a 15-bit map on a grey-free type.
    const auto decoded = DecodeWith<CPictureTGA>(Tga({.imageType = 1,
                                                      .width = 2,
                                                      .depth = 8,
                                                      .colorMapType = 1,
                                                      .colorMapFirst = 4,
                                                      .colorMapLength = 2,
                                                      .colorMapEntrySize = 16},
                                                     {0x1F, 0x00, 0x00, 0x7C, 4, 5}));
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(decoded.picture->GetPaletteColor(4), (RGBQUAD{248, 0, 0, 0}));
    EXPECT_EQ(decoded.picture->GetPaletteColor(5), (RGBQUAD{0, 0, 248, 0}));
    EXPECT_EQ(decoded.picture->GetPixelIndex(1, 0), 5);

    // A 24-bit map on a true-colour file is skipped whole.
    const auto skipped = DecodeWith<CPictureTGA>(
        Tga({.width = 1, .depth = 24, .colorMapType = 1, .colorMapLength = 2, .colorMapEntrySize = 24, .idLength = 3},
            {'i', 'd', '!', 1, 2, 3, 4, 5, 6, 70, 80, 90}));
    ASSERT_TRUE(skipped.ok) << skipped.Error();
    EXPECT_EQ(skipped.picture->GetPixelColor(0, 0, false), (RGBQUAD{70, 80, 90, 0}));
}

TEST(TgaDecode, RefusesBadHeadersAndShortData)
{
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"short header", Bytes(17, 0), "Not a TGA"},
        {"type 4", Tga({.imageType = 4}, {0, 0, 0}), "Unknown TGA image type"},
        {"width 0", Tga({.width = 0}, {}), "bad TGA header"},
        {"depth 0", Tga({.depth = 0}, {}), "bad TGA header"},
        {"depth 12", Tga({.depth = 12}, {0, 0}), "bad TGA header"},
        {"map of 257",
         Tga({.imageType = 1, .depth = 8, .colorMapType = 1, .colorMapLength = 257, .colorMapEntrySize = 24},
             Bytes(800, 0)),
         "bad TGA header"},
        {"60000 x 60000 on a few bytes", Tga({.width = 60000, .height = 60000}, {1, 2}), "corrupted TGA"},
        {"run-length 60000 x 60000", Tga({.imageType = 10, .width = 60000, .height = 60000}, {0xFF, 1, 2, 3}),
         "corrupted TGA"},
        {"rows cut short", Tga({.width = 2, .height = 2}, {1, 2, 3, 4, 5, 6, 7}), "corrupted TGA"},
        {"run-length data ends early", Tga({.imageType = 10, .width = 2, .height = 3}, {0x81, 1, 2, 3}),
         "corrupted TGA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPictureTGA>(c.bytes);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.Error(), c.error);
    }
}

TEST(TgaDecode, CorpusMatchesReferenceDecodes)
{
    REQUIRE_TESTDATA();
    CheckCorpus<CPictureTGA>("tga");
    CheckPrefixes<CPictureTGA>(ReadFileBytes(TestDataDir() / "tga/pillow/cross_scan_line.tga"));
    CheckPrefixes<CPictureTGA>(ReadFileBytes(TestDataDir() / "tga/image-rs/bottom_right.tga"), 7);
}

TEST(TgaEncode, RoundTripsPaletteTrueColourAndAlpha)
{
    CPicture palette(7, 3, 8);
    CPicture trueColor(5, 4, 24);
    CPicture withAlpha(6, 2, 24);
    withAlpha.AlphaCreate();
    for (int i = 0; i < 256; ++i)
        palette.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(255 - i),
                                static_cast<BYTE>(i * 7));
    for (CPicture* picture : {&palette, &trueColor, &withAlpha}) {
        for (long y = 0; y < static_cast<long>(picture->GetHeight()); ++y) {
            for (long x = 0; x < static_cast<long>(picture->GetWidth()); ++x) {
                if (picture->GetBpp() == 8)
                    picture->SetPixelIndex(x, y, static_cast<BYTE>(x * 31 + y * 5));
                else
                    picture->SetPixelColor(x, y, RGBQUAD{BYTE(x * 40), BYTE(y * 60), BYTE(x + y), 0});
                picture->AlphaSet(x, y, static_cast<BYTE>(x * 50));
            }
        }
    }
    for (CPicture* picture : {&palette, &trueColor, &withAlpha}) {
        SCOPED_TRACE(picture->GetWidth());
        bool ok = false;
        const Bytes bytes = EncodeAs(*picture, PICTURE_FORMAT_TGA, &ok);
        ASSERT_TRUE(ok);
        const auto decoded = DecodeWith<CPictureTGA>(bytes);
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_TRUE(SamePixels(*picture, *decoded.picture));
    }
    const Bytes alphaBytes = EncodeAs(withAlpha, PICTURE_FORMAT_TGA);
    EXPECT_EQ(alphaBytes[16], 32) << "pixel depth";
    EXPECT_EQ(alphaBytes.size(), 18u + 6u * 2u * 4u);
}

TEST(TgaEncode, RefusesDepthsBelowEight)
{
    for (DWORD bpp : {1u, 4u}) {
        bool ok = true;
        std::string error;
        EncodeAs(CPicture(4, 4, bpp), PICTURE_FORMAT_TGA, &ok, &error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, "Bit depth must be 8 or 24");
    }
}
