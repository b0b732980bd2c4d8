// PCX decoder and encoder with the format's run-length coding.
#include "image/formats/PicturePCX.h"

#include "image/Messages.h"
#include "platform/base/ByteOrder.h"

#include "image/MemStream.h"
#include "image/Stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char kCannotRead[] = "Can't read PCX image";
constexpr char kNotPcx[] = "Error: Not a PCX file";
constexpr char kUnknownEncoding[] = "PCX file has unknown encoding scheme";
constexpr char kTooManyPlanes[] = "Can't handle image with more than 4 planes";
constexpr char kCorrupted[] = "corrupted PCX";
constexpr char kRepeatSpansEnd[] = "repeat count spans end of image";
constexpr char kBadColorMap[] = "bad color map signature";
constexpr char kPackedPlanes[] = "Can't handle packed pixels with more than 1 plane.";
constexpr char kPlanesOver4[] = "Can't handle more than 4 planes";
constexpr char kBitsOver1[] = "Can't handle more than 1 bit per pixel";
constexpr char kLineTooShort[] = "PCX bytes per line too small for its width";
constexpr char kUnknownDepth[] = "PCX file has unknown bits per pixel";
constexpr char kCannotWriteHeader[] = "cannot write PCX header";
constexpr char kSizeOutOfRange[] = "PCX cannot hold a picture of this size";

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kPaletteSignature = 12;
constexpr int kMaxRun = 63;

// The run-length stream is one sequence over all rows; a run may continue into the next row.
class RunDecoder {
public:
    RunDecoder(CStream* stream, uint64_t expected) : m_Stream(stream), m_Left(expected) {}

    // Fills one row of bytes; answers an error text or null.
    const char* Fill(BYTE* row, size_t length)
    {
        size_t position = 0;
        while (position < length) {
            if (m_RunLeft > 0) {
                const size_t count = std::min<size_t>(m_RunLeft, length - position);
                memset(row + position, m_RunValue, count);
                m_RunLeft -= static_cast<uint32_t>(count);
                position += count;
                continue;
            }
            const int byte = m_Stream->GetC();
            if (byte < 0)
                return kCorrupted;
            if (byte < 0xC0) {
                row[position++] = static_cast<BYTE>(byte);
                --m_Left;
                continue;
            }
            const uint32_t count = static_cast<uint32_t>(byte & 0x3F);
            const int value = m_Stream->GetC();
            if (value < 0)
                return kCorrupted;
            if (count > m_Left)
                return kRepeatSpansEnd;
            m_Left -= count;
            m_RunLeft = count;
            m_RunValue = static_cast<BYTE>(value);
        }
        return nullptr;
    }

private:
    CStream* m_Stream;
    uint64_t m_Left;         // Bytes of the whole image still expected.
    uint32_t m_RunLeft = 0;  // Bytes of the current run not yet stored.
    BYTE m_RunValue = 0;
};

}  // namespace

const char* CPicturePCX::PCX_PlanesToPixels(BYTE* pixels, const BYTE* bitplanes, int bytesperline, int planes,
                                            int bitsperpixel)
{
    if (planes > 4)
        return kPlanesOver4;
    if (bitsperpixel != 1)
        return kBitsOver1;
    memset(pixels, 0, static_cast<size_t>(bytesperline) * 8);
    for (int plane = 0; plane < planes; ++plane) {
        const BYTE* bits = bitplanes + static_cast<size_t>(plane) * bytesperline;
        for (int i = 0; i < bytesperline; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                if (bits[i] & (0x80 >> bit))
                    pixels[i * 8 + bit] |= static_cast<BYTE>(1 << plane);
            }
        }
    }
    return nullptr;
}

const char* CPicturePCX::PCX_UnpackPixels(BYTE* pixels, const BYTE* bitplanes, int bytesperline, int planes,
                                          int bitsperpixel)
{
    if (planes != 1)
        return kPackedPlanes;
    switch (bitsperpixel) {
    case 8:
        memcpy(pixels, bitplanes, static_cast<size_t>(bytesperline));
        break;
    case 4:
        for (int i = 0; i < bytesperline; ++i) {
            *pixels++ = static_cast<BYTE>(bitplanes[i] >> 4);
            *pixels++ = static_cast<BYTE>(bitplanes[i] & 0x0F);
        }
        break;
    case 2:
        for (int i = 0; i < bytesperline; ++i) {
            for (int shift = 6; shift >= 0; shift -= 2)
                *pixels++ = static_cast<BYTE>((bitplanes[i] >> shift) & 0x03);
        }
        break;
    case 1:
        for (int i = 0; i < bytesperline; ++i) {
            for (int shift = 7; shift >= 0; --shift)
                *pixels++ = static_cast<BYTE>((bitplanes[i] >> shift) & 0x01);
        }
        break;
    default:
        return kUnknownDepth;
    }
    return nullptr;
}

bool CPicturePCX::Decode(CStream* hFile)
{
    if (hFile == nullptr)
        return Fail(kCannotRead);
    // ZSoft PCX header, 128 bytes little-endian.
    uint8_t raw[kHeaderSize];
    if (hFile->Read(raw, 1, kHeaderSize) != kHeaderSize)
        return Fail(kCannotRead);
    const uint8_t manufacturer = raw[0];
    const uint8_t encoding = raw[2];
    const int bitsPerPixel = raw[3];
    const uint16_t xMin = ReadLE16(raw, 4);
    const uint16_t yMin = ReadLE16(raw, 6);
    const uint16_t xMax = ReadLE16(raw, 8);
    const uint16_t yMax = ReadLE16(raw, 10);
    const int planes = raw[65];
    const int bytesPerLine = ReadLE16(raw, 66);
    if (manufacturer != kManufacturer)
        return Fail(kNotPcx);
    if (encoding != 1)
        return Fail(kUnknownEncoding);

    // The window's corners are inclusive: a maximum below the minimum describes no picture,
    // and 0..65535 is a full 65536 pixels, not a wrapped-around zero.
    if (xMax < xMin || yMax < yMin)
        return Fail(kCorrupted);
    const DWORD width = DWORD{xMax} - xMin + 1;
    const DWORD height = DWORD{yMax} - yMin + 1;
    info.xDPI = ReadLE16(raw, 12);
    info.yDPI = ReadLE16(raw, 14);
    if (planes > 4)
        return Fail(kTooManyPlanes);
    if (planes == 0)
        return Fail(kCorrupted);

    const bool trueColor = bitsPerPixel == 8 && (planes == 3 || planes == 4);
    if (planes == 1 && bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 4 && bitsPerPixel != 8)
        return Fail(kUnknownDepth);
    if (planes > 1 && !trueColor && bitsPerPixel != 1)
        return Fail(kBitsOver1);

    // Every plane row must hold the picture's width, or rows would be read short.
    const uint64_t bitsPerPlaneRow =
        planes == 1 ? uint64_t{width} * bitsPerPixel : uint64_t{width} * (trueColor ? 8 : 1);
    if (uint64_t{static_cast<uint32_t>(bytesPerLine)} * 8 < bitsPerPlaneRow)
        return Fail(kLineTooShort);

    // Refuse before allocating when the file cannot hold the run-length data the header
    // claims: two bytes give at most 63 bytes of image data.
    const size_t rowBytes = static_cast<size_t>(planes) * bytesPerLine;
    const uint64_t expected = uint64_t{rowBytes} * height;
    const int32_t size = hFile->Size();
    const int32_t position = hFile->Tell();
    if (size >= 0 && position >= 0 &&
        (position > size || (expected + kMaxRun - 1) / kMaxRun * 2 > static_cast<uint64_t>(size - position) + 1))
        return Fail(kCorrupted);

    DWORD depth = static_cast<DWORD>(bitsPerPixel);
    if (trueColor)
        depth = 24;
    else if (bitsPerPixel == 1 && planes == 4)
        depth = 4;
    if (Create(width, height, depth, PICTURE_FORMAT_PCX) == nullptr)
        return false;
    if (planes == 4 && trueColor && !AlphaCreate())
        return false;
    if (info.nEscape != 0)
        return Fail(kCancelledMessage);

    std::vector<BYTE> row(rowBytes);
    std::vector<BYTE> indices(static_cast<size_t>(bytesPerLine) * 8);
    RunDecoder runs(hFile, expected);
    for (DWORD y = 0; y < height; ++y) {
        if (info.nEscape != 0)
            return Fail(kCancelledMessage);
        if (const char* error = runs.Fill(row.data(), row.size()))
            return Fail(error);
        const long memoryRow = static_cast<long>(height - 1 - y);
        if (trueColor) {
            BYTE* pixel = GetBits(static_cast<DWORD>(memoryRow));
            for (DWORD x = 0; x < width; ++x, pixel += 3) {
                pixel[0] = row[2 * static_cast<size_t>(bytesPerLine) + x];
                pixel[1] = row[static_cast<size_t>(bytesPerLine) + x];
                pixel[2] = row[x];
                if (planes == 4)
                    AlphaSet(static_cast<long>(x), memoryRow, row[3 * static_cast<size_t>(bytesPerLine) + x]);
            }
            continue;
        }
        const char* error = planes == 1
                                ? PCX_UnpackPixels(indices.data(), row.data(), bytesPerLine, planes, bitsPerPixel)
                                : PCX_PlanesToPixels(indices.data(), row.data(), bytesPerLine, planes, bitsPerPixel);
        if (error != nullptr)
            return Fail(error);
        for (DWORD x = 0; x < width; ++x)
            SetPixelIndex(static_cast<long>(x), memoryRow, indices[x]);
    }

    if (GetNumColors() != 0) {
        // Header colour map (16 entries), replaced by the trailing VGA palette for 8-bit files.
        uint8_t table[256 * 3] = {};
        memcpy(table, raw + 16, 48);
        if (bitsPerPixel == 8 && planes == 1) {
            if (hFile->GetC() != kPaletteSignature)
                return Fail(kBadColorMap);
            hFile->Read(table, 1, sizeof table);
        } else if (bitsPerPixel == 1 && planes == 1) {
            memset(table, 0, 6);
            memset(table + 3, 0xFF, 3);
        }
        SetPalette(table, GetNumColors());
    }
    return true;
}

void CPicturePCX::PCX_PackPixels(int value, int& lastValue, int& runCount, CStream* stream)
{
    if (value != lastValue && runCount > 0) {
        if (runCount == 1 && lastValue < 0xC0) {
            stream->PutC(static_cast<uint8_t>(lastValue));
        } else {
            stream->PutC(static_cast<uint8_t>(0xC0 | runCount));
            stream->PutC(static_cast<uint8_t>(lastValue));
        }
        runCount = 0;
    }
    if (runCount == kMaxRun) {
        stream->PutC(0xFF);
        stream->PutC(static_cast<uint8_t>(lastValue));
        runCount = 0;
    }
    if (value == -2)
        stream->PutC(0);
    lastValue = value;
    ++runCount;
}

void CPicturePCX::PCX_PackPlanes(const BYTE* buffer, int length, CStream* stream)
{
    auto writeRun = [stream](BYTE value, int count) {
        if (count > 1 || value >= 0xC0) {
            stream->PutC(static_cast<uint8_t>(0xC0 | count));
            stream->PutC(value);
        } else {
            stream->PutC(value);
        }
    };
    if (length <= 0)
        return;
    BYTE current = buffer[0];
    int count = 1;
    for (int i = 1; i < length; ++i) {
        if (buffer[i] == current && count < kMaxRun) {
            ++count;
            continue;
        }
        writeRun(current, count);
        current = buffer[i];
        count = 1;
    }
    writeRun(current, count);
}

void CPicturePCX::PCX_PixelsToPlanes(const BYTE* pixels, int width, BYTE* bitplanes, int plane)
{
    const int bytes = (width + 7) / 8;
    memset(bitplanes, 0, static_cast<size_t>(bytes));
    for (int x = 0; x < width; ++x) {
        if (pixels[x] & (1 << plane))
            bitplanes[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    }
}

bool CPicturePCX::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    const WORD bpp = GetBpp();
    const bool hasPalette = GetNumColors() != 0;

    uint8_t raw[kHeaderSize] = {};
    raw[0] = kManufacturer;
    raw[1] = 5;
    raw[2] = 1;
    WriteLE16(raw, 8, width - 1);
    WriteLE16(raw, 10, height - 1);
    WriteLE16(raw, 12, static_cast<uint32_t>(info.xDPI));
    WriteLE16(raw, 14, static_cast<uint32_t>(info.yDPI));
    WriteLE16(raw, 68, hasPalette ? 0 : 1);

    int planes = 1;
    uint32_t bytesPerLine = 0;
    if (bpp >= 8) {
        raw[3] = 8;
        planes = hasPalette ? 1 : (AlphaIsValid() ? 4 : 3);
        bytesPerLine = width;
    } else {
        raw[3] = 1;
        planes = GetNumColors() == 16 ? 4 : 1;
        bytesPerLine = (width + 7) / 8;
    }
    bytesPerLine += bytesPerLine & 1;
    // The header's corners and its bytes per line are 16-bit fields.
    constexpr DWORD kMaxSide = 65536;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || bytesPerLine > 0xFFFF)
        return Fail(kSizeOutOfRange);
    raw[65] = static_cast<uint8_t>(planes);
    WriteLE16(raw, 66, bytesPerLine);
    if (bpp == 1 && planes == 1) {
        memset(raw + 19, 0xFF, 3);
    } else if (planes == 4 && bpp < 8) {
        for (int i = 0; i < 16; ++i) {
            const RGBQUAD color = GetPaletteColor(static_cast<BYTE>(i));
            raw[16 + 3 * i] = color.rgbRed;
            raw[17 + 3 * i] = color.rgbGreen;
            raw[18 + 3 * i] = color.rgbBlue;
        }
    }
    if (hFile->Write(raw, 1, kHeaderSize) != kHeaderSize)
        return Fail(kCannotWriteHeader);

    CMemStream buffer;
    buffer.Open();
    const int pad = (width & 1) ? -2 : -1;
    if (bpp == 24) {
        for (long y = static_cast<long>(height) - 1; y >= 0; --y) {
            for (int plane = 0; plane < planes; ++plane) {
                int lastValue = 0;
                int runCount = 0;
                for (DWORD x = 0; x < width; ++x) {
                    int value = 0;
                    if (plane == 3) {
                        value = AlphaGet(static_cast<long>(x), y);
                    } else {
                        const RGBQUAD color = GetPixelColor(static_cast<long>(x), y);
                        value = plane == 0 ? color.rgbRed : (plane == 1 ? color.rgbGreen : color.rgbBlue);
                    }
                    PCX_PackPixels(value, lastValue, runCount, &buffer);
                }
                PCX_PackPixels(pad, lastValue, runCount, &buffer);
            }
        }
    } else if (bpp == 8) {
        for (long y = static_cast<long>(height) - 1; y >= 0; --y) {
            int lastValue = 0;
            int runCount = 0;
            for (DWORD x = 0; x < width; ++x)
                PCX_PackPixels(GetPixelIndex(static_cast<long>(x), y), lastValue, runCount, &buffer);
            PCX_PackPixels(pad, lastValue, runCount, &buffer);
        }
        buffer.PutC(kPaletteSignature);
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD color = GetPaletteColor(static_cast<BYTE>(i));
            buffer.PutC(color.rgbRed);
            buffer.PutC(color.rgbGreen);
            buffer.PutC(color.rgbBlue);
        }
    } else {
        // 1-bit pictures are written so that a set bit means white.
        bool invert = false;
        if (bpp == 1) {
            auto luminance = [](RGBQUAD c) { return (117 * c.rgbBlue + 601 * c.rgbGreen + 306 * c.rgbRed) >> 10; };
            invert = luminance(GetPaletteColor(0)) > luminance(GetPaletteColor(1));
        }
        std::vector<BYTE> indices(width);
        std::vector<BYTE> bits(bytesPerLine, 0);
        for (long y = static_cast<long>(height) - 1; y >= 0; --y) {
            for (DWORD x = 0; x < width; ++x) {
                const BYTE index = GetPixelIndex(static_cast<long>(x), y);
                indices[x] = invert ? static_cast<BYTE>(1 - index) : index;
            }
            for (int plane = 0; plane < planes; ++plane) {
                PCX_PixelsToPlanes(indices.data(), static_cast<int>(width), bits.data(), plane);
                PCX_PackPlanes(bits.data(), static_cast<int>(bytesPerLine), &buffer);
            }
        }
    }

    const int32_t length = buffer.Size();
    const uint8_t* data = buffer.GetBuffer(false);
    if (length > 0 && data != nullptr)
        hFile->Write(data, 1, static_cast<size_t>(length));
    buffer.Close();
    return true;
}
