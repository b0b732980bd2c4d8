// The kernel calls over POSIX: mkdir, unlink and stat.
#include "platform/Kernel.h"

#include <sys/stat.h>
#include <unistd.h>

bool CreateDirectoryA(const char* path, const void*)
{
    return path != nullptr && mkdir(path, 0777) == 0;
}

bool DeleteFileA(const char* path)
{
    return path != nullptr && unlink(path) == 0;
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}
