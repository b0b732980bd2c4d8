// The program folder, and relative paths resolved against it.
#include "batch/PathHelper.h"

#include "platform/ProgramFolder.h"

std::string CPathHelper::GetExeFolder() const
{
    return LocateProgramFolder().path;
}

std::string CPathHelper::ResolvePath(std::string_view path) const
{
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    return GetExeFolder() + std::string(path);
}
