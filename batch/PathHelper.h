// The program folder and the resolution of relative paths against it.
#pragma once

#include <string>
#include <string_view>

class CPathHelper {
public:
    virtual ~CPathHelper() = default;

    // The program folder with a trailing '/': the executable's folder when the user can write
    // there, else the per-user folder (see platform/ProgramFolder.h); empty when unknown.
    std::string GetExeFolder() const;
    // A path starting with '/' is absolute and answered unchanged; any other path is taken
    // relative to the program folder.
    std::string ResolvePath(std::string_view path) const;
};
