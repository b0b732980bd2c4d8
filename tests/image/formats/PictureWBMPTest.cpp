// Tests of the WBMP codec: type-0 decoding with multi-byte sizes, refusals, encoding.
#include "image/formats/PictureWBMP.h"
#include "tests/image/formats/CodecTestUtil.h"

using namespace codec_test;

namespace {

CPicture MakeBilevel(DWORD width, DWORD height, RGBQUAD zero, RGBQUAD one)
{
    CPicture picture(width, height, 1);
    picture.SetPaletteColor(0, zero);
    picture.SetPaletteColor(1, one);
    for (long y = 0; y < static_cast<long>(height); ++y) {
        for (long x = 0; x < static_cast<long>(width); ++x)
            picture.SetPixelIndex(x, y, static_cast<BYTE>(((x * 7 + y * 3) % 5) < 2));
    }
    return picture;
}

constexpr RGBQUAD kBlack{0, 0, 0, 0};
constexpr RGBQUAD kWhite{255, 255, 255, 0};

}  // namespace

TEST(WbmpDecode, StoresTopRowLastWithBlackWhitePalette)
{
    const auto decoded = DecodeWith<CPictureWBMP>({0x00, 0x00, 0x08, 0x02, 0xFF, 0x00});
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    const CPicture& picture = *decoded.picture;
    EXPECT_EQ(picture.GetWidth(), 8u);
    EXPECT_EQ(picture.GetHeight(), 2u);
    EXPECT_EQ(picture.GetBpp(), 1);
    EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_WBMP);
    EXPECT_EQ(picture.GetPaletteColor(0), kBlack);
    EXPECT_EQ(picture.GetPaletteColor(1), kWhite);
    for (long x = 0; x < 8; ++x) {
        EXPECT_EQ(picture.GetPixelIndex(x, 1), 1) << "top row is white";
        EXPECT_EQ(picture.GetPixelIndex(x, 0), 0) << "bottom row is black";
    }
}

TEST(WbmpDecode, ReadsMultiByteSizes)
{
    // 130 = 0x81 0x02 and 3: three rows of 17 bytes.
    Bytes bytes = {0x00, 0x00, 0x81, 0x02, 0x03};
    for (int row = 0; row < 3; ++row) {
        for (int i = 0; i < 17; ++i)
            bytes.push_back(row == 0 && i == 16 ? 0x80 : 0x00);
    }
    const auto decoded = DecodeWith<CPictureWBMP>(bytes);
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(decoded.picture->GetWidth(), 130u);
    EXPECT_EQ(decoded.picture->GetHeight(), 3u);
    EXPECT_EQ(decoded.picture->GetPixelIndex(128, 2), 1);
    EXPECT_EQ(decoded.picture->GetPixelIndex(127, 2), 0);
}

TEST(WbmpDecode, RefusesBadHeadersBeforeAllocating)
{
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Not a WBMP"},
        {"three header bytes", {0x00, 0x00, 0x08}, "Not a WBMP"},
        {"size field never ends", {0x00, 0x00, 0x81, 0x81, 0x81, 0x81, 0x81}, "Not a WBMP"},
        {"type 1", {0x01, 0x00, 0x08, 0x01, 0xFF}, "Unsupported WBMP type"},
        {"width 0", {0x00, 0x00, 0x00, 0x01, 0xFF}, "Corrupted WBMP"},
        {"height 0", {0x00, 0x00, 0x08, 0x00}, "Corrupted WBMP"},
        // 60000 x 60000 needs 450 MB of rows; the file holds a few bytes.
        {"lying size", {0x00, 0x00, 0x83, 0xD4, 0x60, 0x83, 0xD4, 0x60, 0xFF, 0xFF, 0xFF}, "Corrupted WBMP"},
        {"rows cut short", {0x00, 0x00, 0x08, 0x03, 0xFF, 0x00}, "Corrupted WBMP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPictureWBMP>(c.bytes);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.Error(), c.error);
        EXPECT_FALSE(decoded.picture->IsValid());
    }
}

TEST(WbmpDecode, CorpusMatchesReferenceDecodes)
{
    REQUIRE_TESTDATA();
    CheckCorpus<CPictureWBMP>("wbmp");
    CheckPrefixes<CPictureWBMP>(ReadFileBytes(TestDataDir() / "wbmp/psc-wbmp-opener/test.wbmp"));
}

TEST(WbmpEncode, RoundTripsWhateverThePaletteOrder)
{
    const struct {
        DWORD width;
        DWORD height;
        RGBQUAD zero;
        RGBQUAD one;
    } cases[] = {
        {8, 2, kBlack, kWhite},     {13, 5, kBlack, kWhite}, {200, 3, kBlack, kWhite},  // two-byte width
        {255, 255, kBlack, kWhite}, {9, 4, kWhite, kBlack},  // entry 0 brighter: bits are inverted on the way out
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const CPicture original = MakeBilevel(c.width, c.height, c.zero, c.one);
        bool ok = false;
        const Bytes bytes = EncodeAs(original, PICTURE_FORMAT_WBMP, &ok);
        ASSERT_TRUE(ok);
        const auto decoded = DecodeWith<CPictureWBMP>(bytes);
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_TRUE(SamePixels(original, *decoded.picture));
    }
}

TEST(WbmpEncode, WritesSizesInTheMultiByteForm)
{
    const Bytes bytes = EncodeAs(MakeBilevel(200, 100, kBlack, kWhite), PICTURE_FORMAT_WBMP);
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 5), (Bytes{0x00, 0x00, 0x81, 0x48, 0x64}));
    EXPECT_EQ(bytes.size(), 5u + 25u * 100u);
}

TEST(WbmpEncode, RefusesPicturesItCannotHold)
{
    const CPicture wide(256, 10, 1);
    const CPicture tall(10, 256, 1);
    const CPicture grey(8, 8, 8);
    for (const CPicture* picture : {&wide, &tall, &grey}) {
        bool ok = true;
        std::string error;
        EncodeAs(*picture, PICTURE_FORMAT_WBMP, &ok, &error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, "Can't save this image as WBMP");
    }
}
