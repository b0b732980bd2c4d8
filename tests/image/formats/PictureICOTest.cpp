// Tests of the icon codec: entry choice, the AND mask as transparency, PNG entries,
// refusals and the single-entry encoder.
#include "image/formats/PictureICO.h"
#include "image/formats/PicturePNG.h"
#include "tests/image/formats/CodecTestUtil.h"

#include <functional>

using namespace codec_test;

namespace {

void PutLE16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(Bytes& out, uint32_t value)
{
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

uint32_t ReadLE32(const Bytes& bytes, size_t offset)
{
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) | (uint32_t(bytes[offset + 3]) << 24);
}

// Pixel values by memory row (0 = bottom): an index, 0xRRGGBB or 0xAARRGGBB.
using PixelFn = std::function<uint32_t(int x, int y)>;
using MaskFn = std::function<bool(int x, int y)>;

Bytes Dib(int width, int height, int bitCount, const std::vector<uint32_t>& palette, const PixelFn& pixel,
          const MaskFn& masked)
{
    Bytes dib;
    PutLE32(dib, 40);
    PutLE32(dib, static_cast<uint32_t>(width));
    PutLE32(dib, static_cast<uint32_t>(height * 2));
    PutLE16(dib, 1);
    PutLE16(dib, static_cast<uint32_t>(bitCount));
    for (int i = 0; i < 6; ++i)
        PutLE32(dib, 0);
    for (uint32_t color : palette)
        PutLE32(dib, color);
    const size_t rowBytes = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
    for (int y = 0; y < height; ++y) {
        Bytes row(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t value = pixel(x, y);
            switch (bitCount) {
            case 1:
                row[x / 8] |= static_cast<uint8_t>((value & 1) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= static_cast<uint8_t>((value & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = static_cast<uint8_t>(value);
                break;
            default:
                for (int k = 0; k < bitCount / 8; ++k)
                    row[x * (bitCount / 8) + k] = static_cast<uint8_t>(value >> (8 * k));
            }
        }
        dib.insert(dib.end(), row.begin(), row.end());
    }
    const size_t maskRow = (static_cast<size_t>(width) + 31) / 32 * 4;
    for (int y = 0; y < height; ++y) {
        Bytes row(maskRow, 0);
        for (int x = 0; x < width; ++x) {
            if (masked(x, y))
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        dib.insert(dib.end(), row.begin(), row.end());
    }
    return dib;
}

Bytes Icon(const std::vector<Bytes>& images, int width = 4, int height = 4)
{
    Bytes bytes;
    PutLE16(bytes, 0);
    PutLE16(bytes, 1);
    PutLE16(bytes, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const Bytes& image : images) {
        bytes.push_back(static_cast<uint8_t>(width));
        bytes.push_back(static_cast<uint8_t>(height));
        bytes.push_back(0);
        bytes.push_back(0);
        PutLE16(bytes, 1);
        PutLE16(bytes, 0);
        PutLE32(bytes, static_cast<uint32_t>(image.size()));
        PutLE32(bytes, offset);
        offset += static_cast<uint32_t>(image.size());
    }
    for (const Bytes& image : images)
        bytes.insert(bytes.end(), image.begin(), image.end());
    return bytes;
}

const MaskFn kNoMask = [](int, int) { return false; };
const MaskFn kCorners = [](int x, int y) { return (x == 0 || x == 3) && (y == 0 || y == 3); };

}  // namespace

TEST(IcoDecode, PaletteIconTakesAnUnusedIndexForTheMask)
{
    std::vector<uint32_t> palette(16);
    for (int i = 0; i < 16; ++i)
        palette[i] = 0x00111111u * static_cast<uint32_t>(i);
    // Indices 0 to 3 and 5 are used; 4 is the lowest free one.
    const auto decoded = DecodeWith<CPictureICO>(Icon({Dib(
        4, 4, 4, palette, [](int x, int y) { return uint32_t((x + y) % 4 == 3 ? 5 : x); }, kCorners)}));
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    const CPicture& picture = *decoded.picture;
    EXPECT_EQ(picture.GetBpp(), 4);
    EXPECT_EQ(picture.GetTransIndex(), 4);
    EXPECT_FALSE(picture.AlphaIsValid());
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 4);
    EXPECT_EQ(picture.GetPixelIndex(3, 3), 4);
    EXPECT_EQ(picture.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(picture.GetPaletteColor(2), (RGBQUAD{0x22, 0x22, 0x22, 0}));
    EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_ICO);

    // Every index in use: the alpha plane carries the mask instead.
    const auto full = DecodeWith<CPictureICO>(Icon({Dib(
        4, 4, 1, {0, 0xFFFFFF}, [](int x, int) { return uint32_t(x & 1); }, kCorners)}));
    ASSERT_TRUE(full.ok) << full.Error();
    EXPECT_EQ(full.picture->GetTransIndex(), -1);
    ASSERT_TRUE(full.picture->AlphaIsValid());
    EXPECT_EQ(full.picture->AlphaGet(0, 0), 0);
    EXPECT_EQ(full.picture->AlphaGet(1, 0), 255);
}

TEST(IcoDecode, TrueColourMaskBecomesColourKeyOrAlpha)
{
    const uint32_t magenta = 0xFF00FF;
    const auto single = DecodeWith<CPictureICO>(Icon({Dib(
        4, 4, 24, {}, [&](int x, int y) { return kCorners(x, y) ? magenta : uint32_t(x * 40); }, kCorners)}));
    ASSERT_TRUE(single.ok) << single.Error();
    EXPECT_EQ(single.picture->GetTransIndex(), 0);
    EXPECT_EQ(single.picture->info.nBkgndColor, (RGBQUAD{255, 0, 255, 0}));
    EXPECT_FALSE(single.picture->AlphaIsValid());

    const auto two = DecodeWith<CPictureICO>(Icon({Dib(
        4, 4, 24, {}, [&](int x, int y) { return kCorners(x, y) ? magenta + uint32_t(x) : 7u; }, kCorners)}));
    ASSERT_TRUE(two.ok) << two.Error();
    EXPECT_EQ(two.picture->GetTransIndex(), -1);
    ASSERT_TRUE(two.picture->AlphaIsValid());
    EXPECT_EQ(two.picture->AlphaGet(0, 0), 0);
    EXPECT_EQ(two.picture->AlphaGet(3, 3), 0);
    EXPECT_EQ(two.picture->AlphaGet(1, 1), 255);

    // 32 bits: the alpha channel stays, cleared where the mask is set, even when every masked
    // pixel has the same colour.
    const auto alpha = DecodeWith<CPictureICO>(Icon({Dib(
        4, 4, 32, {}, [](int x, int) { return 0x80000000u | uint32_t(x); }, kCorners)}));
    ASSERT_TRUE(alpha.ok) << alpha.Error();
    EXPECT_EQ(alpha.picture->GetBpp(), 24);
    EXPECT_EQ(alpha.picture->GetTransIndex(), -1);
    ASSERT_TRUE(alpha.picture->AlphaIsValid());
    EXPECT_EQ(alpha.picture->AlphaGet(0, 0), 0);
    EXPECT_EQ(alpha.picture->AlphaGet(1, 0), 0x80);
}

TEST(IcoDecode, FullMaskInvertsColourIconsOnly)
{
    // A 32-pixel-wide mask row has no padding, so a full mask is all 0xFF bytes.
    const MaskFn all = [](int, int) { return true; };
    const auto colour = DecodeWith<CPictureICO>(Icon({Dib(
                                                         32, 1, 24, {}, [](int, int) { return 0x102030u; }, all)},
                                                     32, 1));
    ASSERT_TRUE(colour.ok) << colour.Error();
    EXPECT_EQ(colour.picture->GetTransIndex(), 0);
    EXPECT_EQ(colour.picture->GetPixelColor(5, 0, false), (RGBQUAD{0xCF, 0xDF, 0xEF, 0}));

    const auto withAlpha = DecodeWith<CPictureICO>(Icon({Dib(
                                                            32, 1, 32, {}, [](int, int) { return 0x40102030u; }, all)},
                                                        32, 1));
    ASSERT_TRUE(withAlpha.ok) << withAlpha.Error();
    EXPECT_EQ(withAlpha.picture->GetPixelColor(5, 0, false), (RGBQUAD{0x30, 0x20, 0x10, 0}));
    EXPECT_EQ(withAlpha.picture->AlphaGet(5, 0), 0x40);
}

TEST(IcoDecode, ChoosesTheEntryByFrameNumber)
{
    const Bytes icon = Icon({Dib(
                                 4, 4, 24, {}, [](int, int) { return 0x010203u; }, kNoMask),
                             Dib(
                                 4, 4, 24, {}, [](int, int) { return 0x0A0B0Cu; }, kNoMask)});
    const auto second = DecodeWith<CPictureICO>(icon, 1);
    ASSERT_TRUE(second.ok) << second.Error();
    EXPECT_EQ(second.picture->GetPixelColor(2, 2, false), (RGBQUAD{0x0C, 0x0B, 0x0A, 0}));
    EXPECT_EQ(second.picture->info.nNumFrames, 2);

    for (int32_t frame : {3, -1}) {
        const auto outside = DecodeWith<CPictureICO>(icon, frame);
        EXPECT_FALSE(outside.ok);
        EXPECT_EQ(outside.picture->info.nNumFrames, 2);
        EXPECT_EQ(outside.Error(), "ICO frame out of range");
    }
}

TEST(IcoDecode, PngEntriesGoThroughThePngCodec)
{
    CPicture source(5, 3, 24);
    source.AlphaCreate();
    for (long y = 0; y < 3; ++y) {
        for (long x = 0; x < 5; ++x) {
            source.SetPixelColor(x, y, RGBQUAD{BYTE(x * 50), BYTE(y * 80), 9, 0});
            source.AlphaSet(x, y, static_cast<BYTE>(x * 60));
        }
    }
    bool ok = false;
    const Bytes png = EncodeAs(source, PICTURE_FORMAT_PNG, &ok);
    ASSERT_TRUE(ok);
    const auto decoded = DecodeWith<CPictureICO>(Icon({Dib(
                                                           4, 4, 24, {}, [](int, int) { return 0u; }, kNoMask),
                                                       png}),
                                                 1);
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(decoded.picture->GetType(), PICTURE_FORMAT_ICO);
    EXPECT_EQ(decoded.picture->info.nNumFrames, 2);
    EXPECT_TRUE(SamePixels(source, *decoded.picture));
}

TEST(IcoDecode, RefusesBrokenFiles)
{
    Bytes bigDib = Dib(
        4, 4, 24, {}, [](int, int) { return 0u; }, kNoMask);
    bigDib[4] = 0xFF;  // width 65535...
    bigDib[5] = 0xFF;
    bigDib[8] = 0xFE;  // ... and height 65535 (stored doubled)
    bigDib[9] = 0xFF;
    bigDib[10] = 0x01;
    Bytes deepDib = Dib(
        4, 4, 24, {}, [](int, int) { return 0u; }, kNoMask);
    deepDib[14] = 48;
    Bytes compressedDib = Dib(
        4, 4, 24, {}, [](int, int) { return 0u; }, kNoMask);
    compressedDib[16] = 1;
    Bytes farOffset = Icon({Dib(
        4, 4, 24, {}, [](int, int) { return 0u; }, kNoMask)});
    farOffset[18] = 0xF0;
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Not an ICO"},
        {"reserved not 0", {1, 0, 1, 0, 0, 0}, "Not an ICO"},
        {"type 3", {0, 0, 3, 0, 1, 0}, "Not an ICO"},
        {"no entries", {0, 0, 2, 0, 0, 0}, "ICO frame out of range"},
        {"directory cut short", {0, 0, 1, 0, 2, 0, 4, 4, 0, 0}, "Corrupted icon"},
        {"image offset past the end", farOffset, "Corrupted icon"},
        {"65535 x 65535 on a small file", Icon({bigDib}), "Corrupted icon"},
        {"48 bits", Icon({deepDib}), "Unsupported icon image"},
        {"compressed", Icon({compressedDib}), "Unsupported icon image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPictureICO>(c.bytes);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.Error(), c.error);
    }
}

TEST(IcoDecode, CorpusMatchesReferenceDecodes)
{
    REQUIRE_TESTDATA();
    CheckCorpus<CPictureICO>("ico");
    CheckPrefixes<CPictureICO>(ReadFileBytes(TestDataDir() / "ico/mozilla/ico-partial-transparent-4bpp.ico"), 3);
    CheckPrefixes<CPictureICO>(ReadFileBytes(TestDataDir() / "ico/mozilla/ico-size-7x7-png.ico"), 3);
}

TEST(IcoEncode, RoundTripsEveryDepthWithItsTransparency)
{
    std::vector<std::unique_ptr<CPicture>> pictures;
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        auto picture = std::make_unique<CPicture>(13, 6, bpp);
        for (DWORD i = 0; i < picture->GetNumColors(); ++i)
            picture->SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 5), 40, static_cast<BYTE>(255 - i));
        for (long y = 0; y < 6; ++y) {
            for (long x = 0; x < 13; ++x) {
                if (bpp <= 8)
                    picture->SetPixelIndex(x, y, static_cast<BYTE>(x + y));
                else
                    picture->SetPixelColor(x, y, RGBQUAD{BYTE(x * 19), BYTE(y * 40), 3, 0});
            }
        }
        pictures.push_back(std::move(picture));
    }
    // A transparent index, a transparent colour, and an alpha plane written as 32 bits.
    pictures[2]->SetTransIndex(7);
    auto keyed = std::make_unique<CPicture>(*pictures[3]);
    keyed->info.nBkgndColor = keyed->GetPixelColor(2, 2, false);
    keyed->info.nBkgndColor.rgbReserved = 0;
    keyed->SetTransIndex(0);
    auto translucent = std::make_unique<CPicture>(*pictures[3]);
    translucent->AlphaCreate();
    translucent->AlphaSet(4, 1, 0);
    translucent->AlphaSet(5, 1, 99);
    pictures.push_back(std::move(keyed));
    pictures.push_back(std::move(translucent));

    for (const auto& picture : pictures) {
        SCOPED_TRACE(testing::Message() << picture->GetBpp() << " bits, transparent index " << picture->GetTransIndex()
                                        << ", alpha " << picture->AlphaIsValid());
        bool ok = false;
        const Bytes bytes = EncodeAs(*picture, PICTURE_FORMAT_ICO, &ok);
        ASSERT_TRUE(ok);
        const auto decoded = DecodeWith<CPictureICO>(bytes);
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_TRUE(SamePixels(*picture, *decoded.picture));
    }
}

TEST(IcoEncode, AlphaIsWrittenAs32BitsWithAMaskOfTheClearPixels)
{
    CPicture picture(3, 2, 24);
    picture.Clear(0x55);
    picture.AlphaCreate();
    picture.AlphaSet(1, 0, 0);
    picture.AlphaSet(2, 1, 0);
    picture.AlphaSet(0, 1, 200);
    const Bytes bytes = EncodeAs(picture, PICTURE_FORMAT_ICO);
    ASSERT_EQ(bytes.size(), 22u + 40u + 3u * 2u * 4u + 2u * 4u);
    EXPECT_EQ(bytes[12] | (bytes[13] << 8), 32) << "directory bit count";
    EXPECT_EQ(ReadLE32(bytes, 14), 40u + 24u + 8u) << "directory image bytes";
    EXPECT_EQ(ReadLE32(bytes, 22 + 8), 4u) << "header height is doubled";
    const size_t mask = 22 + 40 + 24;
    EXPECT_EQ(bytes[mask], 0x40) << "bottom row: pixel 1 clear";
    EXPECT_EQ(bytes[mask + 4], 0x20) << "top row: pixel 2 clear";
}

TEST(IcoEncode, RefusesSidesAbove255)
{
    const CPicture wide(256, 2, 24);
    const CPicture tall(2, 300, 8);
    for (const CPicture* picture : {&wide, &tall}) {
        bool ok = true;
        std::string error;
        EncodeAs(*picture, PICTURE_FORMAT_ICO, &ok, &error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, "Can't save this image as icon");
    }
}
