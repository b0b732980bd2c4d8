// CPictureIterator: a row cursor over the bottom-up pixel rows of one picture.
#include "image/Picture.h"

#include <algorithm>
#include <cstring>

CPictureIterator::CPictureIterator(CPicture* image)
    : m_Image(image), m_Row(0), m_Pointer(image ? image->GetBits(0) : nullptr)
{}

void CPictureIterator::Upset()
{
    if (!m_Image)
        return;
    m_Row = static_cast<long>(m_Image->GetHeight()) - 1;
    m_Pointer = m_Row >= 0 ? m_Image->GetBits(static_cast<DWORD>(m_Row)) : nullptr;
}

bool CPictureIterator::NextRow()
{
    if (--m_Row < 0)
        return false;
    m_Pointer = m_Image ? m_Image->GetBits(static_cast<DWORD>(m_Row)) : nullptr;
    return true;
}

void CPictureIterator::SetY(long y)
{
    if (!m_Image || y < 0 || y > static_cast<long>(m_Image->GetHeight()))
        return;
    m_Row = y;
    // Row == height is accepted as a position but has no pixel bytes (null pointer).
    m_Pointer = m_Image->GetBits(static_cast<DWORD>(y));
}

BYTE* CPictureIterator::GetRow(long y)
{
    SetY(y);
    return m_Pointer;
}

void CPictureIterator::SetRow(const BYTE* buf, long n)
{
    if (!m_Image || !m_Pointer || !buf)
        return;
    const long rowBytes = static_cast<long>(m_Image->GetEffWidth());
    if (n < 0 || n >= rowBytes)
        n = rowBytes;
    std::memcpy(m_Pointer, buf, static_cast<size_t>(n));
}

void CPictureIterator::GetRow(BYTE* buf, long n) const
{
    if (!m_Image || !m_Pointer || !buf || n <= 0)
        return;
    // Never read past the current row.
    n = std::min(n, static_cast<long>(m_Image->GetEffWidth()));
    std::memcpy(buf, m_Pointer, static_cast<size_t>(n));
}
