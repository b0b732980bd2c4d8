// Headless batch runner: runs the job of config.ini (beside the executable, or --config FILE)
// and prints the status texts, a progress count and the end message.
#include "batch/BatchRun.h"
#include "batch/JobSettings.h"
#include "batch/PathHelper.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitMissingSetting = 2;
constexpr int kExitUsage = 2;
constexpr int kExitSomeWithoutOutput = 3;
constexpr char kHugePageTunable[] = "glibc.malloc.hugetlb=1";

void PrintUsage(FILE* stream = stderr)
{
    fprintf(stream, "usage: tessmark-batch [--config FILE] [-j N] [--in-memory] [--memory-budget MIB]\n"
                    "                      [--peak-memory] [--set KEY=VALUE]...\n"
                    "  --config FILE    job settings file (default: config.ini beside the executable)\n"
                    "  -j N             compose N files at once (default: the number of cores), each\n"
                    "                   through an in-memory intermediate bitmap; -j 1 goes through\n"
                    "                   temp.bmp beside the executable, as the main window does\n"
                    "  --in-memory      -j 1 through an in-memory intermediate bitmap as well\n"
                    "  --memory-budget MIB  memory the files composed at once may need together\n"
                    "                   (default: half the physical memory)\n"
                    "  --peak-memory    print the run's peak memory use on standard error at the end\n"
                    "  --set KEY=VALUE  change one setting (SrcFileType, SrcFolderSite, SrcFileSite,\n"
                    "                   WaterMarkFileSite, OutputFolderSite, PosType, PosX, PosY) and save\n"
                    "                   the settings file before the run\n"
                    "exit status: 0 all written, 2 a setting missing or the watermark unusable,\n"
                    "             3 some picture got no output (the reason on standard error)\n");
}

// Applies one KEY=VALUE; answers what is wrong with it, or an empty text.
std::string ApplySetting(JobSettings& settings, const std::string& assignment)
{
    size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        return "unknown setting: " + assignment;
    std::string key = assignment.substr(0, equals);
    std::string value = assignment.substr(equals + 1);
    // config.ini holds one value a line: a break would save a value cut short at it.
    if (value.find_first_of("\r\n") != std::string::npos)
        return "a value cannot hold a line break: " + key;
    if (key == "SrcFileType")
        settings.SrcFileType = IniToInt(value.c_str());
    else if (key == "SrcFolderSite")
        settings.SrcFolderSite = value;
    else if (key == "SrcFileSite")
        settings.SrcFileSite = value;
    else if (key == "WaterMarkFileSite")
        settings.WaterMarkFileSite = value;
    else if (key == "OutputFolderSite")
        settings.OutputFolderSite = value;
    else if (key == "PosType")
        settings.PosType = IniToInt(value.c_str());
    else if (key == "PosX")
        settings.PosX = IniToInt(value.c_str());
    else if (key == "PosY")
        settings.PosY = IniToInt(value.c_str());
    else
        return "unknown setting: " + assignment;
    return {};
}

// Large picture buffers are allocated for every file; backing them with transparent huge
// pages cuts the cost of first touching them by an order of magnitude. The C library reads
// this setting only at start-up, so the runner restarts itself once with it.
void RestartWithHugePages(char** argv)
{
    const char* tunables = getenv("GLIBC_TUNABLES");
    if (tunables != nullptr && strstr(tunables, "glibc.malloc.hugetlb") != nullptr)
        return;
    std::string value = tunables != nullptr && *tunables != '\0' ? std::string(tunables) + ":" + kHugePageTunable
                                                                 : std::string(kHugePageTunable);
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Without the restart the run still works, only slower.
}

std::string TerminalText(std::string text)
{
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.replace(at, 2, "\n");
    return text;
}

class ConsoleObserver final : public BatchObserver {
public:
    void OnMissingSetting(const std::string& message) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        printf("%s\n", message.c_str());
        fflush(stdout);
        m_Missing = true;
    }
    void OnStatus(const std::string& status, int index, int total) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        printf("[%d/%d] %s\n", index, total, TerminalText(status).c_str());
        fflush(stdout);
    }
    void OnFileDone(const WatermarkJob&, ComposeResult result) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (result == ComposeResult::Written)
            ++m_Written;
    }
    void OnNoOutput(const WatermarkJob& job, ComposeResult, const std::string& reason) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        fprintf(stderr, "no output for %s: %s\n", job.SrcPath.c_str(), reason.c_str());
        ++m_WithoutOutput;
    }
    void OnUnusableWatermark(const std::string& markPath, const std::string& reason) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        fprintf(stderr, "unusable watermark %s: %s\n", markPath.c_str(), reason.c_str());
    }
    bool Missing() const { return m_Missing; }
    int Written() const { return m_Written; }
    int WithoutOutput() const { return m_WithoutOutput; }

private:
    std::mutex m_Lock;
    bool m_Missing = false;
    int m_Written = 0;
    int m_WithoutOutput = 0;
};

// The process's peak resident memory (VmHWM), as /proc/self/status gives it.
std::string PeakMemory()
{
    FILE* status = fopen("/proc/self/status", "r");
    if (status == nullptr)
        return "unknown";
    char line[256];
    std::string peak = "unknown";
    while (fgets(line, sizeof line, status) != nullptr) {
        if (strncmp(line, "VmHWM:", 6) == 0) {
            peak = line + 6;
            peak.erase(0, peak.find_first_not_of(" \t"));
            peak.erase(peak.find_last_not_of(" \t\n") + 1);
            break;
        }
    }
    fclose(status);
    return peak;
}

// A settings file that exists must be a regular file (a link to one is fine): a folder cannot
// be read, and opening a FIFO would wait for a writer forever.
bool IsUsableSettingsFile(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return errno == ENOENT;  // a missing file gives the defaults and is created by --set
    return S_ISREG(status.st_mode);
}

int RunBatchJob(int argc, char** argv)
{
    std::string configPath;
    int workers = static_cast<int>(std::thread::hardware_concurrency());
    std::vector<std::string> assignments;
    Intermediate intermediate = Intermediate::TempFile;
    uint64_t memoryBudget = 0;
    bool printPeak = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help") {
            PrintUsage(stdout);
            return 0;
        }
        if (argument == "--config" && i + 1 < argc) {
            configPath = argv[++i];
        } else if (argument == "-j" && i + 1 < argc) {
            workers = atoi(argv[++i]);
        } else if (argument.rfind("-j", 0) == 0 && argument.size() > 2) {
            workers = atoi(argument.c_str() + 2);
        } else if (argument == "--in-memory") {
            intermediate = Intermediate::Memory;
        } else if (argument == "--memory-budget" && i + 1 < argc) {
            long long mebibytes = atoll(argv[++i]);
            if (mebibytes <= 0) {
                PrintUsage();
                return kExitUsage;
            }
            memoryBudget = static_cast<uint64_t>(mebibytes) << 20;
        } else if (argument == "--peak-memory") {
            printPeak = true;
        } else if (argument == "--set" && i + 1 < argc) {
            assignments.push_back(argv[++i]);
        } else {
            PrintUsage();
            return kExitUsage;
        }
    }
    if (workers < 1) {
        PrintUsage();
        return kExitUsage;
    }
    if (configPath.empty())
        configPath = CPathHelper().ResolvePath("config.ini");
    if (!IsUsableSettingsFile(configPath)) {
        fprintf(stderr, "not a settings file: %s\n", configPath.c_str());
        return kExitUsage;
    }

    JobSettings settings;
    settings.LoadFromIni(configPath);
    if (!assignments.empty()) {
        for (const std::string& assignment : assignments) {
            std::string problem = ApplySetting(settings, assignment);
            if (!problem.empty()) {
                fprintf(stderr, "%s\n", problem.c_str());
                return kExitUsage;
            }
        }
        if (!settings.SaveToIni(configPath))
            fprintf(stderr, "could not write %s\n", configPath.c_str());
    }

    ConsoleObserver observer;
    BatchRun run(settings, &observer, workers, {}, intermediate);
    run.SetMemoryBudget(memoryBudget);
    run.RunBatch();
    if (printPeak)
        fprintf(stderr, "peak memory: %s\n", PeakMemory().c_str());
    if (observer.Missing())
        return kExitMissingSetting;
    printf("%d written to %s\n", observer.Written(), CPathHelper().ResolvePath(settings.OutputFolderSite).c_str());
    if (observer.WithoutOutput() > 0)
        printf("%d without output\n", observer.WithoutOutput());
    printf("%s\n", kRunFinished);
    return observer.WithoutOutput() > 0 ? kExitSomeWithoutOutput : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    RestartWithHugePages(argv);
    // A reader that goes away (`| head -1`) must not end the run: the status lines are then
    // lost, and the pictures are still written.
    signal(SIGPIPE, SIG_IGN);
    try {
        return RunBatchJob(argc, argv);
    } catch (const std::exception& error) {
        fprintf(stderr, "tessmark-batch: %s\n", error.what());
    } catch (...) {
        fprintf(stderr, "tessmark-batch: unexpected failure\n");
    }
    return kExitUsage;
}
