// Targa decoder and encoder (uncompressed and run-length types 1-3 and 9-11).
#include "image/formats/PictureTGA.h"

#include "image/Messages.h"
#include "platform/base/ByteOrder.h"

#include "image/Stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char kNotTga[] = "Not a TGA";
constexpr char kUnknownType[] = "Unknown TGA image type";
constexpr char kBadHeader[] = "bad TGA header";
constexpr char kCreateFailed[] = "TGA Create failed";
constexpr char kCorrupted[] = "corrupted TGA";
constexpr char kBadDepth[] = "Bit depth must be 8 or 24";
constexpr char kTooLarge[] = "Can't save this image as TGA";

constexpr size_t kHeaderSize = 18;
constexpr int kMaxColorMapLength = 256;
// One run packet (header plus one pixel value) covers at most 128 pixels.
constexpr uint64_t kMaxRunPixels = 128;

struct TgaHeader {
    uint8_t idLength;        // Bytes of the identification field after the header.
    uint8_t colorMapType;    // Non-zero: a colour map follows the identification field.
    uint8_t imageType;       // 1 mapped, 2 true colour, 3 grey; +8 run-length encoded.
    uint16_t colorMapFirst;  // Palette index of the first map entry.
    uint16_t colorMapLength;
    uint8_t colorMapEntrySize;  // Bits per map entry: 15, 16, 24 or 32.
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;  // 8, 15, 16, 24 or 32.
    uint8_t descriptor;  // Bit 4: right-to-left, bit 5: top-down.
};

TgaHeader ParseHeader(const uint8_t* raw)
{
    TgaHeader header{};
    header.idLength = raw[0];
    header.colorMapType = raw[1];
    header.imageType = raw[2];
    header.colorMapFirst = ReadLE16(raw, 3);
    header.colorMapLength = ReadLE16(raw, 5);
    header.colorMapEntrySize = raw[7];
    header.width = ReadLE16(raw, 12);
    header.height = ReadLE16(raw, 14);
    header.pixelDepth = raw[16];
    header.descriptor = raw[17];
    return header;
}

bool IsGreyType(uint8_t imageType)
{
    return imageType == 3 || imageType == 11;
}

// Little-endian 5-5-5 pixel: the top (attribute) bit is ignored.
RGBQUAD Expand555(uint8_t low, uint8_t high)
{
    const uint32_t word = static_cast<uint32_t>(low | (high << 8));
    RGBQUAD color;
    color.rgbBlue = static_cast<BYTE>(word << 3);
    color.rgbGreen = static_cast<BYTE>((word >> 2) & 0xF8);
    color.rgbRed = static_cast<BYTE>((word >> 7) & 0xF8);
    return color;
}

// Writes pixels of one file row into their memory row and the alpha plane.
class RowWriter {
public:
    RowWriter(CPicture& picture, const TgaHeader& header)
        : m_Picture(picture), m_Depth(header.pixelDepth),
          m_GreyAlpha(header.pixelDepth == 16 && IsGreyType(header.imageType)),
          m_BytesPerPixel((header.pixelDepth + 7) / 8)
    {}

    size_t BytesPerPixel() const { return m_BytesPerPixel; }

    void Store(long memoryRow, long x, const uint8_t* value)
    {
        BYTE* row = m_Picture.GetBits(static_cast<DWORD>(memoryRow));
        if (m_Depth == 8) {
            row[x] = value[0];
            return;
        }
        BYTE* pixel = row + 3 * x;
        if (m_GreyAlpha) {
            // Grey types at 16 bits carry luminance then alpha.
            pixel[0] = pixel[1] = pixel[2] = value[0];
            m_Picture.AlphaSet(x, memoryRow, value[1]);
        } else if (m_BytesPerPixel == 2) {
            const RGBQUAD color = Expand555(value[0], value[1]);
            pixel[0] = color.rgbBlue;
            pixel[1] = color.rgbGreen;
            pixel[2] = color.rgbRed;
        } else {
            pixel[0] = value[0];
            pixel[1] = value[1];
            pixel[2] = value[2];
            if (m_BytesPerPixel == 4)
                m_Picture.AlphaSet(x, memoryRow, value[3]);
        }
    }

private:
    CPicture& m_Picture;
    int m_Depth;
    bool m_GreyAlpha;
    size_t m_BytesPerPixel;
};

// A run-length packet may continue into the next row; its remainder is carried here.
struct PacketState {
    uint32_t remaining = 0;
    bool isRun = false;
    uint8_t value[4] = {};
};

// Reads count raw pixels starting at column x; false on a short read.
bool ExpandUncompressedLine(RowWriter& writer, CStream* stream, long memoryRow, long x, uint32_t count,
                            std::vector<uint8_t>& scratch)
{
    const size_t bytes = writer.BytesPerPixel() * count;
    scratch.resize(bytes);
    const size_t got = stream->Read(scratch.data(), 1, bytes);
    const size_t whole = got / writer.BytesPerPixel();
    for (size_t i = 0; i < whole; ++i)
        writer.Store(memoryRow, x + static_cast<long>(i), scratch.data() + i * writer.BytesPerPixel());
    return got == bytes;
}

bool ExpandCompressedLine(RowWriter& writer, CStream* stream, long memoryRow, uint32_t width, PacketState& packet,
                          std::vector<uint8_t>& scratch)
{
    uint32_t x = 0;
    while (x < width) {
        if (packet.remaining == 0) {
            uint8_t header = 0;
            if (stream->Read(&header, 1, 1) != 1)
                return false;
            packet.isRun = (header & 0x80) != 0;
            packet.remaining = (header & 0x7F) + 1u;
            if (packet.isRun && stream->Read(packet.value, 1, writer.BytesPerPixel()) != writer.BytesPerPixel()) {
                packet.remaining = 0;
                return false;
            }
        }
        const uint32_t count = std::min(packet.remaining, width - x);
        if (packet.isRun) {
            for (uint32_t i = 0; i < count; ++i)
                writer.Store(memoryRow, static_cast<long>(x + i), packet.value);
        } else if (!ExpandUncompressedLine(writer, stream, memoryRow, static_cast<long>(x), count, scratch)) {
            packet.remaining = 0;
            return false;
        }
        packet.remaining -= count;
        x += count;
    }
    return true;
}

}  // namespace

bool CPictureTGA::Decode(CStream* hFile)
{
    if (hFile == nullptr)
        return Fail(kNotTga);
    uint8_t raw[kHeaderSize];
    if (hFile->Read(raw, 1, kHeaderSize) != kHeaderSize)
        return Fail(kNotTga);
    const TgaHeader header = ParseHeader(raw);

    switch (header.imageType) {
    case 1:
    case 2:
    case 3:
    case 9:
    case 10:
    case 11:
        break;
    default:
        return Fail(kUnknownType);
    }
    const bool compressed = header.imageType > 8;
    if (header.width == 0 || header.height == 0 || header.pixelDepth == 0 || header.colorMapLength > kMaxColorMapLength)
        return Fail(kBadHeader);
    if (header.pixelDepth != 8 && header.pixelDepth != 15 && header.pixelDepth != 16 && header.pixelDepth != 24 &&
        header.pixelDepth != 32)
        return Fail(kBadHeader);

    if (header.idLength > 0 && !hFile->Seek(header.idLength, 1))
        return Fail(kCorrupted);

    // Refuse before allocating when the file cannot hold the map and the smallest
    // possible pixel data for the size it claims.
    const size_t mapEntryBytes = (header.colorMapEntrySize + 7u) / 8u;
    const uint64_t mapBytes = header.colorMapType != 0 ? uint64_t{header.colorMapLength} * mapEntryBytes : 0;
    const uint64_t bytesPerPixel = (header.pixelDepth + 7u) / 8u;
    const uint64_t pixels = uint64_t{header.width} * header.height;
    const uint64_t minimumPixelBytes =
        compressed ? (pixels + kMaxRunPixels - 1) / kMaxRunPixels * (1 + bytesPerPixel) : pixels * bytesPerPixel;
    const int32_t size = hFile->Size();
    const int32_t position = hFile->Tell();
    if (size >= 0 && position >= 0 &&
        (position > size || mapBytes + minimumPixelBytes > static_cast<uint64_t>(size - position)))
        return Fail(kCorrupted);

    if (Create(header.width, header.height, header.pixelDepth, PICTURE_FORMAT_TGA) == nullptr)
        return Fail(kCreateFailed);
    const bool greyAlpha = header.pixelDepth == 16 && IsGreyType(header.imageType);
    if ((header.pixelDepth == 32 || greyAlpha) && !AlphaCreate())
        return Fail(kCreateFailed);
    // Pixels a truncated file never reaches stay black instead of undefined.
    Clear(0);
    if (info.nEscape != 0)
        return Fail(kCancelledMessage);

    if (header.colorMapType != 0 && mapBytes > 0) {
        std::vector<uint8_t> map(mapBytes);
        const size_t got = hFile->Read(map.data(), 1, map.size());
        const size_t entries = got / mapEntryBytes;
        for (size_t i = 0; i < entries; ++i) {
            const size_t index = header.colorMapFirst + i;
            if (index >= GetNumColors())
                break;
            const uint8_t* entry = map.data() + i * mapEntryBytes;
            if (mapEntryBytes == 2) {
                SetPaletteColor(static_cast<BYTE>(index), Expand555(entry[0], entry[1]));
            } else if (mapEntryBytes >= 3) {
                SetPaletteColor(static_cast<BYTE>(index), entry[2], entry[1], entry[0]);
            }
        }
    }
    if (IsGreyType(header.imageType))
        SetGrayPalette();

    const bool rightToLeft = (header.descriptor & 0x10) != 0;
    const bool topDown = (header.descriptor & 0x20) != 0;
    RowWriter writer(*this, header);
    PacketState packet;
    std::vector<uint8_t> scratch;
    for (uint32_t y = 0; y < header.height; ++y) {
        if (info.nEscape != 0)
            return Fail(kCancelledMessage);
        // A packet carried over from the previous row needs no further data.
        if (packet.remaining == 0 && hFile->Eof())
            return Fail(kCorrupted);
        const long memoryRow = topDown ? static_cast<long>(header.height - 1 - y) : static_cast<long>(y);
        // A short read leaves the rest of the row black; the next row then sees the end.
        if (compressed)
            ExpandCompressedLine(writer, hFile, memoryRow, header.width, packet, scratch);
        else
            ExpandUncompressedLine(writer, hFile, memoryRow, 0, header.width, scratch);
    }
    if (rightToLeft)
        Mirror();
    return true;
}

bool CPictureTGA::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    const WORD bpp = GetBpp();
    if (bpp < 8)
        return Fail(kBadDepth);
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    // The header holds 16-bit sizes; a larger picture would be written corrupt.
    if (width > 0xFFFF || height > 0xFFFF)
        return Fail(kTooLarge);

    const bool withAlpha = bpp == 24 && AlphaIsValid();
    uint8_t raw[kHeaderSize] = {};
    raw[1] = GetNumColors() != 0 ? 1 : 0;
    raw[2] = bpp == 8 ? 1 : 2;
    WriteLE16(raw, 5, bpp == 8 ? 256 : 0);
    raw[7] = bpp == 8 ? 24 : 0;
    WriteLE16(raw, 12, width);
    WriteLE16(raw, 14, height);
    raw[16] = static_cast<uint8_t>(withAlpha ? 32 : bpp);
    raw[17] = 0;
    hFile->Write(raw, 1, kHeaderSize);

    if (bpp == 8) {
        uint8_t map[256 * 3] = {};
        const RGBQUAD* palette = GetPalette();
        for (DWORD i = 0; palette != nullptr && i < 256 && i < GetNumColors(); ++i) {
            map[3 * i] = palette[i].rgbBlue;
            map[3 * i + 1] = palette[i].rgbGreen;
            map[3 * i + 2] = palette[i].rgbRed;
        }
        hFile->Write(map, 1, sizeof map);
    }

    if (!withAlpha) {
        const size_t rowBytes = static_cast<size_t>(width) * (bpp / 8);
        for (DWORD y = 0; y < height; ++y)
            hFile->Write(GetBits(y), 1, rowBytes);
        return true;
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    for (DWORD y = 0; y < height; ++y) {
        for (DWORD x = 0; x < width; ++x) {
            const RGBQUAD color = GetPixelColor(static_cast<long>(x), static_cast<long>(y));
            row[4 * x] = color.rgbBlue;
            row[4 * x + 1] = color.rgbGreen;
            row[4 * x + 2] = color.rgbRed;
            row[4 * x + 3] =
                static_cast<uint8_t>(AlphaGet(static_cast<long>(x), static_cast<long>(y)) * info.nAlphaMax / 255);
        }
        hFile->Write(row.data(), 1, row.size());
    }
    return true;
}
