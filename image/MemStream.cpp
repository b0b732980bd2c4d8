// CMemStream: CStream over a growable memory block.
#include "image/MemStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {
constexpr uint64_t kGrowthStep = 4096;
}

CMemStream::CMemStream(uint8_t* pBuffer, uint32_t size)
    : m_pBuffer(pBuffer), m_Size(size), m_bFreeOnClose(pBuffer == nullptr), m_Position(0), m_Capacity(size),
      m_bCallersBlock(pBuffer != nullptr)
{}

CMemStream::~CMemStream()
{
    Close();
}

bool CMemStream::Open()
{
    if (m_pBuffer)
        return false;
    m_Position = 0;
    m_Size = 0;
    m_Capacity = 0;
    // A zero-length block; one byte is asked for so the answer never depends on malloc(0).
    m_pBuffer = static_cast<uint8_t*>(std::malloc(1));
    m_bFreeOnClose = true;
    m_bCallersBlock = false;
    return m_pBuffer != nullptr;
}

bool CMemStream::Close()
{
    if (m_pBuffer && m_bFreeOnClose) {
        std::free(m_pBuffer);
        m_pBuffer = nullptr;
        m_Size = 0;
        m_Capacity = 0;
        m_Position = 0;
    }
    return true;
}

uint8_t* CMemStream::GetBuffer(bool bDetachBuffer)
{
    // Freeing a block the caller handed in would free the caller's memory under it.
    m_bFreeOnClose = !bDetachBuffer && !m_bCallersBlock;
    return m_pBuffer;
}

bool CMemStream::Grow(uint64_t required)
{
    if (required <= m_Capacity)
        return true;
    const uint64_t steps = (required - m_Capacity + kGrowthStep - 1) / kGrowthStep;
    const uint64_t capacity = m_Capacity + steps * kGrowthStep;
    if (capacity > std::numeric_limits<uint32_t>::max())
        return false;
    uint8_t* grown = nullptr;
    if (m_pBuffer && m_bFreeOnClose) {
        grown = static_cast<uint8_t*>(std::realloc(m_pBuffer, capacity));
    } else {
        // A caller's block is not ours to reallocate: move the data into a block of our own.
        grown = static_cast<uint8_t*>(std::malloc(capacity));
        if (grown && m_pBuffer)
            std::memcpy(grown, m_pBuffer, m_Size);
    }
    if (!grown)
        return false;
    m_pBuffer = grown;
    m_Capacity = static_cast<uint32_t>(capacity);
    m_bFreeOnClose = true;
    m_bCallersBlock = false;
    return true;
}

size_t CMemStream::Read(void* buffer, size_t size, size_t count)
{
    if (!m_pBuffer || !buffer || size == 0 || count == 0)
        return 0;
    if (count > std::numeric_limits<size_t>::max() / size)
        return 0;
    if (static_cast<uint32_t>(m_Position) > m_Size)
        return 0;
    const size_t available = m_Size - static_cast<uint32_t>(m_Position);
    const size_t bytes = std::min(size * count, available);
    std::memcpy(buffer, m_pBuffer + m_Position, bytes);
    m_Position += static_cast<int32_t>(bytes);
    return bytes / size;
}

size_t CMemStream::Write(const void* buffer, size_t size, size_t count)
{
    if (!m_pBuffer || !buffer || size == 0 || count == 0)
        return 0;
    if (count > std::numeric_limits<size_t>::max() / size)
        return 0;
    const uint64_t bytes = static_cast<uint64_t>(size) * count;
    const uint64_t end = static_cast<uint64_t>(m_Position) + bytes;
    // Positions are 32-bit signed; a write that would pass them, or a failed growth, writes nothing.
    if (end > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) || !Grow(end))
        return 0;
    // A write after a seek beyond the data leaves a gap: zero it instead of exposing old heap bytes.
    if (static_cast<uint32_t>(m_Position) > m_Size)
        std::memset(m_pBuffer + m_Size, 0, static_cast<uint32_t>(m_Position) - m_Size);
    std::memcpy(m_pBuffer + m_Position, buffer, static_cast<size_t>(bytes));
    m_Position = static_cast<int32_t>(end);
    if (static_cast<uint32_t>(m_Position) > m_Size)
        m_Size = static_cast<uint32_t>(m_Position);
    return count;
}

bool CMemStream::Seek(int32_t offset, int origin)
{
    if (!m_pBuffer)
        return false;
    int64_t position = 0;
    switch (origin) {
    case 0:
        position = offset;
        break;
    case 1:
        position = static_cast<int64_t>(m_Position) + offset;
        break;
    case 2:
        position = static_cast<int64_t>(m_Size) + offset;
        break;
    default:
        return false;
    }
    if (position < 0 || position > std::numeric_limits<int32_t>::max())
        return false;
    m_Position = static_cast<int32_t>(position);
    return true;
}

int32_t CMemStream::Tell()
{
    return m_pBuffer ? m_Position : -1;
}

int32_t CMemStream::Size()
{
    if (!m_pBuffer)
        return -1;
    return m_Size > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                               : static_cast<int32_t>(m_Size);
}

bool CMemStream::Flush()
{
    return m_pBuffer != nullptr;
}

bool CMemStream::Eof()
{
    return !m_pBuffer || static_cast<uint32_t>(m_Position) >= m_Size;
}

int32_t CMemStream::Error()
{
    if (!m_pBuffer)
        return -1;
    return static_cast<uint32_t>(m_Position) > m_Size ? 1 : 0;
}

bool CMemStream::PutC(uint8_t c)
{
    return Write(&c, 1, 1) == 1;
}

int32_t CMemStream::GetC()
{
    if (Eof())
        return -1;
    return m_pBuffer[m_Position++];
}
