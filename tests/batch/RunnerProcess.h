// The command-line runner copied into a folder of its own and run as a real child process.
#pragma once

#include "tests/TestData.h"

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// config.ini, temp.bmp and the default output folder live beside the copied executable.
class Runner {
public:
    explicit Runner(const TempDir& dir);
    std::filesystem::path Folder() const { return m_Exe.parent_path(); }

    // Starts the runner with standard output and error going to the given files (both to
    // `outputFile` when `errorFile` is empty), or standard output on `stdoutFd` when one is
    // given. A `fileSizeLimit` above 0 caps the size of any file the runner writes (writes
    // beyond it fail with "File too large").
    pid_t Spawn(const std::vector<std::string>& arguments, const std::filesystem::path& outputFile,
                const std::filesystem::path& errorFile = {}, long fileSizeLimit = 0, int stdoutFd = -1) const;

    // Runs to the end; answers the exit code (-1 for a signal, -2 when the runner had to be
    // killed after a minute) and fills the printed text (both streams).
    int Run(const std::vector<std::string>& arguments, std::string& printed, int stdoutFd = -1) const;

    // What one run printed and how it ended.
    struct Result {
        int status = -1;  // exit code; -1 for a signal, -2 when it had to be killed for hanging
        std::string out;
        std::string err;
    };
    // Runs with the streams apart; a run still going after `seconds` is killed.
    Result RunApart(const std::vector<std::string>& arguments, int seconds = 60, long fileSizeLimit = 0) const;

private:
    std::filesystem::path m_Exe;
};
