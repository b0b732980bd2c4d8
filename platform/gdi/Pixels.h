// Pixel formats of the graphics layer: packed DIB rows, the standard palettes and the
// span reads and writes every drawing call goes through.
#pragma once

#include "platform/gdi/Gdi.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace gdi {

// 0x00RRGGBB pixel from a COLORREF (0x00BBGGRR) and back.
constexpr uint32_t PixelFromColour(COLORREF colour)
{
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (static_cast<uint32_t>(GetGValue(colour)) << 8) |
           GetBValue(colour);
}
constexpr COLORREF ColourFromPixel(uint32_t pixel)
{
    return RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8), static_cast<BYTE>(pixel));
}
constexpr uint32_t PixelFromQuad(const RGBQUAD& quad)
{
    return (static_cast<uint32_t>(quad.rgbRed) << 16) | (static_cast<uint32_t>(quad.rgbGreen) << 8) | quad.rgbBlue;
}

// Standard colour tables: 2 (black, white), 16 (VGA) and 256 (halftone) entries.
std::span<const RGBQUAD> StandardPalette(int bitsPerPixel);

// Index of the entry nearest to the pixel (squared distance; first of equals).
int NearestIndex(std::span<const RGBQUAD> palette, uint32_t pixel);

// The pixel as a device bitmap of the given depth stores it (16: 5-5-5; 8, 4, 1: the
// nearest entry of the standard palette; 24, 32: unchanged, top byte cleared).
uint32_t QuantizeToDepth(uint32_t pixel, int bitsPerPixel);

// One packed device-independent bitmap layout (header, colour table, rows).
struct DibLayout {
    int width = 0;
    int height = 0;  // rows, positive
    bool topDown = false;
    int bitsPerPixel = 0;
    size_t stride = 0;
    const RGBQUAD* colors = nullptr;
    int colorCount = 0;
    uint32_t masks[3] = {0, 0, 0};  // BI_BITFIELDS red, green, blue (16 and 32 bits)

    // Checks the header: depth 1, 4, 8, 16, 24 or 32, BI_RGB or BI_BITFIELDS, sizes that fit.
    static std::optional<DibLayout> From(const BITMAPINFO* info, UINT usage);
    static size_t Stride(int width, int bitsPerPixel)
    {
        return ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
    }
    // Offset of the row `y` counted from the top of the picture.
    size_t RowOffset(int y) const { return static_cast<size_t>(topDown ? y : height - 1 - y) * stride; }

    void ReadRow(const uint8_t* row, int x, int count, uint32_t* out) const;
    void WriteRow(uint8_t* row, int x, int count, const uint32_t* in) const;
};

// Reads and writes `count` pixels of row y of a bitmap (top-down coordinates, in range).
void ReadSpan(const BitmapObject& bitmap, int x, int y, int count, uint32_t* out);
void WriteSpan(BitmapObject& bitmap, int x, int y, int count, const uint32_t* in);
uint32_t ReadPixel(const BitmapObject& bitmap, int x, int y);

}  // namespace gdi
