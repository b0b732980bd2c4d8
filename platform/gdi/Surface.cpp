// A 32-bit pixel buffer with top-down rows.
#include "platform/gdi/Surface.h"

#include <algorithm>

Surface::Surface(int width, int height, uint32_t fill)
{
    Resize(width, height, fill);
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
    m_Pixels.assign(static_cast<std::size_t>(m_Width) * static_cast<std::size_t>(m_Height), fill);
}

void Surface::Fill(uint32_t pixel)
{
    std::fill(m_Pixels.begin(), m_Pixels.end(), pixel);
}
