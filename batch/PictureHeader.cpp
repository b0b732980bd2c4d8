// Header reading for the formats whose size sits in their first bytes (JPEG: its frame header).
#include "batch/PictureHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// JPEG segments skipped while looking for the frame header.
constexpr int kMaxJpegSegments = 1000;

class HeaderReader {
public:
    explicit HeaderReader(const std::string& path)
    {
        m_Fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (m_Fd >= 0 && (fstat(m_Fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            close(m_Fd);
            m_Fd = -1;
        }
        m_Size = m_Fd >= 0 ? static_cast<uint64_t>(info.st_size) : 0;
    }
    ~HeaderReader()
    {
        if (m_Fd >= 0)
            close(m_Fd);
    }
    HeaderReader(const HeaderReader&) = delete;
    HeaderReader& operator=(const HeaderReader&) = delete;

    uint64_t Size() const { return m_Size; }
    bool Read(uint64_t offset, void* out, size_t count) const
    {
        if (m_Fd < 0 || offset > m_Size || count > m_Size - offset)
            return false;
        size_t done = 0;
        while (done < count) {
            ssize_t got = pread(m_Fd, static_cast<char*>(out) + done, count - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            done += static_cast<size_t>(got);
        }
        return true;
    }

private:
    int m_Fd = -1;
    uint64_t m_Size = 0;
};

uint32_t Big16(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 8 | p[1];
}
uint32_t Big32(const unsigned char* p)
{
    return Big16(p) << 16 | Big16(p + 2);
}
uint32_t Little16(const unsigned char* p)
{
    return static_cast<uint32_t>(p[1]) << 8 | p[0];
}
uint32_t Little32(const unsigned char* p)
{
    return Little16(p + 2) << 16 | Little16(p);
}

bool JpegSize(const HeaderReader& file, uint64_t& width, uint64_t& height)
{
    uint64_t at = 2;
    for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
        unsigned char marker[2];
        if (!file.Read(at, marker, 2) || marker[0] != 0xFF)
            return false;
        if (marker[1] == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        unsigned char m = marker[1];
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {  // no length field
            at += 2;
            continue;
        }
        unsigned char body[7];
        if (!file.Read(at + 2, body, 2))
            return false;
        uint32_t length = Big16(body);
        bool frame = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (frame) {
            if (length < 7 || !file.Read(at + 2, body, 7))
                return false;
            height = Big16(body + 3);
            width = Big16(body + 5);
            return true;
        }
        if (length < 2 || m == 0xD9 || m == 0xDA)
            return false;
        at += 2 + length;
    }
    return false;
}

bool TiffSize(const HeaderReader& file, bool little, uint64_t& width, uint64_t& height)
{
    auto u16 = [little](const unsigned char* p) { return little ? Little16(p) : Big16(p); };
    auto u32 = [little](const unsigned char* p) { return little ? Little32(p) : Big32(p); };
    unsigned char bytes[12];
    if (!file.Read(4, bytes, 4))
        return false;
    uint64_t directory = u32(bytes);
    if (!file.Read(directory, bytes, 2))
        return false;
    uint32_t count = u16(bytes);
    bool haveWidth = false, haveHeight = false;
    for (uint32_t i = 0; i < count && !(haveWidth && haveHeight); ++i) {
        if (!file.Read(directory + 2 + 12 * uint64_t{i}, bytes, 12))
            return false;
        uint32_t tag = u16(bytes);
        uint32_t type = u16(bytes + 2);
        if (tag != 256 && tag != 257)
            continue;
        uint64_t value = type == 3 ? u16(bytes + 8) : type == 4 ? u32(bytes + 8) : 0;
        if (type != 3 && type != 4)
            return false;
        (tag == 256 ? width : height) = value;
        (tag == 256 ? haveWidth : haveHeight) = true;
    }
    return haveWidth && haveHeight;
}

}  // namespace

bool PeekPictureSize(const std::string& path, uint64_t& width, uint64_t& height)
{
    HeaderReader file(path);
    unsigned char head[26] = {};
    if (!file.Read(0, head, std::min<uint64_t>(sizeof head, file.Size())) || file.Size() < 8)
        return false;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(head, kPng, 8) == 0 && file.Size() >= 24) {
        width = Big32(head + 16);
        height = Big32(head + 20);
        return true;
    }
    if (head[0] == 0xFF && head[1] == 0xD8)
        return JpegSize(file, width, height);
    if (std::memcmp(head, "GIF8", 4) == 0 && file.Size() >= 10) {
        width = Little16(head + 6);
        height = Little16(head + 8);
        return true;
    }
    if (head[0] == 'B' && head[1] == 'M' && file.Size() >= 26) {
        if (Little32(head + 14) == 12) {
            width = Little16(head + 18);
            height = Little16(head + 20);
        } else {
            width = Little32(head + 18);
            int32_t signedHeight = static_cast<int32_t>(Little32(head + 22));
            height = static_cast<uint64_t>(signedHeight < 0 ? -int64_t{signedHeight} : int64_t{signedHeight});
        }
        return true;
    }
    if (std::memcmp(head, "II*\0", 4) == 0)
        return TiffSize(file, true, width, height);
    if (std::memcmp(head, "MM\0*", 4) == 0)
        return TiffSize(file, false, width, height);
    return false;
}
