// Bit transfers: BitBlt and its stretching, keyed, blended and gradient relatives, and the
// exchanges between device bitmaps and packed DIBs.
#include "platform/gdi/Gdi.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Pixels.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace gdi;

namespace {

constexpr uint32_t kRgbMask = 0xFFFFFF;

BYTE RopCode(DWORD rop)
{
    return static_cast<BYTE>(rop >> 16);
}

// A ternary raster operation uses the source when its truth table differs between S = 0 and
// S = 1, and likewise for the pattern and the destination.
bool RopUses(BYTE code, int shift)
{
    for (int i = 0; i < 8; ++i)
        if (((code >> i) & 1) != ((code >> (i ^ (1 << shift))) & 1))
            return true;
    return false;
}
bool RopUsesDestination(BYTE code)
{
    return RopUses(code, 0);
}
bool RopUsesSource(BYTE code)
{
    return RopUses(code, 1);
}
bool RopUsesPattern(BYTE code)
{
    return RopUses(code, 2);
}

// Truth-table index = pattern bit * 4 + source bit * 2 + destination bit.
uint32_t ApplyRop(BYTE code, uint32_t pattern, uint32_t source, uint32_t destination)
{
    switch (code) {
    case 0xCC:
        return source & kRgbMask;
    case 0xF0:
        return pattern & kRgbMask;
    case 0x00:
        return 0;
    case 0xFF:
        return kRgbMask;
    default:
        break;
    }
    uint32_t result = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((code >> i) & 1))
            continue;
        result |=
            ((i & 4) ? pattern : ~pattern) & ((i & 2) ? source : ~source) & ((i & 1) ? destination : ~destination);
    }
    return result & kRgbMask;
}

bool IsMono(const BitmapObject& bitmap)
{
    return bitmap.m_Storage == BitmapStorage::Device && bitmap.m_BitsPerPixel == 1;
}

// Colour conversion between monochrome and colour bitmaps, as a blit does it: a monochrome
// source paints 0 in the target's text colour and 1 in its background colour; a colour source
// becomes white where it equals the source DC's background colour and black elsewhere.
struct MonoConversion {
    enum class Kind { None, MonoToColour, ColourToMono } kind = Kind::None;
    uint32_t foreground = 0;
    uint32_t background = 0;
    uint32_t sourceBackground = 0;

    MonoConversion(const DeviceContext& destination, const DeviceContext* source)
    {
        if (!source)
            return;
        bool sourceMono = IsMono(*source->m_Bitmap);
        bool destinationMono = IsMono(*destination.m_Bitmap);
        if (sourceMono && !destinationMono) {
            kind = Kind::MonoToColour;
            foreground = PixelFromColour(destination.m_TextColour);
            background = PixelFromColour(destination.m_BkColour);
        } else if (!sourceMono && destinationMono) {
            kind = Kind::ColourToMono;
            sourceBackground = PixelFromColour(source->m_BkColour);
        }
    }
    uint32_t operator()(uint32_t pixel) const
    {
        switch (kind) {
        case Kind::MonoToColour:
            return (pixel & kRgbMask) ? background : foreground;
        case Kind::ColourToMono:
            return (pixel & kRgbMask) == sourceBackground ? kRgbMask : 0;
        default:
            return pixel;
        }
    }
};

// The source pixels a stretched transfer reads for each destination column or row: the
// source index sampled at the centre of the destination pixel, mirrored when the signs of the
// two extents differ. Entries outside the source bitmap are -1.
std::vector<int> StretchMap(int destinationExtent, int sourceStart, int sourceExtent, bool mirror, int sourceLimit)
{
    std::vector<int> map(static_cast<size_t>(destinationExtent));
    for (int i = 0; i < destinationExtent; ++i) {
        int64_t offset = (int64_t{2} * i + 1) * sourceExtent / (int64_t{2} * destinationExtent);
        if (mirror)
            offset = sourceExtent - 1 - offset;
        int64_t index = sourceStart + offset;
        map[static_cast<size_t>(i)] = index >= 0 && index < sourceLimit ? static_cast<int>(index) : -1;
    }
    return map;
}

struct Extent {
    int start;
    int length;
    bool negative;
};

Extent NormaliseExtent(int start, int length)
{
    if (length < 0)
        return Extent{start + length, -length, true};
    return Extent{start, length, false};
}

enum class StretchKind { Rop, ColourKey, Blend };

struct StretchOptions {
    StretchKind kind = StretchKind::Rop;
    BYTE rop = 0xCC;
    uint32_t key = 0;
    BLENDFUNCTION blend;
};

BYTE BlendChannel(uint32_t source, uint32_t destination, uint32_t sourceWeight, uint32_t destinationWeight)
{
    uint32_t value = (source * sourceWeight + destination * destinationWeight + 127) / 255;
    return static_cast<BYTE>(std::min<uint32_t>(value, 255));
}

// Source-over blend of AlphaBlend: Dst = Src * SCA + Dst * (1 - SrcAlpha * SCA), with a
// premultiplied source when AC_SRC_ALPHA is set.
uint32_t BlendPixel(uint32_t source, uint32_t destination, const BLENDFUNCTION& blend)
{
    uint32_t constant = blend.SourceConstantAlpha;
    uint32_t sourceAlpha = (blend.AlphaFormat & AC_SRC_ALPHA) ? (source >> 24) * constant / 255 : constant;
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t s = (source >> shift) & 0xFF;
        uint32_t d = (destination >> shift) & 0xFF;
        result |= static_cast<uint32_t>(BlendChannel(s, d, constant, 255 - sourceAlpha)) << shift;
    }
    return result;
}

BOOL StretchTransfer(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                     const StretchOptions& options)
{
    if (!destination)
        return FALSE;
    bool usesSource = options.kind != StretchKind::Rop || RopUsesSource(options.rop);
    if (usesSource && !source)
        return FALSE;
    if (cx == 0 || cy == 0)
        return TRUE;
    if (usesSource && (scx == 0 || scy == 0))
        return FALSE;

    DeviceContext& dc = *destination;
    Extent destX = NormaliseExtent(ToBitmapX(dc, x), cx);
    Extent destY = NormaliseExtent(ToBitmapY(dc, y), cy);
    RECT target{destX.start, destY.start, destX.start + destX.length, destY.start + destY.length};
    Region visible = VisibleRegion(dc);

    std::vector<int> columns;
    std::vector<int> rows;
    const BitmapObject* sourceBitmap = nullptr;
    std::vector<uint32_t> sourceCopy;  // used when source and destination share the bitmap
    int copyLeft = 0;
    int copyTop = 0;
    int copyWidth = 0;
    if (usesSource) {
        sourceBitmap = source->m_Bitmap;
        Extent srcX = NormaliseExtent(ToBitmapX(*source, sx), scx);
        Extent srcY = NormaliseExtent(ToBitmapY(*source, sy), scy);
        columns =
            StretchMap(destX.length, srcX.start, srcX.length, destX.negative != srcX.negative, sourceBitmap->m_Width);
        rows =
            StretchMap(destY.length, srcY.start, srcY.length, destY.negative != srcY.negative, sourceBitmap->m_Height);
        if (sourceBitmap == dc.m_Bitmap) {
            copyLeft = std::max(srcX.start, 0);
            copyTop = std::max(srcY.start, 0);
            int copyRight = std::min(srcX.start + srcX.length, sourceBitmap->m_Width);
            int copyBottom = std::min(srcY.start + srcY.length, sourceBitmap->m_Height);
            if (copyRight > copyLeft && copyBottom > copyTop) {
                copyWidth = copyRight - copyLeft;
                sourceCopy.resize(static_cast<size_t>(copyWidth) * static_cast<size_t>(copyBottom - copyTop));
                for (int row = copyTop; row < copyBottom; ++row)
                    ReadSpan(*sourceBitmap, copyLeft, row, copyWidth,
                             sourceCopy.data() + static_cast<size_t>(row - copyTop) * copyWidth);
            }
        }
    }
    MonoConversion convert(dc, usesSource ? source : nullptr);
    bool usesPattern = options.kind == StretchKind::Rop && RopUsesPattern(options.rop);
    bool usesDestination = options.kind != StretchKind::Rop || RopUsesDestination(options.rop);
    const BrushObject* brush = dc.m_Brush;

    std::vector<uint32_t> sourceRow(usesSource ? static_cast<size_t>(sourceBitmap->m_Width) : 0);
    std::vector<uint32_t> span;
    int lastSourceRow = -1;
    ForEachSpan(visible, target, [&](int row, int x0, int x1) {
        int count = x1 - x0;
        span.resize(static_cast<size_t>(count));
        if (usesDestination)
            ReadSpan(*dc.m_Bitmap, x0, row, count, span.data());
        int sourceY = usesSource ? rows[static_cast<size_t>(row - target.top)] : 0;
        if (usesSource) {
            if (sourceY < 0)
                return;
            if (sourceY != lastSourceRow) {
                if (!sourceCopy.empty()) {
                    sourceRow.assign(sourceRow.size(), 0);
                    if (sourceY >= copyTop && sourceY < copyTop + static_cast<int>(sourceCopy.size() / copyWidth))
                        std::memcpy(sourceRow.data() + copyLeft,
                                    sourceCopy.data() + static_cast<size_t>(sourceY - copyTop) * copyWidth,
                                    sizeof(uint32_t) * static_cast<size_t>(copyWidth));
                } else {
                    ReadSpan(*sourceBitmap, 0, sourceY, sourceBitmap->m_Width, sourceRow.data());
                }
                lastSourceRow = sourceY;
            }
        }
        bool changed = false;
        for (int i = 0; i < count; ++i) {
            uint32_t sourcePixel = 0;
            if (usesSource) {
                int sourceX = columns[static_cast<size_t>(x0 + i - target.left)];
                if (sourceX < 0)
                    continue;
                sourcePixel = sourceRow[static_cast<size_t>(sourceX)];
            }
            switch (options.kind) {
            case StretchKind::Rop: {
                uint32_t pattern = usesPattern && brush ? BrushPixel(dc, *brush, x0 + i, row) : 0;
                span[static_cast<size_t>(i)] =
                    ApplyRop(options.rop, pattern, convert(sourcePixel), span[static_cast<size_t>(i)]);
                break;
            }
            case StretchKind::ColourKey:
                if ((sourcePixel & kRgbMask) == options.key)
                    continue;
                span[static_cast<size_t>(i)] = convert(sourcePixel) & kRgbMask;
                break;
            case StretchKind::Blend:
                span[static_cast<size_t>(i)] = BlendPixel(sourcePixel, span[static_cast<size_t>(i)], options.blend);
                break;
            }
            changed = true;
        }
        if (changed || !usesDestination)
            WriteSpan(*dc.m_Bitmap, x0, row, count, span.data());
    });
    return TRUE;
}

}  // namespace

BOOL BitBlt(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, DWORD rop)
{
    if (cx < 0 || cy < 0)
        return destination ? TRUE : FALSE;
    StretchOptions options;
    options.rop = RopCode(rop);
    return StretchTransfer(destination, x, y, cx, cy, source, sx, sy, cx, cy, options);
}

BOOL StretchBlt(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy, DWORD rop)
{
    StretchOptions options;
    options.rop = RopCode(rop);
    return StretchTransfer(destination, x, y, cx, cy, source, sx, sy, scx, scy, options);
}

BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop)
{
    BYTE code = RopCode(rop);
    if (RopUsesSource(code))
        return FALSE;
    StretchOptions options;
    options.rop = code;
    return StretchTransfer(hdc, x, y, cx, cy, nullptr, 0, 0, cx, cy, options);
}

BOOL TransparentBlt(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                    UINT transparent)
{
    if (cx < 0 || cy < 0 || scx < 0 || scy < 0 || !source)
        return FALSE;
    StretchOptions options;
    options.kind = StretchKind::ColourKey;
    options.key = PixelFromColour(transparent);
    return StretchTransfer(destination, x, y, cx, cy, source, sx, sy, scx, scy, options);
}

BOOL AlphaBlend(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                BLENDFUNCTION blend)
{
    if (cx < 0 || cy < 0 || scx < 0 || scy < 0 || !source || blend.BlendOp != AC_SRC_OVER)
        return FALSE;
    StretchOptions options;
    options.kind = StretchKind::Blend;
    options.blend = blend;
    return StretchTransfer(destination, x, y, cx, cy, source, sx, sy, scx, scy, options);
}

BOOL GradientFill(HDC hdc, const TRIVERTEX* vertices, ULONG vertexCount, const void* mesh, ULONG meshCount, ULONG mode)
{
    if (!hdc || !vertices || !mesh || (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V))
        return FALSE;
    DeviceContext& dc = *hdc;
    Region visible = VisibleRegion(dc);
    const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
    std::vector<uint32_t> span;
    for (ULONG m = 0; m < meshCount; ++m) {
        if (rects[m].UpperLeft >= vertexCount || rects[m].LowerRight >= vertexCount)
            return FALSE;
        TRIVERTEX first = vertices[rects[m].UpperLeft];
        TRIVERTEX second = vertices[rects[m].LowerRight];
        bool horizontal = mode == GRADIENT_FILL_RECT_H;
        // The colour runs from the vertex with the smaller coordinate along the gradient.
        if ((horizontal && first.x > second.x) || (!horizontal && first.y > second.y))
            std::swap(first, second);
        RECT target{ToBitmapX(dc, std::min(first.x, second.x)), ToBitmapY(dc, std::min(first.y, second.y)),
                    ToBitmapX(dc, std::max(first.x, second.x)), ToBitmapY(dc, std::max(first.y, second.y))};
        int start = horizontal ? target.left : target.top;
        int64_t length = horizontal ? target.right - target.left : target.bottom - target.top;
        auto colourAt = [&](int position) -> uint32_t {
            int64_t offset = position - start;
            auto channel = [&](COLOR16 from, COLOR16 to) -> uint32_t {
                int64_t value = from + (static_cast<int64_t>(to) - from) * offset / length;
                return static_cast<uint32_t>(value >> 8) & 0xFF;
            };
            return (channel(first.Red, second.Red) << 16) | (channel(first.Green, second.Green) << 8) |
                   channel(first.Blue, second.Blue);
        };
        ForEachSpan(visible, target, [&](int row, int x0, int x1) {
            span.resize(static_cast<size_t>(x1 - x0));
            for (int i = 0; i < x1 - x0; ++i)
                span[static_cast<size_t>(i)] = colourAt(horizontal ? x0 + i : row);
            WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
        });
    }
    return TRUE;
}

int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD cx, DWORD cy, int sx, int sy, UINT start, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT usage)
{
    if (!hdc || !bits)
        return 0;
    auto layout = DibLayout::From(info, usage);
    if (!layout || cx > INT32_MAX || cy > INT32_MAX)
        return 0;
    DeviceContext& dc = *hdc;
    // The source rectangle, limited to the picture and to the scan lines supplied. For a
    // bottom-up DIB, sy and `start` count from the bottom row; for a top-down one, from the top.
    int64_t firstColumn = std::max<int64_t>(sx, 0);
    int64_t lastColumn = std::min<int64_t>(int64_t{sx} + cx, layout->width);
    int64_t firstLine = std::max<int64_t>({sy, 0, int64_t{start}});
    int64_t lastLine = std::min<int64_t>({int64_t{sy} + cy, layout->height, int64_t{start} + lines});
    if (firstColumn >= lastColumn || firstLine >= lastLine)
        return 0;
    const auto* source = static_cast<const uint8_t*>(bits);
    Region visible = VisibleRegion(dc);
    int left = ToBitmapX(dc, x);
    int top = ToBitmapY(dc, y);
    // Destination row of a source line, and the line of a destination row.
    auto destinationRow = [&](int64_t line) -> int64_t {
        return layout->topDown ? top + (line - sy) : top + (int64_t{sy} + cy - 1 - line);
    };
    int64_t rowA = destinationRow(firstLine);
    int64_t rowB = destinationRow(lastLine - 1);
    RECT target{static_cast<LONG>(left + (firstColumn - sx)), static_cast<LONG>(std::min(rowA, rowB)),
                static_cast<LONG>(left + (lastColumn - sx)), static_cast<LONG>(std::max(rowA, rowB) + 1)};
    std::vector<uint32_t> span;
    ForEachSpan(visible, target, [&](int row, int x0, int x1) {
        int64_t line = layout->topDown ? row - top + sy : int64_t{sy} + cy - 1 - (row - top);
        const uint8_t* sourceRow = source + static_cast<size_t>(line - start) * layout->stride;
        BitmapObject& destination = *dc.m_Bitmap;
        if (layout->bitsPerPixel == 24 && destination.m_Storage == BitmapStorage::Device &&
            destination.m_BitsPerPixel >= 24) {
            // 24-bit rows give pixels with a clear top byte, stored as they are at these depths.
            layout->ReadRow(sourceRow, static_cast<int>(x0 - left + sx), x1 - x0, destination.m_Surface->Row(row) + x0);
            return;
        }
        span.resize(static_cast<size_t>(x1 - x0));
        layout->ReadRow(sourceRow, static_cast<int>(x0 - left + sx), x1 - x0, span.data());
        for (auto& pixel : span)
            pixel &= kRgbMask;
        WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
    });
    return static_cast<int>(lastLine - firstLine);
}

int StretchDIBits(HDC hdc, int x, int y, int cx, int cy, int sx, int sy, int scx, int scy, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop)
{
    if (!hdc || !bits)
        return 0;
    auto layout = DibLayout::From(info, usage);
    if (!layout)
        return 0;
    // Routes through a temporary memory DC holding the whole picture as a device bitmap.
    HDC memory = CreateCompatibleDC(hdc);
    HBITMAP picture = CreateBitmap(layout->width, layout->height, 1, 32, nullptr);
    if (!memory || !picture) {
        DeleteDC(memory);
        DeleteObject(picture);
        return 0;
    }
    for (int row = 0; row < layout->height; ++row) {
        layout->ReadRow(static_cast<const uint8_t*>(bits) + layout->RowOffset(row), 0, layout->width,
                        picture->m_Surface->Row(row));
    }
    HGDIOBJ previous = SelectObject(memory, picture);
    // A bottom-up DIB counts sy from the bottom row.
    int top = layout->topDown ? sy : layout->height - sy - scy;
    BOOL done = StretchBlt(hdc, x, y, cx, cy, memory, sx, top, scx, scy, rop);
    SelectObject(memory, previous);
    DeleteObject(picture);
    DeleteDC(memory);
    return done ? std::abs(scy) : 0;
}

int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage)
{
    if (!hdc || !bitmap || !info || usage != DIB_RGB_COLORS || info->bmiHeader.biSize < 40)
        return 0;
    BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biBitCount == 0) {
        header.biWidth = bitmap->m_Width;
        header.biHeight = bitmap->m_Height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(bitmap->m_BitsPerPixel);
        header.biCompression = BI_RGB;
        header.biSizeImage =
            static_cast<DWORD>(DibLayout::Stride(bitmap->m_Width, bitmap->m_BitsPerPixel) * bitmap->m_Height);
        return 1;
    }
    auto layout = DibLayout::From(info, usage);
    if (!layout)
        return 0;
    header.biSizeImage = static_cast<DWORD>(layout->stride * static_cast<size_t>(layout->height));
    if (layout->bitsPerPixel <= 8) {
        // The colour table: the section's own at its depth, else the standard palette.
        int entries = 1 << layout->bitsPerPixel;
        if (bitmap->m_Storage == BitmapStorage::DibSection && bitmap->m_BitsPerPixel == layout->bitsPerPixel) {
            std::memcpy(info->bmiColors, bitmap->m_Colors.data(), sizeof(RGBQUAD) * static_cast<size_t>(entries));
        } else {
            auto palette = StandardPalette(layout->bitsPerPixel);
            std::memcpy(info->bmiColors, palette.data(), sizeof(RGBQUAD) * palette.size());
        }
        layout->colors = info->bmiColors;
        layout->colorCount = entries;
    }
    if (!bits)
        return 1;
    int64_t lastLine = std::min<int64_t>({int64_t{start} + lines, layout->height, bitmap->m_Height});
    if (int64_t{start} >= lastLine)
        return 0;
    auto* output = static_cast<uint8_t*>(bits);
    int width = std::min(layout->width, bitmap->m_Width);
    std::vector<uint32_t> span(static_cast<size_t>(layout->width), 0);
    for (int64_t line = start; line < lastLine; ++line) {
        // Scan line 0 is the bottom row for a bottom-up request, the top row otherwise.
        int row = layout->topDown ? static_cast<int>(line) : bitmap->m_Height - 1 - static_cast<int>(line);
        uint8_t* outputRow = output + static_cast<size_t>(line - start) * layout->stride;
        if (bitmap->m_Storage == BitmapStorage::Device && width == layout->width) {
            // A device bitmap's row is read as it is stored.
            layout->WriteRow(outputRow, 0, width, bitmap->m_Surface->Row(row));
            continue;
        }
        ReadSpan(*bitmap, 0, row, width, span.data());
        layout->WriteRow(outputRow, 0, layout->width, span.data());
    }
    return static_cast<int>(lastLine - start);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    if (!bitmap || !bits)
        return 0;
    auto layout = DibLayout::From(info, usage);
    if (!layout)
        return 0;
    int64_t lastLine = std::min<int64_t>({int64_t{start} + lines, layout->height, bitmap->m_Height});
    if (int64_t{start} >= lastLine)
        return 0;
    const auto* input = static_cast<const uint8_t*>(bits);
    int width = std::min(layout->width, bitmap->m_Width);
    std::vector<uint32_t> span(static_cast<size_t>(layout->width));
    for (int64_t line = start; line < lastLine; ++line) {
        int row = layout->topDown ? static_cast<int>(line) : bitmap->m_Height - 1 - static_cast<int>(line);
        layout->ReadRow(input + static_cast<size_t>(line - start) * layout->stride, 0, width, span.data());
        WriteSpan(*bitmap, 0, row, width, span.data());
    }
    return static_cast<int>(lastLine - start);
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    constexpr COLORREF kInvalid = 0xFFFFFFFF;
    if (!hdc)
        return kInvalid;
    int bx = ToBitmapX(*hdc, x);
    int by = ToBitmapY(*hdc, y);
    if (!VisibleRegion(*hdc).Contains(bx, by))
        return kInvalid;
    return ColourFromPixel(ReadPixel(*hdc->m_Bitmap, bx, by));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour)
{
    constexpr COLORREF kInvalid = 0xFFFFFFFF;
    if (!hdc)
        return kInvalid;
    int bx = ToBitmapX(*hdc, x);
    int by = ToBitmapY(*hdc, y);
    if (!VisibleRegion(*hdc).Contains(bx, by))
        return kInvalid;
    uint32_t pixel = PixelFromColour(colour);
    WriteSpan(*hdc->m_Bitmap, bx, by, 1, &pixel);
    return ColourFromPixel(ReadPixel(*hdc->m_Bitmap, bx, by));
}
