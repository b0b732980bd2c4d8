// Little-endian field access in byte buffers: the one reader and writer of fixed-layout fields.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint16_t ReadLE16(const uint8_t* raw, size_t offset)
{
    return static_cast<uint16_t>(raw[offset] | (raw[offset + 1] << 8));
}

// On little-endian machines a plain (unaligned) load: the pixel row converters read with it.
inline uint32_t ReadLE32(const uint8_t* raw, size_t offset)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t value;
        std::memcpy(&value, raw + offset, sizeof value);
        return value;
    } else {
        return static_cast<uint32_t>(raw[offset]) | (static_cast<uint32_t>(raw[offset + 1]) << 8) |
               (static_cast<uint32_t>(raw[offset + 2]) << 16) | (static_cast<uint32_t>(raw[offset + 3]) << 24);
    }
}

inline void WriteLE16(uint8_t* raw, size_t offset, uint32_t value)
{
    raw[offset] = static_cast<uint8_t>(value);
    raw[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteLE32(uint8_t* raw, size_t offset, uint32_t value)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(raw + offset, &value, sizeof value);
    } else {
        for (int i = 0; i < 4; ++i)
            raw[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}
