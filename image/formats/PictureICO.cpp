// Windows icon and cursor decoder (one entry, AND mask as transparency) and single-entry encoder.
#include "image/formats/PictureICO.h"

#include "platform/base/ByteOrder.h"

#include "image/Stream.h"
#include "image/formats/PicturePNG.h"

#include <cstring>
#include <vector>

namespace {

constexpr char kNotIcon[] = "Not an ICO";
constexpr char kFrameOutOfRange[] = "ICO frame out of range";
constexpr char kCorrupted[] = "Corrupted icon";
constexpr char kUnsupported[] = "Unsupported icon image";
constexpr char kCannotSave[] = "Can't save this image as icon";

constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxInfoHeaderSize = 124;  // BITMAPV5HEADER
constexpr DWORD kMaxSavedSide = 255;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

void PutLE16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value)
{
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

size_t MaskRowBytes(uint32_t width)
{
    return (static_cast<size_t>(width) + 31) / 32 * 4;
}

// Inverts the picture: colours of true-colour pixels and of the transparent colour,
// palette colours, or the indices of an identity grey ramp.
void Negative(CPicture& picture)
{
    if (picture.GetBpp() > 8) {
        BYTE* bits = picture.GetBits(0);
        const size_t bytes = static_cast<size_t>(picture.GetEffWidth()) * picture.GetHeight();
        for (size_t i = 0; i < bytes; ++i)
            bits[i] = static_cast<BYTE>(~bits[i]);
        picture.info.nBkgndColor.rgbBlue = static_cast<BYTE>(~picture.info.nBkgndColor.rgbBlue);
        picture.info.nBkgndColor.rgbGreen = static_cast<BYTE>(~picture.info.nBkgndColor.rgbGreen);
        picture.info.nBkgndColor.rgbRed = static_cast<BYTE>(~picture.info.nBkgndColor.rgbRed);
        return;
    }
    if (!picture.IsGrayScale()) {
        for (DWORD i = 0; i < picture.GetNumColors(); ++i) {
            RGBQUAD color = picture.GetPaletteColor(static_cast<BYTE>(i));
            color.rgbBlue = static_cast<BYTE>(~color.rgbBlue);
            color.rgbGreen = static_cast<BYTE>(~color.rgbGreen);
            color.rgbRed = static_cast<BYTE>(~color.rgbRed);
            picture.SetPaletteColor(static_cast<BYTE>(i), color);
        }
        return;
    }
    for (long y = 0; y < static_cast<long>(picture.GetHeight()); ++y) {
        for (long x = 0; x < static_cast<long>(picture.GetWidth()); ++x)
            picture.SetPixelIndex(x, y, static_cast<BYTE>(255 - picture.GetPixelIndex(x, y)));
    }
}

}  // namespace

bool CPictureICO::DecodePngEntry(CStream* hFile, int32_t frameCount)
{
    CPicturePNG png;
    png.CopyInfo(*this);
    if (!png.Decode(hFile))
        return Fail(png.GetLastError());
    if (!Transfer(png))
        return false;
    info.dwType = PICTURE_FORMAT_ICO;
    info.nNumFrames = frameCount;
    return true;
}

bool CPictureICO::Decode(CStream* hFile)
{
    if (hFile == nullptr)
        return false;
    const int32_t start = hFile->Tell();
    // ICONDIR: reserved (0), type (1 icon, 2 cursor), image count.
    uint8_t header[kHeaderSize];
    if (start < 0 || hFile->Read(header, 1, kHeaderSize) != kHeaderSize)
        return Fail(kNotIcon);
    const uint16_t type = ReadLE16(header, 2);
    const uint16_t count = ReadLE16(header, 4);
    if (ReadLE16(header, 0) != 0 || (type != 1 && type != 2))
        return Fail(kNotIcon);
    info.nNumFrames = count;
    std::vector<uint8_t> directory(static_cast<size_t>(count) * kEntrySize);
    if (hFile->Read(directory.data(), 1, directory.size()) != directory.size())
        return Fail(kCorrupted);
    if (info.nFrame < 0 || info.nFrame >= count)
        return Fail(kFrameOutOfRange);

    // ICONDIRENTRY: width, height, colours, reserved, planes, bit count, bytes, offset.
    const uint8_t* entry = directory.data() + static_cast<size_t>(info.nFrame) * kEntrySize;
    const uint32_t offset = ReadLE32(entry, 12);
    const int32_t size = hFile->Size();
    if (size >= 0 && (offset > static_cast<uint32_t>(size) || static_cast<uint32_t>(start) > size - offset))
        return Fail(kCorrupted);
    if (!hFile->Seek(static_cast<int32_t>(start + offset), 0))
        return Fail(kCorrupted);

    uint8_t dib[kInfoHeaderSize];
    if (hFile->Read(dib, 1, kInfoHeaderSize) != kInfoHeaderSize)
        return Fail(kCorrupted);
    if (memcmp(dib, kPngSignature, sizeof kPngSignature) == 0) {
        if (!hFile->Seek(static_cast<int32_t>(start + offset), 0))
            return Fail(kCorrupted);
        return DecodePngEntry(hFile, count);
    }

    // BITMAPINFOHEADER: its height covers the colour bitmap and the mask, so it is twice
    // the icon's. Its own sizes set the row layout, so they are taken over the directory's.
    const uint32_t headerSize = ReadLE32(dib, 0);
    const int32_t dibWidth = static_cast<int32_t>(ReadLE32(dib, 4));
    const int32_t dibHeight = static_cast<int32_t>(ReadLE32(dib, 8));
    const uint16_t bitCount = ReadLE16(dib, 14);
    const uint32_t compression = ReadLE32(dib, 16);
    const uint32_t colorsUsed = ReadLE32(dib, 32);
    if (headerSize < kInfoHeaderSize || headerSize > kMaxInfoHeaderSize || dibWidth <= 0 || dibHeight < 2)
        return Fail(kCorrupted);
    if (compression != 0 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return Fail(kUnsupported);
    if (headerSize > kInfoHeaderSize && !hFile->Seek(static_cast<int32_t>(headerSize - kInfoHeaderSize), 1))
        return Fail(kCorrupted);
    const uint32_t width = static_cast<uint32_t>(dibWidth);
    const uint32_t height = static_cast<uint32_t>(dibHeight) / 2;

    // Palette entries actually stored: biClrUsed when given, else the depth's full table.
    const uint32_t fullTable = bitCount <= 8 ? (1u << bitCount) : 0;
    const uint32_t storedColors = (colorsUsed != 0 && colorsUsed < fullTable) ? colorsUsed : fullTable;
    const uint64_t paletteBytes = uint64_t{storedColors} * 4;
    const uint64_t colorRowBytes = bitCount == 32 ? uint64_t{width} * 4 : (uint64_t{width} * bitCount + 31) / 32 * 4;
    const uint64_t colorBytes = colorRowBytes * height;
    // The colour bitmap must be present in full before anything is allocated; the mask may be short.
    const int32_t position = hFile->Tell();
    if (size >= 0 && position >= 0 &&
        (position > size || paletteBytes + colorBytes > static_cast<uint64_t>(size - position)))
        return Fail(kCorrupted);

    if (Create(width, height, bitCount, PICTURE_FORMAT_ICO) == nullptr)
        return false;
    info.nNumFrames = count;

    if (storedColors > 0) {
        std::vector<RGBQUAD> palette(storedColors);
        std::vector<uint8_t> raw(paletteBytes);
        const size_t got = hFile->Read(raw.data(), 1, raw.size());
        for (size_t i = 0; i < got / 4; ++i) {
            palette[i].rgbBlue = raw[4 * i];
            palette[i].rgbGreen = raw[4 * i + 1];
            palette[i].rgbRed = raw[4 * i + 2];
            palette[i].rgbReserved = raw[4 * i + 3];
        }
        SetPalette(palette.data(), storedColors);
    }

    if (bitCount == 32) {
        if (!AlphaCreate())
            return false;
        std::vector<uint8_t> row(static_cast<size_t>(colorRowBytes));
        for (uint32_t y = 0; y < height; ++y) {
            const size_t got = hFile->Read(row.data(), 1, row.size());
            memset(row.data() + got, 0, row.size() - got);
            BYTE* pixel = GetBits(y);
            for (uint32_t x = 0; x < width; ++x, pixel += 3) {
                pixel[0] = row[4 * x];
                pixel[1] = row[4 * x + 1];
                pixel[2] = row[4 * x + 2];
                AlphaSet(static_cast<long>(x), static_cast<long>(y), row[4 * x + 3]);
            }
        }
    } else {
        const size_t imageBytes = head.biSizeImage;
        const size_t got = hFile->Read(GetBits(0), 1, imageBytes);
        memset(GetBits(0) + got, 0, imageBytes - got);
    }

    // AND mask: 1 bit per pixel, bottom-up, 1 = transparent. A missing mask leaves the icon opaque.
    const size_t maskRow = MaskRowBytes(width);
    std::vector<uint8_t> mask(maskRow * height, 0);
    const size_t maskGot = hFile->Read(mask.data(), 1, mask.size());
    if (maskGot == 0)
        return true;

    bool allMasked = true;
    for (uint8_t byte : mask) {
        if (byte != 0xFF) {
            allMasked = false;
            break;
        }
    }
    auto isMasked = [&](uint32_t x, uint32_t y) { return (mask[y * maskRow + x / 8] & (0x80 >> (x % 8))) != 0; };

    if (allMasked) {
        // A mask without any opaque pixel: the colour bitmap acts on the screen as an XOR
        // image. Icons with their own alpha keep it as the authority and are left as they are.
        if (bitCount != 32) {
            info.nBkgndIndex = 0;
            Negative(*this);
        }
        return true;
    }

    const bool hadAlpha = AlphaIsValid();
    if (!hadAlpha && !AlphaCreate())
        return false;
    bool anyMasked = false;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (isMasked(x, y)) {
                AlphaSet(static_cast<long>(x), static_cast<long>(y), 0);
                anyMasked = true;
            }
        }
    }
    if (!anyMasked && !hadAlpha)
        AlphaDelete();

    if (bitCount == 24 && anyMasked) {
        // One colour under the whole mask becomes the transparent colour.
        bool single = true;
        bool first = true;
        RGBQUAD maskedColor{};
        for (uint32_t y = 0; y < height && single; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                if (!isMasked(x, y))
                    continue;
                const RGBQUAD color = GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
                if (first) {
                    maskedColor = color;
                    first = false;
                } else if (!(color == maskedColor)) {
                    single = false;
                    break;
                }
            }
        }
        if (single) {
            info.nBkgndColor = maskedColor;
            info.nBkgndIndex = 0;
            AlphaDelete();
        }
    } else if (bitCount <= 8) {
        // An index no pixel uses becomes the transparent index of the masked pixels.
        std::vector<bool> used(GetNumColors(), false);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const BYTE index = GetPixelIndex(static_cast<long>(x), static_cast<long>(y));
                if (index < used.size())
                    used[index] = true;
            }
        }
        for (size_t index = 0; index < used.size(); ++index) {
            if (used[index])
                continue;
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; ++x) {
                    if (isMasked(x, y))
                        SetPixelIndex(static_cast<long>(x), static_cast<long>(y), static_cast<BYTE>(index));
                }
            }
            if (anyMasked)
                info.nBkgndIndex = static_cast<int32_t>(index);
            AlphaDelete();
            break;
        }
    }
    return true;
}

bool CPictureICO::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    if (width > kMaxSavedSide || height > kMaxSavedSide)
        return Fail(kCannotSave);
    const WORD bpp = GetBpp();
    if (bpp <= 8 && GetNumColors() == 0)
        return false;

    const bool withAlpha = bpp == 24 && AlphaIsValid();
    const uint32_t bitCount = withAlpha ? 32 : bpp;
    const uint32_t imageBytes = withAlpha ? width * height * 4 : head.biSizeImage;
    const size_t maskRow = MaskRowBytes(width);
    const uint32_t maskBytes = static_cast<uint32_t>(maskRow * height);
    const uint32_t paletteBytes = GetPaletteSize();

    std::vector<uint8_t> out;
    PutLE16(out, 0);
    PutLE16(out, 1);
    PutLE16(out, 1);
    out.push_back(static_cast<uint8_t>(width));
    out.push_back(static_cast<uint8_t>(height));
    out.push_back(static_cast<uint8_t>(GetNumColors()));
    out.push_back(0);
    PutLE16(out, 0);
    PutLE16(out, bitCount);
    PutLE32(out, imageBytes + paletteBytes + maskBytes + static_cast<uint32_t>(kInfoHeaderSize));
    PutLE32(out, static_cast<uint32_t>(kHeaderSize + kEntrySize));
    PutLE32(out, static_cast<uint32_t>(kInfoHeaderSize));
    PutLE32(out, width);
    PutLE32(out, height * 2);
    PutLE16(out, 1);
    PutLE16(out, bitCount);
    PutLE32(out, 0);
    PutLE32(out, imageBytes);
    for (int i = 0; i < 4; ++i)
        PutLE32(out, 0);
    hFile->Write(out.data(), 1, out.size());
    if (paletteBytes > 0)
        hFile->Write(GetPalette(), 1, paletteBytes);

    if (withAlpha) {
        std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
        for (DWORD y = 0; y < height; ++y) {
            const BYTE* pixel = GetBits(y);
            for (DWORD x = 0; x < width; ++x, pixel += 3) {
                row[4 * x] = pixel[0];
                row[4 * x + 1] = pixel[1];
                row[4 * x + 2] = pixel[2];
                row[4 * x + 3] = AlphaGet(static_cast<long>(x), static_cast<long>(y));
            }
            hFile->Write(row.data(), 1, row.size());
        }
    } else {
        hFile->Write(GetBits(0), 1, head.biSizeImage);
    }

    // AND mask from the alpha plane, palette alpha and the transparent colour or index.
    const bool paletteAlpha = AlphaPaletteIsValid();
    const bool transparent = info.nBkgndIndex != -1;
    const RGBQUAD transColor = GetTransColor();
    std::vector<uint8_t> mask(maskBytes, 0);
    for (DWORD y = 0; y < height; ++y) {
        for (DWORD x = 0; x < width; ++x) {
            const long px = static_cast<long>(x);
            const long py = static_cast<long>(y);
            bool masked = AlphaIsValid() && AlphaGet(px, py) == 0;
            if (!masked && paletteAlpha)
                masked = GetPaletteColor(GetPixelIndex(px, py)).rgbReserved == 0;
            if (!masked && transparent)
                masked = GetPixelColor(px, py) == transColor;
            if (masked)
                mask[y * maskRow + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    hFile->Write(mask.data(), 1, mask.size());
    return true;
}
