// The in-memory picture every codec fills and every drawing reads: a packed bottom-up DIB
// at 1, 4, 8 or 24 bits with optional palette, alpha plane and extended information.
#pragma once

#include "platform/Win32Types.h"

#include <cstdint>
#include <cstdio>

class CStream;
class CPicture;

// Format ids: the decode and encode dispatch switches on these.
constexpr DWORD PICTURE_FORMAT_UNKNOWN = 0;
constexpr DWORD PICTURE_FORMAT_BMP = 1;
constexpr DWORD PICTURE_FORMAT_GIF = 2;
constexpr DWORD PICTURE_FORMAT_JPG = 3;
constexpr DWORD PICTURE_FORMAT_PNG = 4;
constexpr DWORD PICTURE_FORMAT_ICO = 5;
constexpr DWORD PICTURE_FORMAT_TIF = 6;
constexpr DWORD PICTURE_FORMAT_TGA = 7;
constexpr DWORD PICTURE_FORMAT_PCX = 8;
constexpr DWORD PICTURE_FORMAT_WBMP = 9;
constexpr DWORD PICTURE_FORMAT_WMF = 10;
constexpr DWORD PICTURE_FORMAT_JP2 = 11;
constexpr DWORD PICTURE_FORMAT_JPC = 12;
constexpr DWORD PICTURE_FORMAT_PGX = 13;
constexpr DWORD PICTURE_FORMAT_PNM = 14;
constexpr DWORD PICTURE_FORMAT_RAS = 15;
constexpr DWORD PICTURE_MAX_FORMATS = 16;

// Upper bound of width * height * bpp / 256 for one picture.
constexpr uint64_t PICTURE_MAX_MEMORY = 256000000;

constexpr int kLastErrorSize = 256;

struct CPictureInfo {
    DWORD dwEffWidth;   // bytes per pixel row, padded to 4
    BYTE* pImage;       // pixel row 0 inside pDib
    CPicture* pGhost;   // non-null while borrowing another picture's buffers
    CPicture* pParent;  // parent of a layer
    DWORD dwType;       // format id
    char szLastError[kLastErrorSize];
    int32_t nProgress;
    int32_t nEscape;      // non-zero asks a codec to stop; -1 asks for dimensions only
    int32_t nBkgndIndex;  // transparent palette index, -1 for none
    RGBQUAD nBkgndColor;  // transparent colour of 24-bit pictures
    BYTE nQuality;        // JPEG quality
    BYTE nJpegScale;      // JPEG decoder scale denominator
    int32_t nFrame;       // frame or page to decode
    int32_t nNumFrames;   // frames found by the decoder
    DWORD dwFrameDelay;
    int32_t xDPI;
    int32_t yDPI;
    RECT rSelectionBox;
    BYTE nAlphaMax;  // global opacity used by Draw
    bool bAlphaPaletteEnabled;
    bool bEnabled;
    int32_t xOffset;
    int32_t yOffset;
    DWORD dwCodecOption;
    RGBQUAD last_c;  // one-entry cache of GetNearestIndex
    BYTE last_c_index;
    bool last_c_isvalid;
    int32_t nNumLayers;
    DWORD dwFlags;
};

class CPicture {
public:
    explicit CPicture(DWORD imagetype = 0);
    CPicture(DWORD width, DWORD height, DWORD bpp, DWORD imagetype = 0);
    CPicture(const CPicture& src, bool copypixels = true, bool copyselection = true, bool copyalpha = true);
    CPicture(const char* filename, DWORD imagetype);
    virtual ~CPicture();

    CPicture& operator=(const CPicture&) = delete;

    // Lifetime.
    void Startup(DWORD imagetype);
    void* Create(DWORD dwWidth, DWORD dwHeight, DWORD wBpp, DWORD imagetype = 0);
    bool Destroy();
    void Copy(const CPicture& src, bool copypixels = true, bool copyselection = true, bool copyalpha = true);
    bool Transfer(CPicture& from);
    void Ghost(const CPicture* from);
    void CopyInfo(const CPicture& src);

    // Queries.
    bool IsValid() const { return pDib != nullptr; }
    DWORD GetWidth() const { return static_cast<DWORD>(head.biWidth); }
    DWORD GetHeight() const { return static_cast<DWORD>(head.biHeight); }
    WORD GetBpp() const { return head.biBitCount; }
    DWORD GetType() const { return info.dwType; }
    DWORD GetEffWidth() const { return info.dwEffWidth; }
    DWORD GetNumColors() const { return head.biClrUsed; }
    DWORD GetPaletteSize() const { return head.biClrUsed * sizeof(RGBQUAD); }
    DWORD GetSize() const;
    RGBQUAD* GetPalette() const;
    BYTE* GetBits(DWORD row = 0) const;
    bool IsInside(long x, long y) const;
    long GetTransIndex() const { return info.nBkgndIndex; }
    void SetTransIndex(long idx) { info.nBkgndIndex = static_cast<int32_t>(idx); }
    RGBQUAD GetTransColor() const;
    BYTE GetColorType() const;
    void Clear(BYTE bval = 0);
    const char* GetLastError() const { return info.szLastError; }
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    long GetXDPI() const { return info.xDPI; }
    long GetYDPI() const { return info.yDPI; }

    // Palette.
    RGBQUAD GetPaletteColor(BYTE idx) const;
    bool GetPaletteColor(BYTE i, BYTE* r, BYTE* g, BYTE* b) const;
    void SetPaletteColor(BYTE idx, BYTE r, BYTE g, BYTE b, BYTE alpha = 0);
    void SetPaletteColor(BYTE idx, RGBQUAD c);
    void SetPalette(const RGBQUAD* pPal, DWORD nColors = 256);
    void SetPalette(const BYTE* rgbTriples, DWORD nColors);  // red, green, blue triples
    void SetPalette(DWORD n, const BYTE* r, const BYTE* g = nullptr, const BYTE* b = nullptr);
    void SetGrayPalette();
    bool IsGrayScale() const;
    bool AlphaPaletteIsValid() const;
    void SwapIndex(BYTE idx1, BYTE idx2);

    // Pixels.
    BYTE GetPixelIndex(long x, long y) const;
    void SetPixelIndex(long x, long y, BYTE i);
    RGBQUAD GetPixelColor(long x, long y, bool bGetAlpha = true) const;
    void SetPixelColor(long x, long y, RGBQUAD c, bool bSetAlpha = false);
    void SetPixelColor(long x, long y, COLORREF cr);
    BYTE GetNearestIndex(RGBQUAD c);
    void RGBtoBGR(BYTE* buffer, int length) const;
    static RGBQUAD RGBtoRGBQUAD(COLORREF cr);

    // Alpha plane.
    bool AlphaCreate();
    void AlphaDelete();
    bool AlphaIsValid() const { return pAlpha != nullptr; }
    void AlphaSet(long x, long y, BYTE level);
    BYTE AlphaGet(long x, long y) const;
    bool AlphaFlip();
    bool AlphaMirror();

    // Selection plane.
    void SelectionDelete();
    bool SelectionIsInside(long x, long y) const;

    // Geometry used by the codecs.
    bool Flip();
    bool Mirror();
    bool RotateLeft();
    bool RotateRight();

    // Loading (detection and dispatch).
    bool Load(const char* filename, DWORD imagetype = 0);
    bool Decode(FILE* hFile, DWORD imagetype);
    bool Decode(CStream* hFile, DWORD imagetype);

    // Saving.
    bool Save(const char* filename, DWORD imagetype);
    bool Encode(FILE* hFile, DWORD imagetype);
    bool Encode(CStream* hFile, DWORD imagetype);

    // Drawing onto a device context; 1 when processed, 0 when nothing was attempted.
    long Draw(HDC hdc, long x = 0, long y = 0, long cx = -1, long cy = -1, const RECT* pClipRect = nullptr);

    // Expands 16- or 32-bit bit-field pixels into the 24-bit rows (BMP decoder).
    void Bitfield2RGB(BYTE* src, WORD redmask, WORD greenmask, WORD bluemask, BYTE bpp);

    // Writes the message into szLastError (at most 255 characters) and answers false.
    bool Fail(const char* message);

    // Copies head into the first 40 bytes of pDib (the DIB keeps its own copy from Create on).
    void StoreHeaderInDib();

protected:
    bool EncodeSafeCheck(CStream* hFile);

public:
    // Members in the order of the design; codecs reach them directly.
    BYTE* pDib;
    BITMAPINFOHEADER head;
    CPictureInfo info;
    BYTE* pSelection;
    BYTE* pAlpha;
    CPicture** pLayers;
};

// Row cursor over one picture, used by the codecs.
class CPictureIterator {
public:
    explicit CPictureIterator(CPicture* image);
    virtual ~CPictureIterator() = default;

    void Upset();
    bool NextRow();
    void SetY(long y);
    BYTE* GetRow(long y);
    void SetRow(const BYTE* buf, long n);
    void GetRow(BYTE* buf, long n) const;
    long GetY() const { return m_Row; }
    BYTE* GetRow() const { return m_Pointer; }

private:
    CPicture* m_Image;
    long m_Row;
    BYTE* m_Pointer;
};
