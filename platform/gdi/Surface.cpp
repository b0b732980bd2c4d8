// A 32-bit pixel buffer with top-down rows.
#include "platform/gdi/Surface.h"

#include <algorithm>

namespace {

// Blocks from this many pixels on are kept for reuse when their surface goes.
constexpr std::size_t kLargePixels = std::size_t{1} << 20;
// A kept block is reused only for surfaces of at least three quarters of its size, so a
// small surface never holds on to a huge block.
constexpr std::size_t kReuseQuarters = 3;

// The one kept block of a thread. The flag (trivially destructible, so readable at any time)
// tells surfaces destroyed after the block's own destruction at thread exit to let go.
struct SpareBlock {
    std::vector<uint32_t> pixels;
    ~SpareBlock() { t_Closed = true; }
    static thread_local bool t_Closed;
};
thread_local bool SpareBlock::t_Closed = false;
thread_local SpareBlock t_Spare;

}  // namespace

Surface::Surface(int width, int height, uint32_t fill)
{
    Resize(width, height, fill);
}

Surface::~Surface()
{
    if (m_Pixels.capacity() >= kLargePixels && !SpareBlock::t_Closed)
        t_Spare.pixels.swap(m_Pixels);  // the previous spare goes with this surface
}

void Surface::ReleaseKeptBlock()
{
    if (!SpareBlock::t_Closed)
        std::vector<uint32_t>().swap(t_Spare.pixels);
}

uint32_t Surface::Pixel(int x, int y) const
{
    return Contains(x, y) ? Row(y)[x] : 0;
}

void Surface::SetPixel(int x, int y, uint32_t pixel)
{
    if (Contains(x, y))
        Row(y)[x] = pixel;
}

void Surface::Resize(int width, int height, uint32_t fill)
{
    m_Width = std::max(width, 0);
    m_Height = std::max(height, 0);
    std::size_t count = static_cast<std::size_t>(m_Width) * static_cast<std::size_t>(m_Height);
    if (count >= kLargePixels && m_Pixels.capacity() < count && !SpareBlock::t_Closed) {
        // A kept block that does not fit is freed before the new one is allocated, so the two
        // are never held at once.
        std::vector<uint32_t>& spare = t_Spare.pixels;
        if (spare.capacity() >= count && count * 4 >= spare.capacity() * kReuseQuarters)
            m_Pixels.swap(spare);
        std::vector<uint32_t>().swap(spare);
    }
    m_Pixels.assign(static_cast<std::size_t>(m_Width) * static_cast<std::size_t>(m_Height), fill);
}

void Surface::Fill(uint32_t pixel)
{
    std::fill(m_Pixels.begin(), m_Pixels.end(), pixel);
}
