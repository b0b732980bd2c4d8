// CPicture: lifetime, queries, palette, pixel, alpha and geometry operations.
#include "image/Picture.h"

#include "image/Messages.h"
#include "image/PictureMemory.h"
#include "image/Stream.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr char kMaxMemoryExceeded[] = "PICTURE_MAX_MEMORY exceeded";
constexpr char kNullImage[] = "null image!!!";

constexpr size_t kHeaderBytes = sizeof(BITMAPINFOHEADER);

WORD NormaliseBpp(DWORD bpp)
{
    if (bpp <= 1)
        return 1;
    if (bpp <= 4)
        return 4;
    if (bpp <= 8)
        return 8;
    return 24;
}

DWORD ColorsForBpp(WORD bpp)
{
    switch (bpp) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

// Copies the 40 header bytes into the front of a packed DIB in little-endian field order.
void StoreHeader(BYTE* dest, const BITMAPINFOHEADER& h)
{
    auto put32 = [&dest](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            *dest++ = static_cast<BYTE>(v >> (8 * i));
    };
    auto put16 = [&dest](uint16_t v) {
        *dest++ = static_cast<BYTE>(v);
        *dest++ = static_cast<BYTE>(v >> 8);
    };
    put32(h.biSize);
    put32(static_cast<uint32_t>(h.biWidth));
    put32(static_cast<uint32_t>(h.biHeight));
    put16(h.biPlanes);
    put16(h.biBitCount);
    put32(h.biCompression);
    put32(h.biSizeImage);
    put32(static_cast<uint32_t>(h.biXPelsPerMeter));
    put32(static_cast<uint32_t>(h.biYPelsPerMeter));
    put32(h.biClrUsed);
    put32(h.biClrImportant);
}

// Resolutions beyond what the 32-bit header field can hold saturate instead of overflowing.
LONG DpiToPelsPerMeter(long dpi)
{
    const double pels = std::floor(static_cast<double>(dpi) * 10000.0 / 254.0 + 0.5);
    return static_cast<LONG>(std::clamp(pels, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
}

}  // namespace

void CPicture::StoreHeaderInDib()
{
    if (pDib)
        StoreHeader(pDib, head);
}

CPicture::CPicture(DWORD imagetype)
{
    Startup(imagetype);
}

CPicture::CPicture(DWORD width, DWORD height, DWORD bpp, DWORD imagetype)
{
    Startup(imagetype);
    Create(width, height, bpp, imagetype);
}

CPicture::CPicture(const CPicture& src, bool copypixels, bool copyselection, bool copyalpha)
{
    Startup(src.GetType());
    Copy(src, copypixels, copyselection, copyalpha);
}

CPicture::CPicture(const char* filename, DWORD imagetype)
{
    Startup(imagetype);
    Load(filename, imagetype);
}

CPicture::~CPicture()
{
    Destroy();
}

void CPicture::Startup(DWORD imagetype)
{
    pDib = nullptr;
    pSelection = nullptr;
    pAlpha = nullptr;
    pLayers = nullptr;
    head = BITMAPINFOHEADER{};
    info = CPictureInfo{};
    info.dwType = imagetype;
    info.nQuality = 90;
    info.nAlphaMax = 255;
    info.nBkgndIndex = -1;
    info.bEnabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

void* CPicture::Create(DWORD dwWidth, DWORD dwHeight, DWORD wBpp, DWORD imagetype)
{
    if (!Destroy())
        return nullptr;

    const WORD bpp = NormaliseBpp(wBpp);

    // width * height * bpp in 128 bits cannot overflow; compare it against the limit * 256.
    const unsigned __int128 bits = static_cast<unsigned __int128>(dwWidth) * dwHeight * bpp;
    if (bits / 256 > PICTURE_MAX_MEMORY) {
        Fail(kMaxMemoryExceeded);
        return nullptr;
    }

    const uint64_t effWidth = (static_cast<uint64_t>(bpp) * dwWidth + 31) / 32 * 4;
    const uint64_t imageBytes = effWidth * dwHeight;
    const DWORD colors = ColorsForBpp(bpp);
    const uint64_t totalBytes = kHeaderBytes + static_cast<uint64_t>(colors) * sizeof(RGBQUAD) + imageBytes;
    // The header's size fields are 32 bits wide; a picture they cannot describe cannot be made.
    constexpr uint64_t kMaxField = std::numeric_limits<DWORD>::max();
    if (effWidth > kMaxField || imageBytes > kMaxField || totalBytes > kMaxField ||
        dwWidth > static_cast<DWORD>(std::numeric_limits<LONG>::max()) ||
        dwHeight > static_cast<DWORD>(std::numeric_limits<LONG>::max())) {
        Fail(kCreateNoMemoryMessage);
        return nullptr;
    }

    info.dwEffWidth = static_cast<DWORD>(effWidth);
    info.dwType = imagetype;

    head.biSize = kHeaderBytes;
    head.biWidth = static_cast<LONG>(dwWidth);
    head.biHeight = static_cast<LONG>(dwHeight);
    head.biPlanes = 1;
    head.biBitCount = bpp;
    head.biCompression = BI_RGB;
    head.biSizeImage = static_cast<DWORD>(imageBytes);
    head.biClrUsed = colors;
    head.biClrImportant = 0;

    pDib = AllocPictureBlock(static_cast<size_t>(totalBytes));
    if (!pDib) {
        Fail(kCreateNoMemoryMessage);
        return nullptr;
    }

    std::memset(pDib + kHeaderBytes, 0, GetPaletteSize());
    StoreHeader(pDib, head);
    info.pImage = pDib + kHeaderBytes + GetPaletteSize();
    return pDib;
}

bool CPicture::Destroy()
{
    if (info.pGhost)
        return false;
    if (pLayers) {
        for (int32_t i = 0; i < info.nNumLayers; ++i)
            delete pLayers[i];
        delete[] pLayers;
        pLayers = nullptr;
        info.nNumLayers = 0;
    }
    FreePictureBlock(pSelection);
    pSelection = nullptr;
    FreePictureBlock(pAlpha);
    pAlpha = nullptr;
    FreePictureBlock(pDib);
    pDib = nullptr;
    info.pImage = nullptr;
    return true;
}

void CPicture::Copy(const CPicture& src, bool copypixels, bool copyselection, bool copyalpha)
{
    // A copy owns its buffers: it never inherits the source's ghost link, and a ghost keeps its own.
    CPicture* const ghost = info.pGhost;
    info = src.info;
    info.pGhost = ghost;
    info.pImage = nullptr;

    if (!Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType()))
        return;

    if (copypixels && pDib && src.pDib)
        std::memcpy(pDib, src.pDib, GetSize());
    else if (src.GetPalette())
        SetPalette(src.GetPalette(), std::min<DWORD>(src.GetNumColors(), 256));

    const size_t planeBytes = static_cast<size_t>(GetWidth()) * GetHeight();
    if (copyselection && src.pSelection) {
        pSelection = AllocPictureBlock(planeBytes);
        if (pSelection)
            std::memcpy(pSelection, src.pSelection, planeBytes);
    }
    if (copyalpha && src.pAlpha) {
        pAlpha = AllocPictureBlock(planeBytes);
        if (pAlpha)
            std::memcpy(pAlpha, src.pAlpha, planeBytes);
    }
}

bool CPicture::Transfer(CPicture& from)
{
    if (&from == this)
        return true;
    if (!Destroy())
        return false;

    head = from.head;
    info = from.info;
    pDib = from.pDib;
    pSelection = from.pSelection;
    pAlpha = from.pAlpha;
    pLayers = from.pLayers;

    from.head = BITMAPINFOHEADER{};
    from.info = CPictureInfo{};
    from.pDib = nullptr;
    from.pSelection = nullptr;
    from.pAlpha = nullptr;
    from.pLayers = nullptr;
    return true;
}

void CPicture::Ghost(const CPicture* from)
{
    if (!from || from == this)
        return;
    // Anything this object owned would be orphaned by the shared pointers.
    Destroy();
    head = from->head;
    info = from->info;
    pDib = from->pDib;
    pSelection = from->pSelection;
    pAlpha = from->pAlpha;
    pLayers = from->pLayers;
    info.pGhost = const_cast<CPicture*>(from);
}

void CPicture::CopyInfo(const CPicture& src)
{
    if (pDib)
        return;
    info = src.info;
    // The pointers describe the source's buffers, not ours.
    info.pGhost = nullptr;
    info.pImage = nullptr;
}

DWORD CPicture::GetSize() const
{
    return head.biSize + head.biSizeImage + GetPaletteSize();
}

RGBQUAD* CPicture::GetPalette() const
{
    if (pDib && head.biClrUsed)
        return reinterpret_cast<RGBQUAD*>(pDib + kHeaderBytes);
    return nullptr;
}

BYTE* CPicture::GetBits(DWORD row) const
{
    if (!pDib)
        return nullptr;
    if (row == 0)
        return info.pImage;
    if (row < GetHeight())
        return info.pImage + static_cast<size_t>(row) * info.dwEffWidth;
    return nullptr;
}

bool CPicture::IsInside(long x, long y) const
{
    return x >= 0 && y >= 0 && x < static_cast<long>(GetWidth()) && y < static_cast<long>(GetHeight());
}

RGBQUAD CPicture::GetTransColor() const
{
    if (head.biBitCount < 24 && info.nBkgndIndex != -1)
        return GetPaletteColor(static_cast<BYTE>(info.nBkgndIndex));
    return info.nBkgndColor;
}

BYTE CPicture::GetColorType() const
{
    // 1 palette depth, 2 true colour, 4 any picture with an alpha plane.
    if (pAlpha)
        return 4;
    return head.biBitCount > 8 ? 2 : 1;
}

void CPicture::Clear(BYTE bval)
{
    if (pDib)
        std::memset(info.pImage, bval, head.biSizeImage);
}

void CPicture::SetXDPI(long dpi)
{
    info.xDPI = static_cast<int32_t>(dpi);
    head.biXPelsPerMeter = DpiToPelsPerMeter(dpi);
}

void CPicture::SetYDPI(long dpi)
{
    info.yDPI = static_cast<int32_t>(dpi);
    head.biYPelsPerMeter = DpiToPelsPerMeter(dpi);
}

bool CPicture::Fail(const char* message)
{
    if (message != info.szLastError) {
        std::strncpy(info.szLastError, message ? message : "", kLastErrorSize - 1);
        info.szLastError[kLastErrorSize - 1] = '\0';
    }
    return false;
}

bool CPicture::EncodeSafeCheck(CStream* hFile)
{
    if (!hFile) {
        Fail(kNullFileHandlerMessage);
        return true;
    }
    if (!pDib) {
        Fail(kNullImage);
        return true;
    }
    return false;
}

// ---- Palette ----

RGBQUAD CPicture::GetPaletteColor(BYTE idx) const
{
    const RGBQUAD* palette = GetPalette();
    if (palette && idx < head.biClrUsed)
        return palette[idx];
    return RGBQUAD{};
}

bool CPicture::GetPaletteColor(BYTE i, BYTE* r, BYTE* g, BYTE* b) const
{
    const RGBQUAD* palette = GetPalette();
    // An index beyond the table would read past the palette (into pixels or past the block).
    if (!palette || i >= head.biClrUsed)
        return false;
    if (r)
        *r = palette[i].rgbRed;
    if (g)
        *g = palette[i].rgbGreen;
    if (b)
        *b = palette[i].rgbBlue;
    return true;
}

void CPicture::SetPaletteColor(BYTE idx, BYTE r, BYTE g, BYTE b, BYTE alpha)
{
    SetPaletteColor(idx, RGBQUAD{b, g, r, alpha});
}

void CPicture::SetPaletteColor(BYTE idx, RGBQUAD c)
{
    RGBQUAD* palette = GetPalette();
    if (!palette || idx >= head.biClrUsed)
        return;
    palette[idx] = c;
    info.last_c_isvalid = false;
}

void CPicture::SetPalette(const RGBQUAD* pPal, DWORD nColors)
{
    RGBQUAD* palette = GetPalette();
    if (!palette || !pPal)
        return;
    const size_t bytes = std::min<uint64_t>(static_cast<uint64_t>(nColors) * sizeof(RGBQUAD), GetPaletteSize());
    std::memmove(palette, pPal, bytes);
    info.last_c_isvalid = false;
}

void CPicture::SetPalette(const BYTE* rgbTriples, DWORD nColors)
{
    RGBQUAD* palette = GetPalette();
    if (!palette || !rgbTriples)
        return;
    const DWORD count = std::min(nColors, head.biClrUsed);
    for (DWORD i = 0; i < count; ++i) {
        palette[i].rgbRed = rgbTriples[i * 3];
        palette[i].rgbGreen = rgbTriples[i * 3 + 1];
        palette[i].rgbBlue = rgbTriples[i * 3 + 2];
    }
    info.last_c_isvalid = false;
}

void CPicture::SetPalette(DWORD n, const BYTE* r, const BYTE* g, const BYTE* b)
{
    RGBQUAD* palette = GetPalette();
    if (!palette || !r)
        return;
    if (!g)
        g = r;
    if (!b)
        b = g;
    const DWORD count = std::min(n, head.biClrUsed);
    for (DWORD i = 0; i < count; ++i) {
        palette[i].rgbRed = r[i];
        palette[i].rgbGreen = g[i];
        palette[i].rgbBlue = b[i];
    }
    info.last_c_isvalid = false;
}

void CPicture::SetGrayPalette()
{
    RGBQUAD* palette = GetPalette();
    if (!palette || head.biClrUsed < 2)
        return;
    const DWORD step = 255 / (head.biClrUsed - 1);
    for (DWORD i = 0; i < head.biClrUsed; ++i) {
        const BYTE level = static_cast<BYTE>(i * step);
        palette[i].rgbBlue = level;
        palette[i].rgbGreen = level;
        palette[i].rgbRed = level;
    }
    info.last_c_isvalid = false;
}

bool CPicture::IsGrayScale() const
{
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return false;
    for (DWORD i = 0; i < head.biClrUsed; ++i) {
        if (palette[i].rgbBlue != i || palette[i].rgbGreen != i || palette[i].rgbRed != i)
            return false;
    }
    return true;
}

bool CPicture::AlphaPaletteIsValid() const
{
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return false;
    for (DWORD i = 0; i < head.biClrUsed; ++i) {
        if (palette[i].rgbReserved != 0)
            return true;
    }
    return false;
}

void CPicture::SwapIndex(BYTE idx1, BYTE idx2)
{
    RGBQUAD* palette = GetPalette();
    if (!palette || idx1 >= head.biClrUsed || idx2 >= head.biClrUsed)
        return;
    std::swap(palette[idx1], palette[idx2]);
    info.last_c_isvalid = false;
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    for (long y = 0; y < height && width > 0; ++y) {
        for (long x = 0; x < width; ++x) {
            const BYTE index = GetPixelIndex(x, y);
            if (index == idx1)
                SetPixelIndex(x, y, idx2);
            else if (index == idx2)
                SetPixelIndex(x, y, idx1);
        }
    }
}

// ---- Pixels ----

BYTE CPicture::GetPixelIndex(long x, long y) const
{
    if (!pDib || head.biClrUsed == 0)
        return 0;
    if (!IsInside(x, y)) {
        if (info.nBkgndIndex != -1)
            return static_cast<BYTE>(info.nBkgndIndex);
        // A picture without pixel bytes has no first pixel to answer with.
        return head.biSizeImage ? *info.pImage : 0;
    }
    const BYTE* row = info.pImage + static_cast<size_t>(y) * info.dwEffWidth;
    switch (head.biBitCount) {
    case 8:
        return row[x];
    case 4:
        return static_cast<BYTE>((row[x >> 1] >> (4 * (1 - x % 2))) & 0x0F);
    case 1:
        return static_cast<BYTE>((row[x >> 3] >> (7 - x % 8)) & 0x01);
    default:
        return 0;
    }
}

void CPicture::SetPixelIndex(long x, long y, BYTE i)
{
    if (!pDib || head.biClrUsed == 0 || !IsInside(x, y))
        return;
    BYTE* row = info.pImage + static_cast<size_t>(y) * info.dwEffWidth;
    switch (head.biBitCount) {
    case 8:
        row[x] = i;
        break;
    case 4: {
        const int shift = 4 * (1 - x % 2);
        row[x >> 1] = static_cast<BYTE>((row[x >> 1] & ~(0x0F << shift)) | ((i & 0x0F) << shift));
        break;
    }
    case 1: {
        const int shift = 7 - x % 8;
        row[x >> 3] = static_cast<BYTE>((row[x >> 3] & ~(1 << shift)) | ((i & 1) << shift));
        break;
    }
    default:
        break;
    }
}

RGBQUAD CPicture::GetPixelColor(long x, long y, bool bGetAlpha) const
{
    RGBQUAD color = info.nBkgndColor;
    if (!pDib || !IsInside(x, y)) {
        if (info.nBkgndIndex != -1) {
            if (head.biBitCount < 24)
                return GetPaletteColor(static_cast<BYTE>(info.nBkgndIndex));
            return info.nBkgndColor;
        }
        // Pixel (0, 0) stands in for outside points; a picture without pixels has none.
        if (pDib && IsInside(0, 0))
            return GetPixelColor(0, 0, true);
        return color;
    }
    if (head.biClrUsed) {
        color = GetPaletteColor(GetPixelIndex(x, y));
    } else {
        const BYTE* pixel = info.pImage + static_cast<size_t>(y) * info.dwEffWidth + static_cast<size_t>(x) * 3;
        color.rgbBlue = pixel[0];
        color.rgbGreen = pixel[1];
        color.rgbRed = pixel[2];
    }
    if (pAlpha && bGetAlpha)
        color.rgbReserved = AlphaGet(x, y);
    return color;
}

void CPicture::SetPixelColor(long x, long y, RGBQUAD c, bool bSetAlpha)
{
    if (!pDib || !IsInside(x, y))
        return;
    if (head.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(c));
        return;
    }
    BYTE* pixel = info.pImage + static_cast<size_t>(y) * info.dwEffWidth + static_cast<size_t>(x) * 3;
    pixel[0] = c.rgbBlue;
    pixel[1] = c.rgbGreen;
    pixel[2] = c.rgbRed;
    if (bSetAlpha)
        AlphaSet(x, y, c.rgbReserved);
}

void CPicture::SetPixelColor(long x, long y, COLORREF cr)
{
    SetPixelColor(x, y, RGBtoRGBQUAD(cr), false);
}

RGBQUAD CPicture::RGBtoRGBQUAD(COLORREF cr)
{
    return RGBQUAD{GetBValue(cr), GetGValue(cr), GetRValue(cr), 0};
}

BYTE CPicture::GetNearestIndex(RGBQUAD c)
{
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return 0;
    if (info.last_c_isvalid && info.last_c == c)
        return info.last_c_index;
    info.last_c = c;
    info.last_c_isvalid = true;

    // biClrImportant may come from a file; never search past the table.
    DWORD count = head.biClrImportant ? head.biClrImportant : head.biClrUsed;
    count = std::min(count, head.biClrUsed);

    long bestDistance = 200000;
    BYTE best = 0;
    for (DWORD i = 0; i < count; ++i) {
        const long db = static_cast<long>(palette[i].rgbBlue) - c.rgbBlue;
        const long dg = static_cast<long>(palette[i].rgbGreen) - c.rgbGreen;
        const long dr = static_cast<long>(palette[i].rgbRed) - c.rgbRed;
        const long distance = db * db + dg * dg + dr * dr;
        if (distance == 0) {
            best = static_cast<BYTE>(i);
            break;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<BYTE>(i);
        }
    }
    info.last_c_index = best;
    return best;
}

void CPicture::RGBtoBGR(BYTE* buffer, int length) const
{
    if (!buffer || head.biClrUsed)
        return;
    const long bytes = std::min<long>(length, static_cast<long>(info.dwEffWidth));
    for (long i = 0; i + 2 < bytes; i += 3)
        std::swap(buffer[i], buffer[i + 2]);
}

// ---- Alpha and selection ----

bool CPicture::AlphaCreate()
{
    if (!pAlpha) {
        const size_t bytes = static_cast<size_t>(GetWidth()) * GetHeight();
        pAlpha = AllocPictureBlock(bytes);
        if (pAlpha)
            std::memset(pAlpha, 255, bytes);
    }
    return pAlpha != nullptr;
}

void CPicture::AlphaDelete()
{
    FreePictureBlock(pAlpha);
    pAlpha = nullptr;
}

void CPicture::AlphaSet(long x, long y, BYTE level)
{
    if (pAlpha && IsInside(x, y))
        pAlpha[static_cast<size_t>(y) * GetWidth() + x] = level;
}

BYTE CPicture::AlphaGet(long x, long y) const
{
    if (pAlpha && IsInside(x, y))
        return pAlpha[static_cast<size_t>(y) * GetWidth() + x];
    return 0;
}

bool CPicture::AlphaFlip()
{
    if (!pAlpha)
        return false;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    BYTE* flipped = AllocPictureBlock(width * height);
    if (!flipped)
        return false;
    for (size_t y = 0; y < height && width > 0; ++y)
        std::memcpy(flipped + y * width, pAlpha + (height - 1 - y) * width, width);
    FreePictureBlock(pAlpha);
    pAlpha = flipped;
    return true;
}

bool CPicture::AlphaMirror()
{
    if (!pAlpha)
        return false;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    BYTE* mirrored = AllocPictureBlock(width * height);
    if (!mirrored)
        return false;
    for (size_t y = 0; y < height && width > 0; ++y) {
        const BYTE* source = pAlpha + y * width;
        BYTE* dest = mirrored + y * width;
        for (size_t x = 0; x < width; ++x)
            dest[x] = source[width - 1 - x];
    }
    FreePictureBlock(pAlpha);
    pAlpha = mirrored;
    return true;
}

void CPicture::SelectionDelete()
{
    FreePictureBlock(pSelection);
    pSelection = nullptr;
    info.rSelectionBox.left = static_cast<LONG>(GetWidth());
    info.rSelectionBox.top = 0;
    info.rSelectionBox.right = 0;
    info.rSelectionBox.bottom = static_cast<LONG>(GetHeight());
}

bool CPicture::SelectionIsInside(long x, long y) const
{
    if (!IsInside(x, y))
        return false;
    return !pSelection || pSelection[static_cast<size_t>(y) * GetWidth() + x] != 0;
}

// ---- Geometry ----

bool CPicture::Flip()
{
    if (!pDib)
        return false;
    CPicture* flipped = new CPicture(*this, false, false, true);
    if (!flipped->IsValid()) {
        delete flipped;
        return false;
    }
    // Rows without bytes (width 0) need no moving, however many there are.
    const size_t height = info.dwEffWidth ? GetHeight() : 0;
    for (size_t y = 0; y < height; ++y)
        std::memcpy(flipped->info.pImage + y * info.dwEffWidth, info.pImage + (height - 1 - y) * info.dwEffWidth,
                    info.dwEffWidth);
    flipped->AlphaFlip();
    const bool moved = Transfer(*flipped);
    delete flipped;
    return moved;
}

bool CPicture::Mirror()
{
    if (!pDib)
        return false;
    CPicture* mirrored = new CPicture(*this, false, false, true);
    if (!mirrored->IsValid()) {
        delete mirrored;
        return false;
    }
    const long width = static_cast<long>(GetWidth());
    const long height = width ? static_cast<long>(GetHeight()) : 0;
    for (long y = 0; y < height; ++y) {
        const BYTE* source = info.pImage + static_cast<size_t>(y) * info.dwEffWidth;
        BYTE* dest = mirrored->info.pImage + static_cast<size_t>(y) * info.dwEffWidth;
        switch (head.biBitCount) {
        case 24:
            for (long x = 0; x < width; ++x)
                std::memcpy(dest + static_cast<size_t>(x) * 3, source + static_cast<size_t>(width - 1 - x) * 3, 3);
            break;
        case 8:
            for (long x = 0; x < width; ++x)
                dest[x] = source[width - 1 - x];
            break;
        default:
            for (long x = 0; x < width; ++x)
                mirrored->SetPixelIndex(x, y, GetPixelIndex(width - 1 - x, y));
            break;
        }
    }
    mirrored->AlphaMirror();
    const bool moved = Transfer(*mirrored);
    delete mirrored;
    return moved;
}

// Builds the turned copy: new pixel (x, y) = old pixel source(x, y), then moves it into this object.
template <typename SourceOf>
static bool RotateInto(CPicture& self, SourceOf sourceOf)
{
    if (!self.pDib)
        return false;
    const long oldWidth = static_cast<long>(self.GetWidth());
    const long oldHeight = static_cast<long>(self.GetHeight());
    CPicture* turned = new CPicture(0);
    turned->info = self.info;
    turned->info.pGhost = nullptr;
    turned->info.pImage = nullptr;
    if (!turned->Create(static_cast<DWORD>(oldHeight), static_cast<DWORD>(oldWidth), self.GetBpp(), self.GetType())) {
        delete turned;
        return false;
    }
    if (self.GetPalette())
        turned->SetPalette(self.GetPalette(), self.GetNumColors());
    // The resolution follows the axes.
    turned->SetXDPI(self.info.yDPI);
    turned->SetYDPI(self.info.xDPI);
    if (self.pAlpha && !turned->AlphaCreate()) {
        delete turned;
        return false;
    }

    const long newWidth = oldHeight;
    const long newHeight = oldWidth;
    const bool trueColor = self.GetBpp() == 24;
    const bool byteIndex = self.GetBpp() == 8;
    for (long x = 0; x < newWidth && newHeight > 0; ++x) {
        for (long y = 0; y < newHeight; ++y) {
            long sx = 0;
            long sy = 0;
            sourceOf(x, y, sx, sy);
            if (trueColor) {
                const BYTE* from = self.info.pImage + static_cast<size_t>(sy) * self.info.dwEffWidth + sx * 3;
                BYTE* to = turned->info.pImage + static_cast<size_t>(y) * turned->info.dwEffWidth + x * 3;
                std::memcpy(to, from, 3);
            } else if (byteIndex) {
                turned->info.pImage[static_cast<size_t>(y) * turned->info.dwEffWidth + x] =
                    self.info.pImage[static_cast<size_t>(sy) * self.info.dwEffWidth + sx];
            } else {
                turned->SetPixelIndex(x, y, self.GetPixelIndex(sx, sy));
            }
            if (self.pAlpha)
                turned->AlphaSet(x, y, self.AlphaGet(sx, sy));
        }
        self.info.nProgress = static_cast<int32_t>(static_cast<int64_t>(x + 1) * 100 / newWidth);
    }
    turned->info.nProgress = self.info.nProgress;
    const bool moved = self.Transfer(*turned);
    delete turned;
    return moved;
}

bool CPicture::RotateLeft()
{
    const long oldHeight = static_cast<long>(GetHeight());
    return RotateInto(*this, [oldHeight](long x, long y, long& sx, long& sy) {
        sx = y;
        sy = oldHeight - 1 - x;
    });
}

bool CPicture::RotateRight()
{
    const long oldWidth = static_cast<long>(GetWidth());
    return RotateInto(*this, [oldWidth](long x, long y, long& sx, long& sy) {
        sx = oldWidth - 1 - y;
        sy = x;
    });
}

// ---- Bit fields (BMP decoder) ----

namespace {

int CountBits(WORD mask)
{
    int count = 0;
    for (int i = 0; i < 16; ++i)
        count += (mask >> i) & 1;
    return count;
}

// Shifts left for a positive count and right for a negative one; wide shifts give 0.
BYTE ShiftToByte(uint32_t value, int shift)
{
    if (shift >= 32 || shift <= -32)
        return 0;
    return static_cast<BYTE>(shift >= 0 ? (static_cast<uint64_t>(value) << shift) : (value >> -shift));
}

}  // namespace

void CPicture::Bitfield2RGB(BYTE* src, WORD redmask, WORD greenmask, WORD bluemask, BYTE bpp)
{
    if (!pDib || !src || GetWidth() == 0)
        return;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    const size_t destStride = info.dwEffWidth;
    if (bpp == 16) {
        const int red = CountBits(redmask);
        const int green = CountBits(greenmask);
        const int blue = CountBits(bluemask);
        const int blueShift = 8 - red;
        const int greenShift = red + green - 8;
        const int redShift = red + green + blue - 8;
        const size_t sourceStride = (width + 1) / 2 * 4;
        // Backwards, so the wider 24-bit pixels never overwrite 16-bit words not yet read.
        for (size_t y = height; y-- > 0;) {
            const BYTE* sourceRow = src + y * sourceStride;
            BYTE* destRow = info.pImage + y * destStride;
            for (size_t x = width; x-- > 0;) {
                const uint32_t word = sourceRow[x * 2] | (sourceRow[x * 2 + 1] << 8);
                BYTE* pixel = destRow + x * 3;
                pixel[0] = ShiftToByte(word & bluemask, blueShift);
                pixel[1] = ShiftToByte(word & greenmask, -greenShift);
                pixel[2] = ShiftToByte(word & redmask, -redShift);
            }
        }
    } else if (bpp == 32) {
        const size_t sourceStride = width * 4;
        for (size_t y = height; y-- > 0;) {
            const BYTE* sourceRow = src + y * sourceStride;
            BYTE* destRow = info.pImage + y * destStride;
            for (size_t x = width; x-- > 0;) {
                BYTE* pixel = destRow + x * 3;
                pixel[0] = sourceRow[x * 4];
                pixel[1] = sourceRow[x * 4 + 1];
                pixel[2] = sourceRow[x * 4 + 2];
            }
        }
    }
}
