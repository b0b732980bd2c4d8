// The kernel calls the batch run makes by their Windows names, over POSIX.
#pragma once

#include <string>

// Creates one folder level; answers false when it exists already or cannot be made.
bool CreateDirectoryA(const char* path, const void* securityAttributes);
// Removes a file; answers false when there is none or it cannot be removed.
bool DeleteFileA(const char* path);
// True when `path` names an existing file (not a folder).
bool FileExists(const std::string& path);
