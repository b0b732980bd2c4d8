// Pixel formats: standard palettes, depth emulation and packed DIB row conversion.
#include "platform/gdi/Pixels.h"

#include "platform/base/ByteOrder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace gdi {
namespace {

constexpr RGBQUAD Quad(uint32_t rgb)
{
    return RGBQUAD{static_cast<BYTE>(rgb), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb >> 16), 0};
}

constexpr std::array<RGBQUAD, 2> kMonoPalette = {Quad(0x000000), Quad(0xFFFFFF)};

constexpr std::array<RGBQUAD, 16> kVgaPalette = {
    Quad(0x000000), Quad(0x800000), Quad(0x008000), Quad(0x808000), Quad(0x000080), Quad(0x800080),
    Quad(0x008080), Quad(0xC0C0C0), Quad(0x808080), Quad(0xFF0000), Quad(0x00FF00), Quad(0xFFFF00),
    Quad(0x0000FF), Quad(0xFF00FF), Quad(0x00FFFF), Quad(0xFFFFFF),
};

// The 20 static colours of the system palette: ten at the start, ten at the end.
constexpr uint32_t kStaticLow[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                     0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
constexpr uint32_t kStaticHigh[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                      0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

constexpr std::array<RGBQUAD, 256> MakeHalftone()
{
    std::array<RGBQUAD, 256> palette{};
    for (int i = 0; i < 10; ++i) {
        palette[i] = Quad(kStaticLow[i]);
        palette[246 + i] = Quad(kStaticHigh[i]);
    }
    int index = 10;
    for (int red = 0; red < 6; ++red)
        for (int green = 0; green < 6; ++green)
            for (int blue = 0; blue < 6; ++blue)
                palette[index++] = Quad((static_cast<uint32_t>(red * 51) << 16) |
                                        (static_cast<uint32_t>(green * 51) << 8) | static_cast<uint32_t>(blue * 51));
    for (int i = 0; i < 20; ++i) {
        uint32_t level = static_cast<uint32_t>((i + 1) * 255 / 21);
        palette[226 + i] = Quad((level << 16) | (level << 8) | level);
    }
    return palette;
}
constexpr std::array<RGBQUAD, 256> kHalftonePalette = MakeHalftone();

uint32_t Expand5(uint32_t value)
{
    return (value << 3) | (value >> 2);
}

// Scales a masked field to 8 bits.
uint32_t FromMask(uint32_t value, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int width = std::popcount(mask);
    uint32_t field = (value & mask) >> shift;
    if (width >= 8)
        return field >> (width - 8);
    uint32_t max = (1u << width) - 1;
    return (field * 255 + max / 2) / max;
}

uint32_t ToMask(uint32_t channel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int width = std::popcount(mask);
    uint32_t field = width >= 8 ? channel << (width - 8) : channel >> (8 - width);
    return (field << shift) & mask;
}

// A one-entry cache around NearestIndex for runs of equal pixels.
struct NearestCache {
    std::span<const RGBQUAD> palette;
    uint32_t lastPixel = 0xFFFFFFFF;
    int lastIndex = 0;
    int Find(uint32_t pixel)
    {
        pixel &= 0xFFFFFF;
        if (pixel != lastPixel) {
            lastPixel = pixel;
            lastIndex = NearestIndex(palette, pixel);
        }
        return lastIndex;
    }
};

bool IsStandard32(const uint32_t (&masks)[3])
{
    return masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
}

// 24-bit rows, four pixels (three 32-bit words) at a time, then the remaining pixels bytewise.
void ReadRow24(const uint8_t* p, int count, uint32_t* out)
{
    int i = 0;
    for (; i + 4 <= count; i += 4, p += 12) {
        uint32_t w0 = ReadLE32(p, 0);
        uint32_t w1 = ReadLE32(p, 4);
        uint32_t w2 = ReadLE32(p, 8);
        out[i] = w0 & 0xFFFFFF;
        out[i + 1] = (w0 >> 24) | ((w1 & 0xFFFF) << 8);
        out[i + 2] = (w1 >> 16) | ((w2 & 0xFF) << 16);
        out[i + 3] = w2 >> 8;
    }
    for (; i < count; ++i, p += 3)
        out[i] = p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

void WriteRow24(uint8_t* p, int count, const uint32_t* in)
{
    int i = 0;
    for (; i + 4 <= count; i += 4, p += 12) {
        WriteLE32(p, 0, (in[i] & 0xFFFFFF) | (in[i + 1] << 24));
        WriteLE32(p, 4, ((in[i + 1] >> 8) & 0xFFFF) | (in[i + 2] << 16));
        WriteLE32(p, 8, ((in[i + 2] >> 16) & 0xFF) | (in[i + 3] << 8));
    }
    for (; i < count; ++i, p += 3) {
        p[0] = static_cast<uint8_t>(in[i]);
        p[1] = static_cast<uint8_t>(in[i] >> 8);
        p[2] = static_cast<uint8_t>(in[i] >> 16);
    }
}

// 32-bit rows with the standard masks hold the pixels as they are, fourth byte included.
void ReadRow32(const uint8_t* p, int count, uint32_t* out)
{
    if (count <= 0)
        return;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, p, sizeof(uint32_t) * static_cast<size_t>(count));
    } else {
        for (int i = 0; i < count; ++i)
            out[i] = ReadLE32(p, 4 * static_cast<size_t>(i));
    }
}

void WriteRow32(uint8_t* p, int count, const uint32_t* in)
{
    if (count <= 0)
        return;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, in, sizeof(uint32_t) * static_cast<size_t>(count));
    } else {
        for (int i = 0; i < count; ++i)
            WriteLE32(p, 4 * static_cast<size_t>(i), in[i]);
    }
}

}  // namespace

std::span<const RGBQUAD> StandardPalette(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return kMonoPalette;
    case 4:
        return kVgaPalette;
    default:
        return kHalftonePalette;
    }
}

int NearestIndex(std::span<const RGBQUAD> palette, uint32_t pixel)
{
    int red = static_cast<int>((pixel >> 16) & 0xFF);
    int green = static_cast<int>((pixel >> 8) & 0xFF);
    int blue = static_cast<int>(pixel & 0xFF);
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i) {
        int dr = red - palette[i].rgbRed;
        int dg = green - palette[i].rgbGreen;
        int db = blue - palette[i].rgbBlue;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
            if (distance == 0)
                break;
        }
    }
    return best;
}

uint32_t QuantizeToDepth(uint32_t pixel, int bitsPerPixel)
{
    pixel &= 0xFFFFFF;
    switch (bitsPerPixel) {
    case 16:
        return (Expand5((pixel >> 19) & 0x1F) << 16) | (Expand5((pixel >> 11) & 0x1F) << 8) |
               Expand5((pixel >> 3) & 0x1F);
    case 1:
    case 4:
    case 8: {
        auto palette = StandardPalette(bitsPerPixel);
        return PixelFromQuad(palette[NearestIndex(palette, pixel)]);
    }
    default:
        return pixel;
    }
}

std::optional<DibLayout> DibLayout::From(const BITMAPINFO* info, UINT usage)
{
    if (!info || usage != DIB_RGB_COLORS)
        return std::nullopt;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < 40 || header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN)
        return std::nullopt;
    DibLayout layout;
    layout.width = header.biWidth;
    layout.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    layout.topDown = header.biHeight < 0;
    layout.bitsPerPixel = header.biBitCount;
    switch (header.biBitCount) {
    case 1:
    case 4:
    case 8:
        if (header.biCompression != BI_RGB)
            return std::nullopt;
        layout.colors = info->bmiColors;
        layout.colorCount = header.biClrUsed == 0 || header.biClrUsed > (1u << header.biBitCount)
                                ? 1 << header.biBitCount
                                : static_cast<int>(header.biClrUsed);
        break;
    case 16:
    case 32:
        if (header.biCompression == BI_BITFIELDS) {
            // The masks follow the 40-byte header, where the colour table would start.
            std::memcpy(layout.masks, info->bmiColors, sizeof layout.masks);
        } else if (header.biCompression == BI_RGB) {
            if (header.biBitCount == 16) {
                layout.masks[0] = 0x7C00;
                layout.masks[1] = 0x03E0;
                layout.masks[2] = 0x001F;
            } else {
                layout.masks[0] = 0xFF0000;
                layout.masks[1] = 0x00FF00;
                layout.masks[2] = 0x0000FF;
            }
        } else {
            return std::nullopt;
        }
        break;
    case 24:
        if (header.biCompression != BI_RGB)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    layout.stride = Stride(layout.width, layout.bitsPerPixel);
    // Keeps every offset computed from the layout inside size_t with room to spare.
    if (layout.stride > (size_t{1} << 40) / static_cast<size_t>(layout.height))
        return std::nullopt;
    return layout;
}

void DibLayout::ReadRow(const uint8_t* row, int x, int count, uint32_t* out) const
{
    auto colour = [this](int index) -> uint32_t { return index < colorCount ? PixelFromQuad(colors[index]) : 0; };
    switch (bitsPerPixel) {
    case 1:
        for (int i = 0; i < count; ++i) {
            int px = x + i;
            out[i] = colour((row[px >> 3] >> (7 - (px & 7))) & 1);
        }
        break;
    case 4:
        for (int i = 0; i < count; ++i) {
            int px = x + i;
            out[i] = colour((px & 1) ? row[px >> 1] & 0x0F : row[px >> 1] >> 4);
        }
        break;
    case 8:
        for (int i = 0; i < count; ++i)
            out[i] = colour(row[x + i]);
        break;
    case 16:
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = row + 2 * static_cast<size_t>(x + i);
            uint32_t value = ReadLE16(p, 0);
            out[i] = (FromMask(value, masks[0]) << 16) | (FromMask(value, masks[1]) << 8) | FromMask(value, masks[2]);
        }
        break;
    case 24:
        ReadRow24(row + 3 * static_cast<size_t>(x), count, out);
        break;
    case 32:
        if (IsStandard32(masks)) {
            ReadRow32(row + 4 * static_cast<size_t>(x), count, out);
            break;
        }
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = row + 4 * static_cast<size_t>(x + i);
            uint32_t value = ReadLE32(p, 0);
            if (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)
                out[i] = value;  // keeps the fourth byte: AlphaBlend reads it
            else
                out[i] =
                    (FromMask(value, masks[0]) << 16) | (FromMask(value, masks[1]) << 8) | FromMask(value, masks[2]);
        }
        break;
    default:
        std::fill(out, out + count, 0u);
    }
}

void DibLayout::WriteRow(uint8_t* row, int x, int count, const uint32_t* in) const
{
    NearestCache cache{std::span<const RGBQUAD>(colors, static_cast<size_t>(colorCount))};
    switch (bitsPerPixel) {
    case 1:
        for (int i = 0; i < count; ++i) {
            int px = x + i;
            uint8_t bit = static_cast<uint8_t>(0x80 >> (px & 7));
            if (cache.Find(in[i]) & 1)
                row[px >> 3] |= bit;
            else
                row[px >> 3] &= static_cast<uint8_t>(~bit);
        }
        break;
    case 4:
        for (int i = 0; i < count; ++i) {
            int px = x + i;
            uint8_t index = static_cast<uint8_t>(cache.Find(in[i]) & 0x0F);
            uint8_t& byte = row[px >> 1];
            byte = (px & 1) ? static_cast<uint8_t>((byte & 0xF0) | index)
                            : static_cast<uint8_t>((byte & 0x0F) | (index << 4));
        }
        break;
    case 8:
        for (int i = 0; i < count; ++i)
            row[x + i] = static_cast<uint8_t>(cache.Find(in[i]));
        break;
    case 16:
        for (int i = 0; i < count; ++i) {
            uint32_t pixel = in[i];
            uint32_t value = ToMask((pixel >> 16) & 0xFF, masks[0]) | ToMask((pixel >> 8) & 0xFF, masks[1]) |
                             ToMask(pixel & 0xFF, masks[2]);
            uint8_t* p = row + 2 * static_cast<size_t>(x + i);
            p[0] = static_cast<uint8_t>(value);
            p[1] = static_cast<uint8_t>(value >> 8);
        }
        break;
    case 24:
        WriteRow24(row + 3 * static_cast<size_t>(x), count, in);
        break;
    case 32:
        if (IsStandard32(masks)) {
            WriteRow32(row + 4 * static_cast<size_t>(x), count, in);
            break;
        }
        for (int i = 0; i < count; ++i) {
            uint32_t pixel = in[i];
            uint32_t value = pixel;
            if (!(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
                value = ToMask((pixel >> 16) & 0xFF, masks[0]) | ToMask((pixel >> 8) & 0xFF, masks[1]) |
                        ToMask(pixel & 0xFF, masks[2]);
            uint8_t* p = row + 4 * static_cast<size_t>(x + i);
            p[0] = static_cast<uint8_t>(value);
            p[1] = static_cast<uint8_t>(value >> 8);
            p[2] = static_cast<uint8_t>(value >> 16);
            p[3] = static_cast<uint8_t>(value >> 24);
        }
        break;
    default:
        break;
    }
}

namespace {

DibLayout SectionLayout(const BitmapObject& bitmap)
{
    DibLayout layout;
    layout.width = bitmap.m_Width;
    layout.height = bitmap.m_Height;
    layout.topDown = bitmap.m_TopDown;
    layout.bitsPerPixel = bitmap.m_BitsPerPixel;
    layout.stride = bitmap.m_Stride;
    layout.colors = bitmap.m_Colors.data();
    layout.colorCount = static_cast<int>(bitmap.m_Colors.size());
    if (bitmap.m_BitsPerPixel == 16) {
        layout.masks[0] = 0x7C00;
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    } else {
        layout.masks[0] = 0xFF0000;
        layout.masks[1] = 0x00FF00;
        layout.masks[2] = 0x0000FF;
    }
    return layout;
}

}  // namespace

void ReadSpan(const BitmapObject& bitmap, int x, int y, int count, uint32_t* out)
{
    switch (bitmap.m_Storage) {
    case BitmapStorage::Display:
        std::fill(out, out + count, 0xFFFFFFu & 0xFFFFFF);
        break;
    case BitmapStorage::Device:
        std::memcpy(out, bitmap.m_Surface->Row(y) + x, sizeof(uint32_t) * static_cast<size_t>(count));
        break;
    case BitmapStorage::DibSection: {
        DibLayout layout = SectionLayout(bitmap);
        layout.ReadRow(bitmap.m_Bits.get() + layout.RowOffset(y), x, count, out);
        break;
    }
    }
}

void WriteSpan(BitmapObject& bitmap, int x, int y, int count, const uint32_t* in)
{
    switch (bitmap.m_Storage) {
    case BitmapStorage::Display:
        break;
    case BitmapStorage::Device: {
        uint32_t* row = bitmap.m_Surface->Row(y) + x;
        if (bitmap.m_BitsPerPixel >= 24) {
            std::memcpy(row, in, sizeof(uint32_t) * static_cast<size_t>(count));
        } else {
            uint32_t lastIn = ~in[0];
            uint32_t lastOut = 0;
            for (int i = 0; i < count; ++i) {
                if (in[i] != lastIn) {
                    lastIn = in[i];
                    lastOut = QuantizeToDepth(in[i], bitmap.m_BitsPerPixel);
                }
                row[i] = lastOut;
            }
        }
        break;
    }
    case BitmapStorage::DibSection: {
        DibLayout layout = SectionLayout(bitmap);
        layout.WriteRow(bitmap.m_Bits.get() + layout.RowOffset(y), x, count, in);
        break;
    }
    }
}

uint32_t ReadPixel(const BitmapObject& bitmap, int x, int y)
{
    uint32_t pixel = 0;
    ReadSpan(bitmap, x, y, 1, &pixel);
    return pixel;
}

}  // namespace gdi
