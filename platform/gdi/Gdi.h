// The graphics device interface: device contexts over 32-bit surfaces, bitmaps, regions,
// brushes, pens, fonts and the bit-transfer, shape and text calls, with their Win32 names.
//
// Conventions shared with the Win32 originals:
// - Handles are typed pointers. Every typed handle (HBITMAP, HBRUSH, ...) converts to HGDIOBJ
//   implicitly; the way back is a cast: `HBITMAP old = (HBITMAP)SelectObject(dc, bmp);`.
// - Coordinates passed to drawing calls are logical: device = logical + viewport origin.
//   Regions, clip boxes and surfaces are in device pixels, except GetClipBox, which answers in
//   logical units like Win32.
// - Colours are COLORREF 0x00BBGGRR; surfaces hold 0x00RRGGBB ints (BGRX bytes in memory).
//
// Non-Win32 entries (for the window system and for tests):
// - Surface (Surface.h): a 32-bit pixel buffer, top-down rows, readable pixel by pixel.
// - CreateSurfaceDC(surface, origin, clip): a DC drawing into a surface the caller owns (a
//   window's backing store). `origin` is the surface pixel of the DC's device (0, 0) (a child
//   window's offset inside its top-level surface), so device coordinates are window
//   coordinates, as for a window DC. `clip` is in the DC's device coordinates (e.g. 0, 0, w, h
//   of the window, less what a parent cuts off); it is further limited to the surface, limits
//   every drawing call, and is what GetClipBox answers before any clip call. Clip regions
//   (SelectClipRgn, ExtSelectClipRgn) are in the same device coordinates and always stay
//   inside `clip` (like a window DC's system region); SelectClipRgn(dc, nullptr) goes back to
//   `clip`. An overload takes a Region in place of the rectangle. Delete the DC with DeleteDC;
//   the surface must outlive it and keep its size meanwhile.
// - CreateDCA("DISPLAY", ...) draws nowhere: its pixels read as white (the canvas colour before
//   a source is drawn) and writes to it are dropped. Windows paint through surface DCs.
// - SetDisplayBitsPerPixel(n) / GetDisplayBitsPerPixel(): the display's depth (1, 4, 8, 16, 24
//   or 32; default 32). GetDeviceCaps(BITSPIXEL) answers it and compatible bitmaps created
//   afterwards store their pixels at that depth (see the palette notes below).
// - GetBitmapSurface(hbm): read access to a device-dependent bitmap's pixels (tests).
//
// Depth emulation: a compatible bitmap of depth 16 stores 5-5-5 pixels, of depth 8 the
// nearest colour of the halftone palette below, of depth 4 the nearest of the 16 standard VGA
// colours, of depth 1 black or white. GetDIBits at 1, 4 or 8 bits per pixel fills the colour
// table with: black and white (1 bit), the 16 VGA colours (4 bits), or for 8 bits the halftone
// palette: entries 0-9 and 246-255 are the 20 static system colours, entries 10-225 the
// 6 x 6 x 6 colour cube (levels 0, 51, 102, 153, 204, 255; blue varies fastest, then green,
// then red), entries 226-245 a grey ramp. A DIB section of 1/4/8 bits answers its own table.
//
// A compatible bitmap of zero width or height is a 1 x 1 monochrome bitmap, as on Windows.
// A memory DC starts with a 1 x 1 monochrome bitmap selected.
//
// Threads: different DCs may be used on different threads at the same time; one DC and the
// objects selected into it belong to one thread at a time. Text calls serialise internally.
#pragma once

#include "platform/Win32Types.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Surface.h"

#include <cstddef>
#include <cstdint>

using COLOR16 = uint16_t;
using ULONG = uint32_t;  // 32 bits as on Win32 (`unsigned long` is 64 bits here)

// ---- Handles -------------------------------------------------------------------------------
struct BitmapObject;
struct BrushObject;
struct PenObject;
struct FontObject;
struct RegionObject;
struct IconObject;
using HBITMAP = BitmapObject*;
using HBRUSH = BrushObject*;
using HPEN = PenObject*;
using HFONT = FontObject*;
using HRGN = RegionObject*;
using HICON = IconObject*;
using HPALETTE = GdiObject*;

// ---- Constants -----------------------------------------------------------------------------
// GetDeviceCaps indices.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// The most pixels a bitmap, and so a composition canvas, can have.
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;

// The display's size in pixels and its resolution.
constexpr int kDisplayWidth = 1920;
constexpr int kDisplayHeight = 1080;
constexpr int kDisplayDpi = 96;

// Raster operations (BitBlt, StretchBlt, PatBlt).
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Stretch modes.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// DIB colour usage.
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

// Region combination modes and results.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr DWORD RDH_RECTANGLES = 1;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// AlphaBlend.
constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;

// GradientFill.
constexpr ULONG GRADIENT_FILL_RECT_H = 0x00000000;
constexpr ULONG GRADIENT_FILL_RECT_V = 0x00000001;

// DrawIconEx.
constexpr UINT DI_MASK = 0x0001;
constexpr UINT DI_IMAGE = 0x0002;
constexpr UINT DI_NORMAL = 0x0003;

// DrawTextA format flags.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;

// Font weights, character sets and qualities (LOGFONTA).
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FF_DONTCARE = 0;
constexpr int LF_FACESIZE = 32;

// GetObjectA answers this for bitmaps.
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;  // bytes per row, padded to 2 like a device bitmap
    WORD bmPlanes = 0;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;  // the pixels of a DIB section, null otherwise
};

// GetObjectA answers this for DIB sections when given its size.
struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3] = {0, 0, 0};
    void* dshSection = nullptr;
    DWORD dsOffset = 0;
};

struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    POINT lopnWidth;
    COLORREF lopnColor = 0;
};

struct LOGBRUSH {
    UINT lbStyle = 0;  // BS_SOLID 0, BS_NULL 1, BS_PATTERN 3
    COLORREF lbColor = 0;
    uintptr_t lbHatch = 0;
};
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_PATTERN = 3;

struct LOGFONTA {
    LONG lfHeight = 0;  // < 0: character height in pixels (the em size); > 0: cell height
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = FW_NORMAL;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = DEFAULT_CHARSET;
    BYTE lfOutPrecision = OUT_DEFAULT_PRECIS;
    BYTE lfClipPrecision = CLIP_DEFAULT_PRECIS;
    BYTE lfQuality = DEFAULT_QUALITY;
    BYTE lfPitchAndFamily = DEFAULT_PITCH;
    char lfFaceName[LF_FACESIZE] = {};  // UTF-8
};

struct TEXTMETRICA {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
};

struct BLENDFUNCTION {
    BYTE BlendOp = AC_SRC_OVER;
    BYTE BlendFlags = 0;
    BYTE SourceConstantAlpha = 255;
    BYTE AlphaFormat = 0;
};

struct TRIVERTEX {
    LONG x = 0;
    LONG y = 0;
    COLOR16 Red = 0;  // colour channels scaled by 256 (0x0000 to 0xFF00)
    COLOR16 Green = 0;
    COLOR16 Blue = 0;
    COLOR16 Alpha = 0;
};

struct GRADIENT_RECT {
    ULONG UpperLeft = 0;
    ULONG LowerRight = 0;
};

struct RGNDATAHEADER {
    DWORD dwSize = 32;
    DWORD iType = RDH_RECTANGLES;
    DWORD nCount = 0;
    DWORD nRgnSize = 0;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32, "region data starts with a 32-byte header");

// A header followed by nCount RECTs in the same memory block.
struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

struct ICONINFO {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    HBITMAP hbmMask = nullptr;   // AND mask (1 bit or any depth: black keeps the colour)
    HBITMAP hbmColor = nullptr;  // colour image; at 32 bits a non-zero alpha channel blends
};

// ---- Display and device contexts -----------------------------------------------------------
void SetDisplayBitsPerPixel(int bitsPerPixel);
int GetDisplayBitsPerPixel();

// Only the driver "DISPLAY" is known; the DC draws onto the display's own surface.
HDC CreateDCA(const char* driver, const char* device, const char* output, const void* initData);
HDC CreateCompatibleDC(HDC hdc);
HDC CreateSurfaceDC(Surface& surface, POINT origin, RECT clip);
// The same with any visible region (device coordinates), e.g. a window less the siblings above it.
HDC CreateSurfaceDC(Surface& surface, POINT origin, const Region& visible);
BOOL DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
int GetObjectA(HGDIOBJ object, int size, void* out);

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous);
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous);

int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int saved);

// ---- Bitmaps -------------------------------------------------------------------------------
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// bits: rows of `bitsPerPixel` (1, 4, 8, 16, 24, 32), each padded to 2 bytes, top-down.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset);
// Reads `lines` rows from scan line `start` (0 = bottom row) at the header's depth. With
// bits null it only completes the header (biSizeImage). Answers the rows copied, 0 on failure.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
const Surface* GetBitmapSurface(HBITMAP bitmap);

// ---- Clipping and regions ------------------------------------------------------------------
int GetClipBox(HDC hdc, RECT* box);
int SelectClipRgn(HDC hdc, HRGN region);
int ExtSelectClipRgn(HDC hdc, HRGN region, int mode);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
BOOL PtVisible(HDC hdc, int x, int y);

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN ExtCreateRegion(const void* transform, DWORD size, const RGNDATA* data);
int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL RectInRegion(HRGN region, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
int GetRgnBox(HRGN region, RECT* box);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// Writes the region as RGNDATA (banded rectangles, top to bottom, left to right) when
// size is large enough; answers the bytes needed.
DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data);

// ---- Bit transfers ------------------------------------------------------------------------
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);
BOOL BitBlt(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy, DWORD rop);
BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop);
// Copies the source rectangle, stretched, leaving the target unchanged where the source pixel
// equals `transparent`.
BOOL TransparentBlt(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                    UINT transparent);
BOOL AlphaBlend(HDC destination, int x, int y, int cx, int cy, HDC source, int sx, int sy, int scx, int scy,
                BLENDFUNCTION blend);
BOOL GradientFill(HDC hdc, const TRIVERTEX* vertices, ULONG vertexCount, const void* mesh, ULONG meshCount, ULONG mode);
// Copies a packed DIB 1:1: the rectangle (sx, sy, cx, cy) of the DIB (sy counted from the
// bottom row, as in Win32) to (x, y). Answers the scan lines copied.
int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD cx, DWORD cy, int sx, int sy, UINT start, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT usage);
int StretchDIBits(HDC hdc, int x, int y, int cx, int cy, int sx, int sy, int scx, int scy, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour);

// ---- Pens, brushes and shapes --------------------------------------------------------------
HPEN CreatePen(int style, int width, COLORREF colour);
HBRUSH CreateSolidBrush(COLORREF colour);
HBRUSH CreatePatternBrush(HBITMAP bitmap);  // the brush keeps its own copy of the pattern
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL LineTo(HDC hdc, int x, int y);
// Inverts every other pixel of the rectangle's outline; drawing it twice restores the target.
BOOL DrawFocusRect(HDC hdc, const RECT* rect);

// ---- Icons ---------------------------------------------------------------------------------
HICON CreateIconIndirect(const ICONINFO* info);  // copies the bitmaps
BOOL DestroyIcon(HICON icon);
BOOL GetIconInfo(HICON icon, ICONINFO* info);  // answers new copies the caller deletes
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flickerFree, UINT flags);

// ---- Text ----------------------------------------------------------------------------------
// Texts are UTF-8. Fonts resolve through fontconfig; "宋体" and "SimSun" resolve to a Song/Ming
// style CJK font (see Font.cpp). Glyphs are drawn without antialiasing.
COLORREF SetTextColor(HDC hdc, COLORREF colour);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF colour);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* faceName);
HFONT CreateFontIndirectA(const LOGFONTA* font);
// The pixel height of a point size at 96 DPI, rounded like MulDiv: 9 points give -12.
int PointsToFontHeight(int tenthsOfPoint);
BOOL TextOutA(HDC hdc, int x, int y, const char* text, int length);
// length -1: the text is NUL-terminated. Answers the text height.
int DrawTextA(HDC hdc, const char* text, int length, RECT* rect, UINT format);
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int length, SIZE* size);
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);
// Loads the fontconfig aliases (SimSun and 宋体 to AR PL UMing CN) into the current fontconfig
// configuration. Text calls do it themselves; the GTK back end calls it before gtk_init so its
// own Pango font map sees them too. Safe to call more than once.
void LoadFontAliases();

// Makes the typed handles complete types, so that they convert to HGDIOBJ.
#include "platform/gdi/GdiObjects.h"
