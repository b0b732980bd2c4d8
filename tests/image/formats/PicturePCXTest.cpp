// Tests of the PCX codec: run-length stream, plane layouts, palettes, refusals, encoding.
#include "image/formats/PicturePCX.h"
#include "tests/image/formats/CodecTestUtil.h"

#include <cstring>

using namespace codec_test;

namespace {

struct PcxHeaderFields {
    uint8_t manufacturer = 10;
    uint8_t encoding = 1;
    uint8_t bitsPerPixel = 8;
    uint16_t xMin = 0;
    uint32_t width = 1;  // up to 65536, written as the inclusive right edge xMin + width - 1
    uint32_t height = 1;
    uint8_t planes = 1;
    uint16_t bytesPerLine = 2;
    Bytes colorMap = {};  // up to 48 bytes
};

Bytes Pcx(const PcxHeaderFields& h, const Bytes& data)
{
    Bytes bytes(128, 0);
    bytes[0] = h.manufacturer;
    bytes[1] = 5;
    bytes[2] = h.encoding;
    bytes[3] = h.bitsPerPixel;
    const uint32_t xMax = h.xMin + h.width - 1;
    bytes[4] = static_cast<uint8_t>(h.xMin);
    bytes[5] = static_cast<uint8_t>(h.xMin >> 8);
    bytes[8] = static_cast<uint8_t>(xMax);
    bytes[9] = static_cast<uint8_t>(xMax >> 8);
    bytes[10] = static_cast<uint8_t>(h.height - 1);
    bytes[11] = static_cast<uint8_t>((h.height - 1) >> 8);
    bytes[12] = 72;
    bytes[14] = 150;
    std::copy(h.colorMap.begin(), h.colorMap.end(), bytes.begin() + 16);
    bytes[65] = h.planes;
    bytes[66] = static_cast<uint8_t>(h.bytesPerLine);
    bytes[67] = static_cast<uint8_t>(h.bytesPerLine >> 8);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

Bytes VgaPalette()
{
    Bytes palette = {12};
    for (int i = 0; i < 256; ++i) {
        palette.push_back(static_cast<uint8_t>(i));
        palette.push_back(static_cast<uint8_t>(255 - i));
        palette.push_back(static_cast<uint8_t>(i / 2));
    }
    return palette;
}

}  // namespace

TEST(PcxDecode, TrueColourPlanesGiveRedGreenBlue)
{
    const auto decoded = DecodeWith<CPicturePCX>(
        Pcx({.width = 3, .planes = 3, .bytesPerLine = 4}, {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0}));
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    const CPicture& picture = *decoded.picture;
    EXPECT_EQ(picture.GetBpp(), 24);
    EXPECT_EQ(picture.GetPixelColor(0, 0, false), (RGBQUAD{70, 40, 10, 0}));
    EXPECT_EQ(picture.GetPixelColor(1, 0, false), (RGBQUAD{80, 50, 20, 0}));
    EXPECT_EQ(picture.GetPixelColor(2, 0, false), (RGBQUAD{90, 60, 30, 0}));
    EXPECT_EQ(picture.GetXDPI(), 72);
    EXPECT_EQ(picture.GetYDPI(), 150);
    EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_PCX);

    // A fourth plane becomes the alpha plane.
    const auto alpha =
        DecodeWith<CPicturePCX>(Pcx({.width = 1, .planes = 4, .bytesPerLine = 2}, {1, 0, 2, 0, 3, 0, 77, 0}));
    ASSERT_TRUE(alpha.ok) << alpha.Error();
    ASSERT_TRUE(alpha.picture->AlphaIsValid());
    EXPECT_EQ(alpha.picture->AlphaGet(0, 0), 77);
}

TEST(PcxDecode, RunsRepeatAcrossRowsAndEmptyRunsStoreNothing)
{
    // 8-bit 4 x 2 (4 bytes per line): 0xC5 7 gives five 7s spanning both rows, 0xC0 9 stores
    // nothing, then 3 single bytes.
    Bytes data = {0xC5, 7, 0xC0, 9, 1, 2, 3};
    const Bytes palette = VgaPalette();
    data.insert(data.end(), palette.begin(), palette.end());
    const auto decoded = DecodeWith<CPicturePCX>(Pcx({.width = 4, .height = 2, .bytesPerLine = 4}, data));
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    const CPicture& picture = *decoded.picture;
    const BYTE top[] = {7, 7, 7, 7};
    const BYTE bottom[] = {7, 1, 2, 3};
    EXPECT_EQ(memcmp(picture.GetBits(1), top, 4), 0);
    EXPECT_EQ(memcmp(picture.GetBits(0), bottom, 4), 0);
    EXPECT_EQ(picture.GetPaletteColor(200), (RGBQUAD{100, 55, 200, 0}));
}

TEST(PcxDecode, PlaneLayoutsGivePaletteIndices)
{
    Bytes colorMap(48);
    for (int i = 0; i < 48; ++i)
        colorMap[i] = static_cast<uint8_t>(i * 5);
    const struct {
        const char* name;
        PcxHeaderFields header;
        Bytes data;
        WORD bpp;
        Bytes indices;  // first row
    } cases[] = {
        // Plane k gives bit k: planes 1000 0000, 0100 0000, 1100 0000 (as a run of one), 0010 0000.
        {"4 planes of 1 bit",
         {.bitsPerPixel = 1, .width = 3, .planes = 4, .bytesPerLine = 2, .colorMap = colorMap},
         {0x80, 0, 0x40, 0, 0xC1, 0xC0, 0, 0x20, 0},
         4,
         {0x5, 0x6, 0x8}},
        {"2 bits packed",
         {.bitsPerPixel = 2, .width = 4, .bytesPerLine = 2, .colorMap = colorMap},
         {0x1B, 0},
         4,
         {0, 1, 2, 3}},
        {"4 bits packed",
         {.bitsPerPixel = 4, .width = 3, .bytesPerLine = 2, .colorMap = colorMap},
         {0xC1, 0xF1, 0x20},
         4,
         {15, 1, 2}},
        {"1 bit", {.bitsPerPixel = 1, .width = 3, .bytesPerLine = 2}, {0xA0, 0}, 1, {1, 0, 1}},
        {"2 planes keep the low bit",
         {.bitsPerPixel = 1, .width = 2, .planes = 2, .bytesPerLine = 2, .colorMap = colorMap},
         {0x80, 0, 0xC1, 0xC0, 0},
         1,
         {1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPicturePCX>(Pcx(c.header, c.data));
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_EQ(decoded.picture->GetBpp(), c.bpp);
        for (size_t x = 0; x < c.indices.size(); ++x)
            EXPECT_EQ(decoded.picture->GetPixelIndex(static_cast<long>(x), 0), c.indices[x]) << "x " << x;
        if (c.header.planes == 1 && c.bpp == 1) {
            EXPECT_EQ(decoded.picture->GetPaletteColor(0), (RGBQUAD{0, 0, 0, 0}));
            EXPECT_EQ(decoded.picture->GetPaletteColor(1), (RGBQUAD{255, 255, 255, 0}));
        } else {
            EXPECT_EQ(decoded.picture->GetPaletteColor(1), (RGBQUAD{25, 20, 15, 0}));
        }
    }
}

TEST(PcxDecode, RefusesBrokenFilesWithTheirMessage)
{
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"short header", Bytes(127, 10), "Can't read PCX image"},
        {"manufacturer", Pcx({.manufacturer = 11}, {1, 2}), "Error: Not a PCX file"},
        {"encoding", Pcx({.encoding = 0}, {1, 2}), "PCX file has unknown encoding scheme"},
        {"5 planes", Pcx({.planes = 5}, {1, 2}), "Can't handle image with more than 4 planes"},
        {"data ends", Pcx({.width = 2, .height = 2, .planes = 3}, {1, 2, 3}), "corrupted PCX"},
        {"repeat past the image", Pcx({.width = 2}, {0xC3, 1, 0}), "repeat count spans end of image"},
        {"palette signature", Pcx({.width = 2}, {1, 2, 13, 0, 0, 0}), "bad color map signature"},
        {"2 planes of 8 bits", Pcx({.planes = 2}, {1, 2, 3, 4}), "Can't handle more than 1 bit per pixel"},
        {"line shorter than the width", Pcx({.width = 9, .bytesPerLine = 4}, Bytes(40, 1)),
         "PCX bytes per line too small for its width"},
        {"right edge left of the left edge", Pcx({.xMin = 9, .width = 0xFFFF}, {1, 2}), "corrupted PCX"},
        {"60000 x 60000 on a few bytes", Pcx({.width = 60000, .height = 60000, .bytesPerLine = 60000}, {0xFF, 1}),
         "corrupted PCX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPicturePCX>(c.bytes);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.Error(), c.error);
    }
}

TEST(PcxDecode, CorpusMatchesReferenceDecodes)
{
    REQUIRE_TESTDATA();
    CheckCorpus<CPicturePCX>("pcx");
    CheckPrefixes<CPicturePCX>(ReadFileBytes(TestDataDir() / "pcx/sdl/sample.pcx"), 5);
    CheckPrefixes<CPicturePCX>(ReadFileBytes(TestDataDir() / "pcx/kryptan-pcx/tiny.pcx"));
}

TEST(PcxEncode, RoundTripsEveryDepth)
{
    std::vector<std::unique_ptr<CPicture>> pictures;
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        for (DWORD width : {1u, 7u, 130u}) {
            auto picture = std::make_unique<CPicture>(width, 3, bpp);
            for (DWORD i = 0; i < picture->GetNumColors(); ++i)
                picture->SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 9), static_cast<BYTE>(i * 3),
                                         static_cast<BYTE>(255 - i));
            for (long y = 0; y < 3; ++y) {
                for (long x = 0; x < static_cast<long>(width); ++x) {
                    // Long runs, values at and above 0xC0, and noise.
                    const BYTE value = static_cast<BYTE>(x < 70 ? 0xC8 + y : (x * 37 + y * 11));
                    if (bpp <= 8)
                        picture->SetPixelIndex(x, y, value);
                    else
                        picture->SetPixelColor(x, y, RGBQUAD{value, BYTE(value + 1), BYTE(x), 0});
                }
            }
            if (bpp == 24 && width == 7) {
                picture->AlphaCreate();
                picture->AlphaSet(3, 1, 0);
                picture->AlphaSet(4, 1, 130);
            }
            pictures.push_back(std::move(picture));
        }
    }
    for (const auto& picture : pictures) {
        SCOPED_TRACE(testing::Message() << picture->GetBpp() << " bits, width " << picture->GetWidth());
        bool ok = false;
        const Bytes bytes = EncodeAs(*picture, PICTURE_FORMAT_PCX, &ok);
        ASSERT_TRUE(ok);
        const auto decoded = DecodeWith<CPicturePCX>(bytes);
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_EQ(decoded.picture->GetBpp(), picture->GetBpp());
        if (picture->GetBpp() == 1)  // A 1-bit file has no palette: it reads black and white.
            continue;
        EXPECT_TRUE(SamePixels(*picture, *decoded.picture));
    }
}

// The header's edges are inclusive 16-bit values: 0..65535 is a full 65536 pixels, and a picture
// the header cannot describe is refused rather than written with a wrapped size.
TEST(PcxEncode, SizesAtTheHeadersLimitsRoundTripOrAreRefused)
{
    // One 1-bit row of 8192 bytes: 0x80, then 8191 zeros as 130 runs of 63 and one bare 0.
    Bytes row = {0x80};
    for (int i = 0; i < 130; ++i)
        row.insert(row.end(), {0xFF, 0});
    row.push_back(0);
    const auto wide = DecodeWith<CPicturePCX>(Pcx({.bitsPerPixel = 1, .width = 65536, .bytesPerLine = 8192}, row));
    ASSERT_TRUE(wide.ok) << wide.Error();
    EXPECT_EQ(wide.picture->GetWidth(), 65536u);
    EXPECT_EQ(wide.picture->GetPixelIndex(0, 0), 1);
    EXPECT_EQ(wide.picture->GetPixelIndex(1, 0), 0);
    bool ok = false;
    const Bytes again = EncodeAs(*wide.picture, PICTURE_FORMAT_PCX, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(again[8], 0xFF);
    EXPECT_EQ(again[9], 0xFF);
    const auto reread = DecodeWith<CPicturePCX>(again);
    ASSERT_TRUE(reread.ok) << reread.Error();
    EXPECT_TRUE(SamePixels(*wide.picture, *reread.picture));

    const struct {
        DWORD width, height, bpp;
    } refused[] = {{0, 2, 1}, {3, 0, 24}, {65536, 1, 8}, {65537, 1, 1}, {1, 65537, 1}};
    for (const auto& size : refused) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height << " at " << size.bpp << " bits");
        CPicture picture(size.width, size.height, size.bpp);
        std::string error;
        EncodeAs(picture, PICTURE_FORMAT_PCX, &ok, &error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, "PCX cannot hold a picture of this size");
    }
}

TEST(PcxEncode, OneBitWhiteBlackIsWrittenInverted)
{
    CPicture picture(3, 1, 1);
    picture.SetPaletteColor(0, 255, 255, 255);
    picture.SetPaletteColor(1, 0, 0, 0);
    picture.SetPixelIndex(0, 0, 1);  // black, white, black
    picture.SetPixelIndex(1, 0, 0);
    picture.SetPixelIndex(2, 0, 1);
    const Bytes bytes = EncodeAs(picture, PICTURE_FORMAT_PCX);
    ASSERT_EQ(bytes.size(), 128u + 2u);
    EXPECT_EQ(bytes[128], 0x40) << "only the middle pixel is white";
    EXPECT_EQ(bytes[129], 0x00);
    const auto decoded = DecodeWith<CPicturePCX>(bytes);
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_TRUE(SamePixels(picture, *decoded.picture));
}

TEST(PcxEncode, OddWidthsPadEveryPlaneRow)
{
    CPicture picture(3, 2, 24);
    picture.Clear(0x10);
    const Bytes bytes = EncodeAs(picture, PICTURE_FORMAT_PCX);
    ASSERT_GE(bytes.size(), 128u);
    EXPECT_EQ(bytes[66], 4) << "bytes per line rounded up to even";
    // Each of the 6 plane rows: a run of three 0x10 (0xC3 0x10) and the pad byte 0.
    Bytes expected;
    for (int i = 0; i < 6; ++i)
        expected.insert(expected.end(), {0xC3, 0x10, 0x00});
    EXPECT_EQ(Bytes(bytes.begin() + 128, bytes.end()), expected);
}
