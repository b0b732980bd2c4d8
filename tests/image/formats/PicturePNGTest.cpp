// PNG decoder and encoder: the corpus against reference decodes, transparency and alpha rules,
// round trips of every picture kind, the chunks written, and failures on every path.
#include "image/FileStream.h"
#include "image/MemStream.h"
#include "image/formats/PicturePNG.h"
#include "tests/TestData.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgba {
    BYTE red, green, blue, alpha;
    bool operator==(const Rgba&) const = default;
};

// What a pixel shows: its colour and how opaque it is, whichever way the picture stores
// transparency (alpha plane, palette alpha or a transparent index).
Rgba Shown(const CPicture& pic, long x, long y)
{
    Rgba out{};
    BYTE alpha = 255;
    if (pic.GetNumColors() != 0) {
        const BYTE index = pic.GetPixelIndex(x, y);
        const RGBQUAD c = pic.GetPaletteColor(index);
        out = {c.rgbRed, c.rgbGreen, c.rgbBlue, 255};
        if (pic.info.bAlphaPaletteEnabled)
            alpha = c.rgbReserved;
        else if (pic.GetTransIndex() >= 0 && index == pic.GetTransIndex())
            alpha = 0;
    } else {
        const BYTE* p = pic.GetBits(static_cast<DWORD>(y)) + 3 * x;
        out = {p[2], p[1], p[0], 255};
        if (pic.GetTransIndex() >= 0 && p[0] == pic.info.nBkgndColor.rgbBlue && p[1] == pic.info.nBkgndColor.rgbGreen &&
            p[2] == pic.info.nBkgndColor.rgbRed)
            alpha = 0;
    }
    if (pic.AlphaIsValid())
        alpha = pic.AlphaGet(x, y);
    out.alpha = alpha;
    return out;
}

uint32_t Fnv(uint32_t hash, BYTE value)
{
    return (hash ^ value) * 0x01000193u;
}

// FNV-1a over the shown red, green, blue (top row first) and over the opacities.
void ShownHashes(const CPicture& pic, uint32_t& rgbHash, uint32_t& alphaHash)
{
    rgbHash = alphaHash = 0x811C9DC5u;
    const long width = static_cast<long>(pic.GetWidth());
    const long height = static_cast<long>(pic.GetHeight());
    for (long top = 0; top < height; ++top) {
        for (long x = 0; x < width; ++x) {
            const Rgba c = Shown(pic, x, height - 1 - top);
            rgbHash = Fnv(Fnv(Fnv(rgbHash, c.red), c.green), c.blue);
            alphaHash = Fnv(alphaHash, c.alpha);
        }
    }
}

bool DecodeBytes(CPicturePNG& pic, const Bytes& bytes)
{
    CMemStream stream(const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    return pic.Decode(&stream);
}

bool DecodeFile(CPicturePNG& pic, const std::filesystem::path& path)
{
    return DecodeBytes(pic, ReadFileBytes(path));
}

// Encodes through the engine's dispatch (so the encoder works on a ghost, as in Save).
Bytes EncodeToBytes(CPicture& pic)
{
    CMemStream stream;
    stream.Open();
    if (!pic.Encode(&stream, PICTURE_FORMAT_PNG))
        return {};
    const int32_t size = stream.Size();
    const uint8_t* data = stream.GetBuffer(false);
    return Bytes(data, data + size);
}

// The chunks of a PNG file by type (the first of each type).
std::map<std::string, Bytes> Chunks(const Bytes& file)
{
    std::map<std::string, Bytes> out;
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const uint32_t length =
            (uint32_t{file[pos]} << 24) | (file[pos + 1] << 16) | (file[pos + 2] << 8) | file[pos + 3];
        const std::string type(reinterpret_cast<const char*>(&file[pos + 4]), 4);
        if (pos + 12 + length > file.size())
            break;
        out.emplace(
            type, Bytes(file.begin() + static_cast<long>(pos) + 8, file.begin() + static_cast<long>(pos + 8 + length)));
        pos += 12 + length;
    }
    return out;
}

uint32_t Crc32(const uint8_t* data, size_t length)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

uint32_t BE32(const Bytes& b, size_t at)
{
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// A PNG written by libpng itself, independent of the encoder under test.
struct PngRecipe {
    int width = 4;
    int height = 2;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_PALETTE;
    std::vector<png_color> palette;
    Bytes trans;
    std::optional<png_color_16> key;  // tRNS of grey and colour files
    int interlace = PNG_INTERLACE_NONE;
    std::vector<Bytes> rows;  // packed rows as stored
};

void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

Bytes MakePng(const PngRecipe& recipe)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(recipe.width), static_cast<png_uint_32>(recipe.height),
                 recipe.bitDepth, recipe.colorType, recipe.interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!recipe.palette.empty())
        png_set_PLTE(png, info, recipe.palette.data(), static_cast<int>(recipe.palette.size()));
    if (!recipe.trans.empty())
        png_set_tRNS(png, info, recipe.trans.data(), static_cast<int>(recipe.trans.size()), nullptr);
    if (recipe.key) {
        png_color_16 key = *recipe.key;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (const Bytes& row : recipe.rows)
            png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct ReferenceRow {
    std::string path;
    DWORD width = 0, height = 0, bpp = 0;
    uint32_t rgbHash = 0, alphaHash = 0;
    long xDpi = 0, yDpi = 0;
};

std::vector<ReferenceRow> ReadReference()
{
    std::vector<ReferenceRow> rows;
    std::ifstream in(std::string(TESSMARK_SOURCE_DIR) + "/tests/fixtures/png/reference.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        ReferenceRow row;
        std::string rgb, alpha;
        fields >> row.path >> row.width >> row.height >> row.bpp >> rgb >> alpha >> row.xDpi >> row.yDpi;
        row.rgbHash = static_cast<uint32_t>(std::stoul(rgb, nullptr, 16));
        row.alphaHash = static_cast<uint32_t>(std::stoul(alpha, nullptr, 16));
        rows.push_back(row);
    }
    return rows;
}

// reference.tsv holds every valid corpus file decoded independently (ImageMagick) and put
// through this codec's rules by tests/fixtures/png/make-reference.py: grey levels stay and a
// tRNS grey level becomes the transparent index; RGB with a tRNS colour, 8-bit grey with
// alpha and 16-bit RGBA are composited the way the decoder asks libpng to (onto bKGD, else
// 192 grey for colour and 0 for grey), with libpng's rounding.
TEST(PngDecode, CorpusMatchesReferenceDecodes)
{
    REQUIRE_TESTDATA();
    const std::vector<ReferenceRow> rows = ReadReference();
    ASSERT_GT(rows.size(), 150u);
    for (const ReferenceRow& row : rows) {
        SCOPED_TRACE(row.path);
        CPicturePNG pic;
        ASSERT_TRUE(DecodeFile(pic, TestDataDir() / row.path)) << pic.GetLastError();
        EXPECT_EQ(pic.GetWidth(), row.width);
        EXPECT_EQ(pic.GetHeight(), row.height);
        EXPECT_EQ(pic.GetBpp(), row.bpp);
        EXPECT_EQ(pic.GetType(), PICTURE_FORMAT_PNG);
        EXPECT_EQ(pic.GetXDPI(), row.xDpi);
        EXPECT_EQ(pic.GetYDPI(), row.yDpi);
        uint32_t rgbHash = 0, alphaHash = 0;
        ShownHashes(pic, rgbHash, alphaHash);
        EXPECT_EQ(rgbHash, row.rgbHash);
        EXPECT_EQ(alphaHash, row.alphaHash);
    }
}

// Bad files fail with a message, except where only ancillary chunks are damaged: libpng
// skips those with a warning and the image itself is intact.
TEST(PngDecode, BadFilesFailWithAMessageAndQuestionableOnesDoNotCrash)
{
    REQUIRE_TESTDATA();
    const std::string recoverable[] = {"png/bad/libpng/empty_ancillary_chunks.png",
                                       "png/bad/pillow/unknown_compression_method.png"};  // in iCCP
    int bad = 0;
    for (const ManifestRow& row : ManifestRows("png/")) {
        if (row.valid == "yes")
            continue;
        SCOPED_TRACE(row.path);
        CPicturePNG pic;
        const bool ok = DecodeFile(pic, TestDataDir() / row.path);
        if (!ok) {
            EXPECT_STRNE(pic.GetLastError(), "");
        }
        if (row.valid == "no" &&
            std::find(std::begin(recoverable), std::end(recoverable), row.path) == std::end(recoverable)) {
            ++bad;
            EXPECT_FALSE(ok);
        }
        if (ok && row.width > 0) {
            EXPECT_EQ(pic.GetWidth(), static_cast<DWORD>(row.width));
            EXPECT_EQ(pic.GetHeight(), static_cast<DWORD>(row.height));
        }
    }
    EXPECT_GT(bad, 30);
}

TEST(PngDecode, EveryPrefixOfAFileFailsCleanly)
{
    PngRecipe recipe;
    recipe.colorType = PNG_COLOR_TYPE_RGB;
    recipe.rows = {Bytes(12, 0x40), Bytes(12, 0x80)};
    const Bytes file = MakePng(recipe);
    ASSERT_FALSE(file.empty());
    for (size_t length = 0; length < file.size(); ++length) {
        CPicturePNG pic;
        EXPECT_FALSE(DecodeBytes(pic, Bytes(file.begin(), file.begin() + static_cast<long>(length)))) << length;
        EXPECT_STRNE(pic.GetLastError(), "") << length;
    }
    CPicturePNG whole;
    EXPECT_TRUE(DecodeBytes(whole, file)) << whole.GetLastError();
}

TEST(PngDecode, ReportsLibpngMessages)
{
    CPicturePNG notPng;
    EXPECT_FALSE(DecodeBytes(notPng, Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}));
    EXPECT_STREQ(notPng.GetLastError(), "Not a PNG file");

    CPicturePNG empty;
    EXPECT_FALSE(DecodeBytes(empty, Bytes{}));
    EXPECT_STREQ(empty.GetLastError(), "Read Error");
}

// An IHDR promising far more pixels than the rest of the file could inflate to is refused
// before the pixel block is allocated.
TEST(PngDecode, RefusesPicturesTheStreamCannotHold)
{
    PngRecipe recipe;
    recipe.colorType = PNG_COLOR_TYPE_GRAY;
    recipe.width = 1;
    recipe.height = 1;
    recipe.rows = {Bytes{0}};
    Bytes file = MakePng(recipe);
    ASSERT_FALSE(file.empty());
    // Width and height 60000 with a recomputed CRC.
    for (int at : {16, 20}) {
        file[at] = 0;
        file[at + 1] = 0;
        file[at + 2] = 0xEA;
        file[at + 3] = 0x60;
    }
    const uint32_t crc = Crc32(&file[12], 17);
    for (int i = 0; i < 4; ++i)
        file[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    CPicturePNG pic;
    EXPECT_FALSE(DecodeBytes(pic, file));
    EXPECT_STREQ(pic.GetLastError(), "Not enough image data");
    EXPECT_FALSE(pic.IsValid());
}

TEST(PngDecode, PaletteTransparencyRule)
{
    struct Case {
        const char* name;
        Bytes trans;
        long transIndex;
        bool alphaPalette;
        std::vector<BYTE> alphas;  // fourth bytes of entries 0, 1, 2, 3
    };
    const Case cases[] = {
        {"single zero", {0}, 0, false, {0, 0, 0, 0}},
        {"single non-zero", {77}, -1, true, {77, 255, 255, 255}},
        {"two entries", {0, 128}, -1, true, {0, 128, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngRecipe recipe;
        recipe.bitDepth = 2;
        recipe.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
        recipe.trans = c.trans;
        recipe.rows = {Bytes{0x1B}, Bytes{0xE4}};  // indices 0 1 2 3 / 3 2 1 0
        CPicturePNG pic;
        ASSERT_TRUE(DecodeBytes(pic, MakePng(recipe))) << pic.GetLastError();
        EXPECT_EQ(pic.GetBpp(), 4);
        EXPECT_EQ(pic.GetTransIndex(), c.transIndex);
        EXPECT_EQ(pic.info.bAlphaPaletteEnabled, c.alphaPalette);
        for (BYTE i = 0; i < 4; ++i)
            EXPECT_EQ(pic.GetPaletteColor(i).rgbReserved, c.alphas[i]) << int{i};
        // 2-bit rows are widened to 4 bits with the indices unchanged (top row is memory row 1).
        for (long x = 0; x < 4; ++x) {
            EXPECT_EQ(pic.GetPixelIndex(x, 1), x);
            EXPECT_EQ(pic.GetPixelIndex(x, 0), 3 - x);
        }
    }
}

TEST(PngDecode, GreyTransparencyMarksTheTransparentLevel)
{
    REQUIRE_TESTDATA();
    CPicturePNG pic;
    ASSERT_TRUE(DecodeFile(pic, TestDataDir() / "png/pillow/l_trns.png")) << pic.GetLastError();
    const Bytes file = ReadFileBytes(TestDataDir() / "png/pillow/l_trns.png");
    const Bytes trns = Chunks(file)["tRNS"];
    ASSERT_EQ(trns.size(), 2u);
    EXPECT_EQ(pic.GetBpp(), 8);
    EXPECT_EQ(pic.GetTransIndex(), trns[1]);
    EXPECT_FALSE(pic.info.bAlphaPaletteEnabled);
    EXPECT_TRUE(pic.IsGrayScale());
}

// A 16-bit key is matched against the 16-bit levels: with levels 0..255 every pixel reduces
// to 8-bit level 0, yet only the pixels at the key itself are clear.
TEST(PngDecode, SixteenBitGreyKeyMatchesAtTheFilesDepth)
{
    for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
        SCOPED_TRACE(interlace);
        PngRecipe recipe;
        recipe.width = 16;
        recipe.height = 16;
        recipe.bitDepth = 16;
        recipe.colorType = PNG_COLOR_TYPE_GRAY;
        recipe.interlace = interlace;
        recipe.key = png_color_16{0, 0, 0, 0, 0x00FF};
        auto level = [](int x, int y) { return y * 16 + x; };        // 0..255
        auto upper = [](int x, int y) { return x == 3 && y == 5; };  // one pixel at 0x12FF
        for (int y = 0; y < recipe.height; ++y) {
            Bytes row;
            for (int x = 0; x < recipe.width; ++x) {
                row.push_back(upper(x, y) ? 0x12 : 0x00);
                row.push_back(static_cast<uint8_t>(level(x, y)));
            }
            recipe.rows.push_back(row);
        }
        CPicturePNG pic;
        ASSERT_TRUE(DecodeBytes(pic, MakePng(recipe))) << pic.GetLastError();
        ASSERT_EQ(pic.GetBpp(), 8);
        int clear = 0;
        for (int y = 0; y < recipe.height; ++y) {
            for (int x = 0; x < recipe.width; ++x) {
                const Rgba shown = Shown(pic, x, recipe.height - 1 - y);
                const BYTE grey = upper(x, y) ? 0x12 : 0;
                EXPECT_EQ(shown, (Rgba{grey, grey, grey, shown.alpha})) << x << "," << y;
                EXPECT_EQ(shown.alpha, level(x, y) == 0xFF ? 0 : 255) << x << "," << y;
                clear += shown.alpha == 0;
            }
        }
        EXPECT_EQ(clear, 1);
    }
}

TEST(PngDecode, AlphaPlaneAndBackgroundOfRgbaFiles)
{
    REQUIRE_TESTDATA();
    // bgwn6a08: 8-bit RGBA with a white bKGD; the alpha plane holds the file's alpha.
    CPicturePNG pic;
    ASSERT_TRUE(DecodeFile(pic, TestDataDir() / "png/pngsuite/bgwn6a08.png")) << pic.GetLastError();
    EXPECT_EQ(pic.GetBpp(), 24);
    ASSERT_TRUE(pic.AlphaIsValid());
    EXPECT_EQ(pic.info.nBkgndColor.rgbRed, 255);
    EXPECT_EQ(pic.info.nBkgndColor.rgbGreen, 255);
    EXPECT_EQ(pic.info.nBkgndColor.rgbBlue, 255);
    EXPECT_EQ(pic.GetTransIndex(), -1);
}

struct Kind {
    const char* name;
    DWORD bpp;
    bool alphaPalette;
    long transIndex;
    bool alphaPlane;
    bool transColour;
};

// A 13 x 7 picture whose every pixel differs from its neighbours, of the given kind.
void Fill(CPicture& pic, const Kind& kind)
{
    pic.Create(13, 7, kind.bpp, PICTURE_FORMAT_BMP);
    const DWORD colors = pic.GetNumColors();
    for (DWORD i = 0; i < colors; ++i)
        pic.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 7 + 3), static_cast<BYTE>(255 - i),
                            static_cast<BYTE>(i * 13), kind.alphaPalette ? static_cast<BYTE>(i * 31) : 0);
    pic.info.bAlphaPaletteEnabled = kind.alphaPalette;
    for (long y = 0; y < 7; ++y) {
        for (long x = 0; x < 13; ++x) {
            if (colors != 0) {
                pic.SetPixelIndex(x, y, static_cast<BYTE>((x * 3 + y * 5) % colors));
            } else {
                BYTE* p = pic.GetBits(static_cast<DWORD>(y)) + 3 * x;
                p[0] = static_cast<BYTE>(x * 19);
                p[1] = static_cast<BYTE>(y * 37);
                p[2] = static_cast<BYTE>(x * y);
            }
        }
    }
    if (kind.alphaPlane) {
        pic.AlphaCreate();
        for (long y = 0; y < 7; ++y)
            for (long x = 0; x < 13; ++x)
                pic.AlphaSet(x, y, static_cast<BYTE>(x * 20 + y));
    }
    pic.SetTransIndex(kind.transIndex);
    if (kind.transColour) {
        const BYTE* p = pic.GetBits(2) + 3 * 4;
        pic.info.nBkgndColor = RGBQUAD{p[0], p[1], p[2], 0};
    }
}

TEST(PngEncode, RoundTripKeepsWhatEveryPictureKindShows)
{
    const Kind kinds[] = {
        {"1-bit palette", 1, false, -1, false, false},
        {"4-bit palette", 4, false, -1, false, false},
        {"8-bit palette", 8, false, -1, false, false},
        {"4-bit palette alpha", 4, true, -1, false, false},
        {"8-bit palette alpha", 8, true, -1, false, false},
        {"1-bit transparent index 1", 1, false, 1, false, false},
        {"4-bit transparent index 0", 4, false, 0, false, false},
        {"8-bit transparent index 7", 8, false, 7, false, false},
        {"4-bit transparent index naming no entry", 4, false, 20, false, false},
        {"24-bit", 24, false, -1, false, false},
        {"24-bit alpha plane", 24, false, -1, true, false},
        {"24-bit transparent colour", 24, false, 0, false, true},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        CPicture original;
        Fill(original, kind);
        original.SetXDPI(300);
        original.SetYDPI(150);
        std::vector<Rgba> before;
        for (long y = 0; y < 7; ++y)
            for (long x = 0; x < 13; ++x)
                before.push_back(Shown(original, x, y));

        const Bytes file = EncodeToBytes(original);
        ASSERT_FALSE(file.empty()) << original.GetLastError();
        CPicturePNG decoded;
        ASSERT_TRUE(DecodeBytes(decoded, file)) << decoded.GetLastError();
        EXPECT_EQ(decoded.GetBpp(), kind.transColour ? 24u : kind.bpp);
        EXPECT_EQ(decoded.GetXDPI(), 300);
        EXPECT_EQ(decoded.GetYDPI(), 150);
        size_t i = 0;
        for (long y = 0; y < 7; ++y) {
            for (long x = 0; x < 13; ++x, ++i) {
                // The caller's picture may have been re-indexed but must show the same.
                ASSERT_EQ(Shown(original, x, y), before[i]) << x << "," << y;
                ASSERT_EQ(Shown(decoded, x, y), before[i]) << x << "," << y;
            }
        }
    }
}

TEST(PngEncode, WritesColourTypeDepthBackgroundAndDensity)
{
    struct Case {
        const char* name;
        Kind kind;
        int colorType;
        int bitDepth;
        Bytes background;
    };
    const Case cases[] = {
        {"24-bit", {"", 24, false, -1, false, false}, 2, 8, {0, 255, 0, 255, 0, 255}},
        {"4-bit palette", {"", 4, false, -1, false, false}, 3, 4, {0}},
        {"alpha plane", {"", 24, false, -1, true, false}, 6, 8, {0, 255, 0, 255, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPicture pic;
        Fill(pic, c.kind);
        const Bytes file = EncodeToBytes(pic);
        auto chunks = Chunks(file);
        ASSERT_EQ(chunks["IHDR"].size(), 13u);
        EXPECT_EQ(chunks["IHDR"][8], c.bitDepth);
        EXPECT_EQ(chunks["IHDR"][9], c.colorType);
        EXPECT_EQ(chunks["IHDR"][12], 0) << "not interlaced";
        EXPECT_EQ(chunks["bKGD"], c.background);
        ASSERT_EQ(chunks["pHYs"].size(), 9u);
        EXPECT_EQ(BE32(chunks["pHYs"], 0), 3780u);
        EXPECT_EQ(BE32(chunks["pHYs"], 4), 3780u);
        EXPECT_EQ(chunks["pHYs"][8], 1);
    }
}

TEST(PngEncode, PaletteIsTrimmedToTheLargestIndexOfSmallPictures)
{
    for (DWORD side : {10u, 300u}) {
        SCOPED_TRACE(side);
        CPicture pic(side, side, 8);
        pic.Clear(0);
        for (long i = 0; i < 5; ++i)
            pic.SetPixelIndex(i, i, static_cast<BYTE>(i));
        const Bytes file = EncodeToBytes(pic);
        EXPECT_EQ(Chunks(file)["PLTE"].size(), (side == 10 ? 5u : 256u) * 3);
    }
}

TEST(PngEncode, TransparentIndexMovesToZeroInTheCallersPicture)
{
    CPicture pic(4, 1, 8);
    for (BYTE i = 0; i < 8; ++i)
        pic.SetPaletteColor(i, i, static_cast<BYTE>(i * 2), static_cast<BYTE>(i * 3));
    const BYTE indices[] = {7, 0, 3, 7};
    for (long x = 0; x < 4; ++x)
        pic.SetPixelIndex(x, 0, indices[x]);
    pic.SetTransIndex(7);

    const Bytes file = EncodeToBytes(pic);
    auto chunks = Chunks(file);
    EXPECT_EQ(chunks["tRNS"], Bytes{0});
    EXPECT_EQ(chunks["PLTE"].size(), 8u * 3);
    EXPECT_EQ(chunks["PLTE"][0], 7) << "entry 7 is now entry 0";

    EXPECT_EQ(pic.GetTransIndex(), 0);
    EXPECT_EQ(pic.GetPaletteColor(0).rgbRed, 7);
    EXPECT_EQ(pic.GetPaletteColor(7).rgbRed, 0);
    const BYTE swapped[] = {0, 7, 3, 0};
    for (long x = 0; x < 4; ++x)
        EXPECT_EQ(pic.GetPixelIndex(x, 0), swapped[x]);
}

TEST(PngEncode, TransparentColourBecomesAlphaScaledByGlobalOpacity)
{
    CPicture pic(3, 1, 24);
    BYTE* p = pic.GetBits(0);
    const BYTE pixels[] = {1, 2, 3, 9, 9, 9, 1, 2, 3};
    memcpy(p, pixels, sizeof pixels);
    pic.SetTransIndex(0);
    pic.info.nBkgndColor = RGBQUAD{1, 2, 3, 0};
    pic.info.nAlphaMax = 128;
    const Bytes file = EncodeToBytes(pic);
    EXPECT_EQ(Chunks(file)["IHDR"][9], PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(Chunks(file)["bKGD"], (Bytes{0, 3, 0, 2, 0, 1}));
    EXPECT_FALSE(pic.AlphaIsValid()) << "the caller's picture gains no alpha plane";

    CPicturePNG decoded;
    ASSERT_TRUE(DecodeBytes(decoded, file)) << decoded.GetLastError();
    ASSERT_TRUE(decoded.AlphaIsValid());
    EXPECT_EQ(decoded.AlphaGet(0, 0), 0);
    EXPECT_EQ(decoded.AlphaGet(1, 0), 128);
    EXPECT_EQ(decoded.AlphaGet(2, 0), 0);
}

// A stream that takes a limited number of bytes, then refuses; optionally refuses flushes.
class LimitedStream : public CMemStream {
public:
    LimitedStream(size_t limit, bool flushFails) : m_Left(limit), m_FlushFails(flushFails) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override
    {
        if (size * count > m_Left)
            return 0;
        m_Left -= size * count;
        return CMemStream::Write(buffer, size, count);
    }
    bool Flush() override { return !m_FlushFails && CMemStream::Flush(); }

private:
    size_t m_Left;
    bool m_FlushFails;
};

TEST(PngEncode, FailuresReportErrorSavingPngFile)
{
    CPicture pic(40, 40, 24);
    pic.Clear(0x55);
    for (size_t limit : {size_t{0}, size_t{8}, size_t{60}}) {
        SCOPED_TRACE(limit);
        LimitedStream stream(limit, false);
        EXPECT_FALSE(pic.Encode(&stream, PICTURE_FORMAT_PNG));
        EXPECT_STREQ(pic.GetLastError(), "Error saving PNG file");
    }

    CPicture empty;
    CMemStream stream;
    stream.Open();
    EXPECT_FALSE(empty.Encode(&stream, PICTURE_FORMAT_PNG));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
}

TEST(PngLoad, DetectionFindsPngWhateverTheName)
{
    REQUIRE_TESTDATA();
    CPicture named((TestDataDir() / "jpeg/mozilla/jpg-size-6x6.jpg").string().c_str(), PICTURE_FORMAT_JPG);
    ASSERT_TRUE(named.IsValid()) << named.GetLastError();
    EXPECT_EQ(named.GetType(), PICTURE_FORMAT_PNG);
    EXPECT_EQ(named.GetWidth(), 6u);
}

}  // namespace
