// Wireless bitmap (WBMP type 0) decoder and encoder.
#include "image/formats/PictureWBMP.h"

#include "image/Stream.h"

#include <cstring>
#include <vector>

namespace {

constexpr char kNotWbmp[] = "Not a WBMP";
constexpr char kUnsupportedType[] = "Unsupported WBMP type";
constexpr char kCorrupted[] = "Corrupted WBMP";
constexpr char kCreateFailed[] = "WBMP Create failed";
constexpr char kCannotSave[] = "Can't save this image as WBMP";

constexpr DWORD kMaxSavedSide = 255;
// Four 7-bit groups already exceed any size the picture object accepts.
constexpr int kMaxMultiByteLength = 4;

// WAP WBMP multi-byte integer: 7 bits per byte, most significant group first,
// bit 7 set on every byte but the last. Sizes below 128 are a single byte.
bool ReadMultiByte(CStream* stream, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < kMaxMultiByteLength; ++i) {
        uint8_t byte = 0;
        if (stream->Read(&byte, 1, 1) != 1)
            return false;
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

void AppendMultiByte(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t groups[kMaxMultiByteLength + 1];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < kMaxMultiByteLength + 1);
    for (int i = count - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(groups[i] | (i > 0 ? 0x80 : 0)));
}

}  // namespace

bool CPictureWBMP::Decode(CStream* hFile)
{
    if (hFile == nullptr)
        return Fail(kNotWbmp);

    // Byte 0: type, byte 1: fixed header (ignored), then width and height.
    uint8_t type = 0;
    uint8_t fixedHeader = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    if (hFile->Read(&type, 1, 1) != 1 || hFile->Read(&fixedHeader, 1, 1) != 1 || !ReadMultiByte(hFile, width) ||
        !ReadMultiByte(hFile, height))
        return Fail(kNotWbmp);
    if (type != 0)
        return Fail(kUnsupportedType);
    if (width == 0 || height == 0)
        return Fail(kCorrupted);

    // The rows must all be present before anything is allocated, so a lying header
    // on a short file is refused instead of allocating its claimed size.
    const uint64_t rowBytes = (static_cast<uint64_t>(width) + 7) / 8;
    const uint64_t dataBytes = rowBytes * height;
    const int32_t size = hFile->Size();
    const int32_t position = hFile->Tell();
    if (size >= 0 && position >= 0 && (position > size || dataBytes > static_cast<uint64_t>(size - position)))
        return Fail(kCorrupted);

    if (Create(width, height, 1, PICTURE_FORMAT_WBMP) == nullptr)
        return Fail(kCreateFailed);
    SetGrayPalette();

    // Rows are stored from the top; memory rows run bottom-up.
    for (uint32_t y = 0; y < height; ++y) {
        BYTE* row = GetBits(height - 1 - y);
        const size_t got = hFile->Read(row, 1, rowBytes);
        if (got < rowBytes)
            memset(row + got, 0, rowBytes - got);
    }
    return true;
}

bool CPictureWBMP::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    if (width > kMaxSavedSide || height > kMaxSavedSide || GetBpp() != 1)
        return Fail(kCannotSave);

    // Sizes of 128 and above need the two-byte form, or other readers misread them.
    std::vector<uint8_t> header = {0, 0};
    AppendMultiByte(header, width);
    AppendMultiByte(header, height);
    hFile->Write(header.data(), 1, header.size());

    // A set bit means white in the file. Pictures whose entry 0 is the brighter one are
    // written with their bits inverted, or they would come back as their negative.
    auto luminance = [](RGBQUAD c) { return (117 * c.rgbBlue + 601 * c.rgbGreen + 306 * c.rgbRed) >> 10; };
    const bool invert = luminance(GetPaletteColor(0)) > luminance(GetPaletteColor(1));
    const size_t rowBytes = (width + 7) / 8;
    std::vector<uint8_t> row(rowBytes);
    for (DWORD y = 0; y < height; ++y) {
        memcpy(row.data(), GetBits(height - 1 - y), rowBytes);
        if (invert) {
            for (uint8_t& byte : row)
                byte = static_cast<uint8_t>(~byte);
        }
        hFile->Write(row.data(), 1, rowBytes);
    }
    return true;
}
