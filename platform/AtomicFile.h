// Replacing a file only once its new content is complete: write a sibling, then rename it over.
#pragma once

#include <cstddef>
#include <string>

// A uniquely named, empty sibling of `path` in the same folder, hidden (its name starts with
// '.') so folder listings of the batch skip it. Removed by the destructor unless committed.
class SiblingFile {
public:
    explicit SiblingFile(const std::string& path);
    ~SiblingFile();
    SiblingFile(const SiblingFile&) = delete;
    SiblingFile& operator=(const SiblingFile&) = delete;

    bool IsValid() const { return !m_SiblingPath.empty(); }
    const std::string& Path() const { return m_SiblingPath; }
    // Gives the sibling the target's permissions (0666 less the umask for a new target) and
    // renames it over the target. On failure the sibling is removed and the target untouched.
    bool Commit();

private:
    std::string m_TargetPath;
    std::string m_SiblingPath;
};

// Writes `size` bytes to `path` so that the file is always either its old or its new content.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);
