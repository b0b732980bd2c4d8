// The state behind an HDC and the clipping walk every drawing call shares (internal header).
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Pixels.h"
#include "platform/gdi/Region.h"

#include <algorithm>
#include <memory>
#include <vector>

enum class DeviceKind { Memory, Display, Surface };

struct DeviceContext {
    struct State {
        bool hasClip = false;
        Region clip;
        POINT viewportOrg;
        POINT brushOrg;
        POINT position;
        HGDIOBJ pen = nullptr;
        HGDIOBJ brush = nullptr;
        HGDIOBJ font = nullptr;
        HGDIOBJ bitmap = nullptr;
        COLORREF textColour = 0;
        COLORREF bkColour = 0xFFFFFF;
        int bkMode = OPAQUE;
        int stretchMode = BLACKONWHITE;
    };

    DeviceKind m_Kind = DeviceKind::Memory;
    BitmapObject* m_Bitmap = nullptr;     // the pixels drawn into
    std::unique_ptr<BitmapObject> m_Own;  // display, surface or the memory DC's 1 x 1 bitmap
    POINT m_Origin;                       // surface position of device (0, 0)
    Region m_System;                      // device pixels; surface DCs only: the window's visible part
    bool m_HasClip = false;
    Region m_Clip;  // device pixels
    POINT m_ViewportOrg;
    POINT m_BrushOrg;
    POINT m_Position;
    PenObject* m_Pen = nullptr;
    BrushObject* m_Brush = nullptr;
    FontObject* m_Font = nullptr;
    COLORREF m_TextColour = 0;
    COLORREF m_BkColour = 0xFFFFFF;
    int m_BkMode = OPAQUE;
    int m_StretchMode = BLACKONWHITE;
    std::vector<State> m_Saved;
};

namespace gdi {

// The device pixels the DC may draw in before any clip region: the selected bitmap's area
// (memory and display DCs) or the visible region given at creation (surface DCs).
Region SystemRegion(const DeviceContext& dc);

// The pixels drawing may touch, in the coordinates of dc.m_Bitmap.
Region VisibleRegion(const DeviceContext& dc);

// Calls f(y, x0, x1) for every visible span of `rect` (bitmap coordinates), rows top-down.
template <typename F>
void ForEachSpan(const Region& visible, const RECT& rect, F&& f)
{
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    for (const auto& band : visible.Bands()) {
        if (band.bottom <= rect.top)
            continue;
        if (band.top >= rect.bottom)
            break;
        int top = std::max<int>(band.top, rect.top);
        int bottom = std::min<int>(band.bottom, rect.bottom);
        for (int y = top; y < bottom; ++y) {
            for (const auto& span : band.spans) {
                int x0 = std::max<int>(span.left, rect.left);
                int x1 = std::min<int>(span.right, rect.right);
                if (x0 < x1)
                    f(y, x0, x1);
            }
        }
    }
}

// Logical point to bitmap coordinates.
inline int ToBitmapX(const DeviceContext& dc, int x)
{
    return x + dc.m_ViewportOrg.x + dc.m_Origin.x;
}
inline int ToBitmapY(const DeviceContext& dc, int y)
{
    return y + dc.m_ViewportOrg.y + dc.m_Origin.y;
}

// Pattern or solid colour of a brush at a bitmap pixel.
uint32_t BrushPixel(const DeviceContext& dc, const BrushObject& brush, int x, int y);

// Fills a logical rectangle with a brush (no raster operation beyond copy).
void FillWithBrush(DeviceContext& dc, const RECT& logical, const BrushObject& brush);

}  // namespace gdi
