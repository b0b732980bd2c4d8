// Benchmark (not a test): tessmark-batch on the benchmark photographs with JPEG output at
// quality 90, against the bare-library floor jpeg_roundtrip -k measured in the same run.
// Prints ms per photo (wall and processor), the ratios to the targets, and peak memory.
// Usage: bench_batch CORPUS_DIR TESSMARK_BATCH JPEG_ROUNDTRIP [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
    double wallMs = 0;
    double processorMs = 0;  // user + system of the whole process
    double peakMb = 0;
    int exitCode = 0;
};

Measure RunOnce(const std::vector<std::string>& command)
{
    auto started = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> argv;
        for (const std::string& part : command)
            argv.push_back(const_cast<char*>(part.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measure measure;
    measure.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    measure.processorMs =
        (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    measure.peakMb = usage.ru_maxrss / 1024.0;
    measure.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measure;
}

struct Subject {
    std::string name;
    std::vector<std::string> command;
    Measure best;  // lowest wall and processor time over the rounds, highest peak
    bool measured = false;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: bench_batch CORPUS_DIR TESSMARK_BATCH JPEG_ROUNDTRIP [ROUNDS]\n");
        return 2;
    }
    fs::path corpus = argv[1];
    std::string batch = fs::absolute(argv[2]).string();
    std::string roundtrip = fs::absolute(argv[3]).string();
    int rounds = argc > 4 ? std::max(1, atoi(argv[4])) : 2;

    std::vector<std::string> photos;
    for (const auto& entry : fs::directory_iterator(corpus / "photos")) {
        if (entry.path().extension() == ".jpg")
            photos.push_back(entry.path().string());
    }
    std::sort(photos.begin(), photos.end());
    if (photos.empty()) {
        fprintf(stderr, "no photos in %s/photos\n", corpus.c_str());
        return 2;
    }
    fs::path work = fs::temp_directory_path() / ("bench_batch." + std::to_string(getpid()));
    fs::create_directories(work / "floor");
    std::string config = (work / "config.ini").string();

    std::vector<std::string> floorCommand = {roundtrip, "-k", "-r", "1", "-w", (work / "floor").string()};
    floorCommand.insert(floorCommand.end(), photos.begin(), photos.end());
    auto batchCommand = [&](std::vector<std::string> extra, const std::string& output) {
        std::vector<std::string> command = {batch,
                                            "--config",
                                            config,
                                            "--set",
                                            "SrcFileType=0",
                                            "--set",
                                            "SrcFolderSite=" + (corpus / "photos").string(),
                                            "--set",
                                            "WaterMarkFileSite=" + fs::absolute(corpus / "mark.png").string(),
                                            "--set",
                                            "OutputFolderSite=" + (work / output).string(),
                                            "--set",
                                            "PosType=3",
                                            "--set",
                                            "PosX=20",
                                            "--set",
                                            "PosY=20"};
        command.insert(command.end(), extra.begin(), extra.end());
        return command;
    };
    std::vector<Subject> subjects = {
        {"floor: jpeg_roundtrip -k", floorCommand, {}, false},
        {"tessmark-batch -j 1 (temp.bmp)", batchCommand({"-j", "1"}, "j1"), {}, false},
        {"tessmark-batch -j 1 --in-memory", batchCommand({"-j", "1", "--in-memory"}, "j1m"), {}, false},
        {"tessmark-batch -j 2", batchCommand({"-j", "2"}, "j2"), {}, false},
    };

    // The machine may be shared: the subjects run in turn, round after round, and each keeps
    // its best round.
    for (int round = 1; round <= rounds; ++round) {
        for (Subject& subject : subjects) {
            Measure m = RunOnce(subject.command);
            if (m.exitCode != 0) {
                fprintf(stderr, "%s exited with %d\n", subject.name.c_str(), m.exitCode);
                return 1;
            }
            printf("round %d  %-34s wall %8.0f ms  processor %8.0f ms  peak %6.1f MB\n", round, subject.name.c_str(),
                   m.wallMs, m.processorMs, m.peakMb);
            fflush(stdout);
            if (!subject.measured) {
                subject.best = m;
                subject.measured = true;
            } else {
                subject.best.wallMs = std::min(subject.best.wallMs, m.wallMs);
                subject.best.processorMs = std::min(subject.best.processorMs, m.processorMs);
                subject.best.peakMb = std::max(subject.best.peakMb, m.peakMb);
            }
        }
    }
    fs::remove_all(work);

    double n = static_cast<double>(photos.size());
    printf("\n%zu photos, JPEG quality 90; best of %d rounds\n", photos.size(), rounds);
    for (const Subject& subject : subjects)
        printf("%-34s %7.1f ms/photo wall  %7.1f ms/photo processor  peak %6.1f MB\n", subject.name.c_str(),
               subject.best.wallMs / n, subject.best.processorMs / n, subject.best.peakMb);
    const Measure& floor = subjects[0].best;
    const Measure& one = subjects[1].best;
    const Measure& oneMemory = subjects[2].best;
    const Measure& two = subjects[3].best;
    printf("one worker / floor:            wall %.2f  processor %.2f   (target <= 1.5)\n", one.wallMs / floor.wallMs,
           one.processorMs / floor.processorMs);
    printf("one worker in memory / floor:  wall %.2f  processor %.2f\n", oneMemory.wallMs / floor.wallMs,
           oneMemory.processorMs / floor.processorMs);
    printf("-j 2 throughput / -j 1:        %.2f   (target >= 1.6)\n", one.wallMs / two.wallMs);
    printf("peak memory, one worker:       %.1f MB   (target < 136)\n", one.peakMb);
    return 0;
}
