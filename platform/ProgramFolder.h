// Where the program keeps config.ini, temp.bmp and the targets of relative setting paths.
#pragma once

#include <string>

enum class ProgramFolderKind {
    BesideExecutable,  // the executable's folder is writable: portable use, a build tree
    PerUser,           // an installed program: $XDG_DATA_HOME/tessmark/
};

struct ProgramFolder {
    std::string path;  // with a trailing '/'; empty when no folder can be found
    ProgramFolderKind kind = ProgramFolderKind::BesideExecutable;
};

// The folder of the running executable (/proc/self/exe) with a trailing '/'; empty when it
// cannot be read.
std::string ExecutableFolder();

// The executable's folder when the user can write there; otherwise the per-user folder
// $XDG_DATA_HOME/tessmark/ (default ~/.local/share/tessmark/), created on first use. When the
// per-user folder cannot be made either, the executable's folder is answered, so failures
// surface where the files are written.
ProgramFolder LocateProgramFolder();
