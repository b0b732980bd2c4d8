// The kernel calls over POSIX: mkdir and unlink.
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
