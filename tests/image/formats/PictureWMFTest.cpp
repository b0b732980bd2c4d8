// Metafile decoder: size rules, corpus sizes and renderings against independent references,
// the player's records and mapping, and hostile records.
#include "image/FileStream.h"
#include "image/MemStream.h"
#include "image/formats/PictureWMF.h"
#include "tests/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <string_view>

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, int value)
{
    b.push_back(static_cast<uint8_t>(value));
    b.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(Bytes& b, int64_t value)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutFloat(Bytes& b, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    Put32(b, bits);
}

// A placeable Windows metafile: the 22-byte header, the 18-byte metafile header and the records
// (each a function number and its 16-bit parameters), ended by the end-of-file record.
struct WmfRecord {
    uint16_t function;
    std::vector<int> params;
};

Bytes MakeWmf(int left, int top, int right, int bottom, int inch, const std::vector<WmfRecord>& records,
              int objects = 8, int checksumDelta = 0)
{
    Bytes b;
    Put32(b, 0x9AC6CDD7);
    Put16(b, 0);
    Put16(b, left);
    Put16(b, top);
    Put16(b, right);
    Put16(b, bottom);
    Put16(b, inch);
    Put32(b, 0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= static_cast<uint16_t>(b[i * 2] | (b[i * 2 + 1] << 8));
    Put16(b, sum + checksumDelta);
    size_t words = 9 + 3;
    for (const WmfRecord& r : records)
        words += 3 + r.params.size();
    Put16(b, 1);
    Put16(b, 9);
    Put16(b, 0x0300);
    Put32(b, static_cast<int64_t>(words));
    Put16(b, objects);
    Put32(b, 64);
    Put16(b, 0);
    for (const WmfRecord& r : records) {
        Put32(b, static_cast<int64_t>(3 + r.params.size()));
        Put16(b, r.function);
        for (int p : r.params)
            Put16(b, p);
    }
    Put32(b, 3);
    Put16(b, 0);
    return b;
}

// An enhanced metafile: the header record with the given bounds (and a frame matching them on a
// 96-dpi reference device), the records (type and 32-bit fields), then EMR_EOF.
struct EmfRecord {
    uint32_t type;
    Bytes fields;
};

Bytes Fields(std::initializer_list<int64_t> values)
{
    Bytes b;
    for (int64_t v : values)
        Put32(b, v);
    return b;
}

Bytes MakeEmf(int left, int top, int right, int bottom, const std::vector<EmfRecord>& records, int handles = 8)
{
    Bytes b;
    Put32(b, 1);
    Put32(b, 88);
    for (int v : {left, top, right, bottom})
        Put32(b, v);
    // Frame in 0.01 mm for a reference device of 96 pixels per inch (1000 px over 264.58 mm).
    for (int v : {left, top, right, bottom})
        Put32(b, static_cast<int64_t>(std::lround(v * 2540.0 / 96.0)));
    Put32(b, 0x464D4520);
    Put32(b, 0x10000);
    Put32(b, 0);  // nBytes, patched below
    Put32(b, static_cast<int64_t>(records.size() + 2));
    Put16(b, handles);
    Put16(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 960);
    Put32(b, 960);
    Put32(b, 254);
    Put32(b, 254);
    for (const EmfRecord& r : records) {
        Put32(b, r.type);
        Put32(b, static_cast<int64_t>(8 + r.fields.size()));
        b.insert(b.end(), r.fields.begin(), r.fields.end());
    }
    Put32(b, 14);
    Put32(b, 20);
    Put32(b, 0);
    Put32(b, 16);
    Put32(b, 20);
    uint32_t total = static_cast<uint32_t>(b.size());
    for (int i = 0; i < 4; ++i)
        b[48 + i] = static_cast<uint8_t>(total >> (8 * i));
    return b;
}

bool Decode(CPictureWMF& picture, Bytes bytes, long forceWidth = 0, long forceHeight = 0)
{
    CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return picture.Decode(&stream, forceWidth, forceHeight);
}

// Colour at picture coordinates counted from the top.
RGBQUAD At(const CPicture& picture, long x, long yFromTop)
{
    return picture.GetPixelColor(x, static_cast<long>(picture.GetHeight()) - 1 - yFromTop);
}

bool IsColor(RGBQUAD c, int red, int green, int blue, int tolerance = 8)
{
    return std::abs(c.rgbRed - red) <= tolerance && std::abs(c.rgbGreen - green) <= tolerance &&
           std::abs(c.rgbBlue - blue) <= tolerance;
}

// Area-averaged 32 x 32 thumbnail (RGB, top-down) of the box of a picture's non-white pixels
// (a channel more than 8 below 255), the way the reference thumbnails were made.
std::vector<double> Thumbnail(const CPicture& picture)
{
    long width = picture.GetWidth(), height = picture.GetHeight();
    long left = width, top = height, right = 0, bottom = 0;
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            RGBQUAD c = At(picture, x, y);
            if (c.rgbRed < 247 || c.rgbGreen < 247 || c.rgbBlue < 247) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    if (right <= left || bottom <= top)
        left = 0, top = 0, right = width, bottom = height;
    long boxWidth = right - left, boxHeight = bottom - top;
    std::vector<double> sums(32 * 32 * 3, 0.0), weights(32 * 32, 0.0);
    for (long y = 0; y < boxHeight; ++y) {
        double ty0 = y * 32.0 / boxHeight, ty1 = (y + 1) * 32.0 / boxHeight;
        for (long x = 0; x < boxWidth; ++x) {
            double tx0 = x * 32.0 / boxWidth, tx1 = (x + 1) * 32.0 / boxWidth;
            RGBQUAD c = At(picture, left + x, top + y);
            for (long ty = static_cast<long>(ty0); ty < 32 && ty < ty1; ++ty) {
                double wy = std::min<double>(ty + 1, ty1) - std::max<double>(ty, ty0);
                for (long tx = static_cast<long>(tx0); tx < 32 && tx < tx1; ++tx) {
                    double weight = wy * (std::min<double>(tx + 1, tx1) - std::max<double>(tx, tx0));
                    size_t cell = static_cast<size_t>(ty * 32 + tx);
                    weights[cell] += weight;
                    sums[cell * 3] += weight * c.rgbRed;
                    sums[cell * 3 + 1] += weight * c.rgbGreen;
                    sums[cell * 3 + 2] += weight * c.rgbBlue;
                }
            }
        }
    }
    for (size_t i = 0; i < sums.size(); ++i)
        sums[i] /= std::max(weights[i / 3], 1e-9);
    return sums;
}

std::vector<double> ReadThumbnail(const std::string& name)
{
    Bytes ppm = ReadFileBytes(fs::path(TESSMARK_SOURCE_DIR) / "tests/fixtures/wmf" / (name + ".ppm"));
    const std::string header = "P6\n32 32\n255\n";
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + static_cast<long>(header.size())), header);
    return std::vector<double>(ppm.begin() + static_cast<long>(header.size()), ppm.end());
}

}  // namespace

TEST(WmfDecode, SizeRules)
{
    struct Case {
        const char* name;
        Bytes bytes;
        long forceWidth, forceHeight;
        long width, height;
    } cases[] = {
        {"1440 units at 1440 per inch is one inch", MakeWmf(0, 0, 1440, 720, 1440, {}), 0, 0, 96, 48},
        {"negative origin", MakeWmf(-500, -250, 500, 250, 1000, {}), 0, 0, 96, 48},
        {"wide placeable picture shrinks", MakeWmf(0, 0, 30000, 3000, 100, {}), 0, 0, 4000, 400},
        {"enhanced bounds", MakeEmf(10, 20, 110, 70, {}), 0, 0, 100, 50},
        {"enhanced bounds shrink to 4000", MakeEmf(0, 0, 10000, 5000, {}), 0, 0, 4000, 2000},
        {"tall enhanced picture shrinks by height", MakeEmf(0, 0, 1000, 8000, {}), 0, 0, 500, 4000},
        {"forced size replaces the computed one", MakeEmf(0, 0, 100, 50, {}), 30, 60, 30, 60},
        {"forced size is shrunk too", MakeEmf(0, 0, 100, 50, {}), 8000, 100, 4000, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPictureWMF picture;
        ASSERT_TRUE(Decode(picture, c.bytes, c.forceWidth, c.forceHeight)) << picture.GetLastError();
        EXPECT_EQ(static_cast<long>(picture.GetWidth()), c.width);
        EXPECT_EQ(static_cast<long>(picture.GetHeight()), c.height);
        EXPECT_EQ(picture.GetBpp(), 24);
        EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_WMF);
        EXPECT_FALSE(picture.AlphaIsValid());
        // Nothing drawn: the window colour shows everywhere.
        EXPECT_TRUE(IsColor(At(picture, 0, 0), 255, 255, 255, 0));
        EXPECT_TRUE(IsColor(At(picture, c.width - 1, c.height - 1), 255, 255, 255, 0));
    }
}

TEST(WmfDecode, RefusalsCarryTheirMessages)
{
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"checksum off by one", MakeWmf(0, 0, 100, 100, 96, {}, 8, 1), "corrupted WMF"},
        {"zero units per inch", MakeWmf(0, 0, 100, 100, 0, {}), "corrupted WMF"},
        {"zero width", MakeWmf(0, 0, 0, 100, 96, {}), "empty WMF"},
        {"reversed box", MakeWmf(100, 0, 0, 100, 96, {}), "empty WMF"},
        {"empty enhanced bounds", MakeEmf(0, 0, -1, -1, {}), "empty WMF"},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, "corrupted WMF"},
        {"nothing", Bytes{}, "corrupted WMF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPictureWMF picture;
        EXPECT_FALSE(Decode(picture, c.bytes));
        EXPECT_STREQ(picture.GetLastError(), c.message);
        EXPECT_FALSE(picture.IsValid());
    }

    // A metafile header whose size runs past the end of the file.
    Bytes longer = MakeWmf(0, 0, 100, 100, 96, {});
    longer[28] = 0xFF;
    longer[29] = 0x7F;
    CPictureWMF picture;
    EXPECT_FALSE(Decode(picture, longer));
    EXPECT_STREQ(picture.GetLastError(), "corrupted WMF");

    CPictureWMF cancelled;
    cancelled.info.nEscape = 1;
    EXPECT_FALSE(Decode(cancelled, MakeEmf(0, 0, 10, 10, {})));
    EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
}

TEST(WmfEncode, IsRefused)
{
    CPictureWMF picture;
    picture.Create(4, 4, 24, PICTURE_FORMAT_WMF);
    EXPECT_FALSE(picture.Encode(nullptr));
    EXPECT_STREQ(picture.GetLastError(), "");
    CMemStream stream;
    stream.Open();
    EXPECT_FALSE(picture.Encode(&stream));
    EXPECT_STREQ(picture.GetLastError(), "Save WMF not supported");

    CPicture plain(4, 4, 24, 0);
    EXPECT_FALSE(plain.Encode(&stream, PICTURE_FORMAT_WMF));
    EXPECT_STREQ(plain.GetLastError(), "Save WMF not supported");
}

TEST(WmfPlay, WindowMapsOntoThePicture)
{
    // A 100 x 100 unit window at 96 units per inch; the records move the window to 0..200 and
    // draw a red rectangle with a black pen over the left half, then an ellipse in a blue brush.
    Bytes wmf = MakeWmf(0, 0, 100, 100, 96,
                        {
                            {0x020B, {0, 0}},                  // SETWINDOWORG
                            {0x020C, {200, 200}},              // SETWINDOWEXT 200 x 200
                            {0x02FC, {0, 0x00FF, 0x0000, 0}},  // CREATEBRUSHINDIRECT solid red
                            {0x012D, {0}},                     // SELECTOBJECT
                            {0x02FA, {5, 0, 0, 0, 0}},         // CREATEPENINDIRECT null pen
                            {0x012D, {1}},                     // SELECTOBJECT
                            {0x041B, {200, 100, 0, 0}},        // RECTANGLE 0,0 - 100,200
                            {0x01F0, {0}},                     // DELETEOBJECT brush
                            {0x02FC, {0, 0x0000, 0x00FF, 0}},  // CREATEBRUSHINDIRECT solid blue
                            {0x012D, {0}},                     // SELECTOBJECT
                            {0x0418, {180, 180, 120, 120}},    // ELLIPSE 120,120 - 180,180
                            {0x0416, {40, 200, 0, 100}},       // INTERSECTCLIPRECT x 100..200, y 0..40
                            {0x041B, {200, 200, 0, 100}},      // RECTANGLE over the right half, clipped
                        });
    CPictureWMF picture;
    ASSERT_TRUE(Decode(picture, wmf)) << picture.GetLastError();
    ASSERT_EQ(picture.GetWidth(), 100u);
    EXPECT_TRUE(IsColor(At(picture, 10, 50), 255, 0, 0));
    EXPECT_TRUE(IsColor(At(picture, 45, 95), 255, 0, 0));
    EXPECT_TRUE(IsColor(At(picture, 75, 75), 0, 0, 255));      // ellipse centre at 150,150 units
    EXPECT_TRUE(IsColor(At(picture, 55, 75), 255, 255, 255));  // between rectangle and ellipse
    EXPECT_TRUE(IsColor(At(picture, 75, 10), 0, 0, 255));      // clipped rectangle, inside the clip
    EXPECT_TRUE(IsColor(At(picture, 75, 30), 255, 255, 255));  // outside the clip
}

TEST(WmfPlay, EnhancedMappingTransformAndState)
{
    auto rect = [](int l, int t, int r, int b) { return EmfRecord{43, Fields({l, t, r, b})}; };
    std::vector<EmfRecord> records = {
        {39, Fields({1, 0, 0x00FF00, 0})},  // CREATEBRUSHINDIRECT 1: solid green
        {37, Fields({1})},                  // SELECTOBJECT 1
        {37, Fields({0x80000008})},         // SELECTOBJECT stock NULL_PEN
        {17, Fields({8})},                  // SETMAPMODE anisotropic
        {9, Fields({1000, 1000})},          // SETWINDOWEXTEX
        {11, Fields({100, 100})},           // SETVIEWPORTEXTEX: 10 logical units per pixel
        rect(0, 0, 500, 500),               // green square 0..50 px
        {33, Fields({})},                   // SAVEDC
        {30, Fields({500, 0, 1000, 250})},  // INTERSECTCLIPRECT: x 50..100, y 0..25 px
        {37, Fields({0x80000004})},         // SELECTOBJECT stock BLACK_BRUSH
        rect(500, 0, 1000, 1000),           // black, clipped to the top right quarter's upper half
        {34, Fields({-1})},                 // RESTOREDC: clip and green brush back
    };
    // World transform: a translation by 0, 600 logical units, then a green square there.
    Bytes xform;
    for (float v : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 600.0f})
        PutFloat(xform, v);
    records.push_back({35, xform});
    records.push_back(rect(0, 0, 300, 300));  // lands on 0..30 x 60..90 px
    CPictureWMF picture;
    ASSERT_TRUE(Decode(picture, MakeEmf(0, 0, 100, 100, records))) << picture.GetLastError();
    ASSERT_EQ(picture.GetWidth(), 100u);
    EXPECT_TRUE(IsColor(At(picture, 25, 25), 0, 255, 0));
    EXPECT_TRUE(IsColor(At(picture, 75, 10), 0, 0, 0));
    EXPECT_TRUE(IsColor(At(picture, 75, 40), 255, 255, 255));
    EXPECT_TRUE(IsColor(At(picture, 15, 75), 0, 255, 0));
    EXPECT_TRUE(IsColor(At(picture, 45, 75), 255, 255, 255));
}

TEST(WmfPlay, TextIsDrawnInTheTextColour)
{
    std::vector<WmfRecord> records = {
        {0x02FB, {-40, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // 40-unit bold font
        {0x012D, {0}},
        {0x0209, {0x00FF, 0x0000}},                                 // SETTEXTCOLOR red
        {0x0102, {1}},                                              // SETBKMODE transparent
        {0x0521, {4, 'H' | ('H' << 8), 'H' | ('H' << 8), 20, 10}},  // TEXTOUT "HHHH" at 10,20
    };
    CPictureWMF picture;
    ASSERT_TRUE(Decode(picture, MakeWmf(0, 0, 200, 100, 96, records))) << picture.GetLastError();
    int red = 0, other = 0;
    for (long y = 0; y < 100; ++y) {
        for (long x = 0; x < 200; ++x) {
            RGBQUAD c = At(picture, x, y);
            if (IsColor(c, 255, 0, 0, 40))
                ++red;
            else if (!IsColor(c, 255, 255, 255, 40) && std::abs(c.rgbGreen - c.rgbBlue) > 20)
                ++other;
        }
    }
    EXPECT_GT(red, 150);
    EXPECT_EQ(other, 0);
}

// Metafile text goes through the same font engine as window text: "宋体" and "SimSun" resolve to
// the Ming-style CJK font the aliases name, so the three faces draw the same pixels.
TEST(WmfPlay, SongFacesResolveAsInWindowText)
{
    auto utf16 = [](std::u16string_view text, size_t units) {
        Bytes b;
        for (size_t i = 0; i < units; ++i)
            Put16(b, i < text.size() ? text[i] : 0);
        return b;
    };
    auto render = [&](std::u16string_view face, std::vector<uint32_t>& pixels) {
        Bytes font = Fields({1, -24, 0, 0, 0, 400});  // EXTCREATEFONTINDIRECTW 1: 24-pixel em
        for (int b : {0, 0, 0, 134, 0, 0, 0, 0})      // italic ... charset GB2312 ... pitch
            font.push_back(static_cast<uint8_t>(b));
        Bytes name = utf16(face, 32);
        font.insert(font.end(), name.begin(), name.end());
        // EXTTEXTOUTW: bounds, graphics mode, scales, reference point, 4 characters at offset 76.
        Bytes text = Fields({0, 0, 0, 0, 1, 0, 0, 4, 4, 4, 76, 0, 0, 0, 0, 0, 0});
        Bytes chars = utf16(u"处理完毕", 4);
        text.insert(text.end(), chars.begin(), chars.end());
        std::vector<EmfRecord> records = {{82, font}, {37, Fields({1})}, {18, Fields({1})}, {84, text}};
        CPictureWMF picture;
        ASSERT_TRUE(Decode(picture, MakeEmf(0, 0, 120, 32, records))) << picture.GetLastError();
        for (long y = 0; y < static_cast<long>(picture.GetHeight()); ++y)
            for (long x = 0; x < static_cast<long>(picture.GetWidth()); ++x) {
                RGBQUAD c = At(picture, x, y);
                pixels.push_back(static_cast<uint32_t>(c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue));
            }
    };
    std::vector<uint32_t> ming, song, simsun;
    render(u"AR PL UMing CN", ming);
    render(u"宋体", song);
    render(u"SimSun", simsun);
    long ink = std::count_if(ming.begin(), ming.end(), [](uint32_t c) { return (c & 0xFF) < 128; });
    EXPECT_GT(ink, 100);
    EXPECT_TRUE(song == ming);
    EXPECT_TRUE(simsun == ming);
}

TEST(WmfPlay, HostileRecordsAreSkipped)
{
    // Counts far beyond the record, object indices beyond the table, unbalanced restores,
    // a zero-sized record: each is skipped or ends playback, and the picture still comes out.
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"polygon count beyond its record", MakeWmf(0, 0, 50, 50, 96, {{0x0324, {32767, 1, 1, 40, 40}}})},
        {"poly-polygon counts beyond the record",
         MakeWmf(0, 0, 50, 50, 96, {{0x0538, {3, 30000, 30000, 30000, 1, 1}}})},
        {"objects beyond the table",
         MakeWmf(0, 0, 50, 50, 96,
                 {{0x02FA, {0, 1, 0, 0, 0}}, {0x02FA, {0, 1, 0, 0, 0}}, {0x012D, {9000}}, {0x01F0, {65535}}}, 1)},
        {"restore without save", MakeWmf(0, 0, 50, 50, 96, {{0x0127, {-5}}, {0x0127, {30000}}})},
        {"text longer than its record",
         MakeWmf(0, 0, 50, 50, 96, {{0x0521, {30000, 0x4141}}, {0x0A32, {1, 1, 9999, 6}}})},
        {"bitmap with a huge header",
         MakeWmf(
             0, 0, 50, 50, 96,
             {{0x0F43, {0x20, 0xCC, 0, 10, 10, 0, 0, 10, 10, 0, 0, 40, 0, 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF, 1, 24}}})},
        {"enhanced polygon count beyond the record",
         MakeEmf(0, 0, 50, 50, {{3, Fields({0, 0, 50, 50, 0x7FFFFFFF, 1, 1})}})},
        {"enhanced poly-polygon", MakeEmf(0, 0, 50, 50, {{8, Fields({0, 0, 50, 50, 0x40000000, 0x7FFFFFFF, 5})}})},
        {"enhanced object index beyond the table",
         MakeEmf(0, 0, 50, 50, {{39, Fields({0x7FFFFFFF, 0, 0, 0})}, {37, Fields({0x7FFFFFFE})}, {40, Fields({99})}})},
        {"enhanced text offset outside the record",
         MakeEmf(0, 0, 50, 50, {{84, Fields({0, 0, 0, 0, 1, 0, 0, 5, 5, 1000, 0x7FFFFFF0, 0, 0, 0, 0, 0, 0})}})},
        {"enhanced bitmap offsets outside the record",
         MakeEmf(
             0, 0, 50, 50,
             {{81, Fields({0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 0x7FFFFFF0, 40, 80, 0x7FFFFFFF, 0, 0xCC0020, 10, 10})}})},
        {"enhanced region with too many rectangles",
         MakeEmf(0, 0, 50, 50, {{75, Fields({48, 5, 32, 1, 0x7FFFFFFF, 0, 0, 0, 0, 0, 0, 0, 0})}})},
        {"huge world transform",
         MakeEmf(0, 0, 50, 50, {{35, Fields({0x7F7FFFFF, 0, 0, 0x7F7FFFFF, 0, 0})}, {43, Fields({0, 0, 10, 10})}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPictureWMF picture;
        ASSERT_TRUE(Decode(picture, c.bytes)) << picture.GetLastError();
        EXPECT_EQ(picture.GetWidth(), 50u);
    }

    // Every prefix of a valid file either decodes or fails with a message.
    Bytes whole = MakeWmf(0, 0, 50, 50, 96, {{0x02FC, {0, 0xFF, 0, 0}}, {0x012D, {0}}, {0x041B, {40, 40, 5, 5}}});
    for (size_t length = 0; length <= whole.size(); ++length) {
        CPictureWMF picture;
        bool ok = Decode(picture, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        EXPECT_TRUE(ok || picture.GetLastError()[0] != '\0') << length;
    }
}

TEST(WmfPlay, PaintingStopsWhenTheWorkBudgetIsSpent)
{
    // Thousands of rectangles over the whole picture: after the budget (a few hundred times the
    // picture's area plus a constant) nothing more is painted, so the final blue one never lands.
    std::vector<WmfRecord> records = {
        {0x02FC, {0, 0x00FF, 0, 0}}, {0x012D, {0}}, {0x02FA, {5, 0, 0, 0, 0}}, {0x012D, {1}}};
    for (int i = 0; i < 3000; ++i)
        records.push_back({0x041B, {100, 100, 0, 0}});
    records.push_back({0x02FC, {0, 0, 0x00FF, 0}});
    records.push_back({0x012D, {2}});
    records.push_back({0x041B, {100, 100, 0, 0}});
    CPictureWMF picture;
    ASSERT_TRUE(Decode(picture, MakeWmf(0, 0, 100, 100, 96, records))) << picture.GetLastError();
    EXPECT_TRUE(IsColor(At(picture, 50, 50), 255, 0, 0));
}

TEST(WmfDecode, CorpusSizesFollowOurRules)
{
    REQUIRE_TESTDATA();
    int decoded = 0;
    for (const ManifestRow& file : ManifestRows("wmf/")) {
        if (file.IsReference() || (file.format != "wmf" && file.format != "emf"))
            continue;
        SCOPED_TRACE(file.path);
        CPictureWMF picture;
        CFileStream stream((TestDataDir() / file.path).c_str(), "rb");
        bool ok = picture.Decode(&stream);
        if (file.valid != "yes") {
            EXPECT_TRUE(ok || picture.GetLastError()[0] != '\0');
            continue;
        }
        if (file.notes.find("non-placeable") != std::string::npos) {
            // Only placeable Windows metafiles carry the size and units the picture is made from.
            EXPECT_FALSE(ok);
            EXPECT_STREQ(picture.GetLastError(), "corrupted WMF");
            continue;
        }
        ASSERT_TRUE(ok) << picture.GetLastError();
        long width = picture.GetWidth(), height = picture.GetHeight();
        if (file.format == "wmf") {
            // The listed size is a 72-dpi rendering; ours is made for 96 dpi.
            EXPECT_NEAR(width, file.width * 96.0 / 72.0, 2.5);
            EXPECT_NEAR(height, file.height * 96.0 / 72.0, 2.5);
        } else {
            long expectedWidth = file.width, expectedHeight = file.height;
            CPictureWMF::ShrinkMetafile(expectedWidth, expectedHeight);
            EXPECT_EQ(width, expectedWidth);
            EXPECT_EQ(height, expectedHeight);
            EXPECT_LE(std::max(width, height), 4000);
        }
        ++decoded;
    }
    EXPECT_GE(decoded, 30);
}

// Mean absolute difference (0-255 per channel) between 32 x 32 area-averaged thumbnails of the
// drawn content (the box of non-white pixels) of our rendering and of an independent one: the
// corpus' own reference for drawing.emf, ImageMagick's rendering for the others. ImageMagick
// frames a Windows metafile by what it draws, we by the metafile's window, hence the crop.
// The bounds sit a little above what the renderings reach today; fonts differ between renderers
// (the formula files, nearly all text, are left out for that reason).
TEST(WmfDecode, RenderingsResembleIndependentRenderers)
{
    REQUIRE_TESTDATA();
    struct Case {
        const char* file;
        double bound;
    } cases[] = {
        {"pillow/drawing.emf", 1},  {"libwmf/arrow01.wmf", 4},   {"libwmf/sample.wmf", 5},
        {"libwmf/2doorvan.wmf", 9}, {"libwmf/anim0002.wmf", 9},  {"libwmf/cell.wmf", 5},
        {"libwmf/fjftest.wmf", 4},  {"libwmf/fulltest.wmf", 13}, {"libwmf/Eg.wmf", 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CPictureWMF picture;
        CFileStream stream((TestDataDir() / "wmf" / c.file).c_str(), "rb");
        ASSERT_TRUE(picture.Decode(&stream)) << picture.GetLastError();
        std::vector<double> ours = Thumbnail(picture);
        std::vector<double> theirs = ReadThumbnail(fs::path(c.file).filename().string());
        ASSERT_EQ(ours.size(), theirs.size());
        double total = 0;
        for (size_t i = 0; i < ours.size(); ++i)
            total += std::fabs(ours[i] - theirs[i]);
        double mean = total / static_cast<double>(ours.size());
        RecordProperty(fs::path(c.file).filename().string(), std::to_string(mean));
        EXPECT_LT(mean, c.bound);
    }
}

TEST(WmfDecode, DetectionFindsMetafilesLoadedAsBitmaps)
{
    REQUIRE_TESTDATA();
    CPicture picture((TestDataDir() / "wmf/libwmf/arrow01.wmf").c_str(), PICTURE_FORMAT_BMP);
    ASSERT_TRUE(picture.IsValid()) << picture.GetLastError();
    EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_WMF);
}
