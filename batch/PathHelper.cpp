// The executable's folder from /proc/self/exe, and relative paths resolved against it.
#include "batch/PathHelper.h"

#include <unistd.h>
#include <vector>

std::string CPathHelper::GetExeFolder() const
{
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(length));
            return path.substr(0, path.rfind('/') + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string CPathHelper::ResolvePath(std::string_view path) const
{
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    return GetExeFolder() + std::string(path);
}
