// The plain Win32 value types (integers, rectangles, bitmap headers) shared by every layer.
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using BOOL = int;
using COLORREF = uint32_t;  // 0x00BBGGRR

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue)
{
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) | (static_cast<COLORREF>(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return static_cast<BYTE>(c);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return static_cast<BYTE>(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return static_cast<BYTE>(c >> 16);
}

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};

inline bool operator==(const RGBQUAD& a, const RGBQUAD& b)
{
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed && a.rgbReserved == b.rgbReserved;
}

// In-memory form of the 40-byte bitmap information header. Files are read and written
// field by field in little-endian order, never by casting this struct over raw bytes.
struct BITMAPINFOHEADER {
    DWORD biSize = 0;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 0;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the packed bitmap layout relies on a 40-byte header");

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

// Opaque handles of the graphics layer (platform/gdi).
struct DeviceContext;
struct GdiObject;
using HDC = DeviceContext*;
using HGDIOBJ = GdiObject*;
