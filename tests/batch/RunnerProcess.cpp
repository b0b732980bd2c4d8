// Copying, starting and waiting for the command-line runner.
#include "tests/batch/RunnerProcess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path)
{
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Waits for `child` for at most `seconds`; kills it when it is still going then.
bool WaitWithin(pid_t child, int seconds, int& status)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

Runner::Runner(const TempDir& dir) : m_Exe(dir / "bin" / "tessmark-batch")
{
    fs::create_directories(dir / "bin");
    fs::copy_file(TESSMARK_BATCH_EXE, m_Exe);
}

pid_t Runner::Spawn(const std::vector<std::string>& arguments, const fs::path& outputFile, const fs::path& errorFile,
                    long fileSizeLimit, int stdoutFd) const
{
    pid_t child = fork();
    if (child == 0) {
        int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = errorFile.empty() ? out : open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(stdoutFd >= 0 ? stdoutFd : out, 1);
        dup2(err, 2);
        if (fileSizeLimit > 0) {
            signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec: writes fail instead
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<std::string> all = {m_Exe.string()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int Runner::Run(const std::vector<std::string>& arguments, std::string& printed, int stdoutFd) const
{
    fs::path outputFile = Folder() / "printed.txt";
    pid_t child = Spawn(arguments, outputFile, {}, 0, stdoutFd);
    int status = 0;
    bool ended = WaitWithin(child, 60, status);
    printed = ReadText(outputFile);
    if (!ended)
        return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Runner::Result Runner::RunApart(const std::vector<std::string>& arguments, int seconds, long fileSizeLimit) const
{
    fs::path outFile = Folder() / "stdout.txt";
    fs::path errFile = Folder() / "stderr.txt";
    pid_t child = Spawn(arguments, outFile, errFile, fileSizeLimit);
    Result result;
    int status = 0;
    bool ended = WaitWithin(child, seconds, status);
    result.status = !ended ? -2 : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadText(outFile);
    result.err = ReadText(errFile);
    return result;
}
