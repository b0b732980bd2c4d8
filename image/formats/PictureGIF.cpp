// GIF decoder and encoder with their own LZW coder.
#include "image/formats/PictureGIF.h"

#include "platform/base/ByteOrder.h"

#include "image/Stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr char kNotGif[] = "Not a GIF";
constexpr char kFrameOutOfRange[] = "GIF frame out of range";
constexpr char kNoImage[] = "GIF has no image that can be decoded";
constexpr char kTooLarge[] = "Can't save this image as GIF";

constexpr size_t kScreenSize = 13;
constexpr size_t kDescriptorSize = 9;
constexpr int kReadAheadSize = 16384;
constexpr int kMaxCodes = 4096;
constexpr int kMaxCodeWidth = 12;
constexpr int kBadCodeSize = -20;
constexpr int kNoMemory = -10;
// One 12-bit code expands to at most 4,091 pixels, so one byte of LZW data never
// yields more than 2,728 pixels. Images claiming more than their data could fill are
// not decoded, which keeps a lying header from allocating its claimed size.
constexpr uint64_t kMaxPixelsPerByte = 2728;
constexpr int kTileWidth = 17;
constexpr int kTileHeight = 15;
constexpr int kHashSize = 5003;
constexpr int kRunBlockSize = 255;
constexpr int kCodeBlockSize = 254;

void PutLE16(CStream* stream, uint32_t value)
{
    stream->PutC(static_cast<uint8_t>(value));
    stream->PutC(static_cast<uint8_t>(value >> 8));
}

int TableSize(uint8_t flags)
{
    return 1 << ((flags & 7) + 1);
}

int DepthForTable(int tableSize)
{
    return tableSize <= 2 ? 1 : (tableSize <= 16 ? 4 : 8);
}

// Skips data sub-blocks up to and including the zero-length terminator.
bool SkipSubBlocks(CStream* stream)
{
    uint8_t buffer[255];
    for (;;) {
        uint8_t length = 0;
        if (stream->Read(&length, 1, 1) != 1)
            return false;
        if (length == 0)
            return true;
        if (stream->Read(buffer, 1, length) != length)
            return false;
    }
}

// Bytes left in the stream, or -1 when the stream cannot tell.
int64_t BytesLeft(CStream* stream)
{
    const int32_t size = stream->Size();
    const int32_t position = stream->Tell();
    if (size < 0 || position < 0)
        return -1;
    return position > size ? 0 : size - position;
}

bool DataCanFill(CStream* stream, uint64_t pixels)
{
    const int64_t left = BytesLeft(stream);
    return left < 0 || pixels <= static_cast<uint64_t>(left) * kMaxPixelsPerByte;
}

// Where decoded lines go: rows of a picture, placed in order or by the four interlace passes.
class LinePlacement {
public:
    LinePlacement(CPicture& picture, bool interlaced)
        : m_Picture(picture), m_Interlaced(interlaced), m_Height(picture.GetHeight())
    {
        SkipEmptyPasses();
    }

    // Stores one line; -1 once the picture has no row left for it.
    int StoreLine(const uint8_t* pixels, uint32_t length)
    {
        uint32_t row = 0;
        if (!m_Interlaced) {
            if (m_Next >= m_Height)
                return -1;
            row = m_Next++;
        } else {
            if (m_Pass >= 4)
                return -1;
            row = m_Next;
            m_Next += kPassStep[m_Pass];
            if (m_Next >= m_Height) {
                ++m_Pass;
                if (m_Pass < 4)
                    m_Next = kPassStart[m_Pass];
                SkipEmptyPasses();
            }
        }
        WriteRow(m_Height - 1 - row, pixels, std::min<uint32_t>(length, m_Picture.GetWidth()));
        return 0;
    }

private:
    // GIF89a, appendix E: passes start at rows 0, 4, 2, 1 with steps 8, 8, 4, 2.
    static constexpr uint32_t kPassStart[4] = {0, 4, 2, 1};
    static constexpr uint32_t kPassStep[4] = {8, 8, 4, 2};

    void SkipEmptyPasses()
    {
        while (m_Interlaced && m_Pass < 4 && m_Next >= m_Height) {
            ++m_Pass;
            if (m_Pass < 4)
                m_Next = kPassStart[m_Pass];
        }
    }

    void WriteRow(uint32_t memoryRow, const uint8_t* pixels, uint32_t count)
    {
        BYTE* row = m_Picture.GetBits(memoryRow);
        if (row == nullptr)
            return;
        switch (m_Picture.GetBpp()) {
        case 8:
            memcpy(row, pixels, count);
            break;
        case 4:
            for (uint32_t x = 0; x < count; ++x) {
                const int shift = (x & 1) ? 0 : 4;
                row[x / 2] = static_cast<BYTE>((row[x / 2] & ~(0x0F << shift)) | ((pixels[x] & 0x0F) << shift));
            }
            break;
        case 1:
            for (uint32_t x = 0; x < count; ++x) {
                const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
                row[x / 8] = static_cast<BYTE>((pixels[x] & 1) ? (row[x / 8] | bit) : (row[x / 8] & ~bit));
            }
            break;
        default:
            break;
        }
    }

    CPicture& m_Picture;
    bool m_Interlaced;
    uint32_t m_Height;
    uint32_t m_Next = 0;
    uint32_t m_Pass = 0;
};

// Read-ahead over the stream and the LZW decoder of one image's data.
class LzwDecoder {
public:
    explicit LzwDecoder(CStream* stream) : m_Stream(stream) {}

    // Runs the decoder for one image; afterwards the stream stands after the data's terminator.
    int DecodeImage(LinePlacement& lines, uint32_t lineLength)
    {
        m_Index = kReadAheadSize + 1;
        m_Filled = 0;
        m_TerminatorSeen = false;
        const int result = DecodeImageData(lines, lineLength);
        if (m_Index < m_Filled)
            m_Stream->Seek(-static_cast<int32_t>(m_Filled - m_Index), 1);
        // Data beyond the last row, or after the end code, is skipped by its sub-blocks so
        // that it is never taken for blocks of the file.
        if (!m_TerminatorSeen && !m_EndOfFile)
            SkipSubBlocks(m_Stream);
        return result;
    }

private:
    int ReadByte()
    {
        if (m_Index >= kReadAheadSize) {
            m_Filled = static_cast<int>(m_Stream->Read(m_Buffer.data(), 1, kReadAheadSize));
            m_Buffer[m_Filled] = 0xFF;
            m_Index = 0;
        }
        if (m_Index >= m_Filled) {
            m_EndOfFile = true;
            return -1;
        }
        return m_Buffer[m_Index++];
    }

    // Codes are packed least significant bit first across the data sub-blocks.
    int ReadCode()
    {
        while (m_BitsHeld < m_CodeWidth) {
            if (m_BlockLeft == 0) {
                const int length = ReadByte();
                if (length < 0)
                    return length;
                if (length == 0) {
                    m_TerminatorSeen = true;
                    return m_EndCode;
                }
                int got = 0;
                while (got < length) {
                    const int byte = ReadByte();
                    if (byte < 0)
                        break;
                    m_Block[got++] = static_cast<uint8_t>(byte);
                }
                if (got == 0)
                    return -1;
                m_BlockLeft = got;
                m_BlockPosition = 0;
            }
            m_Accumulator |= static_cast<uint32_t>(m_Block[m_BlockPosition++]) << m_BitsHeld;
            m_BitsHeld += 8;
            --m_BlockLeft;
        }
        const int code = static_cast<int>(m_Accumulator & ((1u << m_CodeWidth) - 1));
        m_Accumulator >>= m_CodeWidth;
        m_BitsHeld -= m_CodeWidth;
        return code;
    }

    int DecodeImageData(LinePlacement& lines, uint32_t lineLength)
    {
        const int codeSize = ReadByte();
        if (codeSize < 0)
            return codeSize;
        if (codeSize < 2 || codeSize > 9)
            return kBadCodeSize;

        m_ClearCode = 1 << codeSize;
        m_EndCode = m_ClearCode + 1;
        const int firstFree = m_ClearCode + 2;
        int nextFree = firstFree;
        m_CodeWidth = codeSize + 1;
        int codeLimit = 1 << m_CodeWidth;
        m_Prefix.fill(0);
        m_Suffix.fill(0);
        m_BlockLeft = 0;
        m_BitsHeld = 0;
        m_Accumulator = 0;

        std::vector<uint8_t> line;
        try {
            line.resize(static_cast<size_t>(lineLength) + 1);
        } catch (const std::bad_alloc&) {
            return kNoMemory;
        }
        uint32_t linePosition = 0;
        auto emit = [&](uint8_t pixel) -> int {
            if (lineLength == 0)
                return lines.StoreLine(line.data(), 0);
            line[linePosition++] = pixel;
            if (linePosition < lineLength)
                return 0;
            linePosition = 0;
            return lines.StoreLine(line.data(), lineLength);
        };

        int previousCode = 0;
        int firstChar = 0;
        for (;;) {
            int code = ReadCode();
            if (code < 0)
                return 0;
            if (code == m_EndCode)
                break;
            if (code == m_ClearCode) {
                m_CodeWidth = codeSize + 1;
                nextFree = firstFree;
                codeLimit = 1 << m_CodeWidth;
                do {
                    code = ReadCode();
                    if (code < 0)
                        return 0;
                } while (code == m_ClearCode);
                if (code == m_EndCode)
                    break;
                if (code >= nextFree)
                    code = 0;
                previousCode = firstChar = code;
                if (const int result = emit(static_cast<uint8_t>(code)); result < 0)
                    return result;
                continue;
            }

            int stackSize = 0;
            int readCode = code;
            if (code >= nextFree) {
                // The code being defined repeats the previous string plus its first byte.
                // A code beyond it is corrupt and is read the same way, as the next free
                // code, so every table entry still points only at entries below it.
                m_Stack[stackSize++] = static_cast<uint8_t>(firstChar);
                code = previousCode;
                readCode = nextFree;
            }
            while (code >= firstFree) {
                if (code >= kMaxCodes || stackSize >= static_cast<int>(m_Stack.size()) - 1)
                    return 0;
                m_Stack[stackSize++] = m_Suffix[code];
                code = m_Prefix[code];
            }
            m_Stack[stackSize++] = static_cast<uint8_t>(code);
            if (nextFree < codeLimit) {
                firstChar = code;
                m_Suffix[nextFree] = static_cast<uint8_t>(code);
                m_Prefix[nextFree] = static_cast<uint16_t>(previousCode);
                ++nextFree;
                previousCode = readCode;
            }
            if (nextFree >= codeLimit && m_CodeWidth < kMaxCodeWidth) {
                codeLimit <<= 1;
                ++m_CodeWidth;
            }
            while (stackSize > 0) {
                if (const int result = emit(m_Stack[--stackSize]); result < 0)
                    return result;
            }
        }
        if (linePosition > 0) {
            const int result = lines.StoreLine(line.data(), linePosition);
            return result < 0 ? result : 0;
        }
        return 0;
    }

    CStream* m_Stream;
    std::array<uint8_t, kReadAheadSize + 1> m_Buffer{};
    int m_Index = kReadAheadSize + 1;
    int m_Filled = 0;
    bool m_TerminatorSeen = false;
    bool m_EndOfFile = false;

    int m_ClearCode = 0;
    int m_EndCode = 0;
    int m_CodeWidth = 0;
    uint32_t m_Accumulator = 0;
    int m_BitsHeld = 0;
    std::array<uint8_t, 257> m_Block{};
    int m_BlockLeft = 0;
    int m_BlockPosition = 0;
    std::array<uint8_t, kMaxCodes + 1> m_Stack{};
    std::array<uint8_t, kMaxCodes> m_Suffix{};
    std::array<uint16_t, kMaxCodes> m_Prefix{};
};

// Palette indices from the top row down, left to right.
class PixelSource {
public:
    explicit PixelSource(const CPicture& picture)
        : m_Picture(picture), m_Width(picture.GetWidth()), m_Height(picture.GetHeight())
    {}

    int NextPixel()
    {
        if (m_Width == 0 || m_Y >= m_Height)
            return -1;
        const int pixel = m_Picture.GetPixelIndex(static_cast<long>(m_X), static_cast<long>(m_Height - 1 - m_Y));
        if (++m_X >= m_Width) {
            m_X = 0;
            ++m_Y;
        }
        return pixel;
    }

private:
    const CPicture& m_Picture;
    uint32_t m_Width;
    uint32_t m_Height;
    uint32_t m_X = 0;
    uint32_t m_Y = 0;
};

// Variable-width code output shared by the plain and the hashed LZW packers.
class CodeWriter {
public:
    CodeWriter(CStream* stream, int initialWidth)
        : m_Stream(stream), m_InitialWidth(initialWidth), m_Width(initialWidth), m_Limit((1 << initialWidth) - 1),
          m_ClearCode(1 << (initialWidth - 1)), m_EndCode(m_ClearCode + 1), m_FreeCode(m_ClearCode + 2)
    {}

    int ClearCode() const { return m_ClearCode; }
    int EndCode() const { return m_EndCode; }
    int& FreeCode() { return m_FreeCode; }
    void RequestClear() { m_ClearFlag = true; }
    bool WriteFailed() const { return m_WriteFailed; }

    void Output(int code)
    {
        m_Accumulator &= (1u << m_BitCount) - 1;
        m_Accumulator |= static_cast<uint32_t>(code) << m_BitCount;
        m_BitCount += m_Width;
        while (m_BitCount >= 8) {
            CharOut(static_cast<uint8_t>(m_Accumulator));
            m_Accumulator >>= 8;
            m_BitCount -= 8;
        }
        if (m_ClearFlag) {
            m_Width = m_InitialWidth;
            m_Limit = (1 << m_Width) - 1;
            m_ClearFlag = false;
        } else if (m_FreeCode > m_Limit) {
            ++m_Width;
            m_Limit = m_Width == kMaxCodeWidth ? kMaxCodes : (1 << m_Width) - 1;
        }
        if (code == m_EndCode) {
            while (m_BitCount > 0) {
                CharOut(static_cast<uint8_t>(m_Accumulator));
                m_Accumulator >>= 8;
                m_BitCount -= 8;
            }
            m_BitCount = 0;
            FlushBlock();
            m_Stream->Flush();
            m_WriteFailed = m_Stream->Error() != 0;
        }
    }

private:
    void CharOut(uint8_t byte)
    {
        m_Block[m_BlockCount++] = byte;
        if (m_BlockCount >= kCodeBlockSize)
            FlushBlock();
    }

    void FlushBlock()
    {
        if (m_BlockCount == 0)
            return;
        m_Stream->PutC(static_cast<uint8_t>(m_BlockCount));
        m_Stream->Write(m_Block, 1, static_cast<size_t>(m_BlockCount));
        m_BlockCount = 0;
    }

    CStream* m_Stream;
    int m_InitialWidth;
    int m_Width;
    int m_Limit;
    int m_ClearCode;
    int m_EndCode;
    int m_FreeCode;
    bool m_ClearFlag = false;
    bool m_WriteFailed = false;
    uint32_t m_Accumulator = 0;
    int m_BitCount = 0;
    uint8_t m_Block[256] = {};
    int m_BlockCount = 0;
};

// Every pixel as its own code; the decoder's table fills up unused and is cleared in time.
bool PackUncompressed(CStream* stream, PixelSource& pixels, int initialWidth)
{
    CodeWriter writer(stream, initialWidth);
    writer.Output(writer.ClearCode());
    for (int pixel = pixels.NextPixel(); pixel >= 0; pixel = pixels.NextPixel()) {
        writer.Output(pixel);
        if (++writer.FreeCode() > kMaxCodes - 1) {
            writer.FreeCode() = writer.ClearCode() + 2;
            writer.RequestClear();
            writer.Output(writer.ClearCode());
        }
    }
    writer.Output(writer.EndCode());
    return !writer.WriteFailed();
}

// LZW with an open-addressed hash of (pixel, prefix code) keys, double hashing on collision.
bool PackLzw(CStream* stream, PixelSource& pixels, int initialWidth)
{
    CodeWriter writer(stream, initialWidth);
    std::vector<int32_t> keys(kHashSize, -1);
    std::vector<uint16_t> codes(kHashSize, 0);
    writer.Output(writer.ClearCode());

    int current = pixels.NextPixel();
    if (current < 0) {
        writer.Output(writer.EndCode());
        return !writer.WriteFailed();
    }
    for (int pixel = pixels.NextPixel(); pixel >= 0; pixel = pixels.NextPixel()) {
        const int32_t key = (pixel << kMaxCodeWidth) + current;
        int slot = (pixel << 4) ^ current;
        bool found = false;
        if (keys[slot] == key) {
            found = true;
        } else if (keys[slot] >= 0) {
            const int step = slot == 0 ? 1 : kHashSize - slot;
            do {
                slot -= step;
                if (slot < 0)
                    slot += kHashSize;
                if (keys[slot] == key) {
                    found = true;
                    break;
                }
            } while (keys[slot] > 0);
        }
        if (found) {
            current = codes[slot];
            continue;
        }
        writer.Output(current);
        if (writer.FreeCode() < kMaxCodes) {
            codes[slot] = static_cast<uint16_t>(writer.FreeCode()++);
            keys[slot] = key;
        } else {
            std::fill(keys.begin(), keys.end(), -1);
            writer.FreeCode() = writer.ClearCode() + 2;
            writer.RequestClear();
            writer.Output(writer.ClearCode());
        }
        current = pixel;
    }
    writer.Output(current);
    writer.Output(writer.EndCode());
    return !writer.WriteFailed();
}

// A valid LZW stream made only of single pixels and runs: after a rising series of a
// pixel v (v, then codes for runs of 2, 3, ... pixels), code c + k stands for k pixels of v,
// so no dictionary search is needed.
class RunPacker {
public:
    RunPacker(CStream* stream, int initialWidth)
        : m_Stream(stream), m_InitialWidth(initialWidth), m_ClearCode(1 << (initialWidth - 1)),
          m_StartBump(m_ClearCode - 1), m_StartThreshold(initialWidth <= 3 ? 9 : m_ClearCode - 2),
          m_MaxCodes(kMaxCodes - 3 - m_ClearCode)
    {}

    void Pack(PixelSource& pixels)
    {
        Reset();
        Write(m_ClearCode);
        int runPixel = -1;
        int runLength = 0;
        for (;;) {
            const int pixel = pixels.NextPixel();
            if (runLength > 0 && pixel != runPixel) {
                FlushRun(runPixel, runLength);
                runLength = 0;
            }
            if (pixel < 0)
                break;
            if (pixel == runPixel) {
                ++runLength;
            } else {
                runPixel = pixel;
                runLength = 1;
            }
        }
        Write(m_ClearCode + 1);
        if (m_BitCount > 0)
            BlockOut(static_cast<uint8_t>(m_Accumulator));
        FlushBlock();
    }

private:
    void Reset()
    {
        m_Width = m_InitialWidth;
        m_Bump = m_StartBump;
        m_Threshold = m_StartThreshold;
        m_Count = 0;
        m_KnownLength = 0;
        m_JustCleared = true;
    }

    void Write(int code)
    {
        m_Accumulator |= static_cast<uint32_t>(code) << m_BitCount;
        m_BitCount += m_Width;
        while (m_BitCount >= 8) {
            BlockOut(static_cast<uint8_t>(m_Accumulator));
            m_Accumulator >>= 8;
            m_BitCount -= 8;
        }
    }

    void BlockOut(uint8_t byte)
    {
        m_Block[m_BlockCount++] = byte;
        if (m_BlockCount >= kRunBlockSize)
            FlushBlock();
    }

    void FlushBlock()
    {
        if (m_BlockCount == 0)
            return;
        m_Stream->PutC(static_cast<uint8_t>(m_BlockCount));
        m_Stream->Write(m_Block, 1, static_cast<size_t>(m_BlockCount));
        m_BlockCount = 0;
    }

    void ClearAndReset()
    {
        Write(m_ClearCode);
        Reset();
    }

    void Plain(int code)
    {
        m_JustCleared = false;
        Write(code);
        ++m_Count;
        if (m_Count >= m_Bump) {
            m_Bump += 1 << m_Width;
            ++m_Width;
        }
        if (m_Count >= m_Threshold)
            ClearAndReset();
    }

    // Codes needed to send n pixels as rising series restarted after every m codes.
    unsigned Estimate(unsigned n) const
    {
        const unsigned m = static_cast<unsigned>(m_MaxCodes);
        const unsigned perSeries = m * (m + 1) / 2;
        unsigned cost = 0;
        while (n >= perSeries) {
            cost += m;
            n -= perSeries;
        }
        if (n > 0) {
            unsigned j = IntegerSqrt(n);
            while (j > 0 && j * (j + 1) >= 2 * n)
                --j;
            while (j * (j + 1) < 2 * n)
                ++j;
            cost += j;
        }
        return cost;
    }

    static unsigned IntegerSqrt(unsigned x)
    {
        unsigned root = 0;
        while ((root + 1) * (root + 1) <= x)
            ++root;
        return root;
    }

    void RestoreThreshold()
    {
        m_Threshold = m_StartThreshold;
        if (m_Count >= m_Threshold)
            ClearAndReset();
    }

    void RisingSeries(int pixel, int n)
    {
        m_Threshold = m_MaxCodes;
        m_TablePixel = pixel;
        int step = 1;
        while (n > 0) {
            if (step == 1) {
                m_KnownLength = 1;
                Plain(pixel);
                --n;
            } else if (n >= step) {
                m_KnownLength = step;
                Plain(m_ClearCode + step);
                n -= step;
            } else {
                ++m_KnownLength;
                Plain(n == 1 ? pixel : m_ClearCode + n);
                n = 0;
            }
            step = m_Count == 0 ? 1 : step + 1;
        }
        RestoreThreshold();
    }

    void FlushRun(int pixel, int n)
    {
        if (n == 1) {
            Plain(pixel);
            return;
        }
        if (m_JustCleared) {
            RisingSeries(pixel, n);
            return;
        }
        if (m_KnownLength < 2 || m_TablePixel != pixel) {
            if (1 + Estimate(static_cast<unsigned>(n)) < static_cast<unsigned>(n)) {
                ClearAndReset();
                RisingSeries(pixel, n);
            } else {
                for (int i = 0; i < n; ++i)
                    Plain(pixel);
            }
            return;
        }
        int repeats = n / m_KnownLength;
        int left = n % m_KnownLength;
        int extra = left > 0 ? 1 : 0;
        if (m_Count + repeats + extra > m_MaxCodes) {
            repeats = m_MaxCodes - m_Count;
            left = n - repeats * m_KnownLength;
            extra = 1 + static_cast<int>(Estimate(static_cast<unsigned>(left)));
        }
        if (1 + static_cast<int>(Estimate(static_cast<unsigned>(n))) < repeats + extra) {
            ClearAndReset();
            RisingSeries(pixel, n);
            return;
        }
        m_Threshold = m_MaxCodes;
        for (int i = 0; i < repeats; ++i)
            Plain(m_ClearCode + m_KnownLength);
        if (left > 0) {
            if (m_JustCleared)
                RisingSeries(pixel, left);
            else if (left == 1)
                Plain(pixel);
            else
                Plain(m_ClearCode + left);
        }
        RestoreThreshold();
    }

    CStream* m_Stream;
    int m_InitialWidth;
    int m_ClearCode;
    int m_StartBump;
    int m_StartThreshold;
    int m_MaxCodes;

    int m_Width = 0;
    int m_Bump = 0;
    int m_Threshold = 0;
    int m_Count = 0;
    int m_KnownLength = 0;
    int m_TablePixel = -1;
    bool m_JustCleared = true;

    uint32_t m_Accumulator = 0;
    int m_BitCount = 0;
    uint8_t m_Block[256] = {};
    int m_BlockCount = 0;
};

void PackRuns(CStream* stream, PixelSource& pixels, int initialWidth)
{
    RunPacker packer(stream, initialWidth);
    packer.Pack(pixels);
}

}  // namespace

CPictureGIF::CPictureGIF() : CPicture(PICTURE_FORMAT_GIF), m_ControlBlock{}, m_szComment{}, m_nLoops(0), m_iDispose(0)
{}

void CPictureGIF::SetComment(const char* comment)
{
    strncpy(m_szComment, comment ? comment : "", sizeof m_szComment - 1);
    m_szComment[sizeof m_szComment - 1] = '\0';
}

bool CPictureGIF::ReadExtension(CStream* hFile)
{
    uint8_t label = 0;
    if (hFile->Read(&label, 1, 1) != 1)
        return false;
    uint8_t length = 0;
    bool ok = hFile->Read(&length, 1, 1) == 1;
    // A zero length byte is already the extension's terminator.
    if (!ok || length == 0)
        return ok;

    uint8_t block[256];
    switch (label) {
    case 0xF9:  // Graphic control: flags, delay, transparent index.
        ok = hFile->Read(m_ControlBlock, 1, 4) == length;
        if (ok) {
            if (m_ControlBlock[0] & 1)
                info.nBkgndIndex = m_ControlBlock[3];
            info.dwFrameDelay = ReadLE16(m_ControlBlock, 1);
            m_iDispose = (m_ControlBlock[0] >> 2) & 7;
        }
        break;
    case 0xFE: {  // Comment: the first sub-block is kept.
        const size_t got = hFile->Read(m_szComment, 1, length);
        m_szComment[got] = '\0';
        ok = got == length;
        break;
    }
    case 0xFF:  // Application: an 11-byte identifier, then a sub-block with the loop count.
        if (length == 11) {
            ok = hFile->Read(block, 1, 11) == 11;
            uint8_t dataLength = 0;
            if (ok)
                ok = hFile->Read(&dataLength, 1, 1) == 1;
            if (ok && dataLength == 0)
                return true;
            if (ok) {
                ok = hFile->Read(block, 1, dataLength) == dataLength;
                if (ok && dataLength > 2)
                    m_nLoops = block[1] + 256 * block[2];
            }
        } else {
            ok = hFile->Read(block, 1, length) == length;
        }
        break;
    default:
        ok = hFile->Read(block, 1, length) == length;
        break;
    }
    while (ok) {
        uint8_t next = 0;
        if (hFile->Read(&next, 1, 1) != 1)
            return false;
        if (next == 0)
            break;
        ok = hFile->Read(block, 1, next) == next;
    }
    return ok;
}

int CPictureGIF::CountFrames(CStream* hFile)
{
    // Every extension of the file is read here, so the control values afterwards are
    // those of the last ones in the file. Image data is skipped by its sub-blocks.
    const int32_t start = hFile->Tell();
    int count = 0;
    uint8_t byte = 0;
    while (hFile->Read(&byte, 1, 1) == 1) {
        if (byte == 0x21) {
            if (!ReadExtension(hFile))
                break;
        } else if (byte == 0x3B) {
            break;
        } else if (byte == 0x2C) {
            ++count;
            uint8_t descriptor[kDescriptorSize];
            if (hFile->Read(descriptor, 1, kDescriptorSize) != kDescriptorSize)
                break;
            if (descriptor[8] & 0x80) {
                const int32_t tableBytes = 3 * TableSize(descriptor[8]);
                if (!hFile->Seek(tableBytes, 1))
                    break;
            }
            uint8_t codeSize = 0;
            if (hFile->Read(&codeSize, 1, 1) != 1 || !SkipSubBlocks(hFile))
                break;
        }
    }
    hFile->Seek(start, 0);
    return count;
}

void CPictureGIF::OverlayFrame(CPicture& copy, long xOffset, long yOffset) const
{
    const long width = std::min<long>(copy.GetWidth(), static_cast<long>(GetWidth()) - xOffset);
    const long height = std::min<long>(copy.GetHeight(), static_cast<long>(GetHeight()) - yOffset);
    const BYTE transparent = static_cast<BYTE>(info.nBkgndIndex);
    for (long i = 0; i < height; ++i) {
        for (long j = 0; j < width; ++j) {
            // Only the frame's own pixels are laid over the kept picture.
            if (!IsInside(xOffset + j, yOffset + i))
                continue;
            const BYTE index = GetPixelIndex(xOffset + j, yOffset + i);
            if (info.nBkgndIndex != -1 && index == transparent)
                continue;
            copy.SetPixelIndex(j, i, index);
        }
    }
}

bool CPictureGIF::Decode(CStream* hFile)
{
    if (hFile == nullptr)
        return false;
    // Header and logical screen descriptor (GIF89a, sections 17 and 18).
    uint8_t screen[kScreenSize];
    if (hFile->Read(screen, 1, kScreenSize) != kScreenSize || memcmp(screen, "GIF8", 4) != 0)
        return Fail(kNotGif);
    const uint32_t screenWidth = ReadLE16(screen, 6);
    const uint32_t screenHeight = ReadLE16(screen, 8);
    const uint8_t screenFlags = screen[10];
    const int64_t streamSize = hFile->Size();

    uint8_t table[256 * 3] = {};
    int tableSize = TableSize(screenFlags);
    const bool hasGlobalTable = (screenFlags & 0x80) != 0;
    int tilePoints = 0;
    if (hasGlobalTable)
        hFile->Read(table, 3, static_cast<size_t>(tableSize));
    else
        ++tilePoints;

    info.nNumFrames = CountFrames(hFile);
    if (info.nFrame < 0 || info.nFrame >= info.nNumFrames)
        return Fail(kFrameOutOfRange);

    auto decoder = std::make_unique<LzwDecoder>(hFile);
    std::unique_ptr<CPicture> canvas;
    int imageNumber = 0;
    int32_t firstTransIndex = -1;
    uint8_t byte = 0;
    while (hFile->Read(&byte, 1, 1) == 1) {
        if (info.nEscape > 0)
            return false;
        if (byte == 0x21) {
            if (!ReadExtension(hFile))
                break;
            continue;
        }
        if (byte == 0x3B)
            break;
        if (byte != 0x2C)
            continue;

        // Image descriptor (GIF89a, section 20): left, top, width, height, flags.
        uint8_t descriptor[kDescriptorSize];
        if (hFile->Read(descriptor, 1, kDescriptorSize) != kDescriptorSize)
            break;
        const uint32_t left = ReadLE16(descriptor, 0);
        const uint32_t top = ReadLE16(descriptor, 2);
        const uint32_t width = ReadLE16(descriptor, 4);
        const uint32_t height = ReadLE16(descriptor, 6);
        const uint8_t imageFlags = descriptor[8];
        const bool hasLocalTable = (imageFlags & 0x80) != 0;
        if (info.nEscape == -1) {
            head.biWidth = static_cast<LONG>(width);
            head.biHeight = static_cast<LONG>(height);
            return true;
        }

        // Images outside the screen, or larger than their data could fill, are skipped
        // whole: their table and data are never read as blocks.
        const bool fits = left + width <= screenWidth && top + height <= screenHeight;
        if (!fits || !DataCanFill(hFile, uint64_t{width} * height)) {
            if (hasLocalTable)
                hFile->Seek(3 * TableSize(imageFlags), 1);
            uint8_t codeSize = 0;
            if (hFile->Read(&codeSize, 1, 1) != 1 || !SkipSubBlocks(hFile))
                break;
            continue;
        }
        // A first image narrower or lower than the screen is a tile of a true-colour picture;
        // either side counts, so pictures of one tile's width or height are assembled too.
        if (imageNumber == 0 && (width != screenWidth || height != screenHeight))
            ++tilePoints;
        if (hasLocalTable) {
            tableSize = TableSize(imageFlags);
            memset(table, 0, sizeof table);
            hFile->Read(table, 3, static_cast<size_t>(tableSize));
        }
        const int depth = DepthForTable(tableSize);

        std::unique_ptr<CPicture> kept;
        if (imageNumber > 0 && (m_iDispose == 1 || m_iDispose == 2))
            kept = std::make_unique<CPicture>(*this, true, true, true);
        if (imageNumber == 0)
            firstTransIndex = info.nBkgndIndex;

        if (Create(width, height, static_cast<DWORD>(depth), PICTURE_FORMAT_GIF) == nullptr)
            return false;
        // Rows the data never reaches read as index 0.
        Clear(0);
        if (hasLocalTable || hasGlobalTable) {
            uint8_t red[256] = {};
            uint8_t green[256] = {};
            uint8_t blue[256] = {};
            for (int i = 0; i < tableSize; ++i) {
                red[i] = table[3 * i];
                green[i] = table[3 * i + 1];
                blue[i] = table[3 * i + 2];
            }
            if (info.nBkgndIndex != -1) {
                for (int i = tableSize; i < 256; ++i)
                    red[i] = green[i] = blue[i] = 255;
            }
            SetPalette(info.nBkgndIndex != -1 ? 256 : static_cast<DWORD>(tableSize), red, green, blue);
        }

        LinePlacement lines(*this, (imageFlags & 0x40) != 0);
        decoder->DecodeImage(lines, width);
        if (info.nEscape != 0)
            return false;

        if (imageNumber > 0 && (m_iDispose == 1 || m_iDispose == 2) && tilePoints < 2 && !hasLocalTable && kept &&
            kept->IsValid()) {
            OverlayFrame(*kept, -static_cast<long>(left),
                         static_cast<long>(top + height) - static_cast<long>(kept->GetHeight()));
            kept->info.nBkgndIndex = firstTransIndex;
            Transfer(*kept);
        }

        if (tilePoints >= 2) {
            // A true-colour picture stored as tiles: assemble every image on one canvas.
            info.nFrame = info.nNumFrames - 1;
            if (!canvas) {
                const uint64_t canvasPixels = uint64_t{screenWidth} * screenHeight;
                if (streamSize >= 0 && canvasPixels > static_cast<uint64_t>(streamSize) * kMaxPixelsPerByte)
                    return Fail(kNoImage);
                canvas = std::make_unique<CPicture>();
                if (canvas->Create(screenWidth, screenHeight, 24, PICTURE_FORMAT_GIF) == nullptr)
                    return Fail(canvas->GetLastError());
                canvas->Clear(0);
            }
            for (uint32_t r = 0; r < GetHeight(); ++r) {
                for (uint32_t c = 0; c < GetWidth(); ++c) {
                    const RGBQUAD color = GetPixelColor(static_cast<long>(c), static_cast<long>(GetHeight() - 1 - r));
                    canvas->SetPixelColor(static_cast<long>(left + c), static_cast<long>(screenHeight - 1 - (top + r)),
                                          color, false);
                }
            }
        }
        if (info.nFrame == imageNumber)
            break;
        ++imageNumber;
    }

    if (tilePoints >= 2 && canvas) {
        if (m_ControlBlock[0] & 1) {
            RGBQUAD color = GetPaletteColor(static_cast<BYTE>(info.nBkgndIndex));
            color.rgbReserved = 0;
            canvas->info.nBkgndColor = color;
            canvas->info.nBkgndIndex = 0;
        }
        Transfer(*canvas);
        return true;
    }
    // A file whose images were all skipped has nothing to show.
    if (!IsValid())
        return Fail(kNoImage);
    return true;
}

void CPictureGIF::WriteScreenHeader(CStream* hFile)
{
    hFile->Write("GIF89a", 1, 6);
    PutLE16(hFile, GetWidth());
    PutLE16(hFile, GetHeight());
    const DWORD colors = GetNumColors();
    const int bpp = GetBpp();
    if (colors != 0)
        hFile->PutC(static_cast<uint8_t>(0x80 | ((bpp - 1) << 5) | (bpp - 1)));
    else
        hFile->PutC(0x11);
    hFile->PutC(0);
    hFile->PutC(0);
    for (DWORD i = 0; i < colors; ++i) {
        const RGBQUAD color = GetPaletteColor(static_cast<BYTE>(i));
        hFile->PutC(color.rgbRed);
        hFile->PutC(color.rgbGreen);
        hFile->PutC(color.rgbBlue);
    }
}

void CPictureGIF::WriteControlExtension(CStream* hFile)
{
    m_ControlBlock[0] = static_cast<uint8_t>((info.nBkgndIndex != -1 ? 1 : 0) | ((m_iDispose & 7) << 2));
    m_ControlBlock[1] = static_cast<uint8_t>(info.dwFrameDelay);
    m_ControlBlock[2] = static_cast<uint8_t>(info.dwFrameDelay >> 8);
    m_ControlBlock[3] = static_cast<uint8_t>(info.nBkgndIndex);
    hFile->PutC(0x21);
    hFile->PutC(0xF9);
    hFile->PutC(4);
    hFile->Write(m_ControlBlock, 1, 4);
    hFile->PutC(0);
}

void CPictureGIF::WriteComment(CStream* hFile)
{
    const size_t length = strlen(m_szComment);
    if (length == 0)
        return;
    const size_t written = std::min<size_t>(length, 255);
    hFile->PutC(0x21);
    hFile->PutC(0xFE);
    hFile->PutC(static_cast<uint8_t>(written));
    hFile->Write(m_szComment, 1, written);
    hFile->PutC(0);
}

void CPictureGIF::WriteImage(CStream* hFile, bool withLocalTable)
{
    const int bpp = GetBpp();
    hFile->PutC(0x2C);
    PutLE16(hFile, static_cast<uint32_t>(info.xOffset));
    PutLE16(hFile, static_cast<uint32_t>(info.yOffset));
    PutLE16(hFile, GetWidth());
    PutLE16(hFile, GetHeight());
    hFile->PutC(static_cast<uint8_t>(withLocalTable ? ((bpp - 1) | 0x80) : 0));
    if (withLocalTable) {
        for (DWORD i = 0; i < GetNumColors(); ++i) {
            const RGBQUAD color = GetPaletteColor(static_cast<BYTE>(i));
            hFile->PutC(color.rgbRed);
            hFile->PutC(color.rgbGreen);
            hFile->PutC(color.rgbBlue);
        }
    }
    const int minimumCodeSize = bpp == 1 ? 2 : bpp;
    hFile->PutC(static_cast<uint8_t>(minimumCodeSize));
    PixelSource pixels(*this);
    const int initialWidth = minimumCodeSize + 1;
    bool written = true;
    switch (info.dwCodecOption) {
    case 1:
        written = PackUncompressed(hFile, pixels, initialWidth);
        break;
    case 2:
        written = PackLzw(hFile, pixels, initialWidth);
        break;
    default:
        PackRuns(hFile, pixels, initialWidth);
        break;
    }
    if (!written)
        Fail("Write Error in GIF file");
    hFile->PutC(0);
}

bool CPictureGIF::EncodeTrueColor(CStream* hFile)
{
    WriteScreenHeader(hFile);
    WriteComment(hFile);
    const long width = static_cast<long>(GetWidth());
    const long height = static_cast<long>(GetHeight());
    CPictureGIF tile;
    for (long y = 0; y < height; y += kTileHeight) {
        for (long x = 0; x < width; x += kTileWidth) {
            const long tileWidth = std::min<long>(kTileWidth, width - x);
            const long tileHeight = std::min<long>(kTileHeight, height - y);
            if (!tile.IsValid() || static_cast<long>(tile.GetWidth()) != tileWidth ||
                static_cast<long>(tile.GetHeight()) != tileHeight) {
                if (tile.Create(static_cast<DWORD>(tileWidth), static_cast<DWORD>(tileHeight), 8, 0) == nullptr)
                    return Fail(tile.GetLastError());
            }
            if (info.nBkgndIndex >= 0) {
                tile.SetPaletteColor(0, GetTransColor());
                tile.SetTransIndex(0);
            }
            for (long i = 0; i < tileHeight; ++i) {
                for (long j = 0; j < tileWidth; ++j) {
                    const RGBQUAD color = GetPixelColor(x + j, height - 1 - (y + i), false);
                    tile.SetPaletteColor(static_cast<BYTE>(j + kTileWidth * i + 1), color);
                    tile.SetPixelIndex(j, tileHeight - 1 - i, tile.GetNearestIndex(color));
                }
            }
            tile.info.xOffset = static_cast<int32_t>(x);
            tile.info.yOffset = static_cast<int32_t>(y);
            tile.WriteControlExtension(hFile);
            tile.WriteImage(hFile, true);
        }
    }
    hFile->PutC(0x3B);
    return true;
}

bool CPictureGIF::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    // Sizes and offsets are 16-bit fields; a larger picture would be written corrupt.
    if (GetWidth() > 0xFFFF || GetHeight() > 0xFFFF)
        return Fail(kTooLarge);
    if (GetBpp() > 8)
        return EncodeTrueColor(hFile);
    WriteScreenHeader(hFile);
    WriteControlExtension(hFile);
    WriteComment(hFile);
    WriteImage(hFile, false);
    hFile->PutC(0x3B);
    return true;
}
