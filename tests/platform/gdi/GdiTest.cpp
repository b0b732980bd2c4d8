// Device contexts, bitmaps, DIB exchange, clipping, regions, transfers and shapes, by pixels.
#include "platform/gdi/Gdi.h"

#include "platform/gdi/Surface.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <vector>

namespace {

// Restores the display depth a test changed.
class DisplayDepth {
public:
    explicit DisplayDepth(int bitsPerPixel) { SetDisplayBitsPerPixel(bitsPerPixel); }
    ~DisplayDepth() { SetDisplayBitsPerPixel(32); }
};

// A memory DC holding a display-compatible bitmap.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255))
    {
        HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        m_Dc = CreateCompatibleDC(screen);
        m_Bitmap = CreateCompatibleBitmap(screen, width, height);
        DeleteDC(screen);
        m_Previous = SelectObject(m_Dc, m_Bitmap);
        RECT all{0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(m_Dc, &all, brush);
        DeleteObject(brush);
    }
    ~MemoryCanvas()
    {
        SelectObject(m_Dc, m_Previous);
        DeleteObject(m_Bitmap);
        DeleteDC(m_Dc);
    }
    HDC Dc() const { return m_Dc; }
    HBITMAP Bitmap() const { return m_Bitmap; }
    uint32_t Pixel(int x, int y) const { return GetBitmapSurface(m_Bitmap)->Pixel(x, y) & 0xFFFFFF; }

private:
    HDC m_Dc = nullptr;
    HBITMAP m_Bitmap = nullptr;
    HGDIOBJ m_Previous = nullptr;
};

// A packed DIB built in memory: header, colour table, rows.
struct PackedDib {
    std::vector<uint8_t> bytes;
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(bytes.data()); }
    uint8_t* Bits() { return bytes.data() + 40 + 4 * Info()->bmiHeader.biClrUsed; }
};

PackedDib MakeDib(int width, int height, int bitsPerPixel, const std::vector<RGBQUAD>& colours)
{
    PackedDib dib;
    size_t stride = ((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4;
    size_t rows = static_cast<size_t>(height < 0 ? -height : height);
    dib.bytes.assign(40 + 4 * colours.size() + stride * rows, 0);
    BITMAPINFOHEADER header;
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biClrUsed = static_cast<DWORD>(colours.size());
    std::memcpy(dib.bytes.data(), &header, 40);
    if (!colours.empty())
        std::memcpy(dib.bytes.data() + 40, colours.data(), 4 * colours.size());
    return dib;
}

uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue)
{
    return (red << 16) | (green << 8) | blue;
}

}  // namespace

TEST(GdiDisplay, ReportsDepthAndMakesBitmapsAtIt)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(CreateDCA("PRINTER", nullptr, nullptr, nullptr), nullptr);
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        DisplayDepth display(depth);
        EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), depth);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 7, 5);
        BITMAP info;
        ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
        EXPECT_EQ(info.bmWidth, 7);
        EXPECT_EQ(info.bmHeight, 5);
        EXPECT_EQ(info.bmBitsPixel, depth);
        DeleteObject(bitmap);
    }
    // A zero-sized compatible bitmap is 1 x 1 monochrome; so is one made from a fresh memory DC.
    HDC memory = CreateCompatibleDC(screen);
    for (HBITMAP bitmap : {CreateCompatibleBitmap(screen, 0, 10), CreateCompatibleBitmap(memory, 4, 4)}) {
        BITMAP info;
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmBitsPixel, 1);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    DeleteDC(screen);
}

TEST(GdiDibs, GetDIBitsConvertsToEveryDepth)
{
    // Bottom row: black, white, red; top row: blue, grey 0x808080, green 0x00FF00.
    MemoryCanvas canvas(3, 2);
    const COLORREF top[3] = {RGB(0, 0, 255), RGB(128, 128, 128), RGB(0, 255, 0)};
    const COLORREF bottom[3] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 0, 0)};
    for (int x = 0; x < 3; ++x) {
        SetPixel(canvas.Dc(), x, 0, top[x]);
        SetPixel(canvas.Dc(), x, 1, bottom[x]);
    }
    struct Case {
        int depth;
        uint32_t expected[6];  // decoded bottom row then top row, 0x00RRGGBB
    };
    const Case cases[] = {
        {1, {0x000000, 0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF, 0x000000}},
        {4, {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, 0x808080, 0x00FF00}},
        {8, {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, 0x808080, 0x00FF00}},
        {16, {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, 0x848484, 0x00FF00}},
        {24, {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, 0x808080, 0x00FF00}},
        {32, {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, 0x808080, 0x00FF00}},
    };
    SelectObject(canvas.Dc(), GetStockObject(WHITE_BRUSH));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        size_t colours = c.depth <= 8 ? size_t{1} << c.depth : 0;
        PackedDib dib = MakeDib(3, 2, c.depth, std::vector<RGBQUAD>(colours));
        dib.Info()->bmiHeader.biClrUsed = 0;  // as the capture prepares it
        ASSERT_EQ(GetDIBits(canvas.Dc(), canvas.Bitmap(), 0, 2, dib.bytes.data() + 40 + 4 * colours, dib.Info(),
                            DIB_RGB_COLORS),
                  2);
        size_t stride = ((3 * static_cast<size_t>(c.depth) + 31) / 32) * 4;
        EXPECT_EQ(dib.Info()->bmiHeader.biSizeImage, stride * 2);
        const uint8_t* bits = dib.bytes.data() + 40 + 4 * colours;
        const RGBQUAD* table = dib.Info()->bmiColors;
        for (int row = 0; row < 2; ++row) {
            const uint8_t* line = bits + row * stride;
            for (int x = 0; x < 3; ++x) {
                uint32_t decoded = 0;
                auto fromTable = [&](int index) {
                    return Rgb(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue);
                };
                switch (c.depth) {
                case 1:
                    decoded = fromTable((line[0] >> (7 - x)) & 1);
                    break;
                case 4:
                    decoded = fromTable(x % 2 ? line[x / 2] & 15 : line[x / 2] >> 4);
                    break;
                case 8:
                    decoded = fromTable(line[x]);
                    break;
                case 16: {
                    uint32_t v = line[2 * x] | (line[2 * x + 1] << 8);
                    auto expand = [](uint32_t five) { return (five << 3) | (five >> 2); };
                    decoded = Rgb(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
                    break;
                }
                default: {
                    const uint8_t* p = line + (c.depth / 8) * x;
                    decoded = Rgb(p[2], p[1], p[0]);
                }
                }
                EXPECT_EQ(decoded, c.expected[row * 3 + x]) << "row " << row << " x " << x;
            }
        }
    }
}

TEST(GdiDibs, CompatibleBitmapsStorePixelsAtTheDisplayDepth)
{
    struct Case {
        int depth;
        uint32_t stored;  // what 0x123456 becomes
    };
    // 16 bits keep 5 bits a channel; 8 bits take the nearest halftone entry (0x003366).
    const Case cases[] = {{32, 0x123456}, {24, 0x123456}, {16, 0x103152}, {8, 0x003366}, {4, 0x000080}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        DisplayDepth display(c.depth);
        MemoryCanvas canvas(2, 1);
        SetPixel(canvas.Dc(), 0, 0, RGB(0x12, 0x34, 0x56));
        PackedDib dib = MakeDib(2, 1, 24, {});
        ASSERT_EQ(GetDIBits(canvas.Dc(), canvas.Bitmap(), 0, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS), 1);
        EXPECT_EQ(Rgb(dib.Bits()[2], dib.Bits()[1], dib.Bits()[0]), c.stored);
    }
}

TEST(GdiDibs, SetDIBitsToDeviceCopiesEveryLayout)
{
    // A 3 x 2 picture whose top row is red, green, blue and bottom row white, black, grey.
    const uint32_t topRow[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    const uint32_t bottomRow[3] = {0xFFFFFF, 0x000000, 0x808080};
    const std::vector<RGBQUAD> palette = {{0, 0, 255, 0},     {0, 255, 0, 0}, {255, 0, 0, 0},
                                          {255, 255, 255, 0}, {0, 0, 0, 0},   {128, 128, 128, 0}};
    for (int depth : {4, 8, 24, 32}) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << depth << (topDown ? " top-down" : " bottom-up"));
            std::vector<RGBQUAD> colours;
            if (depth <= 8) {
                colours = palette;
                colours.resize(size_t{1} << depth);
            }
            PackedDib dib = MakeDib(3, topDown ? -2 : 2, depth, colours);
            size_t stride = ((3 * static_cast<size_t>(depth) + 31) / 32) * 4;
            for (int row = 0; row < 2; ++row) {
                bool isTop = topDown ? row == 0 : row == 1;
                uint8_t* line = dib.Bits() + row * stride;
                for (int x = 0; x < 3; ++x) {
                    int index = (isTop ? 0 : 3) + x;
                    uint32_t pixel = isTop ? topRow[x] : bottomRow[x];
                    if (depth == 4)
                        line[x / 2] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
                    else if (depth == 8)
                        line[x] = static_cast<uint8_t>(index);
                    else
                        for (int b = 0; b < 3; ++b)
                            line[(depth / 8) * x + b] = static_cast<uint8_t>(pixel >> (8 * b));
                }
            }
            MemoryCanvas canvas(5, 4, RGB(1, 2, 3));
            EXPECT_EQ(SetDIBitsToDevice(canvas.Dc(), 1, 1, 3, 2, 0, 0, 0, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS),
                      2);
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(canvas.Pixel(1 + x, 1), topRow[x]);
                EXPECT_EQ(canvas.Pixel(1 + x, 2), bottomRow[x]);
            }
            EXPECT_EQ(canvas.Pixel(0, 1), 0x010203u);
            EXPECT_EQ(canvas.Pixel(4, 2), 0x010203u);
            EXPECT_EQ(canvas.Pixel(1, 3), 0x010203u);
        }
    }
}

TEST(GdiDibs, TrueColourRowsRoundTripAtEveryWidthAndOffset)
{
    // Widths around the four-pixel groups of the row converters, from column offsets 0-2.
    auto byteOf = [](int x, int b) { return static_cast<uint8_t>(x * 37 + b * 11 + 5); };
    for (int depth : {24, 32}) {
        for (int width = 1; width <= 11; ++width) {
            for (int sx = 0; sx < std::min(width, 3); ++sx) {
                SCOPED_TRACE(testing::Message() << depth << " bits, width " << width << ", from " << sx);
                int bytesPerPixel = depth / 8;
                PackedDib source = MakeDib(width, 1, depth, {});
                for (int x = 0; x < width; ++x) {
                    for (int b = 0; b < bytesPerPixel; ++b)
                        source.Bits()[bytesPerPixel * x + b] = byteOf(x, b);
                }
                int count = width - sx;
                MemoryCanvas canvas(count + 1, 1, RGB(1, 2, 3));
                ASSERT_EQ(SetDIBitsToDevice(canvas.Dc(), 0, 0, static_cast<DWORD>(count), 1, sx, 0, 0, 1, source.Bits(),
                                            source.Info(), DIB_RGB_COLORS),
                          1);
                for (int x = 0; x < count; ++x)
                    EXPECT_EQ(canvas.Pixel(x, 0), Rgb(byteOf(sx + x, 2), byteOf(sx + x, 1), byteOf(sx + x, 0)));
                EXPECT_EQ(canvas.Pixel(count, 0), 0x010203u);

                // Read back into a buffer with a guard byte after the padded row.
                PackedDib back = MakeDib(count + 1, 1, depth, {});
                size_t stride = ((static_cast<size_t>(count + 1) * depth + 31) / 32) * 4;
                back.bytes.push_back(0xEE);
                ASSERT_EQ(GetDIBits(canvas.Dc(), canvas.Bitmap(), 0, 1, back.Bits(), back.Info(), DIB_RGB_COLORS), 1);
                for (int x = 0; x <= count; ++x) {
                    const uint8_t* p = back.Bits() + bytesPerPixel * x;
                    uint32_t expected =
                        x < count ? Rgb(byteOf(sx + x, 2), byteOf(sx + x, 1), byteOf(sx + x, 0)) : 0x010203u;
                    EXPECT_EQ(Rgb(p[2], p[1], p[0]), expected) << "column " << x;
                    if (depth == 32) {
                        EXPECT_EQ(p[3], 0) << "column " << x;
                    }
                }
                EXPECT_EQ(back.Bits()[stride], 0xEE);
            }
        }
    }
}

TEST(GdiSurface, ReusedLargeBlockIsFilledLikeAFreshOne)
{
    {
        Surface first(1200, 1000, 0x00ABCDEF);
        first.SetPixel(5, 5, 0x12345678);
    }
    // Smaller and larger than the block just freed, and different shapes.
    const int sizes[][2] = {{1000, 1100}, {1100, 1100}, {1300, 1000}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        Surface surface(size[0], size[1], 0x00010203);
        ASSERT_EQ(surface.Width(), size[0]);
        ASSERT_EQ(surface.Height(), size[1]);
        size_t wrong = 0;
        for (int y = 0; y < size[1]; ++y) {
            const uint32_t* row = surface.Row(y);
            for (int x = 0; x < size[0]; ++x)
                wrong += row[x] != 0x00010203u;
        }
        EXPECT_EQ(wrong, 0u);
        surface.SetPixel(size[0] - 1, size[1] - 1, 0);
        surface.Resize(size[1], size[0], 0x00FFFFFF);
        EXPECT_EQ(surface.Pixel(size[1] - 1, size[0] - 1), 0x00FFFFFFu);
        EXPECT_EQ(surface.Pixel(0, 0), 0x00FFFFFFu);
    }
}

TEST(GdiDibs, SetDIBitsToDeviceSubRectangleAndClipping)
{
    // 1-bit, 4 x 3, bottom-up: only the pixel in column 2 of the middle row is set.
    PackedDib dib = MakeDib(4, 3, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}});
    dib.Bits()[4] = 0x20;  // row 1 from the bottom
    MemoryCanvas canvas(4, 4, RGB(9, 9, 9));
    // Source rectangle: columns 1-2, rows 1-2 counted from the bottom, drawn at (-1, 0).
    EXPECT_EQ(SetDIBitsToDevice(canvas.Dc(), -1, 0, 2, 2, 1, 1, 0, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(canvas.Pixel(0, 1), 0xFFFFFFu);  // column 2 lands at x 0 (column 1 is cut off)
    EXPECT_EQ(canvas.Pixel(0, 0), 0x000000u);
    EXPECT_EQ(canvas.Pixel(1, 0), 0x090909u);
    EXPECT_EQ(canvas.Pixel(0, 2), 0x090909u);
    // A header the layer cannot read draws nothing.
    dib.Info()->bmiHeader.biBitCount = 3;
    EXPECT_EQ(SetDIBitsToDevice(canvas.Dc(), 0, 0, 4, 3, 0, 0, 0, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS), 0);
}

TEST(GdiDibs, DibSectionExposesItsBitsAndReadsBack)
{
    PackedDib dib = MakeDib(2, 2, 24, {});
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, dib.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(bits, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, section);
    SetPixel(memory, 1, 0, RGB(10, 20, 30));  // top row, bottom-up: second stored row
    const uint8_t* stored = static_cast<uint8_t*>(bits) + 8 + 3;
    EXPECT_EQ(stored[0], 30);
    EXPECT_EQ(stored[1], 20);
    EXPECT_EQ(stored[2], 10);
    DIBSECTION info;
    EXPECT_EQ(GetObjectA(section, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.dsBm.bmBits, bits);
    EXPECT_EQ(info.dsBmih.biBitCount, 24);
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
}

TEST(GdiClip, ClipCallsLimitDrawingAndGetClipBoxFollows)
{
    MemoryCanvas canvas(10, 10);
    HDC dc = canvas.Dc();
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 10);
    EXPECT_EQ(IntersectClipRect(dc, 2, 2, 8, 8), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(dc, 4, 4, 6, 6), COMPLEXREGION);
    HRGN extra = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(ExtSelectClipRgn(dc, extra, RGN_OR), COMPLEXREGION);
    DeleteObject(extra);
    GetClipBox(dc, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 8);
    EXPECT_EQ(box.bottom, 8);
    RECT all{0, 0, 10, 10};
    HBRUSH black = CreateSolidBrush(0);
    FillRect(dc, &all, black);
    struct Probe {
        int x, y;
        bool painted;
    };
    for (const Probe& p : {Probe{0, 0, true}, Probe{1, 1, false}, Probe{2, 2, true}, Probe{7, 7, true},
                           Probe{8, 8, false}, Probe{4, 4, false}, Probe{5, 5, false}, Probe{6, 6, true}}) {
        EXPECT_EQ(canvas.Pixel(p.x, p.y), p.painted ? 0u : 0xFFFFFFu) << p.x << "," << p.y;
    }
    EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
    FillRect(dc, &all, black);
    EXPECT_EQ(canvas.Pixel(9, 9), 0u);
    DeleteObject(black);
}

TEST(GdiClip, SurfaceDcHasAnOriginAndAClipRectangle)
{
    Surface surface(20, 10, 0xFFFFFF);
    HDC dc = CreateSurfaceDC(surface, POINT{5, 3}, RECT{0, 0, 4, 2});
    RECT box{};
    GetClipBox(dc, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(box.bottom, 2);
    RECT huge{-100, -100, 100, 100};
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &huge, brush);
    int painted = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            if (surface.Pixel(x, y) == 0xFF0000u) {
                ++painted;
                EXPECT_TRUE(x >= 5 && x < 9 && y >= 3 && y < 5) << x << "," << y;
            }
    EXPECT_EQ(painted, 8);
    // Clip regions are in the window's coordinates and never leave the clip rectangle.
    HRGN region = CreateRectRgn(3, 1, 50, 50);
    SelectClipRgn(dc, region);
    DeleteObject(region);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &huge, blue);
    EXPECT_EQ(surface.Pixel(8, 4), 0x0000FFu);
    EXPECT_EQ(surface.Pixel(7, 4), 0xFF0000u);
    EXPECT_EQ(surface.Pixel(9, 4), 0xFFFFFFu);
    // The viewport origin moves logical coordinates only.
    SetViewportOrgEx(dc, 1, 0, nullptr);
    SelectClipRgn(dc, nullptr);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(0, 255, 0)), RGB(0, 255, 0));
    EXPECT_EQ(surface.Pixel(6, 3), 0x00FF00u);
    DeleteObject(brush);
    DeleteObject(blue);
    DeleteDC(dc);
}

TEST(GdiClip, SurfaceDcVisibleRegionBoundsEveryClipCall)
{
    // A 4 x 4 window whose top-right 2 x 2 quarter is covered by a sibling.
    Surface surface(4, 4, 0xFFFFFF);
    Region visible = Region::Combine(Region(RECT{0, 0, 4, 4}), Region(RECT{2, 0, 4, 2}), Region::Operation::Diff);
    HDC dc = CreateSurfaceDC(surface, POINT{0, 0}, visible);
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    HRGN everything = CreateRectRgn(-10, -10, 10, 10);
    SelectClipRgn(dc, everything);
    DeleteObject(everything);
    RECT all{0, 0, 4, 4};
    HBRUSH brush = CreateSolidBrush(0);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    EXPECT_EQ(surface.Pixel(3, 0), 0xFFFFFFu);
    EXPECT_EQ(surface.Pixel(2, 1), 0xFFFFFFu);
    EXPECT_EQ(surface.Pixel(1, 0), 0u);
    EXPECT_EQ(surface.Pixel(3, 2), 0u);
    DeleteDC(dc);
}

TEST(GdiRegions, CombineOffsetAndRectangleLists)
{
    HRGN a = CreateRectRgn(0, 0, 4, 4);
    HRGN b = CreateRectRgn(2, 2, 6, 6);
    HRGN result = CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int mode;
        int type;
        bool at1x1, at3x3, at5x5, at1x5;
    };
    const Case cases[] = {
        {RGN_AND, SIMPLEREGION, false, true, false, false},   {RGN_OR, COMPLEXREGION, true, true, true, false},
        {RGN_DIFF, COMPLEXREGION, true, false, false, false}, {RGN_XOR, COMPLEXREGION, true, false, true, false},
        {RGN_COPY, SIMPLEREGION, true, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(CombineRgn(result, a, b, c.mode), c.type);
        EXPECT_EQ(PtInRegion(result, 1, 1) != 0, c.at1x1);
        EXPECT_EQ(PtInRegion(result, 3, 3) != 0, c.at3x3);
        EXPECT_EQ(PtInRegion(result, 5, 5) != 0, c.at5x5);
        EXPECT_EQ(PtInRegion(result, 1, 5) != 0, c.at1x5);
    }
    EXPECT_EQ(CombineRgn(result, a, a, RGN_DIFF), NULLREGION);

    // A row-by-row rectangle list, as a shaped window builds it, with a hole at (1, 1).
    std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + 4 * sizeof(RECT));
    RGNDATAHEADER header;
    header.nCount = 4;
    header.nRgnSize = 4 * sizeof(RECT);
    header.rcBound = RECT{0, 0, 3, 3};
    const RECT rects[4] = {{0, 0, 3, 1}, {0, 1, 1, 2}, {2, 1, 3, 2}, {0, 2, 3, 3}};
    std::memcpy(data.data(), &header, sizeof header);
    std::memcpy(data.data() + sizeof header, rects, sizeof rects);
    HRGN shape = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
    ASSERT_NE(shape, nullptr);
    EXPECT_FALSE(PtInRegion(shape, 1, 1));
    EXPECT_TRUE(PtInRegion(shape, 2, 1));
    EXPECT_EQ(OffsetRgn(shape, 10, 20), COMPLEXREGION);
    RECT box{};
    GetRgnBox(shape, &box);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 20);
    EXPECT_EQ(box.right, 13);
    EXPECT_EQ(box.bottom, 23);
    EXPECT_FALSE(PtInRegion(shape, 11, 21));
    // The region data answered back describes the same pixels.
    DWORD size = GetRegionData(shape, 0, nullptr);
    std::vector<uint8_t> back(size);
    ASSERT_EQ(GetRegionData(shape, size, reinterpret_cast<RGNDATA*>(back.data())), size);
    HRGN again = ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(back.data()));
    EXPECT_TRUE(EqualRgn(shape, again));
    // A count larger than the buffer is refused.
    EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()) - 1, reinterpret_cast<RGNDATA*>(data.data())),
              nullptr);
    for (HRGN r : {a, b, result, shape, again})
        DeleteObject(r);
}

TEST(GdiTransfers, StretchTransparentAndMirroredCopies)
{
    MemoryCanvas source(2, 2);
    SetPixel(source.Dc(), 0, 0, RGB(255, 0, 0));
    SetPixel(source.Dc(), 1, 0, RGB(255, 0, 255));
    SetPixel(source.Dc(), 0, 1, RGB(0, 255, 0));
    SetPixel(source.Dc(), 1, 1, RGB(0, 0, 255));
    struct Case {
        const char* name;
        bool keyed;
        bool mirrored;
        uint32_t atTopRight;    // target pixel (3, 0)
        uint32_t atBottomLeft;  // target pixel (0, 3)
    };
    const Case cases[] = {
        {"stretch", false, false, 0xFF00FF, 0x00FF00},
        {"keyed", true, false, 0x101010, 0x00FF00},
        {"mirrored", false, true, 0xFF0000, 0x0000FF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas target(4, 4, RGB(16, 16, 16));
        if (c.keyed)
            EXPECT_TRUE(TransparentBlt(target.Dc(), 0, 0, 4, 4, source.Dc(), 0, 0, 2, 2, RGB(255, 0, 255)));
        else if (c.mirrored)
            EXPECT_TRUE(StretchBlt(target.Dc(), 4, 0, -4, 4, source.Dc(), 0, 0, 2, 2, SRCCOPY));
        else
            EXPECT_TRUE(StretchBlt(target.Dc(), 0, 0, 4, 4, source.Dc(), 0, 0, 2, 2, SRCCOPY));
        EXPECT_EQ(target.Pixel(3, 0), c.atTopRight);
        EXPECT_EQ(target.Pixel(2, 1), c.atTopRight);
        EXPECT_EQ(target.Pixel(0, 3), c.atBottomLeft);
    }
}

TEST(GdiTransfers, BitBltRasterOperationsAndOverlap)
{
    MemoryCanvas canvas(6, 1);
    for (int x = 0; x < 6; ++x)
        SetPixel(canvas.Dc(), x, 0, RGB(static_cast<BYTE>(x), 0, 0));
    // Overlapping copy to the right inside one bitmap reads the original pixels.
    EXPECT_TRUE(BitBlt(canvas.Dc(), 1, 0, 5, 1, canvas.Dc(), 0, 0, SRCCOPY));
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(canvas.Pixel(x, 0), Rgb(static_cast<uint32_t>(x - 1), 0, 0));
    EXPECT_TRUE(BitBlt(canvas.Dc(), 0, 0, 1, 1, nullptr, 0, 0, DSTINVERT));
    EXPECT_EQ(canvas.Pixel(0, 0), 0xFFFFFFu);
    HGDIOBJ previous = SelectObject(canvas.Dc(), CreateSolidBrush(RGB(1, 2, 3)));
    EXPECT_TRUE(PatBlt(canvas.Dc(), 1, 0, 1, 1, PATCOPY));
    EXPECT_EQ(canvas.Pixel(1, 0), 0x010203u);
    DeleteObject(SelectObject(canvas.Dc(), previous));
    EXPECT_FALSE(BitBlt(canvas.Dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));

    // Monochrome to colour paints 0 in the text colour and 1 in the background colour;
    // colour to monochrome is white where the source equals its background colour.
    HDC monoDc = CreateCompatibleDC(nullptr);
    const uint8_t bits[2] = {0x40, 0};  // 0 1 0 ...
    HBITMAP mono = CreateBitmap(3, 1, 1, 1, bits);
    HGDIOBJ old = SelectObject(monoDc, mono);
    SetTextColor(canvas.Dc(), RGB(255, 0, 0));
    SetBkColor(canvas.Dc(), RGB(0, 0, 255));
    BitBlt(canvas.Dc(), 0, 0, 3, 1, monoDc, 0, 0, SRCCOPY);
    EXPECT_EQ(canvas.Pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(1, 0), 0x0000FFu);
    SetBkColor(canvas.Dc(), RGB(255, 0, 0));
    BitBlt(monoDc, 0, 0, 3, 1, canvas.Dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(GetBitmapSurface(mono)->Pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(GetBitmapSurface(mono)->Pixel(1, 0) & 0xFFFFFF, 0u);
    SelectObject(monoDc, old);
    DeleteObject(mono);
    DeleteDC(monoDc);
}

TEST(GdiTransfers, AlphaBlendConstantAndPerPixel)
{
    MemoryCanvas target(2, 1, RGB(0, 0, 200));
    MemoryCanvas source(1, 1, RGB(255, 0, 0));
    BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
    EXPECT_TRUE(AlphaBlend(target.Dc(), 0, 0, 1, 1, source.Dc(), 0, 0, 1, 1, half));
    // 255 * 128 / 255 = 128 red; 200 * 127 / 255 = 99.6 -> 100 blue.
    EXPECT_EQ(target.Pixel(0, 0), Rgb(128, 0, 100));

    // A premultiplied 32-bit source with alpha 64: red 64 over blue 200.
    PackedDib dib = MakeDib(1, 1, 32, {});
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, dib.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    const uint8_t pixel[4] = {0, 0, 64, 64};
    std::memcpy(bits, pixel, 4);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, section);
    BLENDFUNCTION perPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    EXPECT_TRUE(AlphaBlend(target.Dc(), 1, 0, 1, 1, memory, 0, 0, 1, 1, perPixel));
    // 64 + 0 red; 200 * 191 / 255 = 149.8 -> 150 blue.
    EXPECT_EQ(target.Pixel(1, 0), Rgb(64, 0, 150));
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
}

TEST(GdiTransfers, GradientFillRunsAcrossTheRectangle)
{
    for (ULONG mode : {GRADIENT_FILL_RECT_H, GRADIENT_FILL_RECT_V}) {
        SCOPED_TRACE(mode);
        MemoryCanvas canvas(12, 12, RGB(7, 7, 7));
        TRIVERTEX vertices[2];
        vertices[0].x = 1;
        vertices[0].y = 1;
        vertices[0].Red = 0;
        vertices[0].Blue = 0xFF00;
        vertices[1].x = 11;
        vertices[1].y = 11;
        vertices[1].Red = 0xFF00;
        vertices[1].Blue = 0;
        GRADIENT_RECT rect{0, 1};
        EXPECT_TRUE(GradientFill(canvas.Dc(), vertices, 2, &rect, 1, mode));
        bool horizontal = mode == GRADIENT_FILL_RECT_H;
        EXPECT_EQ(canvas.Pixel(1, 1), 0x0000FFu);
        EXPECT_EQ(canvas.Pixel(0, 0), 0x070707u);
        EXPECT_EQ(canvas.Pixel(11, 11), 0x070707u);
        uint32_t previousRed = 0;
        for (int i = 1; i < 11; ++i) {
            uint32_t pixel = horizontal ? canvas.Pixel(i, 5) : canvas.Pixel(5, i);
            uint32_t red = pixel >> 16;
            EXPECT_EQ(red, static_cast<uint32_t>(255 * (i - 1) / 10));  // 0xFF00 * (i - 1) / 10 >> 8
            EXPECT_GE(red, previousRed);
            previousRed = red;
            // The cross direction is constant.
            EXPECT_EQ(horizontal ? canvas.Pixel(i, 2) : canvas.Pixel(2, i), pixel);
        }
    }
}

TEST(GdiShapes, RectangleLinesAndFocusRectangle)
{
    MemoryCanvas canvas(8, 8);
    HDC dc = canvas.Dc();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    EXPECT_TRUE(Rectangle(dc, 1, 1, 5, 4));
    EXPECT_EQ(canvas.Pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(4, 3), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(2, 2), 0x0000FFu);
    EXPECT_EQ(canvas.Pixel(5, 4), 0xFFFFFFu);
    // A line stops before its end point.
    MoveToEx(dc, 0, 6, nullptr);
    LineTo(dc, 4, 6);
    EXPECT_EQ(canvas.Pixel(0, 6), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(3, 6), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(4, 6), 0xFFFFFFu);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);

    // A focus rectangle inverts every other outline pixel; drawing it again restores the target.
    MemoryCanvas focus(8, 8, RGB(0, 0, 0));
    const RECT rect{1, 1, 7, 6};
    DrawFocusRect(focus.Dc(), &rect);
    int inverted = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool onOutline = x >= 1 && x < 7 && y >= 1 && y < 6 && (x == 1 || x == 6 || y == 1 || y == 5);
            if (focus.Pixel(x, y) == 0xFFFFFFu) {
                EXPECT_TRUE(onOutline) << x << "," << y;
                ++inverted;
            }
        }
    EXPECT_EQ(inverted, 9);  // 18 outline pixels, every other one
    EXPECT_NE(focus.Pixel(1, 1), focus.Pixel(2, 1));
    DrawFocusRect(focus.Dc(), &rect);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(focus.Pixel(x, y), 0u);
}

TEST(GdiShapes, PatternBrushTilesFromTheDcOrigin)
{
    MemoryCanvas pattern(2, 1);
    SetPixel(pattern.Dc(), 0, 0, RGB(255, 0, 0));
    SetPixel(pattern.Dc(), 1, 0, RGB(0, 255, 0));
    HBRUSH brush = CreatePatternBrush(pattern.Bitmap());
    MemoryCanvas canvas(5, 2);
    RECT rect{1, 0, 5, 2};
    FillRect(canvas.Dc(), &rect, brush);
    EXPECT_EQ(canvas.Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(canvas.Pixel(1, 0), 0x00FF00u);
    EXPECT_EQ(canvas.Pixel(2, 1), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(4, 1), 0xFF0000u);
    DeleteObject(brush);
}

TEST(GdiShapes, IconMaskKeepsTheTarget)
{
    MemoryCanvas colour(2, 1, RGB(0, 0, 0));
    SetPixel(colour.Dc(), 0, 0, RGB(10, 20, 30));
    const uint8_t maskBits[2] = {0x40, 0};  // pixel 1 transparent
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, maskBits);
    ICONINFO info;
    info.hbmColor = colour.Bitmap();
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    MemoryCanvas canvas(4, 2, RGB(200, 200, 200));
    EXPECT_TRUE(DrawIconEx(canvas.Dc(), 1, 1, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(canvas.Pixel(1, 1), 0x0A141Eu);
    EXPECT_EQ(canvas.Pixel(2, 1), 0xC8C8C8u);
    EXPECT_EQ(canvas.Pixel(1, 0), 0xC8C8C8u);
    DestroyIcon(icon);

    // A 32-bit colour image with alpha bytes blends by them (straight alpha); the mask is unused.
    PackedDib dib = MakeDib(1, 1, 32, {});
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, dib.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    const uint8_t pixel[4] = {0, 0, 255, 128};
    std::memcpy(bits, pixel, 4);
    info.hbmColor = section;
    HICON alphaIcon = CreateIconIndirect(&info);
    MemoryCanvas black(1, 1, RGB(0, 0, 0));
    DrawIconEx(black.Dc(), 0, 0, alphaIcon, 1, 1, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(black.Pixel(0, 0), Rgb(128, 0, 0));
    DestroyIcon(alphaIcon);
    DeleteObject(section);
    DeleteObject(mask);
}

TEST(GdiObjects, SelectedObjectsOutliveDeletionAndBitmapsStayInOneDc)
{
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    HGDIOBJ initial = SelectObject(first, bitmap);
    ASSERT_NE(initial, nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    // Deleting a selected brush or bitmap defers the release until it is deselected.
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ oldBrush = SelectObject(first, brush);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(PatBlt(first, 0, 0, 2, 2, PATCOPY));
    EXPECT_EQ(GetPixel(first, 1, 1), RGB(0, 255, 0));
    SelectObject(first, oldBrush);
    SelectObject(first, initial);
    DeleteDC(first);
    DeleteDC(second);
    // Stock objects survive DeleteObject.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    LOGBRUSH logBrush;
    EXPECT_EQ(GetObjectA(GetStockObject(BLACK_BRUSH), sizeof logBrush, &logBrush), static_cast<int>(sizeof logBrush));
    EXPECT_EQ(logBrush.lbColor, 0u);
}
