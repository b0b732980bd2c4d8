// BMP decoder and encoder: header variants, run-length data, bit fields, refusals, the corpus.
#include "image/MemStream.h"
#include "image/formats/PictureBMP.h"
#include "tests/TestData.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void PutLE16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(Bytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

struct InfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 2835;
    int32_t yPelsPerMeter = 2835;
    uint32_t clrUsed = 0;
};

// A BMP file: file header (when withFileHeader), information header padded to its size,
// then `table` (colour table or masks) and `pixels`.
Bytes MakeBmp(const InfoHeader& h, const Bytes& table, const Bytes& pixels, bool withFileHeader = true)
{
    Bytes info;
    PutLE32(info, h.size);
    PutLE32(info, static_cast<uint32_t>(h.width));
    PutLE32(info, static_cast<uint32_t>(h.height));
    PutLE16(info, h.planes);
    PutLE16(info, h.bitCount);
    PutLE32(info, h.compression);
    PutLE32(info, h.sizeImage);
    PutLE32(info, static_cast<uint32_t>(h.xPelsPerMeter));
    PutLE32(info, static_cast<uint32_t>(h.yPelsPerMeter));
    PutLE32(info, h.clrUsed);
    PutLE32(info, 0);
    info.resize(std::max<size_t>(h.size, 40), 0);

    Bytes out;
    if (withFileHeader) {
        const uint32_t offBits = static_cast<uint32_t>(14 + info.size() + table.size());
        PutLE16(out, 0x4D42);
        PutLE32(out, offBits + static_cast<uint32_t>(pixels.size()));
        PutLE32(out, 0);
        PutLE32(out, offBits);
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// The same file with a 12-byte core header and 3-byte colour entries.
Bytes MakeCoreBmp(uint16_t width, uint16_t height, uint16_t bitCount, const Bytes& table, const Bytes& pixels)
{
    Bytes out;
    const uint32_t offBits = static_cast<uint32_t>(14 + 12 + table.size());
    PutLE16(out, 0x4D42);
    PutLE32(out, offBits + static_cast<uint32_t>(pixels.size()));
    PutLE32(out, 0);
    PutLE32(out, offBits);
    PutLE32(out, 12);
    PutLE16(out, width);
    PutLE16(out, height);
    PutLE16(out, 1);
    PutLE16(out, bitCount);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

struct Decoded {
    bool ok = false;
    std::unique_ptr<CPictureBMP> picture = std::make_unique<CPictureBMP>();
    std::string Error() const { return picture->GetLastError(); }
};

Decoded DecodeBytes(const Bytes& bytes)
{
    Decoded result;
    Bytes copy = bytes;  // the stream reads from the caller's block
    CMemStream stream(copy.data(), static_cast<uint32_t>(copy.size()));
    result.ok = result.picture->Decode(&stream);
    return result;
}

Bytes GreyTable(int entries, int fourthByte = 0)
{
    Bytes table;
    for (int i = 0; i < entries; ++i) {
        const uint8_t level = static_cast<uint8_t>(i * 255 / std::max(1, entries - 1));
        table.insert(table.end(), {level, level, level, static_cast<uint8_t>(fourthByte)});
    }
    return table;
}

Bytes Row(const CPicture& picture, DWORD row)
{
    const BYTE* bits = picture.GetBits(row);
    return Bytes(bits, bits + picture.GetEffWidth());
}

uint64_t Fnv1a(uint64_t hash, uint8_t byte)
{
    return (hash ^ byte) * 0x100000001B3ull;
}

// FNV-1a over the picture's colours as red, green, blue bytes, top row first.
uint64_t RgbChecksum(const CPicture& picture)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    const long width = static_cast<long>(picture.GetWidth());
    const long height = static_cast<long>(picture.GetHeight());
    for (long y = height - 1; y >= 0; --y) {
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = picture.GetPixelColor(x, y, false);
            hash = Fnv1a(Fnv1a(Fnv1a(hash, c.rgbRed), c.rgbGreen), c.rgbBlue);
        }
    }
    return hash;
}

Bytes EncodeBytes(CPicture& picture)
{
    CMemStream stream;
    stream.Open();
    EXPECT_TRUE(picture.Encode(&stream, PICTURE_FORMAT_BMP)) << picture.GetLastError();
    const uint8_t* data = stream.GetBuffer(false);
    return Bytes(data, data + stream.Size());
}

}  // namespace

TEST(BmpDecode, Rle8StoresRunsAbsoluteRunsAndStopsAtEndCode)
{
    // The 8 x 2 example: a run of three 0x41, end of line, a run of two 0x42, end of bitmap.
    const Bytes rle = {0x03, 0x41, 0x00, 0x00, 0x02, 0x42, 0x00, 0x01};
    InfoHeader h{.width = 8, .height = 2, .bitCount = 8, .compression = BI_RLE8};
    Decoded d = DecodeBytes(MakeBmp(h, GreyTable(256), rle));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(Row(*d.picture, 0), (Bytes{0x41, 0x41, 0x41, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(*d.picture, 1), (Bytes{0x42, 0x42, 0, 0, 0, 0, 0, 0}));

    // Absolute run of 3 (odd: one padding byte), delta (2, 1), then a run.
    const Bytes mixed = {0x00, 0x03, 1, 2, 3, 0xEE, 0x00, 0x02, 0x02, 0x01, 0x02, 0x09, 0x00, 0x01};
    d = DecodeBytes(MakeBmp(h, GreyTable(256), mixed));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(Row(*d.picture, 0), (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(*d.picture, 1), (Bytes{0, 0, 0, 0, 0, 9, 9, 0}));
}

TEST(BmpDecode, Rle4RunsAndAbsoluteGroupsStartOnTheHighNibble)
{
    // Row 0: a run of 3 from 0x12 (1 2 1), an absolute group of 3 at odd column 3 (A B C), a
    // one-pixel delta to odd column 7 and a run of 1 from 0x56 there (5).
    // Row 1: a delta to column 1, an absolute group D E F there, a run 9 A 9 from column 4.
    const Bytes rle = {0x03, 0x12, 0x00, 0x03, 0xAB, 0xCD, 0x00, 0x02, 0x01, 0x00, 0x01, 0x56, 0x00,
                       0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x03, 0xDE, 0xF0, 0x03, 0x9A, 0x00, 0x01};
    InfoHeader h{.width = 8, .height = 2, .bitCount = 4, .compression = BI_RLE4};
    Decoded d = DecodeBytes(MakeBmp(h, GreyTable(16), rle));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(Row(*d.picture, 0), (Bytes{0x12, 0x1A, 0xBC, 0x05}));
    EXPECT_EQ(Row(*d.picture, 1), (Bytes{0x0D, 0xEF, 0x9A, 0x90}));
}

TEST(BmpDecode, RunLengthStoresStayInsideThePixelRows)
{
    struct Case {
        const char* name;
        uint16_t bitCount;
        uint32_t compression;
        Bytes data;
    };
    const Case cases[] = {
        // Runs past the last row, a delta far beyond the picture, and no end code at all.
        {"rle8 overrun", 8, BI_RLE8, {0xFF, 7, 0xFF, 7, 0xFF, 7, 0x00, 0x02, 0xFF, 0xFF, 0x05, 3}},
        {"rle8 absolute overrun", 8, BI_RLE8, {0x00, 0xFF, 1, 2, 3}},
        {"rle4 overrun", 4, BI_RLE4, {0xFF, 0x77, 0xFF, 0x77, 0x00, 0x02, 0xFF, 0xFF, 0x05, 0x33}},
        {"rle4 absolute overrun", 4, BI_RLE4, {0x00, 0xFF, 0x12, 0x34}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InfoHeader h{.width = 5, .height = 3, .bitCount = c.bitCount, .compression = c.compression};
        Decoded d = DecodeBytes(MakeBmp(h, GreyTable(c.bitCount == 8 ? 256 : 16), c.data));
        ASSERT_TRUE(d.ok) << d.Error();
        EXPECT_EQ(d.picture->GetWidth(), 5u);
        EXPECT_EQ(d.picture->GetHeight(), 3u);
    }
}

TEST(BmpDecode, Rle8StreamEndingEarlyKeepsWhatWasDecoded)
{
    InfoHeader h{.width = 4, .height = 2, .bitCount = 8, .compression = BI_RLE8};
    Decoded d = DecodeBytes(MakeBmp(h, GreyTable(256), {0x02, 0x05, 0x00}));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(Row(*d.picture, 0), (Bytes{5, 5, 0, 0}));
    EXPECT_EQ(Row(*d.picture, 1), (Bytes{0, 0, 0, 0}));
}

TEST(BmpDecode, TruncatedPlainDataIsZeroFilledUntilTooLittleIsLeft)
{
    // 4 x 4 at 24 bits: rows of 12 bytes, 48 in all.
    InfoHeader h{.width = 4, .height = 4};
    Decoded half = DecodeBytes(MakeBmp(h, {}, Bytes(24, 0x77)));
    ASSERT_TRUE(half.ok) << half.Error();
    EXPECT_EQ(Row(*half.picture, 1), Bytes(12, 0x77));
    EXPECT_EQ(Row(*half.picture, 2), Bytes(12, 0));
    EXPECT_EQ(Row(*half.picture, 3), Bytes(12, 0));

    Decoded tooShort = DecodeBytes(MakeBmp(h, {}, Bytes(11, 0x77)));
    EXPECT_FALSE(tooShort.ok);
    EXPECT_EQ(tooShort.Error(), "Error reading BMP info");
}

TEST(BmpDecode, BareBitmapTakesPixelsAfterTheColourTable)
{
    InfoHeader h{.width = 2, .height = 2, .bitCount = 8, .clrUsed = 3};
    const Bytes table = {0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9};
    const Bytes pixels = {0, 1, 0, 0, 2, 2, 0, 0};
    Decoded d = DecodeBytes(MakeBmp(h, table, pixels, false));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(Row(*d.picture, 0), (Bytes{0, 1, 0, 0}));
    EXPECT_EQ(Row(*d.picture, 1), (Bytes{2, 2, 0, 0}));
    EXPECT_EQ(d.picture->GetNumColors(), 256u);
    EXPECT_EQ(d.picture->GetPaletteColor(1), (RGBQUAD{0, 255, 0, 0}));  // fourth byte cleared
    EXPECT_EQ(d.picture->GetPaletteColor(3), (RGBQUAD{0, 0, 0, 0}));
    EXPECT_EQ(d.picture->GetType(), PICTURE_FORMAT_BMP);
}

TEST(BmpDecode, ShortColourTableLeavesTheRestOfThePaletteBlack)
{
    InfoHeader h{.width = 1, .height = 1, .bitCount = 8, .clrUsed = 16};
    Decoded d = DecodeBytes(MakeBmp(h, GreyTable(16, 0x80), {15, 0, 0, 0}));
    ASSERT_TRUE(d.ok) << d.Error();
    ASSERT_EQ(d.picture->GetNumColors(), 256u);
    EXPECT_EQ(d.picture->GetPaletteColor(15), (RGBQUAD{255, 255, 255, 0}));
    for (int i = 16; i < 256; ++i)
        EXPECT_EQ(d.picture->GetPaletteColor(static_cast<BYTE>(i)), RGBQUAD{}) << i;
}

TEST(BmpDecode, OversizedColourTableIsReadPastInBareBitmaps)
{
    // A 1-bit bare bitmap declaring 4 colours: entries 2 and 3 are dropped, pixels follow them.
    InfoHeader h{.width = 8, .height = 1, .bitCount = 1, .clrUsed = 4};
    Decoded d = DecodeBytes(MakeBmp(h, GreyTable(4), {0xA5, 0, 0, 0}, false));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(d.picture->GetNumColors(), 2u);
    EXPECT_EQ(Row(*d.picture, 0)[0], 0xA5);
}

TEST(BmpDecode, CoreHeaderUsesThreeByteColourEntries)
{
    const Bytes table = {10, 20, 30, 40, 50, 60};
    Decoded d = DecodeBytes(MakeCoreBmp(3, 1, 1, table, {0x40, 0, 0, 0}));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(d.picture->GetPaletteColor(0), (RGBQUAD{10, 20, 30, 0}));
    EXPECT_EQ(d.picture->GetPaletteColor(1), (RGBQUAD{40, 50, 60, 0}));
    EXPECT_EQ(d.picture->GetPixelIndex(1, 0), 1);
    EXPECT_EQ(d.picture->GetPixelIndex(0, 0), 0);
}

TEST(BmpDecode, TopDownRowsEndUpBottomUp)
{
    // 2 x 2, 24 bits: rows of 8 bytes (6 + padding).
    const Bytes top = {1, 2, 3, 4, 5, 6, 0, 0};
    const Bytes bottom = {7, 8, 9, 10, 11, 12, 0, 0};
    Bytes bottomUp = bottom;
    bottomUp.insert(bottomUp.end(), top.begin(), top.end());
    Bytes topDown = top;
    topDown.insert(topDown.end(), bottom.begin(), bottom.end());

    Decoded a = DecodeBytes(MakeBmp({.width = 2, .height = 2}, {}, bottomUp));
    Decoded b = DecodeBytes(MakeBmp({.width = 2, .height = -2}, {}, topDown));
    ASSERT_TRUE(a.ok && b.ok) << a.Error() << b.Error();
    EXPECT_EQ(b.picture->GetHeight(), 2u);
    EXPECT_EQ(Row(*b.picture, 0), bottom);
    EXPECT_EQ(Row(*b.picture, 1), top);
    EXPECT_EQ(Row(*a.picture, 0), Row(*b.picture, 0));
    EXPECT_EQ(Row(*a.picture, 1), Row(*b.picture, 1));
}

TEST(BmpDecode, SixteenBitChannelsLandInTheTopBits)
{
    // 3 x 2 pixels (odd width: 8-byte source rows), expanded in place.
    struct Case {
        const char* name;
        uint32_t compression;
        Bytes masks;
        uint16_t white;
        RGBQUAD whiteColour;
        uint16_t red;
        RGBQUAD redColour;
    };
    Bytes masks565;
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        PutLE32(masks565, m);
    const Case cases[] = {
        {"5-5-5 by default", BI_RGB, {}, 0x7FFF, {248, 248, 248, 0}, 0x7C00, {0, 0, 248, 0}},
        {"5-6-5 bit fields", BI_BITFIELDS, masks565, 0xFFFF, {248, 252, 248, 0}, 0xF800, {0, 0, 248, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes pixels;
        // Bottom row: white, red, black; top row: black, white, red.
        for (uint16_t word : {c.white, c.red, uint16_t{0}, uint16_t{0}, uint16_t{0}, c.white, c.red, uint16_t{0}})
            PutLE16(pixels, word);
        InfoHeader h{.width = 3, .height = 2, .bitCount = 16, .compression = c.compression};
        Decoded d = DecodeBytes(MakeBmp(h, c.masks, pixels));
        ASSERT_TRUE(d.ok) << d.Error();
        ASSERT_EQ(d.picture->GetBpp(), 24);
        const CPicture& p = *d.picture;
        EXPECT_EQ(p.GetPixelColor(0, 0), c.whiteColour);
        EXPECT_EQ(p.GetPixelColor(1, 0), c.redColour);
        EXPECT_EQ(p.GetPixelColor(2, 0), RGBQUAD{});
        EXPECT_EQ(p.GetPixelColor(0, 1), RGBQUAD{});
        EXPECT_EQ(p.GetPixelColor(1, 1), c.whiteColour);
        EXPECT_EQ(p.GetPixelColor(2, 1), c.redColour);
    }
}

TEST(BmpDecode, ThirtyTwoBitIgnoresMasksAndTheFourthByte)
{
    Bytes masks;
    for (uint32_t m : {0x000000FFu, 0x0000FF00u, 0x00FF0000u})  // would swap red and blue
        PutLE32(masks, m);
    const Bytes pixels = {10, 20, 30, 40, 50, 60, 70, 80};
    for (uint32_t compression : {BI_RGB, BI_BITFIELDS}) {
        SCOPED_TRACE(compression);
        InfoHeader h{.width = 2, .height = 1, .bitCount = 32, .compression = compression};
        Decoded d = DecodeBytes(MakeBmp(h, compression == BI_BITFIELDS ? masks : Bytes{}, pixels));
        ASSERT_TRUE(d.ok) << d.Error();
        EXPECT_EQ(d.picture->GetPixelColor(0, 0), (RGBQUAD{10, 20, 30, 0}));
        EXPECT_EQ(d.picture->GetPixelColor(1, 0), (RGBQUAD{50, 60, 70, 0}));
        EXPECT_FALSE(d.picture->AlphaIsValid());
    }
}

TEST(BmpDecode, ThirtyTwoBitRowsOfEveryWidthWholeAndCutShort)
{
    // Tall pictures are read in several bands; a file cut in the middle of a row leaves the
    // rest of that row and every later row black.
    auto byteOf = [](size_t i) { return static_cast<uint8_t>(i * 131 + 7); };
    struct Case {
        int32_t width, height;
        size_t fileBytes;  // pixel bytes present in the file
    };
    std::vector<Case> cases;
    for (int32_t width = 1; width <= 9; ++width)
        cases.push_back({width, 3, static_cast<size_t>(width) * 3 * 4});
    cases.push_back({5, 20000, 5 * 20000 * 4});
    cases.push_back({5, 20000, 5 * 12000 * 4 + 7});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.fileBytes << " bytes");
        Bytes pixels(c.fileBytes);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = byteOf(i);
        Decoded d = DecodeBytes(MakeBmp({.width = c.width, .height = c.height, .bitCount = 32}, {}, pixels));
        ASSERT_TRUE(d.ok) << d.Error();
        const size_t stride = d.picture->GetEffWidth();
        size_t wrongRows = 0;
        for (int32_t y = 0; y < c.height; ++y) {
            Bytes expected(stride, 0);
            for (int32_t x = 0; x < c.width; ++x) {
                for (size_t b = 0; b < 3; ++b) {
                    const size_t at = (static_cast<size_t>(y) * c.width + x) * 4 + b;
                    expected[static_cast<size_t>(x) * 3 + b] = at < c.fileBytes ? byteOf(at) : 0;
                }
            }
            wrongRows += Row(*d.picture, static_cast<DWORD>(y)) != expected;
        }
        EXPECT_EQ(wrongRows, 0u);
    }
}

TEST(BmpDecode, ResolutionComesFromTheFile)
{
    InfoHeader h{.width = 1, .height = 1, .xPelsPerMeter = 2835, .yPelsPerMeter = 11811};
    Decoded d = DecodeBytes(MakeBmp(h, {}, {1, 2, 3, 0}));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(d.picture->GetXDPI(), 72);
    EXPECT_EQ(d.picture->GetYDPI(), 300);
    EXPECT_EQ(d.picture->head.biXPelsPerMeter, 2835);
}

TEST(BmpDecode, RefusesBadHeadersWithTheirMessages)
{
    Bytes masks;
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        PutLE32(masks, m);
    const Bytes pixels(64, 0);
    Bytes cutShort = MakeBmp({.width = 1, .height = 1}, {}, {});
    cutShort.resize(30);
    struct Case {
        const char* name;
        Bytes file;
        const char* error;
    };
    const Case cases[] = {
        {"shorter than a file header", {0x42, 0x4D, 1, 2}, "Not a BMP"},
        {"information header cut short", cutShort, "Error reading BMP info"},
        {"header size 20", MakeBmp({.size = 20, .width = 1, .height = 1}, {}, pixels), "Error reading BMP info"},
        {"108-byte header with bit fields",
         MakeBmp({.size = 108, .width = 2, .height = 2, .bitCount = 16, .compression = BI_BITFIELDS, .sizeImage = 8},
                 masks, pixels),
         "Error reading BMP info"},
        {"124-byte header with a colour count",
         MakeBmp({.size = 124, .width = 1, .height = 1, .bitCount = 8, .sizeImage = 4, .clrUsed = 2}, GreyTable(2),
                 pixels),
         "Error reading BMP info"},
        {"negative width", MakeBmp({.width = -4, .height = 1}, {}, pixels), "Error reading BMP info"},
        {"24 bits with RLE8", MakeBmp({.width = 1, .height = 1, .compression = BI_RLE8}, {}, pixels),
         "unknown compression"},
        {"16 bits with RLE4", MakeBmp({.width = 1, .height = 1, .bitCount = 16, .compression = BI_RLE4}, {}, pixels),
         "unknown compression"},
        {"32 bits with RLE8", MakeBmp({.width = 1, .height = 1, .bitCount = 32, .compression = BI_RLE8}, {}, pixels),
         "unknown compression"},
        {"8 bits with bit fields",
         MakeBmp({.width = 1, .height = 1, .bitCount = 8, .compression = BI_BITFIELDS}, GreyTable(256), pixels),
         "compression type not supported"},
        // Depths without a pixel reader are refused instead of decoding to a blank picture.
        {"2 bits", MakeBmp({.width = 1, .height = 1, .bitCount = 2}, GreyTable(4), pixels),
         "unsupported BMP bit count"},
        {"64 bits", MakeBmp({.width = 1, .height = 1, .bitCount = 64}, {}, pixels), "unsupported BMP bit count"},
        // 30000 x 30000 pixels declared by a 100-byte file: refused before any allocation.
        {"dimensions the stream cannot hold", MakeBmp({.width = 30000, .height = 30000}, {}, pixels),
         "Error reading BMP info"},
        // The implied image size overflows 64 bits (found by fuzzing, with UBSan).
        {"largest dimensions", MakeBmp({.width = 0x7FFFFFFF, .height = 0x7FFFFFFF}, {}, pixels),
         "Error reading BMP info"},
        {"zero width with two billion rows", MakeBmp({.width = 0, .height = -2000000000, .bitCount = 16}, {}, pixels),
         "Error reading BMP info"},
        {"RLE dimensions the stream cannot hold",
         MakeBmp({.width = 30000, .height = 30000, .bitCount = 8, .compression = BI_RLE8}, GreyTable(256),
                 {0x00, 0x02, 0xFF, 0xFF, 0x00, 0x01}),
         "Error reading BMP info"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = DecodeBytes(c.file);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.Error(), c.error);
    }
}

TEST(BmpDecode, LaterHeaderInPlainFormIsAccepted)
{
    // A 108-byte header with no compression, no colour count and an exact image size.
    InfoHeader h{.size = 108, .width = 1, .height = 2, .sizeImage = 8};
    Decoded d = DecodeBytes(MakeBmp(h, {}, {1, 2, 3, 0, 4, 5, 6, 0}));
    ASSERT_TRUE(d.ok) << d.Error();
    EXPECT_EQ(d.picture->GetPixelColor(0, 1), (RGBQUAD{4, 5, 6, 0}));
}

TEST(BmpDecode, DimensionsOnlyRequestStopsBeforeAllocating)
{
    CPictureBMP picture;
    picture.info.nEscape = -1;
    Bytes file = MakeBmp({.width = 7, .height = -5}, {}, Bytes(140, 0));
    CMemStream stream(file.data(), static_cast<uint32_t>(file.size()));
    EXPECT_TRUE(picture.Decode(&stream));
    EXPECT_FALSE(picture.IsValid());
    EXPECT_EQ(picture.head.biWidth, 7);
    EXPECT_EQ(picture.head.biHeight, 5);
    EXPECT_STREQ(picture.GetLastError(), "output dimensions returned");

    CPictureBMP cancelled;
    cancelled.info.nEscape = 1;
    CMemStream again(file.data(), static_cast<uint32_t>(file.size()));
    EXPECT_FALSE(cancelled.Decode(&again));
    EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
}

TEST(BmpDecode, EveryPrefixOfAFileFailsCleanlyOrDecodes)
{
    InfoHeader rle{.width = 6, .height = 3, .bitCount = 4, .compression = BI_RLE4};
    InfoHeader sixteen{.width = 3, .height = -2, .bitCount = 16, .compression = BI_BITFIELDS};
    Bytes masks;
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        PutLE32(masks, m);
    const Bytes files[] = {
        MakeBmp(rle, GreyTable(16),
                {0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x12, 0x30, 0x00, 0x02, 0x01, 0x01, 0x00, 0x01}),
        MakeBmp(sixteen, masks, Bytes(16, 0xAB)),
        MakeCoreBmp(5, 2, 8, Bytes(256 * 3, 0x11), Bytes(16, 3)),
    };
    for (const Bytes& file : files) {
        for (size_t length = 0; length <= file.size(); ++length) {
            Decoded d = DecodeBytes(Bytes(file.begin(), file.begin() + static_cast<long>(length)));
            EXPECT_TRUE(d.ok || !d.Error().empty()) << length;
        }
    }
}

TEST(BmpEncode, WritesHeaderPaletteAndPaddedRows)
{
    struct Case {
        DWORD bpp;
        size_t fileBytes;
        uint32_t offBits;
    };
    for (const Case c : {Case{24, 150, 54}, Case{1, 74, 62}}) {
        SCOPED_TRACE(c.bpp);
        CPicture picture(10, 3, c.bpp, PICTURE_FORMAT_BMP);
        picture.Clear(0x5A);
        const Bytes file = EncodeBytes(picture);
        ASSERT_EQ(file.size(), c.fileBytes);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(file[2] | file[3] << 8 | file[4] << 16 | file[5] << 24, static_cast<int>(c.fileBytes));
        EXPECT_EQ(file[10] | file[11] << 8, static_cast<int>(c.offBits));
        EXPECT_EQ(file.back(), 0x5A);
    }
}

TEST(BmpEncode, RoundTripsEveryDepthWithResolution)
{
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        CPicture picture(13, 5, bpp, PICTURE_FORMAT_BMP);
        for (DWORD i = 0; i < picture.GetNumColors(); ++i)
            picture.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 7), static_cast<BYTE>(i * 3),
                                    static_cast<BYTE>(255 - i));
        for (long y = 0; y < 5; ++y) {
            for (long x = 0; x < 13; ++x) {
                if (bpp == 24)
                    picture.SetPixelColor(x, y, RGB(static_cast<BYTE>(x * 19), static_cast<BYTE>(y * 40), 7));
                else
                    picture.SetPixelIndex(x, y, static_cast<BYTE>((x * 5 + y * 3) % picture.GetNumColors()));
            }
        }
        picture.SetXDPI(300);  // after Create: must reach the file
        const Bytes file = EncodeBytes(picture);
        Decoded d = DecodeBytes(file);
        ASSERT_TRUE(d.ok) << d.Error();
        EXPECT_EQ(d.picture->GetBpp(), bpp);
        EXPECT_EQ(d.picture->GetXDPI(), 300);
        EXPECT_EQ(RgbChecksum(*d.picture), RgbChecksum(picture));
        for (long y = 0; y < 5; ++y) {
            for (long x = 0; x < 13 && bpp != 24; ++x) {
                ASSERT_EQ(d.picture->GetPixelIndex(x, y), picture.GetPixelIndex(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(BmpEncode, RefusesMissingStreamOrPicture)
{
    CPicture empty;
    CMemStream stream;
    stream.Open();
    EXPECT_FALSE(empty.Encode(&stream, PICTURE_FORMAT_BMP));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    CPicture picture(1, 1, 24);
    EXPECT_FALSE(picture.Encode(static_cast<CStream*>(nullptr), PICTURE_FORMAT_BMP));
    EXPECT_STREQ(picture.GetLastError(), "null file handler");
}

namespace {

struct ReferenceRow {
    std::string path;
    std::string outcome;
    std::string width, height, bpp, checksum, rule;
};

std::vector<ReferenceRow> ReadReference()
{
    std::vector<ReferenceRow> rows;
    std::ifstream in(std::string(TESSMARK_SOURCE_DIR) + "/tests/fixtures/bmp/reference.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::stringstream fields(line);
        ReferenceRow row;
        std::getline(fields, row.path, '\t');
        std::getline(fields, row.outcome, '\t');
        std::getline(fields, row.width, '\t');
        std::getline(fields, row.height, '\t');
        std::getline(fields, row.bpp, '\t');
        std::getline(fields, row.checksum, '\t');
        std::getline(fields, row.rule, '\t');
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

// reference.tsv holds, for every valid corpus file, Pillow's pixels (made by make_reference.py)
// adjusted where our decoder's rules deliberately differ: 16-bit channels keep only their top
// bits ("top-bits": a white 5-5-5 pixel is 248, not 255) and 32-bit pixels take bytes 0, 1, 2
// whatever the masks ("bytes-012"). Later header versions that carry bit fields or a colour
// count are refused by rule ("refuse" rows).
TEST(BmpCorpus, ValidFilesMatchTheReferenceTable)
{
    REQUIRE_TESTDATA();
    const std::vector<ReferenceRow> rows = ReadReference();
    ASSERT_GT(rows.size(), 40u);
    for (const ReferenceRow& row : rows) {
        SCOPED_TRACE(row.path);
        Decoded d = DecodeBytes(ReadFileBytes(TestDataDir() / row.path));
        if (row.outcome == "refuse") {
            EXPECT_FALSE(d.ok);
            EXPECT_EQ(d.Error(), row.rule);
            continue;
        }
        ASSERT_TRUE(d.ok) << d.Error();
        EXPECT_EQ(std::to_string(d.picture->GetWidth()), row.width);
        EXPECT_EQ(std::to_string(d.picture->GetHeight()), row.height);
        EXPECT_EQ(std::to_string(d.picture->GetBpp()), row.bpp);
        char checksum[17];
        std::snprintf(checksum, sizeof checksum, "%016llx", static_cast<unsigned long long>(RgbChecksum(*d.picture)));
        EXPECT_EQ(checksum, row.checksum) << row.rule;
    }
}

TEST(BmpCorpus, BadAndQuestionableFilesFailCleanlyOrDecode)
{
    REQUIRE_TESTDATA();
    int decoded = 0;
    int refused = 0;
    for (const ManifestRow& row : ManifestRows("bmp/")) {
        if (row.valid == "yes" || row.IsReference())
            continue;
        SCOPED_TRACE(row.path);
        Decoded d = DecodeBytes(ReadFileBytes(TestDataDir() / row.path));
        if (d.ok) {
            ++decoded;
            EXPECT_TRUE(d.picture->IsValid());
            EXPECT_LE(static_cast<uint64_t>(d.picture->GetSize()), 64ull << 20);
        } else {
            ++refused;
            EXPECT_FALSE(d.Error().empty());
        }
    }
    EXPECT_GT(decoded + refused, 50);
}
