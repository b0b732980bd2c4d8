// Sibling files renamed over their targets, so a reader never sees a half-written file.
#include "platform/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/random.h>
#include <cstdint>
#include <ctime>
#include <string>

namespace {

constexpr int kNameAttempts = 16;
constexpr char kPartialPrefix[] = ".tessmark-";
constexpr char kPartialSuffix[] = ".part";

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::string RandomSuffix()
{
    unsigned char random[6] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // Without the random source, the process and the clock still make clashes unlikely;
        // O_EXCL below catches the rest.
        uint64_t value = static_cast<uint64_t>(getpid()) * 1000003u ^ static_cast<uint64_t>(clock());
        for (auto& byte : random) {
            byte = static_cast<unsigned char>(value);
            value = value * 6364136223846793005u + 1442695040888963407u;
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : random) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

}  // namespace

SiblingFile::SiblingFile(const std::string& path) : m_TargetPath(path)
{
    size_t slash = path.rfind('/');
    m_Folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // Created with 0666 so the umask applies as it would to the target itself.
    m_Unnamed = open(m_Folder.empty() ? "." : m_Folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_Unnamed >= 0) {
        m_WritePath = "/proc/self/fd/" + std::to_string(m_Unnamed);
        return;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = NewSiblingName();
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            m_SiblingPath = candidate;
            m_WritePath = candidate;
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

SiblingFile::~SiblingFile()
{
    if (!m_SiblingPath.empty())
        unlink(m_SiblingPath.c_str());
    if (m_Unnamed >= 0)
        close(m_Unnamed);
}

std::string SiblingFile::NewSiblingName() const
{
    return PartialFileName(m_Folder);
}

std::string PartialFileName(const std::string& folder)
{
    return folder + kPartialPrefix + std::to_string(getpid()) + "-" + RandomSuffix() + kPartialSuffix;
}

int RemoveStalePartialFiles(const std::string& folder)
{
    std::unique_ptr<DIR, DirCloser> dir{opendir(folder.empty() ? "." : folder.c_str())};
    if (!dir)
        return 0;
    const std::string prefix = kPartialPrefix;
    const std::string suffix = kPartialSuffix;
    int removed = 0;
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        char* end = nullptr;
        long pid = strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || end == nullptr || *end != '-' || pid == getpid())
            continue;
        // Only a process that is certainly gone: one that exists but is not ours is left alone.
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        std::string path = folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

bool SiblingFile::Commit()
{
    if (m_WritePath.empty())
        return false;
    m_WritePath.clear();
    if (m_Unnamed >= 0) {
        // Give the unnamed file a hidden name, then move it over the target.
        std::string procPath = "/proc/self/fd/" + std::to_string(m_Unnamed);
        for (int attempt = 0; attempt < kNameAttempts && m_SiblingPath.empty(); ++attempt) {
            std::string candidate = NewSiblingName();
            if (linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
                m_SiblingPath = candidate;
            else if (errno != EEXIST)
                break;
        }
        close(m_Unnamed);
        m_Unnamed = -1;
        if (m_SiblingPath.empty())
            return false;
    }
    struct stat target {};
    bool ok = true;
    if (stat(m_TargetPath.c_str(), &target) == 0 && S_ISREG(target.st_mode))
        ok = chmod(m_SiblingPath.c_str(), target.st_mode & 07777) == 0;
    ok = ok && rename(m_SiblingPath.c_str(), m_TargetPath.c_str()) == 0;
    if (!ok)
        unlink(m_SiblingPath.c_str());
    m_SiblingPath.clear();
    return ok;
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size)
{
    SiblingFile sibling(path);
    if (!sibling.IsValid())
        return false;
    int fd = open(sibling.Path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t written = write(fd, bytes + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<size_t>(written);
    }
    if (close(fd) != 0)
        return false;
    return sibling.Commit();
}
