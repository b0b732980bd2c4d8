// Folder listing in the fixed name order.
#include "platform/FolderListing.h"

#include "platform/base/AsciiCase.h"

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool FolderNameLess(const std::string& a, const std::string& b)
{
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
        auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;  // std::string compares as unsigned bytes
}

std::vector<FolderEntry> ListFolder(const std::string& folder)
{
    std::vector<FolderEntry> entries;
    std::unique_ptr<DIR, DirCloser> dir{opendir(folder.empty() ? "." : folder.c_str())};
    if (!dir)
        return entries;
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            isDirectory = stat((folder + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({std::move(name), isDirectory});
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return FolderNameLess(a.name, b.name); });
    return entries;
}
