// Replacing a file only once its new content is complete: write a sibling, then rename it over.
#pragma once

#include <cstddef>
#include <string>

// An empty new file in the folder of `path`, to be written through Path() and then put in
// place of `path` in one step. Where the file system allows it the file has no name until
// Commit (so a process killed while writing leaves nothing behind); otherwise it is a hidden
// partial file named by PartialFileName, which folder listings of the batch skip.
// Removed by the destructor unless committed.
class SiblingFile {
public:
    explicit SiblingFile(const std::string& path);
    ~SiblingFile();
    SiblingFile(const SiblingFile&) = delete;
    SiblingFile& operator=(const SiblingFile&) = delete;

    bool IsValid() const { return !m_WritePath.empty(); }
    // The path to open for writing (truncating is fine).
    const std::string& Path() const { return m_WritePath; }
    // Gives the new file the target's permissions (0666 less the umask for a new target) and
    // renames it over the target. On failure the new file is removed and the target untouched.
    bool Commit();

private:
    std::string NewSiblingName() const;

    std::string m_TargetPath;
    std::string m_Folder;  // with a trailing '/', or empty for the current folder
    std::string m_WritePath;
    std::string m_SiblingPath;  // the named sibling, when there is one
    int m_Unnamed = -1;         // descriptor of the unnamed file, when there is one
};

// A fresh name for a partial file in `folder` (empty, or ending in '/'):
// ".tessmark-PID-RANDOM.part", short whatever the target's name, and carrying the writing
// process so a later run can tell a partial file whose writer is gone.
std::string PartialFileName(const std::string& folder);
// Removes from `folder` the partial files of that naming whose writing process no longer
// exists; answers how many were removed.
int RemoveStalePartialFiles(const std::string& folder);

// Writes `size` bytes to `path` so that the file is always either its old or its new content.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);
