// The byte-stream interface through which every codec reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>

class CStream {
public:
    virtual ~CStream() = default;
    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    virtual bool Seek(int32_t offset, int origin) = 0;  // 0 start, 1 current, 2 end
    virtual int32_t Tell() = 0;
    virtual int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int32_t Error() = 0;
    virtual bool PutC(uint8_t c);
    virtual int32_t GetC() = 0;
};
