// The chooser start folder and one run of the folder chooser.
#include "dialogs/Choosers.h"

#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <unistd.h>

std::string ExeFolderForChooser()
{
    ProgramFolder folder = LocateProgramFolder();
    if (folder.kind == ProgramFolderKind::BesideExecutable)
        return folder.path;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) : folder.path;
}

std::optional<std::string> BrowseForFolder(HWND owner, UINT flags, BFFCALLBACK callback)
{
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info;
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = kBrowseFolderTitle;
    info.ulFlags = flags;
    info.lpfn = callback;
    info.lParam = 0;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return std::nullopt;
    // The path is taken whole: a folder deeper than the 260-byte path buffer is still a folder.
    std::string path = chosen->path;
    CoTaskMemFree(chosen);
    if (path.empty())
        return std::nullopt;
    return path;
}
