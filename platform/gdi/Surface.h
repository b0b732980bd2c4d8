// A 32-bit pixel buffer with top-down rows: what windows and device bitmaps paint into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels are 0x00RRGGBB ints (blue, green, red, unused in memory, like a 32-bit DIB section).
// The top byte is kept as written; drawing calls write it as 0.
class Surface {
public:
    Surface() = default;
    Surface(int width, int height, uint32_t fill = 0);
    // A large pixel block is handed to the next large surface of the same thread, which
    // saves touching fresh pages for every picture of a batch.
    ~Surface();
    Surface(const Surface&) = default;
    Surface(Surface&&) noexcept = default;
    Surface& operator=(const Surface&) = default;
    Surface& operator=(Surface&&) noexcept = default;

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_Width && y < m_Height; }

    // Out-of-range reads answer 0; out-of-range writes are dropped.
    uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t pixel);

    uint32_t* Row(int y) { return m_Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_Width); }
    const uint32_t* Row(int y) const
    {
        return m_Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_Width);
    }

    void Resize(int width, int height, uint32_t fill = 0);
    void Fill(uint32_t pixel);

    // Frees the block the calling thread keeps for its next large surface.
    static void ReleaseKeptBlock();

private:
    int m_Width = 0;
    int m_Height = 0;
    std::vector<uint32_t> m_Pixels;
};
