// The executable's folder and the resolution of relative paths against it.
#pragma once

#include <string>
#include <string_view>

class CPathHelper {
public:
    virtual ~CPathHelper() = default;

    // The folder of the running executable with a trailing '/'; empty when it cannot be read.
    std::string GetExeFolder() const;
    // A path starting with '/' is absolute and answered unchanged; any other path is taken
    // relative to the executable's folder.
    std::string ResolvePath(std::string_view path) const;
};
