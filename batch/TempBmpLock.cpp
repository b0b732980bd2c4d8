// An advisory lock (flock) on the folder of temp.bmp: the folder, unlike the file, is never
// replaced during a run, so every process locks the same object.
#include "batch/TempBmpLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TempBmpLock::TempBmpLock(const std::string& tempBmpPath)
{
    size_t slash = tempBmpPath.rfind('/');
    m_Folder = slash == std::string::npos ? std::string(".") : tempBmpPath.substr(0, slash + 1);
}

TempBmpLock::~TempBmpLock()
{
    if (m_Fd >= 0)
        close(m_Fd);  // releases the lock
}

bool TempBmpLock::TryAcquire()
{
    return Lock(false);
}

void TempBmpLock::Acquire()
{
    Lock(true);
}

bool TempBmpLock::Lock(bool wait)
{
    if (m_Held)
        return true;
    if (m_Fd < 0)
        m_Fd = open(m_Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_Fd < 0) {
        m_Held = true;  // no folder to share: nothing to protect
        return true;
    }
    int result = 0;
    do {
        result = flock(m_Fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno == EWOULDBLOCK)
        return false;
    m_Held = true;  // locked, or a file system without locks
    return true;
}
