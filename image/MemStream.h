// CStream over a growable memory block (growth in steps of 4096 bytes).
#pragma once

#include "image/Stream.h"

#include <cstdint>

class CMemStream : public CStream {
public:
    explicit CMemStream(uint8_t* pBuffer = nullptr, uint32_t size = 0);
    ~CMemStream() override;

    CMemStream(const CMemStream&) = delete;
    CMemStream& operator=(const CMemStream&) = delete;

    bool Open();
    bool Close() override;
    // The block; a detached block becomes the caller's to free with free(). Not detaching keeps
    // (or takes back) a block the stream allocated; a block the caller handed in stays the caller's.
    uint8_t* GetBuffer(bool bDetachBuffer = true);
    // The block, leaving its ownership as it is.
    const uint8_t* Data() const { return m_pBuffer; }
    // Bytes allocated for the block (at least the data size).
    uint32_t Capacity() const { return m_Capacity; }

    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t c) override;
    int32_t GetC() override;

private:
    bool Grow(uint64_t required);

    uint8_t* m_pBuffer;
    uint32_t m_Size;
    bool m_bFreeOnClose;
    int32_t m_Position;
    uint32_t m_Capacity;
    bool m_bCallersBlock;  // m_pBuffer is the block handed to the constructor
};
