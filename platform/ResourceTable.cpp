// The resource table: lookups, and packed device-independent bitmaps read into pixels.
#include "platform/ResourceTable.h"

#include "platform/base/ByteOrder.h"

#include <cstdlib>

namespace {

constexpr int64_t kMaxResourcePixels = 16 * 1024 * 1024;

}  // namespace

bool ResourceTable::AddPackedBitmap(UINT id, std::span<const uint8_t> packedDib)
{
    // BITMAPINFOHEADER: size, width, height, planes, bit count, compression, ..., colours used.
    if (packedDib.size() < 40 || ReadLE32(packedDib.data(), 0) < 40)
        return false;
    size_t headerSize = ReadLE32(packedDib.data(), 0);
    auto width = static_cast<int32_t>(ReadLE32(packedDib.data(), 4));
    auto height = static_cast<int32_t>(ReadLE32(packedDib.data(), 8));
    uint16_t bitCount = ReadLE16(packedDib.data(), 14);
    uint32_t compression = ReadLE32(packedDib.data(), 16);
    uint32_t coloursUsed = ReadLE32(packedDib.data(), 32);
    if (compression != 0 || width <= 0 || height == 0 || height == INT32_MIN)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return false;
    bool topDown = height < 0;
    int64_t rows = std::llabs(static_cast<int64_t>(height));
    if (static_cast<int64_t>(width) * rows > kMaxResourcePixels)
        return false;
    size_t paletteEntries = bitCount <= 8 ? (coloursUsed ? coloursUsed : (1u << bitCount)) : 0;
    if (paletteEntries > 256 || headerSize > packedDib.size())
        return false;
    size_t paletteOffset = headerSize;
    if (paletteEntries * 4 > packedDib.size() - paletteOffset)
        return false;
    size_t pixelOffset = paletteOffset + paletteEntries * 4;
    size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
    if (stride * static_cast<size_t>(rows) > packedDib.size() - pixelOffset)
        return false;

    BitmapResource bitmap;
    bitmap.width = width;
    bitmap.height = static_cast<int>(rows);
    bitmap.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(rows));
    for (int64_t y = 0; y < rows; ++y) {
        int64_t sourceRow = topDown ? y : rows - 1 - y;
        const uint8_t* row = packedDib.data() + pixelOffset + static_cast<size_t>(sourceRow) * stride;
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            if (bitCount >= 24) {
                size_t offset = static_cast<size_t>(x) * (bitCount / 8);
                pixel = row[offset] | (row[offset + 1] << 8) | (static_cast<uint32_t>(row[offset + 2]) << 16);
            } else {
                size_t bitIndex = static_cast<size_t>(x) * bitCount;
                unsigned shift = 8 - bitCount - (bitIndex % 8);
                size_t index = (row[bitIndex / 8] >> shift) & ((1u << bitCount) - 1);
                if (index < paletteEntries) {
                    size_t entry = paletteOffset + index * 4;
                    pixel = packedDib[entry] | (packedDib[entry + 1] << 8) |
                            (static_cast<uint32_t>(packedDib[entry + 2]) << 16);
                }
            }
            bitmap.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixel;
        }
    }
    m_Bitmaps[id] = std::move(bitmap);
    return true;
}

const DialogTemplate* ResourceTable::FindDialog(UINT id) const
{
    auto found = m_Dialogs.find(id);
    return found == m_Dialogs.end() ? nullptr : &found->second;
}

const BitmapResource* ResourceTable::FindBitmap(UINT id) const
{
    auto found = m_Bitmaps.find(id);
    return found == m_Bitmaps.end() ? nullptr : &found->second;
}

const std::vector<IconImage>* ResourceTable::FindIcon(UINT id) const
{
    auto found = m_Icons.find(id);
    return found == m_Icons.end() ? nullptr : &found->second;
}
