// The entries of one folder in the project's fixed order, and small file-system queries.
#pragma once

#include <string>
#include <vector>

struct FolderEntry {
    std::string name;
    bool isDirectory = false;  // also for a symbolic link to a folder
};

// Orders names by their bytes with ASCII letters folded to upper case, then by the bytes
// themselves; the batch run and the preview list folders in this order.
bool FolderNameLess(const std::string& a, const std::string& b);

// The entries of `folder` except "." and "..", in FolderNameLess order. A folder that does not
// exist or cannot be read gives no entries.
std::vector<FolderEntry> ListFolder(const std::string& folder);
