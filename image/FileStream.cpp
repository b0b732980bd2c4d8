// CFileStream: CStream over a C library FILE stream.
#include "image/FileStream.h"

#include <cstdint>

CFileStream::CFileStream(FILE* fp) : m_fp(fp), m_bCloseFile(false) {}

CFileStream::CFileStream(const char* filename, const char* mode)
    : m_fp(filename && mode ? std::fopen(filename, mode) : nullptr), m_bCloseFile(true)
{}

CFileStream::~CFileStream()
{
    Close();
}

bool CFileStream::Close()
{
    if (!m_fp || !m_bCloseFile)
        return true;
    const bool closed = std::fclose(m_fp) == 0;
    m_fp = nullptr;
    return closed;
}

size_t CFileStream::Read(void* buffer, size_t size, size_t count)
{
    if (!m_fp || !buffer)
        return 0;
    return std::fread(buffer, size, count, m_fp);
}

size_t CFileStream::Write(const void* buffer, size_t size, size_t count)
{
    if (!m_fp || !buffer)
        return 0;
    return std::fwrite(buffer, size, count, m_fp);
}

bool CFileStream::Seek(int32_t offset, int origin)
{
    if (!m_fp)
        return false;
    return std::fseek(m_fp, offset, origin) == 0;
}

int32_t CFileStream::Tell()
{
    if (!m_fp)
        return 0;
    return static_cast<int32_t>(std::ftell(m_fp));
}

int32_t CFileStream::Size()
{
    if (!m_fp)
        return -1;
    const long position = std::ftell(m_fp);
    std::fseek(m_fp, 0, SEEK_END);
    const long size = std::ftell(m_fp);
    std::fseek(m_fp, position, SEEK_SET);
    // Positions are 32-bit; a larger file reads as the largest size they can express.
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

bool CFileStream::Flush()
{
    if (!m_fp)
        return false;
    return std::fflush(m_fp) == 0;
}

bool CFileStream::Eof()
{
    if (!m_fp)
        return true;
    return std::feof(m_fp) != 0;
}

int32_t CFileStream::Error()
{
    if (!m_fp)
        return -1;
    return std::ferror(m_fp);
}

bool CFileStream::PutC(uint8_t c)
{
    if (!m_fp)
        return false;
    return std::fputc(c, m_fp) == c;
}

int32_t CFileStream::GetC()
{
    if (!m_fp)
        return -1;
    return std::getc(m_fp);
}
