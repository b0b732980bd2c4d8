// CPicture::Draw: paints a picture onto a device context, scaled by nearest neighbour and
// blended through its alpha plane, palette alpha, global opacity and transparent colour.
#include "image/Picture.h"

#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cmath>

namespace {

// Destination rectangle limited to the clip box; never inverted.
struct PaintBox {
    long left;
    long top;
    long right;
    long bottom;
    long Width() const { return right - left; }
    long Height() const { return bottom - top; }
};

PaintBox MakePaintBox(const RECT& clip, long x, long y, long cx, long cy)
{
    PaintBox box;
    box.left = std::min<long>(clip.right, std::max<long>(clip.left, x));
    box.right = std::max<long>(clip.left, std::min<long>(clip.right, x + cx));
    box.top = std::min<long>(clip.bottom, std::max<long>(clip.top, y));
    box.bottom = std::max<long>(clip.top, std::min<long>(clip.bottom, y + cy));
    return box;
}

// The 24-bit bottom-up work buffer: a DIB section selected into a memory DC.
class WorkBuffer {
public:
    WorkBuffer(HDC target, const PaintBox& box)
    {
        m_Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        m_Info.bmiHeader.biWidth = static_cast<LONG>(box.Width());
        m_Info.bmiHeader.biHeight = static_cast<LONG>(box.Height());
        m_Info.bmiHeader.biPlanes = 1;
        m_Info.bmiHeader.biBitCount = 24;
        m_Stride = ((24 * static_cast<size_t>(box.Width())) + 31) / 32 * 4;
        m_Memory = CreateCompatibleDC(target);
        void* bits = nullptr;
        m_Bitmap = CreateDIBSection(target, &m_Info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_Bits = static_cast<BYTE*>(bits);
        if (m_Bitmap && m_Memory)
            m_Previous = SelectObject(m_Memory, m_Bitmap);
    }
    ~WorkBuffer()
    {
        if (m_Memory && m_Previous)
            SelectObject(m_Memory, m_Previous);
        if (m_Bitmap)
            DeleteObject(m_Bitmap);
        if (m_Memory)
            DeleteDC(m_Memory);
    }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;

    bool Exists() const { return m_Bits != nullptr; }
    HDC Memory() const { return m_Memory; }
    BYTE* Pixel(long row, long column) const
    {
        return m_Bits + static_cast<size_t>(row) * m_Stride + 3 * static_cast<size_t>(column);
    }

    // Copies the buffer 1:1 to the paint box of the target.
    void CopyTo(HDC target, const PaintBox& box) const
    {
        SetDIBitsToDevice(target, static_cast<int>(box.left), static_cast<int>(box.top),
                          static_cast<DWORD>(box.Width()), static_cast<DWORD>(box.Height()), 0, 0, 0,
                          static_cast<UINT>(box.Height()), m_Bits, &m_Info, DIB_RGB_COLORS);
    }

private:
    BITMAPINFO m_Info{};
    size_t m_Stride = 0;
    HDC m_Memory = nullptr;
    HBITMAP m_Bitmap = nullptr;
    HGDIOBJ m_Previous = nullptr;
    BYTE* m_Bits = nullptr;
};

// Nearest-neighbour mapping of a scaled draw. A buffer row r shows destination row
// bottom - 1 - r; d counts destination rows from the top edge down to and including it.
struct ScaleMap {
    float fx;
    float fy;
    long width;
    long height;

    long SourceRow(long bottom, long r, long y) const
    {
        long d = bottom - r - y;
        long sy = height - static_cast<long>(std::ceil(static_cast<double>(d) * static_cast<double>(fy)));
        return std::clamp<long>(sy, 0, height - 1);
    }
    long SourceColumn(long k, long left, long x) const
    {
        long sx = static_cast<long>(std::floor(static_cast<double>(k + left - x) * static_cast<double>(fx)));
        // Single-precision rounding of fx may carry the last column to the width itself.
        return std::clamp<long>(sx, 0, width - 1);
    }
};

}  // namespace

long CPicture::Draw(HDC hdc, long x, long y, long cx, long cy, const RECT* pClipRect)
{
    if (!pDib || !hdc || cx == 0 || cy == 0 || !info.bEnabled)
        return 0;
    const long width = static_cast<long>(head.biWidth);
    const long height = static_cast<long>(head.biHeight);
    if (cx < 0)
        cx = width;
    if (cy < 0)
        cy = height;

    RECT savedClipBox{};
    if (pClipRect) {
        GetClipBox(hdc, &savedClipBox);
        HRGN clip = CreateRectRgnIndirect(pClipRect);
        ExtSelectClipRgn(hdc, clip, RGN_AND);
        DeleteObject(clip);
    }

    const bool bTransparent = info.nBkgndIndex != -1;
    const bool bAlpha = pAlpha != nullptr;
    const bool bPalette = head.biClrUsed != 0;
    const bool bScaled = cx != width || cy != height;
    const ScaleMap scale{static_cast<float>(width) / static_cast<float>(cx),
                         static_cast<float>(height) / static_cast<float>(cy), width, height};

    if (!bTransparent && !bAlpha && !info.bAlphaPaletteEnabled) {
        if (!bScaled) {
            SetStretchBltMode(hdc, COLORONCOLOR);
            SetDIBitsToDevice(hdc, static_cast<int>(x), static_cast<int>(y), static_cast<DWORD>(cx),
                              static_cast<DWORD>(cy), 0, 0, 0, static_cast<UINT>(cy), info.pImage,
                              reinterpret_cast<const BITMAPINFO*>(pDib), DIB_RGB_COLORS);
        } else {
            RECT clipBox{};
            GetClipBox(hdc, &clipBox);
            const PaintBox box = MakePaintBox(clipBox, x, y, cx, cy);
            WorkBuffer buffer(hdc, box);
            if (buffer.Exists()) {
                for (long r = 0; r < box.Height(); ++r) {
                    const long sy = scale.SourceRow(box.bottom, r, y);
                    for (long k = 0; k < box.Width(); ++k) {
                        const long sx = scale.SourceColumn(k, box.left, x);
                        BYTE* out = buffer.Pixel(r, k);
                        if (bPalette) {
                            const RGBQUAD c = GetPaletteColor(GetPixelIndex(sx, sy));
                            out[0] = c.rgbBlue;
                            out[1] = c.rgbGreen;
                            out[2] = c.rgbRed;
                        } else {
                            const BYTE* src = info.pImage + static_cast<size_t>(sy) * info.dwEffWidth + 3 * sx;
                            out[0] = src[0];
                            out[1] = src[1];
                            out[2] = src[2];
                        }
                    }
                }
                buffer.CopyTo(hdc, box);
            }
        }
    } else {
        RECT clipBox{};
        GetClipBox(hdc, &clipBox);
        const PaintBox box = MakePaintBox(clipBox, x, y, cx, cy);
        RGBQUAD c{};
        const RGBQUAD ct = GetTransColor();
        const long ci = GetTransIndex();
        WorkBuffer buffer(hdc, box);
        BitBlt(buffer.Memory(), 0, 0, static_cast<int>(box.Width()), static_cast<int>(box.Height()), hdc,
               static_cast<int>(box.left), static_cast<int>(box.top), SRCCOPY);
        if (buffer.Exists()) {
            for (long r = 0; r < box.Height(); ++r) {
                const long sy = bScaled ? scale.SourceRow(box.bottom, r, y) : height - box.bottom + y + r;
                for (long k = 0; k < box.Width(); ++k) {
                    const long sx = bScaled ? scale.SourceColumn(k, box.left, x) : box.left - x + k;
                    BYTE a = bAlpha ? pAlpha[static_cast<size_t>(sy) * static_cast<size_t>(width) + sx] : 255;
                    a = static_cast<BYTE>((a * (info.nAlphaMax + 1)) >> 8);
                    long i = -1;
                    if (bPalette) {
                        i = GetPixelIndex(sx, sy);
                        c = GetPaletteColor(static_cast<BYTE>(i));
                        if (info.bAlphaPaletteEnabled)
                            a = static_cast<BYTE>((a * (c.rgbReserved + 1)) >> 8);
                    } else {
                        const BYTE* src = info.pImage + static_cast<size_t>(sy) * info.dwEffWidth + 3 * sx;
                        c.rgbBlue = src[0];
                        c.rgbGreen = src[1];
                        c.rgbRed = src[2];
                    }
                    if (bTransparent && ((bPalette && i == ci) || (!bPalette && c == ct)))
                        continue;
                    if (a == 0)
                        continue;
                    BYTE* out = buffer.Pixel(r, k);
                    if (a == 255) {
                        out[0] = c.rgbBlue;
                        out[1] = c.rgbGreen;
                        out[2] = c.rgbRed;
                        continue;
                    }
                    const unsigned inverse = 255u - a;
                    out[0] = static_cast<BYTE>((out[0] * inverse + a * c.rgbBlue) >> 8);
                    out[1] = static_cast<BYTE>((out[1] * inverse + a * c.rgbGreen) >> 8);
                    out[2] = static_cast<BYTE>((out[2] * inverse + a * c.rgbRed) >> 8);
                }
            }
            buffer.CopyTo(hdc, box);
        }
    }

    if (pClipRect) {
        HRGN saved = CreateRectRgnIndirect(&savedClipBox);
        ExtSelectClipRgn(hdc, saved, RGN_OR);
        DeleteObject(saved);
    }
    return 1;
}
