// Pens, brushes, rectangles, lines, the focus rectangle and icons.
#include "platform/gdi/Gdi.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Pixels.h"

#include <cstdlib>
#include <vector>

using namespace gdi;

namespace gdi {

uint32_t BrushPixel(const DeviceContext& dc, const BrushObject& brush, int x, int y)
{
    if (brush.m_Style == BS_PATTERN && brush.m_Pattern.Width() > 0 && brush.m_Pattern.Height() > 0) {
        // The pattern repeats from the brush origin, in the DC's own device coordinates.
        int width = brush.m_Pattern.Width();
        int height = brush.m_Pattern.Height();
        int px = ((x - dc.m_Origin.x - dc.m_BrushOrg.x) % width + width) % width;
        int py = ((y - dc.m_Origin.y - dc.m_BrushOrg.y) % height + height) % height;
        return brush.m_Pattern.Row(py)[px] & 0xFFFFFF;
    }
    return PixelFromColour(brush.m_Colour);
}

void FillWithBrush(DeviceContext& dc, const RECT& logical, const BrushObject& brush)
{
    if (brush.m_Style == BS_NULL)
        return;
    RECT target{ToBitmapX(dc, logical.left), ToBitmapY(dc, logical.top), ToBitmapX(dc, logical.right),
                ToBitmapY(dc, logical.bottom)};
    std::vector<uint32_t> span;
    ForEachSpan(VisibleRegion(dc), target, [&](int row, int x0, int x1) {
        span.resize(static_cast<size_t>(x1 - x0));
        for (int i = 0; i < x1 - x0; ++i)
            span[static_cast<size_t>(i)] = BrushPixel(dc, brush, x0 + i, row);
        WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
    });
}

}  // namespace gdi

namespace {

bool IsHandle(const void* handle)
{
    // Win32 also accepts system colour numbers + 1 in place of a brush; they are not handles.
    return reinterpret_cast<uintptr_t>(handle) >= 0x10000;
}

// Applies f to every visible bitmap pixel of a logical rectangle.
template <typename F>
void ForEachPixel(DeviceContext& dc, const RECT& logical, const Region& visible, F&& f)
{
    RECT target{ToBitmapX(dc, logical.left), ToBitmapY(dc, logical.top), ToBitmapX(dc, logical.right),
                ToBitmapY(dc, logical.bottom)};
    std::vector<uint32_t> span;
    ForEachSpan(visible, target, [&](int row, int x0, int x1) {
        span.resize(static_cast<size_t>(x1 - x0));
        ReadSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
        for (int i = 0; i < x1 - x0; ++i)
            span[static_cast<size_t>(i)] = f(x0 + i, row, span[static_cast<size_t>(i)]);
        WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
    });
}

void PlotPen(DeviceContext& dc, const Region& visible, int x, int y, uint32_t pixel, int width)
{
    // A wide pen is a square of `width` pixels centred on the point.
    int half = width / 2;
    RECT target{ToBitmapX(dc, x - half), ToBitmapY(dc, y - half), ToBitmapX(dc, x - half + width),
                ToBitmapY(dc, y - half + width)};
    std::vector<uint32_t> span;
    ForEachSpan(visible, target, [&](int row, int x0, int x1) {
        span.assign(static_cast<size_t>(x1 - x0), pixel);
        WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
    });
}

bool PenDrawsStep(int style, int step)
{
    switch (style) {
    case PS_DASH:
        return step % 24 < 18;
    case PS_DOT:
        return step % 6 < 3;
    default:
        return true;
    }
}

void CopyBitmapPixels(HBITMAP bitmap, Surface& out)
{
    out.Resize(bitmap->m_Width, bitmap->m_Height);
    for (int row = 0; row < bitmap->m_Height; ++row)
        ReadSpan(*bitmap, 0, row, bitmap->m_Width, out.Row(row));
}

}  // namespace

HPEN CreatePen(int style, int width, COLORREF colour)
{
    if (style < PS_SOLID || style > PS_NULL)
        return nullptr;
    auto* pen = new PenObject;
    pen->m_Style = style;
    pen->m_Width = std::max(width, 1);
    pen->m_Colour = colour & 0xFFFFFF;
    return pen;
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto* brush = new BrushObject;
    brush->m_Style = BS_SOLID;
    brush->m_Colour = colour & 0xFFFFFF;
    return brush;
}

HBRUSH CreatePatternBrush(HBITMAP bitmap)
{
    if (!bitmap)
        return nullptr;
    auto* brush = new BrushObject;
    brush->m_Style = BS_PATTERN;
    CopyBitmapPixels(bitmap, brush->m_Pattern);
    return brush;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    if (!hdc || !rect || !IsHandle(brush))
        return 0;
    FillWithBrush(*hdc, *rect, *brush);
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    if (!hdc || !rect || !IsHandle(brush))
        return 0;
    if (rect->right <= rect->left || rect->bottom <= rect->top)
        return 1;
    const RECT& r = *rect;
    FillWithBrush(*hdc, RECT{r.left, r.top, r.right, r.top + 1}, *brush);
    FillWithBrush(*hdc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, *brush);
    FillWithBrush(*hdc, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, *brush);
    FillWithBrush(*hdc, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, *brush);
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect)
{
    if (!hdc || !rect)
        return FALSE;
    ForEachPixel(*hdc, *rect, VisibleRegion(*hdc), [](int, int, uint32_t pixel) { return ~pixel & 0xFFFFFF; });
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    if (!hdc)
        return FALSE;
    DeviceContext& dc = *hdc;
    RECT box{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    const PenObject* pen = dc.m_Pen;
    if (!pen || pen->m_Style == PS_NULL) {
        // Without a pen the filled area is one pixel smaller at the right and bottom.
        if (dc.m_Brush)
            FillWithBrush(dc, RECT{box.left, box.top, box.right - 1, box.bottom - 1}, *dc.m_Brush);
        return TRUE;
    }
    int width = std::min<int>(pen->m_Width, std::min(box.right - box.left, box.bottom - box.top) / 2 + 1);
    if (dc.m_Brush)
        FillWithBrush(dc, RECT{box.left + width, box.top + width, box.right - width, box.bottom - width}, *dc.m_Brush);
    BrushObject outline;
    outline.m_Style = BS_SOLID;
    outline.m_Colour = pen->m_Colour;
    FillWithBrush(dc, RECT{box.left, box.top, box.right, box.top + width}, outline);
    FillWithBrush(dc, RECT{box.left, box.bottom - width, box.right, box.bottom}, outline);
    FillWithBrush(dc, RECT{box.left, box.top + width, box.left + width, box.bottom - width}, outline);
    FillWithBrush(dc, RECT{box.right - width, box.top + width, box.right, box.bottom - width}, outline);
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous)
{
    if (!hdc)
        return FALSE;
    if (previous)
        *previous = hdc->m_Position;
    hdc->m_Position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    if (!hdc)
        return FALSE;
    DeviceContext& dc = *hdc;
    POINT from = dc.m_Position;
    dc.m_Position = POINT{x, y};
    const PenObject* pen = dc.m_Pen;
    if (!pen || pen->m_Style == PS_NULL)
        return TRUE;
    Region visible = VisibleRegion(dc);
    uint32_t pixel = PixelFromColour(pen->m_Colour);
    // Bresenham's line from the current position up to, not including, the end point.
    int dx = std::abs(x - from.x);
    int dy = -std::abs(y - from.y);
    int stepX = from.x < x ? 1 : -1;
    int stepY = from.y < y ? 1 : -1;
    int error = dx + dy;
    int px = from.x;
    int py = from.y;
    for (int step = 0; px != x || py != y; ++step) {
        if (PenDrawsStep(pen->m_Style, step))
            PlotPen(dc, visible, px, py, pixel, pen->m_Width);
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            px += stepX;
        }
        if (twice <= dx) {
            error += dx;
            py += stepY;
        }
    }
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect)
{
    if (!hdc || !rect)
        return FALSE;
    const RECT& r = *rect;
    if (r.right <= r.left || r.bottom <= r.top)
        return TRUE;
    DeviceContext& dc = *hdc;
    Region visible = VisibleRegion(dc);
    // Every other pixel of the outline is inverted, in a checkerboard fixed to the device
    // coordinates, so that a second call restores the target exactly.
    auto invertDots = [&](const RECT& edge) {
        ForEachPixel(dc, edge, visible, [&](int bx, int by, uint32_t value) {
            int deviceX = bx - dc.m_Origin.x;
            int deviceY = by - dc.m_Origin.y;
            return ((deviceX + deviceY) & 1) == 0 ? (~value & 0xFFFFFF) : value;
        });
    };
    invertDots(RECT{r.left, r.top, r.right, r.top + 1});
    if (r.bottom - r.top > 1)
        invertDots(RECT{r.left, r.bottom - 1, r.right, r.bottom});
    if (r.bottom - r.top > 2) {
        invertDots(RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1});
        if (r.right - r.left > 1)
            invertDots(RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1});
    }
    return TRUE;
}

HICON CreateIconIndirect(const ICONINFO* info)
{
    if (!info || !info->hbmMask)
        return nullptr;
    auto* icon = new IconObject;
    icon->m_IsIcon = info->fIcon != FALSE;
    icon->m_Hotspot = POINT{static_cast<LONG>(info->xHotspot), static_cast<LONG>(info->yHotspot)};
    Surface mask;
    CopyBitmapPixels(info->hbmMask, mask);
    if (info->hbmColor) {
        CopyBitmapPixels(info->hbmColor, icon->m_Colour);
        icon->m_Width = icon->m_Colour.Width();
        icon->m_Height = icon->m_Colour.Height();
        icon->m_Mask.Resize(icon->m_Width, icon->m_Height, 0);
        for (int y = 0; y < std::min(icon->m_Height, mask.Height()); ++y)
            for (int x = 0; x < std::min(icon->m_Width, mask.Width()); ++x)
                icon->m_Mask.Row(y)[x] = mask.Row(y)[x] & 0xFFFFFF;
        // A 32-bit colour image with any non-zero alpha byte carries its own transparency.
        if (info->hbmColor->m_BitsPerPixel == 32) {
            for (int y = 0; y < icon->m_Height && !icon->m_HasAlpha; ++y)
                for (int x = 0; x < icon->m_Width; ++x)
                    if (icon->m_Colour.Row(y)[x] >> 24) {
                        icon->m_HasAlpha = true;
                        break;
                    }
        }
    } else {
        // Monochrome icon: the mask bitmap holds the AND mask above the XOR image.
        icon->m_Width = mask.Width();
        icon->m_Height = mask.Height() / 2;
        icon->m_Mask.Resize(icon->m_Width, icon->m_Height);
        icon->m_Colour.Resize(icon->m_Width, icon->m_Height);
        for (int y = 0; y < icon->m_Height; ++y)
            for (int x = 0; x < icon->m_Width; ++x) {
                icon->m_Mask.Row(y)[x] = mask.Row(y)[x] & 0xFFFFFF;
                icon->m_Colour.Row(y)[x] = mask.Row(y + icon->m_Height)[x] & 0xFFFFFF;
            }
    }
    return icon;
}

BOOL DestroyIcon(HICON icon)
{
    return DeleteObject(icon);
}

BOOL GetIconInfo(HICON icon, ICONINFO* info)
{
    if (!icon || !info)
        return FALSE;
    info->fIcon = icon->m_IsIcon ? TRUE : FALSE;
    info->xHotspot = static_cast<DWORD>(icon->m_Hotspot.x);
    info->yHotspot = static_cast<DWORD>(icon->m_Hotspot.y);
    info->hbmColor = CreateBitmap(icon->m_Width, icon->m_Height, 1, 32, nullptr);
    info->hbmMask = CreateBitmap(icon->m_Width, icon->m_Height, 1, 1, nullptr);
    if (!info->hbmColor || !info->hbmMask) {
        DeleteObject(info->hbmColor);
        DeleteObject(info->hbmMask);
        return FALSE;
    }
    *info->hbmColor->m_Surface = icon->m_Colour;
    *info->hbmMask->m_Surface = icon->m_Mask;
    return TRUE;
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH, UINT flags)
{
    if (!hdc || !icon || icon->m_Width <= 0 || icon->m_Height <= 0)
        return FALSE;
    if (cx <= 0)
        cx = icon->m_Width;
    if (cy <= 0)
        cy = icon->m_Height;
    DeviceContext& dc = *hdc;
    int left = ToBitmapX(dc, x);
    int top = ToBitmapY(dc, y);
    ForEachPixel(dc, RECT{x, y, x + cx, y + cy}, VisibleRegion(dc), [&](int bx, int by, uint32_t target) {
        int ix = static_cast<int>(int64_t{bx - left} * icon->m_Width / cx);
        int iy = static_cast<int>(int64_t{by - top} * icon->m_Height / cy);
        uint32_t colour = icon->m_Colour.Row(iy)[ix];
        uint32_t mask = icon->m_Mask.Row(iy)[ix];
        if (icon->m_HasAlpha && (flags & DI_IMAGE)) {
            uint32_t alpha = colour >> 24;
            uint32_t result = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                uint32_t s = (colour >> shift) & 0xFF;
                uint32_t d = (target >> shift) & 0xFF;
                result |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
            }
            return result;
        }
        uint32_t result = target;
        if (flags & DI_MASK)
            result &= mask;
        if (flags & DI_IMAGE)
            result = (flags & DI_MASK) ? (result ^ (colour & 0xFFFFFF)) : (colour & 0xFFFFFF);
        return result & 0xFFFFFF;
    });
    return TRUE;
}
