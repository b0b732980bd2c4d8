// CStream over a C library FILE stream.
#pragma once

#include "image/Stream.h"

#include <cstdio>

class CFileStream : public CStream {
public:
    // Wraps a caller's stream, which is never closed here; without one, every read answers 0.
    explicit CFileStream(FILE* fp = nullptr);
    // Opens a file by name; the stream is closed by Close.
    CFileStream(const char* filename, const char* mode);
    ~CFileStream() override;

    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    bool Close() override;
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
    FILE* m_fp;
    bool m_bCloseFile;
};
