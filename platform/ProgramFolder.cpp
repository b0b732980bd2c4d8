// The program folder rule: beside the executable when writable, else the per-user data folder.
#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

std::string PerUserFolder()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    // The XDG rule: a relative or empty value is ignored.
    if (dataHome && dataHome[0] == '/')
        return std::string(dataHome) + "/tessmark/";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/tessmark/";
    return {};
}

}  // namespace

std::string ExecutableFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(length));
            return path.substr(0, path.rfind('/') + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

ProgramFolder LocateProgramFolder()
{
    std::string executableFolder = ExecutableFolder();
    if (executableFolder.empty() || access(executableFolder.c_str(), W_OK) == 0)
        return {executableFolder, ProgramFolderKind::BesideExecutable};
    std::string perUser = PerUserFolder();
    if (perUser.empty())
        return {executableFolder, ProgramFolderKind::BesideExecutable};
    std::error_code error;
    std::filesystem::create_directories(perUser, error);
    if (access(perUser.c_str(), W_OK) != 0)
        return {executableFolder, ProgramFolderKind::BesideExecutable};
    return {perUser, ProgramFolderKind::PerUser};
}
