// Tests of the GIF codec: LZW table rules, frames and their extensions, interlace,
// transparency, tiled true colour, the three code-stream packers and hostile input.
#include "image/formats/PictureGIF.h"
#include "tests/image/formats/CodecTestUtil.h"

#include <utility>

using namespace codec_test;

namespace {

// LZW codes packed least significant bit first, each with its own width.
class CodePacker {
public:
    void Add(int code, int width)
    {
        m_Accumulator |= static_cast<uint32_t>(code) << m_Bits;
        m_Bits += width;
        while (m_Bits >= 8) {
            m_Bytes.push_back(static_cast<uint8_t>(m_Accumulator));
            m_Accumulator >>= 8;
            m_Bits -= 8;
        }
    }
    Bytes Finish()
    {
        if (m_Bits > 0)
            m_Bytes.push_back(static_cast<uint8_t>(m_Accumulator));
        m_Bits = 0;
        m_Accumulator = 0;
        return m_Bytes;
    }

private:
    Bytes m_Bytes;
    uint32_t m_Accumulator = 0;
    int m_Bits = 0;
};

// Every pixel as its own code, widened as the decoder's table grows.
Bytes PlainCodes(const Bytes& pixels, int codeSize)
{
    CodePacker packer;
    const int clear = 1 << codeSize;
    int width = codeSize + 1;
    int nextFree = clear + 2;
    packer.Add(clear, width);
    for (size_t i = 0; i < pixels.size(); ++i) {
        packer.Add(pixels[i], width);
        if (i > 0 && nextFree < 4096 && ++nextFree == (1 << width) && width < 12)
            ++width;
    }
    packer.Add(clear + 1, width);
    return packer.Finish();
}

Bytes SubBlocks(const Bytes& data)
{
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t length = std::min<size_t>(255, data.size() - i);
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                   data.begin() + static_cast<std::ptrdiff_t>(i + length));
    }
    out.push_back(0);
    return out;
}

void PutLE16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

Bytes Palette(int entries)
{
    Bytes table;
    for (int i = 0; i < entries; ++i)
        table.insert(table.end(), {uint8_t(i * 3), uint8_t(i * 5), uint8_t(255 - i)});
    return table;
}

class GifBuilder {
public:
    GifBuilder(int width, int height, int globalEntries = 4)
    {
        m_Bytes = {'G', 'I', 'F', '8', '9', 'a'};
        PutLE16(m_Bytes, static_cast<uint32_t>(width));
        PutLE16(m_Bytes, static_cast<uint32_t>(height));
        int sizeField = 0;
        while ((2 << sizeField) < globalEntries)
            ++sizeField;
        m_Bytes.push_back(static_cast<uint8_t>((globalEntries > 0 ? 0x80 : 0) | sizeField));
        m_Bytes.push_back(0);
        m_Bytes.push_back(0);
        if (globalEntries > 0) {
            const Bytes table = Palette(2 << sizeField);
            m_Bytes.insert(m_Bytes.end(), table.begin(), table.end());
        }
    }
    GifBuilder& Control(uint8_t flags, uint16_t delay, uint8_t transparent)
    {
        m_Bytes.insert(m_Bytes.end(), {0x21, 0xF9, 4, flags, uint8_t(delay), uint8_t(delay >> 8), transparent, 0});
        return *this;
    }
    GifBuilder& Raw(const Bytes& bytes)
    {
        m_Bytes.insert(m_Bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // An image whose data is given as a code stream (wrapped into sub-blocks here).
    GifBuilder& Image(int left, int top, int width, int height, uint8_t flags, const Bytes& codes, int codeSize = 2)
    {
        m_Bytes.push_back(0x2C);
        PutLE16(m_Bytes, static_cast<uint32_t>(left));
        PutLE16(m_Bytes, static_cast<uint32_t>(top));
        PutLE16(m_Bytes, static_cast<uint32_t>(width));
        PutLE16(m_Bytes, static_cast<uint32_t>(height));
        m_Bytes.push_back(flags);
        if (flags & 0x80) {
            const Bytes table = Palette(2 << (flags & 7));
            m_Bytes.insert(m_Bytes.end(), table.begin(), table.end());
        }
        m_Bytes.push_back(static_cast<uint8_t>(codeSize));
        const Bytes blocks = SubBlocks(codes);
        m_Bytes.insert(m_Bytes.end(), blocks.begin(), blocks.end());
        return *this;
    }
    Bytes Done()
    {
        m_Bytes.push_back(0x3B);
        return m_Bytes;
    }

private:
    Bytes m_Bytes;
};

// Palette indices of picture row `top` (counted from the top).
Bytes TopRow(const CPicture& picture, long top)
{
    Bytes row;
    const long y = static_cast<long>(picture.GetHeight()) - 1 - top;
    for (long x = 0; x < static_cast<long>(picture.GetWidth()); ++x)
        row.push_back(picture.GetPixelIndex(x, y));
    return row;
}

struct ImageBlock {
    int left, top, width, height, flags;
};

// Walks the blocks of a GIF file and lists its image descriptors.
std::vector<ImageBlock> ListImages(const Bytes& gif)
{
    std::vector<ImageBlock> images;
    size_t at = 13;
    if (gif[10] & 0x80)
        at += 3u * (2u << (gif[10] & 7));
    auto skipBlocks = [&]() {
        while (at < gif.size() && gif[at] != 0)
            at += gif[at] + 1u;
        ++at;
    };
    while (at < gif.size()) {
        const uint8_t introducer = gif[at++];
        if (introducer == 0x21) {
            ++at;
            skipBlocks();
        } else if (introducer == 0x2C) {
            auto le = [&](size_t offset) { return gif[at + offset] | (gif[at + offset + 1] << 8); };
            ImageBlock image{le(0), le(2), le(4), le(6), gif[at + 8]};
            images.push_back(image);
            at += 9;
            if (image.flags & 0x80)
                at += 3u * (2u << (image.flags & 7));
            ++at;
            skipBlocks();
        } else {
            break;
        }
    }
    return images;
}

std::unique_ptr<CPicture> PalettePicture(DWORD width, DWORD height, DWORD bpp, int pattern)
{
    auto picture = std::make_unique<CPicture>(width, height, bpp);
    for (DWORD i = 0; i < picture->GetNumColors(); ++i)
        picture->SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i * 7),
                                 static_cast<BYTE>(255 - i));
    uint32_t noise = 12345;
    const uint32_t colors = picture->GetNumColors();
    for (long y = 0; y < static_cast<long>(height); ++y) {
        for (long x = 0; x < static_cast<long>(width); ++x) {
            noise = noise * 1103515245u + 12345u;
            uint32_t value = 0;
            switch (pattern) {
            case 0:
                value = 1;
                break;  // one colour
            case 1:
                value = static_cast<uint32_t>(x / 37 + y / 5);
                break;  // runs of varying length
            case 2:
                value = noise >> 16;
                break;  // noise
            default:
                value = static_cast<uint32_t>(x + y);
                break;  // gradient
            }
            picture->SetPixelIndex(x, y, static_cast<BYTE>(value % colors));
        }
    }
    return picture;
}

}  // namespace

TEST(GifDecode, LzwFollowsTheTableRules)
{
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> codes;  // code, width
        Bytes expected;
    } cases[] = {
        // 6 is the code being defined: it repeats the previous string plus its first byte.
        {"code being defined", {{4, 3}, {1, 3}, {6, 3}, {6, 3}, {5, 4}}, {1, 1, 1, 1, 1}},
        // 7 lies beyond the table: read as the code being defined.
        {"code beyond the table", {{4, 3}, {2, 3}, {7, 3}, {6, 3}, {5, 4}}, {2, 2, 2, 2, 2}},
        {"clear inside the data", {{4, 3}, {1, 3}, {4, 3}, {3, 3}, {0, 3}, {6, 3}, {5, 4}}, {1, 3, 0, 3, 0}},
        // Without an end code the data's terminator ends the image.
        {"no end code", {{4, 3}, {2, 3}, {3, 3}, {1, 3}}, {2, 3, 1, 0, 0}},
        // Pixels beyond the last row are dropped.
        {"too much data", {{4, 3}, {3, 3}, {6, 3}, {7, 4}, {5, 4}}, {3, 3, 3, 3, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CodePacker packer;
        for (const auto& [code, width] : c.codes)
            packer.Add(code, width);
        const auto decoded = DecodeWith<CPictureGIF>(GifBuilder(5, 1).Image(0, 0, 5, 1, 0, packer.Finish()).Done());
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_EQ(TopRow(*decoded.picture, 0), c.expected);
    }
}

TEST(GifDecode, BadCodeSizesLeaveTheImageAtIndexZero)
{
    for (int codeSize : {0, 1, 10, 255}) {
        SCOPED_TRACE(codeSize);
        const auto decoded = DecodeWith<CPictureGIF>(
            GifBuilder(3, 2).Image(0, 0, 3, 2, 0, PlainCodes({1, 2, 3, 1, 2, 3}, 2), codeSize).Done());
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_EQ(TopRow(*decoded.picture, 0), (Bytes{0, 0, 0}));
        EXPECT_EQ(TopRow(*decoded.picture, 1), (Bytes{0, 0, 0}));
    }
}

TEST(GifDecode, DepthPaletteAndTransparencyFollowTheTable)
{
    const Bytes pixels = {0, 1, 2, 3};
    const auto plain = DecodeWith<CPictureGIF>(GifBuilder(4, 1, 4).Image(0, 0, 4, 1, 0, PlainCodes(pixels, 2)).Done());
    ASSERT_TRUE(plain.ok) << plain.Error();
    EXPECT_EQ(plain.picture->GetBpp(), 4);
    EXPECT_EQ(plain.picture->GetNumColors(), 16u);
    EXPECT_EQ(plain.picture->GetTransIndex(), -1);
    EXPECT_EQ(plain.picture->GetPaletteColor(3), (RGBQUAD{252, 15, 9, 0}));
    EXPECT_EQ(plain.picture->GetPaletteColor(4), (RGBQUAD{0, 0, 0, 0}));
    EXPECT_EQ(plain.picture->GetType(), PICTURE_FORMAT_GIF);

    const auto keyed = DecodeWith<CPictureGIF>(
        GifBuilder(4, 1, 4).Control(0x01, 0, 2).Image(0, 0, 4, 1, 0, PlainCodes(pixels, 2)).Done());
    ASSERT_TRUE(keyed.ok) << keyed.Error();
    EXPECT_EQ(keyed.picture->GetTransIndex(), 2);
    EXPECT_EQ(keyed.picture->GetPaletteColor(15), (RGBQUAD{255, 255, 255, 0})) << "entries past the table";

    // The index without the flag is ignored.
    const auto unflagged = DecodeWith<CPictureGIF>(
        GifBuilder(4, 1, 4).Control(0x00, 0, 2).Image(0, 0, 4, 1, 0, PlainCodes(pixels, 2)).Done());
    ASSERT_TRUE(unflagged.ok);
    EXPECT_EQ(unflagged.picture->GetTransIndex(), -1);

    const auto big = DecodeWith<CPictureGIF>(
        GifBuilder(2, 1, 256).Control(0x01, 0, 5).Image(0, 0, 2, 1, 0, PlainCodes({5, 200}, 8), 8).Done());
    ASSERT_TRUE(big.ok);
    EXPECT_EQ(big.picture->GetBpp(), 8);
    EXPECT_EQ(big.picture->GetTransIndex(), 5);
    EXPECT_EQ(TopRow(*big.picture, 0), (Bytes{5, 200}));
}

TEST(GifDecode, FramesAndTheirExtensions)
{
    const Bytes netscape = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 3, 0, 0};
    const Bytes comment = {0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 3, 'x', 'y', 'z', 0};
    const Bytes emptyComment = {0x21, 0xFE, 0};
    const Bytes gif = GifBuilder(4, 2)
                          .Raw(netscape)
                          .Raw(emptyComment)
                          .Control(0x00, 7, 0)
                          .Image(0, 0, 4, 2, 0, PlainCodes({1, 1, 1, 1, 2, 2, 2, 2}, 2))
                          .Raw(comment)
                          .Control(0x05, 9, 3)  // disposal 1, transparent index 3
                          .Image(1, 0, 2, 1, 0, PlainCodes({3, 0}, 2))
                          .Done();
    const auto first = DecodeWith<CPictureGIF>(gif);
    ASSERT_TRUE(first.ok) << first.Error();
    EXPECT_EQ(first.picture->info.nNumFrames, 2);
    EXPECT_EQ(TopRow(*first.picture, 0), (Bytes{1, 1, 1, 1}));
    // Every extension was read by the counting pass: the later frame's transparency applies.
    EXPECT_EQ(first.picture->GetTransIndex(), 3);
    EXPECT_EQ(first.picture->info.dwFrameDelay, 7u);
    EXPECT_STREQ(first.picture->GetComment(), "hello");
    EXPECT_EQ(first.picture->GetLoopCount(), 3);

    // Frame 1 is laid over frame 0: its transparent pixel and everything outside it keep frame 0.
    const auto second = DecodeWith<CPictureGIF>(gif, 1);
    ASSERT_TRUE(second.ok) << second.Error();
    EXPECT_EQ(second.picture->GetWidth(), 4u);
    EXPECT_EQ(TopRow(*second.picture, 0), (Bytes{1, 1, 0, 1}));
    EXPECT_EQ(TopRow(*second.picture, 1), (Bytes{2, 2, 2, 2}));
    EXPECT_EQ(second.picture->info.dwFrameDelay, 9u);

    for (int32_t frame : {2, -1}) {
        const auto outside = DecodeWith<CPictureGIF>(gif, frame);
        EXPECT_FALSE(outside.ok);
        EXPECT_EQ(outside.Error(), "GIF frame out of range");
        EXPECT_EQ(outside.picture->info.nNumFrames, 2);
    }
}

TEST(GifDecode, OverlayWithoutTransparencyKeepsTheRestOfTheFrame)
{
    const Bytes gif = GifBuilder(3, 3)
                          .Image(0, 0, 3, 3, 0, PlainCodes({1, 1, 1, 1, 1, 1, 1, 1, 1}, 2))
                          .Control(0x04, 0, 0)  // disposal 1, no transparency
                          .Image(1, 1, 1, 1, 0, PlainCodes({3}, 2))
                          .Done();
    const auto decoded = DecodeWith<CPictureGIF>(gif, 1);
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(TopRow(*decoded.picture, 0), (Bytes{1, 1, 1}));
    EXPECT_EQ(TopRow(*decoded.picture, 1), (Bytes{1, 3, 1}));
    EXPECT_EQ(TopRow(*decoded.picture, 2), (Bytes{1, 1, 1}));
    EXPECT_EQ(decoded.picture->GetTransIndex(), -1);
}

TEST(GifDecode, InterlacedRowsMatchTheirPlainTwin)
{
    for (int height = 1; height <= 20; ++height) {
        SCOPED_TRACE(height);
        Bytes plainPixels;
        std::vector<int> order;
        for (int pass = 0; pass < 4; ++pass) {
            const int start[] = {0, 4, 2, 1};
            const int step[] = {8, 8, 4, 2};
            for (int row = start[pass]; row < height; row += step[pass])
                order.push_back(row);
        }
        Bytes interlacedPixels;
        for (int row : order)
            interlacedPixels.insert(interlacedPixels.end(), {uint8_t(row % 4), uint8_t((row / 4) % 4)});
        for (int row = 0; row < height; ++row)
            plainPixels.insert(plainPixels.end(), {uint8_t(row % 4), uint8_t((row / 4) % 4)});
        // One extra line of data in the interlaced image must be dropped, not written.
        interlacedPixels.insert(interlacedPixels.end(), {3, 3});
        const auto plain = DecodeWith<CPictureGIF>(
            GifBuilder(2, height).Image(0, 0, 2, height, 0x00, PlainCodes(plainPixels, 2)).Done());
        const auto interlaced = DecodeWith<CPictureGIF>(
            GifBuilder(2, height).Image(0, 0, 2, height, 0x40, PlainCodes(interlacedPixels, 2)).Done());
        ASSERT_TRUE(plain.ok && interlaced.ok);
        EXPECT_TRUE(SamePixels(*plain.picture, *interlaced.picture));
    }
}

TEST(GifDecode, SkipsImagesItCannotPlaceWithoutMisreadingTheirData)
{
    // Data that looks like block introducers: an image descriptor and the trailer.
    const Bytes lookalike = {0x2C, 0x21, 0x3B, 0x2C, 0x2C, 0x2C, 0x2C, 0x2C, 0x2C, 0x2C};
    const Bytes gif = GifBuilder(4, 1)
                          .Image(3, 0, 4, 1, 0x81, lookalike)  // outside the screen, with a local table
                          .Image(0, 0, 4, 1, 0, PlainCodes({3, 2, 1, 0}, 2))
                          .Done();
    const auto decoded = DecodeWith<CPictureGIF>(gif);
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(decoded.picture->info.nNumFrames, 2);
    EXPECT_EQ(TopRow(*decoded.picture, 0), (Bytes{3, 2, 1, 0}));

    // Excess data after the last row is skipped to the image's terminator.
    Bytes excess = PlainCodes({1, 2, 3, 1}, 2);
    excess.insert(excess.end(), lookalike.begin(), lookalike.end());
    const Bytes twoFrames = GifBuilder(4, 1)
                                .Image(0, 0, 4, 1, 0, excess)
                                .Control(0x04, 0, 0)
                                .Image(0, 0, 1, 1, 0, PlainCodes({0}, 2))
                                .Done();
    const auto second = DecodeWith<CPictureGIF>(twoFrames, 1);
    ASSERT_TRUE(second.ok) << second.Error();
    EXPECT_EQ(second.picture->info.nNumFrames, 2);
    EXPECT_EQ(TopRow(*second.picture, 0), (Bytes{0, 2, 3, 1}));
}

TEST(GifDecode, RefusesFilesWithoutAnImageItCanHold)
{
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Not a GIF"},
        {"other signature", {'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, "Not a GIF"},
        {"no image", GifBuilder(2, 2).Done(), "GIF frame out of range"},
        // 60000 x 60000 pixels cannot come from a few bytes of LZW data.
        {"lying size", GifBuilder(60000, 60000).Image(0, 0, 60000, 60000, 0, PlainCodes({1}, 2)).Done(),
         "GIF has no image that can be decoded"},
        {"outside the screen", GifBuilder(2, 2).Image(1, 1, 2, 2, 0, PlainCodes({1, 1, 1, 1}, 2)).Done(),
         "GIF has no image that can be decoded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeWith<CPictureGIF>(c.bytes);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.Error(), c.error);
    }
}

TEST(GifDecode, CorpusMatchesReferenceDecodes)
{
    REQUIRE_TESTDATA();
    CheckCorpus<CPictureGIF>("gif");
    CheckPrefixes<CPictureGIF>(ReadFileBytes(TestDataDir() / "gif/pillow/transparent_dispose.gif"));
    CheckPrefixes<CPictureGIF>(ReadFileBytes(TestDataDir() / "gif/pillow/text_mono.gif"), 3);
}

TEST(GifEncode, EveryPackerRoundTrips)
{
    const struct {
        DWORD width, height, bpp;
        int pattern;
    } pictures[] = {
        {1, 1, 1, 0},     {3, 2, 1, 2},    {97, 61, 1, 1}, {200, 150, 1, 2}, {17, 15, 4, 3},   {128, 64, 4, 1},
        {300, 100, 4, 2}, {5000, 3, 4, 0}, {255, 3, 8, 3}, {160, 120, 8, 2}, {400, 100, 8, 1}, {640, 480, 8, 0},
    };
    for (const auto& p : pictures) {
        const auto picture = PalettePicture(p.width, p.height, p.bpp, p.pattern);
        for (DWORD option : {0u, 1u, 2u}) {
            SCOPED_TRACE(testing::Message() << p.width << "x" << p.height << " at " << p.bpp << " bits, pattern "
                                            << p.pattern << ", codec option " << option);
            picture->info.dwCodecOption = option;
            bool ok = false;
            const Bytes bytes = EncodeAs(*picture, PICTURE_FORMAT_GIF, &ok);
            ASSERT_TRUE(ok);
            const auto decoded = DecodeWith<CPictureGIF>(bytes);
            ASSERT_TRUE(decoded.ok) << decoded.Error();
            EXPECT_EQ(decoded.picture->GetBpp(), p.bpp);
            EXPECT_TRUE(SamePixels(*picture, *decoded.picture));
        }
    }
}

TEST(GifEncode, PackersDifferAsDesigned)
{
    const auto flat = PalettePicture(300, 200, 8, 0);
    auto sizeWith = [&](DWORD option) {
        flat->info.dwCodecOption = option;
        return EncodeAs(*flat, PICTURE_FORMAT_GIF).size();
    };
    const size_t plain = sizeWith(1);
    const size_t lzw = sizeWith(2);
    const size_t runs = sizeWith(0);
    EXPECT_GE(plain, 300u * 200u * 9u / 8u) << "one code of at least 9 bits per pixel";
    EXPECT_LT(lzw, plain / 20);
    EXPECT_LT(runs, plain / 20);
}

TEST(GifEncode, WritesHeaderControlAndCommentAsGiven)
{
    CPictureGIF picture;
    picture.Create(3, 2, 1, PICTURE_FORMAT_GIF);
    picture.SetPaletteColor(1, 255, 255, 255);
    picture.SetTransIndex(1);
    picture.info.dwFrameDelay = 0x0102;
    picture.SetComment("tessmark");
    picture.SetDisposalMethod(2);
    CMemStream stream;
    stream.Open();
    ASSERT_TRUE(picture.Encode(&stream));
    const uint8_t* data = stream.GetBuffer(false);
    const Bytes bytes(data, data + stream.Size());
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
    EXPECT_EQ(bytes[10], 0x80) << "screen flags of a 1-bit picture";
    EXPECT_EQ(Bytes(bytes.begin() + 19, bytes.begin() + 27), (Bytes{0x21, 0xF9, 4, 0x09, 0x02, 0x01, 1, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 27, bytes.begin() + 30), (Bytes{0x21, 0xFE, 8}));
    const size_t image = 27 + 3 + 8 + 1;
    EXPECT_EQ(bytes[image], 0x2C);
    EXPECT_EQ(bytes[image + 10], 2) << "minimum code size of a 1-bit picture";
    EXPECT_EQ(bytes.back(), 0x3B);

    const auto decoded = DecodeWith<CPictureGIF>(bytes);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.picture->GetTransIndex(), 1);
    EXPECT_STREQ(decoded.picture->GetComment(), "tessmark");
    EXPECT_EQ(decoded.picture->GetDisposalMethod(), 2);
}

TEST(GifEncode, TrueColourIsWrittenAsTilesAndAssembledAgain)
{
    CPicture picture(40, 20, 24);
    for (long y = 0; y < 20; ++y) {
        for (long x = 0; x < 40; ++x)
            picture.SetPixelColor(x, y, RGBQUAD{BYTE(x * 6), BYTE(y * 12), BYTE((x * y) & 0xFF), 0});
    }
    bool ok = false;
    const Bytes bytes = EncodeAs(picture, PICTURE_FORMAT_GIF, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes[10], 0x11) << "no global table";
    const std::vector<ImageBlock> tiles = ListImages(bytes);
    ASSERT_EQ(tiles.size(), 6u);
    const int widths[] = {17, 17, 6, 17, 17, 6};
    const int heights[] = {15, 15, 15, 5, 5, 5};
    for (size_t i = 0; i < tiles.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tiles[i].left, 17 * static_cast<int>(i % 3));
        EXPECT_EQ(tiles[i].top, 15 * static_cast<int>(i / 3));
        EXPECT_EQ(tiles[i].width, widths[i]);
        EXPECT_EQ(tiles[i].height, heights[i]);
        EXPECT_EQ(tiles[i].flags, 0x87) << "local table of 256 entries";
    }

    const auto decoded = DecodeWith<CPictureGIF>(bytes);
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(decoded.picture->GetBpp(), 24);
    EXPECT_TRUE(SamePixels(picture, *decoded.picture));
}

TEST(GifEncode, TrueColourPicturesOneTileWideOrHighAssembleToo)
{
    const SIZE sizes[] = {{17, 40}, {40, 15}, {5, 31}, {50, 3}};
    for (const SIZE size : sizes) {
        SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy);
        CPicture picture(static_cast<DWORD>(size.cx), static_cast<DWORD>(size.cy), 24);
        for (long y = 0; y < size.cy; ++y) {
            for (long x = 0; x < size.cx; ++x)
                picture.SetPixelColor(x, y, RGBQUAD{BYTE(x * 5), BYTE(y * 6), BYTE(x + y), 0});
        }
        const auto decoded = DecodeWith<CPictureGIF>(EncodeAs(picture, PICTURE_FORMAT_GIF));
        ASSERT_TRUE(decoded.ok) << decoded.Error();
        EXPECT_EQ(decoded.picture->GetBpp(), 24);
        EXPECT_TRUE(SamePixels(picture, *decoded.picture));
    }
}

TEST(GifEncode, TrueColourTransparentColourBecomesEachTilesIndexZero)
{
    CPicture picture(30, 20, 24);
    picture.Clear(0x40);
    const RGBQUAD key{0, 255, 0, 0};
    for (long i = 0; i < 20; ++i)
        picture.SetPixelColor(i, i, key);
    picture.info.nBkgndColor = key;
    picture.SetTransIndex(0);
    const auto decoded = DecodeWith<CPictureGIF>(EncodeAs(picture, PICTURE_FORMAT_GIF));
    ASSERT_TRUE(decoded.ok) << decoded.Error();
    EXPECT_EQ(decoded.picture->GetTransIndex(), 0);
    EXPECT_TRUE(SamePixels(picture, *decoded.picture));
}
