// Windows bitmap decoder (all information header variants, bare DIBs, RLE8/RLE4, bit fields)
// and encoder (uncompressed, bottom-up, in the picture's stored depth).
#include "image/formats/PictureBMP.h"

#include "image/Messages.h"
#include "platform/base/ByteOrder.h"

#include "image/PictureMemory.h"
#include "image/Stream.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

constexpr char kNotBmp[] = "Not a BMP";
constexpr char kBadInfo[] = "Error reading BMP info";
constexpr char kDimensionsReturned[] = "output dimensions returned";
constexpr char kNoMemory[] = "Can't allocate memory";
constexpr char kNoMemory32[] = "can't allocate memory";
constexpr char kUnknownCompression[] = "unknown compression";
constexpr char kUnsupportedCompression[] = "compression type not supported";
constexpr char kUnsupportedBitCount[] = "unsupported BMP bit count";
constexpr char kWriteFailed[] = "Error writing BMP";

constexpr WORD kBmpSignature = 0x4D42;  // "BM"
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr DWORD kCoreHeaderSize = 12;
constexpr DWORD kOs2HeaderSize = 64;

// A hostile header must not make us allocate far more than the file could describe: the
// picture's pixel bytes may be at most so many times the bytes left in the stream. Run-length
// data expands up to about 128 times (a 2-byte run of 255 pixels); plain data does not expand,
// and a file that lost more than about three quarters of it is refused rather than padded.
constexpr uint64_t kMaxRunLengthExpansion = 256;
constexpr uint64_t kMaxPlainExpansion = 4;

// Bytes of one padded row of the given depth, in 64 bits.
int64_t RowBytes(int64_t bitCount, int64_t width)
{
    return (bitCount * width + 31) / 32 * 4;
}

long PelsPerMeterToDpi(LONG pelsPerMeter)
{
    return static_cast<long>(std::floor(static_cast<double>(pelsPerMeter) * 254.0 / 10000.0 + 0.5));
}

// Seeks relative to the current position by a 64-bit amount; false when it cannot be expressed.
bool Skip(CStream* stream, int64_t bytes)
{
    if (bytes == 0)
        return true;
    if (bytes < 0 || bytes > std::numeric_limits<int32_t>::max())
        return false;
    return stream->Seek(static_cast<int32_t>(bytes), 1);
}

// Reads up to `bytes` into `dest` and zeroes what the stream could not supply, so a truncated
// file never exposes old heap contents.
void ReadOrZero(CStream* stream, BYTE* dest, size_t bytes)
{
    const size_t got = stream->Read(dest, 1, bytes);
    if (got < bytes)
        std::memset(dest + got, 0, bytes - got);
}

// Reads the unpadded 32-bit rows of a file a band at a time and keeps blue, green and red of
// each pixel in the picture's 24-bit rows (row padding cleared); rows the stream no longer
// holds are black. False when the band buffer cannot be had.
bool Read32BitRows(CStream* stream, CPicture& picture)
{
    const size_t width = picture.GetWidth();
    const size_t height = picture.GetHeight();
    const size_t stride = picture.info.dwEffWidth;
    if (width == 0 || height == 0) {
        picture.Clear(0);
        return true;
    }
    constexpr size_t kBandBytes = size_t{256} << 10;
    const size_t sourceStride = width * 4;
    const size_t bandRows = std::clamp<size_t>(kBandBytes / sourceStride, 1, height);
    std::unique_ptr<BYTE[]> band(new (std::nothrow) BYTE[bandRows * sourceStride]);
    if (!band)
        return false;
    for (size_t first = 0; first < height; first += bandRows) {
        const size_t rows = std::min(bandRows, height - first);
        ReadOrZero(stream, band.get(), rows * sourceStride);
        for (size_t row = 0; row < rows; ++row) {
            const BYTE* in = band.get() + row * sourceStride;
            BYTE* out = picture.info.pImage + (first + row) * stride;
            size_t x = 0;
            // Four pixels (four words in) give three words out.
            for (; x + 4 <= width; x += 4, in += 16, out += 12) {
                const uint32_t p0 = ReadLE32(in, 0);
                const uint32_t p1 = ReadLE32(in, 4);
                const uint32_t p2 = ReadLE32(in, 8);
                const uint32_t p3 = ReadLE32(in, 12);
                WriteLE32(out, 0, (p0 & 0xFFFFFF) | (p1 << 24));
                WriteLE32(out, 4, ((p1 >> 8) & 0xFFFF) | (p2 << 16));
                WriteLE32(out, 8, ((p2 >> 16) & 0xFF) | (p3 << 8));
            }
            for (; x < width; ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
            std::memset(out, 0, stride - width * 3);
        }
    }
    return true;
}

// Destination of the run-length decoders: memory rows from the bottom, each store bounded to
// the pixel bytes; a column past the end of a row runs on into the following rows.
class RleCanvas {
public:
    explicit RleCanvas(CPicture& picture)
        : m_Bits(picture.info.pImage), m_Size(picture.head.biSizeImage), m_Stride(picture.info.dwEffWidth)
    {}

    BYTE* At(uint64_t row, uint64_t offset) const
    {
        const uint64_t position = row * m_Stride + offset;
        return position < m_Size ? m_Bits + position : nullptr;
    }

private:
    BYTE* m_Bits;
    uint64_t m_Size;
    uint64_t m_Stride;
};

// BI_RLE8: runs of one index, absolute runs, end of line, end of bitmap and delta codes.
// A stream that ends before its end-of-bitmap code ends the decoding with what was stored.
void DecodeRle8(CStream* stream, CPicture& picture)
{
    const RleCanvas canvas(picture);
    uint64_t row = 0;
    uint64_t offset = 0;
    for (;;) {
        const int32_t count = stream->GetC();
        if (count < 0)
            return;
        if (count > 0) {
            const int32_t value = stream->GetC();
            if (value < 0)
                return;
            for (int32_t i = 0; i < count; ++i, ++offset) {
                if (BYTE* dest = canvas.At(row, offset))
                    *dest = static_cast<BYTE>(value);
            }
            continue;
        }
        const int32_t code = stream->GetC();
        if (code < 0 || code == 1)
            return;
        if (code == 0) {
            offset = 0;
            ++row;
        } else if (code == 2) {
            const int32_t dx = stream->GetC();
            const int32_t dy = stream->GetC();
            if (dx < 0 || dy < 0)
                return;
            offset += static_cast<uint64_t>(dx);
            row += static_cast<uint64_t>(dy);
        } else {
            for (int32_t i = 0; i < code; ++i, ++offset) {
                const int32_t value = stream->GetC();
                if (value < 0)
                    return;
                if (BYTE* dest = canvas.At(row, offset))
                    *dest = static_cast<BYTE>(value);
            }
            // Absolute runs are padded to a 16-bit boundary.
            if ((code & 1) && stream->GetC() < 0)
                return;
        }
    }
}

// BI_RLE4: as RLE8 with two pixels per byte. Every run and every absolute group takes its
// first pixel from the high nibble of its first byte, whatever column it starts at; delta
// codes move by whole pixels.
void DecodeRle4(CStream* stream, CPicture& picture)
{
    const RleCanvas canvas(picture);
    uint64_t row = 0;
    uint64_t column = 0;
    // Stores one pixel's index at the current column and moves on.
    auto put = [&](int32_t index) {
        if (BYTE* dest = canvas.At(row, column / 2)) {
            if (column % 2 == 0)
                *dest = static_cast<BYTE>((*dest & 0x0F) | ((index & 0x0F) << 4));
            else
                *dest = static_cast<BYTE>((*dest & 0xF0) | (index & 0x0F));
        }
        ++column;
    };
    for (;;) {
        const int32_t count = stream->GetC();
        if (count < 0)
            return;
        if (count > 0) {
            const int32_t value = stream->GetC();
            if (value < 0)
                return;
            for (int32_t i = 0; i < count; ++i)
                put(i % 2 == 0 ? value >> 4 : value);
            continue;
        }
        const int32_t code = stream->GetC();
        if (code < 0 || code == 1)
            return;
        if (code == 0) {
            column = 0;
            ++row;
        } else if (code == 2) {
            const int32_t dx = stream->GetC();
            const int32_t dy = stream->GetC();
            if (dx < 0 || dy < 0)
                return;
            column += static_cast<uint64_t>(dx);
            row += static_cast<uint64_t>(dy);
        } else {
            int32_t data = 0;
            for (int32_t i = 0; i < code; ++i) {
                if (i % 2 == 0) {
                    data = stream->GetC();
                    if (data < 0)
                        return;
                }
                put(i % 2 == 0 ? data >> 4 : data);
            }
            // Absolute groups are padded to a 16-bit boundary.
            if ((((code + 1) / 2) & 1) && stream->GetC() < 0)
                return;
        }
    }
}

}  // namespace

bool CPictureBMP::DibReadBitmapInfo(CStream* fh, BITMAPINFOHEADER* pdib)
{
    if (!fh || !pdib)
        return false;
    // The size field first: a 12-byte core header may end the file's headers, so a small
    // core-header file must not need 40 bytes to be read.
    std::array<BYTE, kInfoHeaderBytes> raw{};
    if (fh->Read(raw.data(), kCoreHeaderSize, 1) != 1)
        return false;

    BITMAPINFOHEADER header;
    header.biSize = ReadLE32(raw.data(), 0);
    if (header.biSize == kCoreHeaderSize) {
        // BITMAPCOREHEADER: 16-bit unsigned width and height, planes, bit count.
        header.biWidth = ReadLE16(raw.data(), 4);
        header.biHeight = ReadLE16(raw.data(), 6);
        header.biPlanes = ReadLE16(raw.data(), 8);
        header.biBitCount = ReadLE16(raw.data(), 10);
    } else {
        if (header.biSize < kInfoHeaderBytes ||
            fh->Read(raw.data() + kCoreHeaderSize, kInfoHeaderBytes - kCoreHeaderSize, 1) != 1)
            return false;
        header.biWidth = static_cast<LONG>(ReadLE32(raw.data(), 4));
        header.biHeight = static_cast<LONG>(ReadLE32(raw.data(), 8));
        header.biPlanes = ReadLE16(raw.data(), 12);
        header.biBitCount = ReadLE16(raw.data(), 14);
        header.biCompression = ReadLE32(raw.data(), 16);
        header.biSizeImage = ReadLE32(raw.data(), 20);
        header.biXPelsPerMeter = static_cast<LONG>(ReadLE32(raw.data(), 24));
        header.biYPelsPerMeter = static_cast<LONG>(ReadLE32(raw.data(), 28));
        header.biClrUsed = ReadLE32(raw.data(), 32);
        header.biClrImportant = ReadLE32(raw.data(), 36);
        if (header.biSize > kInfoHeaderBytes && header.biSize != kOs2HeaderSize) {
            // Later header versions are taken only in their plain form: one plane, no
            // compression, no explicit colour count, and an exact image size.
            const __int128 expected =
                static_cast<__int128>(RowBytes(header.biBitCount, header.biWidth)) * header.biHeight;
            if (static_cast<__int128>(header.biSizeImage) != expected || header.biPlanes != 1 ||
                header.biCompression != BI_RGB || header.biClrUsed != 0)
                return false;
        }
        if (!Skip(fh, static_cast<int64_t>(header.biSize) - static_cast<int64_t>(kInfoHeaderBytes)))
            return false;
    }

    // Negative widths and a height whose top-down negation does not exist describe no picture.
    if (header.biWidth < 0 || header.biHeight == std::numeric_limits<LONG>::min())
        return false;

    if (header.biSizeImage == 0) {
        // Only the low 32 bits are kept, as the field holds them; unsigned arithmetic wraps safely.
        const uint64_t rowBytes =
            ((static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) & ~uint64_t{31}) / 8;
        header.biSizeImage =
            static_cast<DWORD>(rowBytes * static_cast<uint64_t>(static_cast<int64_t>(header.biHeight)));
    }
    if (header.biClrUsed == 0 && header.biBitCount <= 8)
        header.biClrUsed = DWORD{1} << header.biBitCount;

    *pdib = header;
    return true;
}

bool CPictureBMP::Decode(CStream* hFile)
{
    if (!hFile)
        return Fail(kNotBmp);

    const int32_t start = hFile->Tell();
    std::array<BYTE, kFileHeaderBytes> fileHeader{};
    if (hFile->Read(fileHeader.data(), fileHeader.size(), 1) != 1)
        return Fail(kNotBmp);
    uint32_t offBits = ReadLE32(fileHeader.data(), 10);
    if (ReadLE16(fileHeader.data(), 0) != kBmpSignature) {
        // A bare device-independent bitmap: the information header comes first.
        offBits = 0;
        if (!hFile->Seek(start, 0))
            return Fail(kNotBmp);
    }

    BITMAPINFOHEADER bmpHeader;
    if (!DibReadBitmapInfo(hFile, &bmpHeader))
        return Fail(kBadInfo);

    const bool oldStyle = bmpHeader.biSize == kCoreHeaderSize;
    const bool topDown = bmpHeader.biHeight < 0;
    const DWORD width = static_cast<DWORD>(bmpHeader.biWidth);
    const DWORD height = static_cast<DWORD>(topDown ? -bmpHeader.biHeight : bmpHeader.biHeight);
    const WORD bitCount = bmpHeader.biBitCount;
    const DWORD compression = bmpHeader.biCompression;
    const DWORD colorCount = bmpHeader.biClrUsed;

    if (info.nEscape == -1) {
        head.biWidth = static_cast<LONG>(width);
        head.biHeight = static_cast<LONG>(height);
        Fail(kDimensionsReturned);
        return true;
    }

    // Where the pixel data starts, and how much the stream holds from there on.
    const int64_t entryBytes = oldStyle ? 3 : 4;
    const bool hasPalette = bitCount <= 8;
    int64_t dataStart = offBits != 0 ? int64_t{start} + offBits
                                     : int64_t{hFile->Tell()} + (hasPalette ? colorCount * entryBytes : 0) +
                                           (bitCount == 16 && compression == BI_BITFIELDS ? 12 : 0);
    const int32_t streamSize = hFile->Size();
    if (streamSize >= 0) {
        const int64_t available = std::max<int64_t>(0, int64_t{streamSize} - dataStart);
        const int64_t pictureBpp = bitCount <= 1 ? 1 : bitCount <= 4 ? 4 : bitCount <= 8 ? 8 : 24;
        // Every row counts as at least one byte, so a zero width cannot hide billions of rows.
        const uint64_t pictureBytes =
            std::max<uint64_t>(static_cast<uint64_t>(RowBytes(pictureBpp, width)) * height, height);
        const bool runLength = bitCount <= 8 && (compression == BI_RLE8 || compression == BI_RLE4);
        const uint64_t expansion = runLength ? kMaxRunLengthExpansion : kMaxPlainExpansion;
        if (pictureBytes > expansion * static_cast<uint64_t>(available))
            return Fail(kBadInfo);
    }

    if (!Create(width, height, bitCount, PICTURE_FORMAT_BMP))
        return Fail(kNoMemory);
    head.biXPelsPerMeter = bmpHeader.biXPelsPerMeter;
    head.biYPelsPerMeter = bmpHeader.biYPelsPerMeter;
    info.xDPI = static_cast<int32_t>(PelsPerMeterToDpi(bmpHeader.biXPelsPerMeter));
    info.yDPI = static_cast<int32_t>(PelsPerMeterToDpi(bmpHeader.biYPelsPerMeter));

    if (info.nEscape)
        return Fail(kCancelledMessage);

    if (RGBQUAD* palette = GetPalette()) {
        // Entries beyond the picture's table are read past and dropped.
        const DWORD kept = std::min(colorCount, head.biClrUsed);
        std::array<BYTE, 256 * 4> raw{};
        ReadOrZero(hFile, raw.data(), static_cast<size_t>(kept * entryBytes));
        for (DWORD i = 0; i < kept; ++i)
            palette[i] = RGBQUAD{raw[i * entryBytes], raw[i * entryBytes + 1], raw[i * entryBytes + 2], 0};
        if (offBits == 0)
            Skip(hFile, (static_cast<int64_t>(colorCount) - kept) * entryBytes);
        info.last_c_isvalid = false;
    }

    if (info.nEscape)
        return Fail(kCancelledMessage);

    auto seekToData = [&]() {
        if (offBits != 0 && dataStart <= std::numeric_limits<int32_t>::max())
            hFile->Seek(static_cast<int32_t>(dataStart), 0);
    };

    switch (bitCount) {
    case 32: {
        if (compression != BI_RGB && compression != BI_BITFIELDS)
            return Fail(kUnknownCompression);
        seekToData();
        // The fourth byte is dropped; the bit-field masks of the file are not used.
        if (!Read32BitRows(hFile, *this))
            return Fail(kNoMemory32);
        break;
    }
    case 24:
        if (compression != BI_RGB)
            return Fail(kUnknownCompression);
        seekToData();
        // The file's rows have the picture's layout; read exactly the picture's pixel bytes.
        ReadOrZero(hFile, info.pImage, head.biSizeImage);
        break;
    case 16: {
        if (compression != BI_RGB && compression != BI_BITFIELDS)
            return Fail(kUnknownCompression);
        uint32_t redMask = 0x7C00;
        uint32_t greenMask = 0x03E0;
        uint32_t blueMask = 0x001F;
        if (compression == BI_BITFIELDS) {
            std::array<BYTE, 12> masks{};
            ReadOrZero(hFile, masks.data(), masks.size());
            redMask = ReadLE32(masks.data(), 0);
            greenMask = ReadLE32(masks.data(), 4);
            blueMask = ReadLE32(masks.data(), 8);
        }
        seekToData();
        // The 16-bit rows fit inside the 24-bit rows and are expanded in place.
        const size_t sourceBytes = static_cast<size_t>(height) * ((static_cast<size_t>(width) + 1) / 2) * 4;
        ReadOrZero(hFile, info.pImage, sourceBytes);
        Bitfield2RGB(info.pImage, static_cast<WORD>(redMask), static_cast<WORD>(greenMask), static_cast<WORD>(blueMask),
                     16);
        break;
    }
    case 1:
    case 4:
    case 8:
        seekToData();
        switch (compression) {
        case BI_RGB:
            ReadOrZero(hFile, info.pImage, head.biSizeImage);
            break;
        case BI_RLE8:
            Clear(0);
            DecodeRle8(hFile, *this);
            break;
        case BI_RLE4:
            Clear(0);
            DecodeRle4(hFile, *this);
            break;
        default:
            return Fail(kUnsupportedCompression);
        }
        break;
    default:
        // Other depths (2-bit, 64-bit, embedded JPEG or PNG data) cannot be read here: refuse
        // them rather than answer with a blank picture.
        return Fail(kUnsupportedBitCount);
    }

    if (topDown && !Flip())
        return Fail(kNoMemory);
    return true;
}

bool CPictureBMP::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;

    // BITMAPFILEHEADER: signature, file size, two reserved words, offset of the pixel rows.
    std::array<BYTE, kFileHeaderBytes> fileHeader{};
    WriteLE16(fileHeader.data(), 0, kBmpSignature);
    WriteLE32(fileHeader.data(), 2, GetSize() + kFileHeaderBytes);
    WriteLE32(fileHeader.data(), 10, head.biSize + GetPaletteSize() + kFileHeaderBytes);

    // Resolution changes made after Create reach the file.
    StoreHeaderInDib();

    if (hFile->Write(fileHeader.data(), fileHeader.size(), 1) != 1 || hFile->Write(pDib, GetSize(), 1) != 1)
        return Fail(kWriteFailed);
    return true;
}
