// The batch run: validation of the job, then every picture of the source folder or list
// composed with the watermark into the output folder, on a worker thread of its own.
#pragma once

#include "batch/JobSettings.h"
#include "batch/MarkComposer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The four messages of a job that cannot start, in the order they are tested.
constexpr char kNoSourceFolder[] = "请选择源目录";
constexpr char kNoSourceFiles[] = "请选择源文件";
constexpr char kNoWatermark[] = "请选择水印文件";
constexpr char kNoOutputFolder[] = "请选择输出目录";
// The end message.
constexpr char kRunFinished[] = "处理完毕";

constexpr int MAX_LIST_FILES = 100;

// How the run talks to its owner (the main window or the command-line runner). Calls come
// from the worker thread; with more than one worker they come from several worker threads at
// once, so an observer of a parallel run must be safe to call concurrently.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    // A setting is missing, or another run is using temp.bmp (kTempBmpBusy); the run ends when
    // this returns (a window shows its notice here).
    virtual void OnMissingSetting(const std::string& message) = 0;
    // The status text changed as file `index` (1-based) of `total` starts.
    virtual void OnStatus(const std::string& status, int index, int total) = 0;
    // One file was handed to the composer (also when the composer found no picture in it).
    virtual void OnFileDone(const WatermarkJob& job, ComposeResult result) = 0;
    // A picture got no output, and why ("cannot write …: Read-only file system"); comes just
    // before its OnFileDone. A name without a picture extension is no picture and comes
    // without a reason.
    virtual void OnNoOutput(const WatermarkJob& job, ComposeResult result, const std::string& reason)
    {
        (void)job;
        (void)result;
        (void)reason;
    }
    // The watermark does not load as a picture; OnMissingSetting(kNoWatermark) follows and
    // nothing is written.
    virtual void OnUnusableWatermark(const std::string& markPath, const std::string& reason)
    {
        (void)markPath;
        (void)reason;
    }
};

// Where the composer puts its intermediate bitmap.
enum class Intermediate {
    TempFile,  // temp.bmp beside the executable (or the path given), as the main window does
    Memory,    // a buffer of the worker's own; required for more than one worker
};

// The validation message for the settings, or nullptr when the job can run.
const char* MissingSettingMessage(const JobSettings& settings);

class BatchRun {
public:
    // Works on its own copy of the settings. `tempBmpPath` empty means temp.bmp beside the
    // executable. With `workers` above 1 files are composed in parallel, each worker through
    // an in-memory intermediate bitmap (temp.bmp is then not used); one worker uses
    // `intermediate`.
    BatchRun(const JobSettings& settings, BatchObserver* observer, int workers = 1, std::string tempBmpPath = {},
             Intermediate intermediate = Intermediate::TempFile);
    ~BatchRun();  // asks to stop and joins; an owner on the UI thread calls Stop first
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // The memory the files composed at once may need together, by their estimate (source,
    // canvas, intermediate and output pictures); a file that does not fit beside those in
    // flight waits, one that does not fit at all is composed alone. 0 (the default) means
    // half the physical memory.
    void SetMemoryBudget(uint64_t bytes) { m_MemoryBudget = bytes; }

    // Starts the run on a worker thread; answers false (and does nothing) while an earlier
    // run of this object is still going, so two runs never share temp.bmp.
    bool Start();
    // The run itself, on the calling thread.
    void RunBatch();
    // The run ends after the files being composed now; the output folder then holds only
    // complete results.
    void RequestStop();
    void Join();
    // Asks to stop and waits for the worker. While it waits, `serveUi` (when given) is called
    // over and over: an owner on the user-interface thread passes what runs that thread's
    // queued cross-thread calls, so a worker waiting for a notice the user-interface thread
    // must show finishes instead of deadlocking a closing window. Joins at the end.
    void Stop(const std::function<void()>& serveUi = {});
    // True from Start until the worker thread has left the run.
    bool IsRunning() const { return m_WorkerActive.load(std::memory_order_acquire); }

    // True once the file loop has finished (never after a validation failure). Everything the
    // run wrote before is visible to a caller that sees true.
    bool IsDone() const { return m_bRunDone.load(std::memory_order_acquire) != 0; }
    // A copy of the current status text; never half-written.
    std::string GetRunStatus() const;

private:
    struct Item {
        std::string source;
        std::string output;
        bool counted = false;  // a picture by its name: gets a status text and a progress number
        uint64_t need = 0;     // estimated memory of its composition; 0 when unknown
    };
    // The items in tasks of one output name each, in list order within a task and ordered by
    // their first item: one worker composes a whole task, so files that map to one output are
    // written in list order and the last one listed stays, with any number of workers.
    static std::vector<std::vector<size_t>> GroupByOutput(const std::vector<Item>& items);
    bool LoadWatermark();
    uint64_t EstimateNeed(const std::string& source) const;
    std::vector<Item> CollectItems() const;
    void ComposeItems(const std::vector<Item>& items, int total);
    void ComposeOne(const Item& item, int index, int total, ComposeWorkspace& workspace);
    void SetRunStatus(const std::string& status, int index, int total);

    const JobSettings m_Settings;
    BatchObserver* m_Observer;
    const int m_Workers;
    const Intermediate m_Intermediate;
    const std::string m_TempBmpPath;
    CMarkComposer m_Composer;
    std::string m_MarkPath;
    std::string m_OutFolder;
    std::unique_ptr<CPicture> m_Mark;  // decoded once before the first file
    uint64_t m_MemoryBudget = 0;

    std::thread m_Thread;
    std::atomic<bool> m_WorkerActive{false};
    std::atomic<bool> m_StopRequested{false};
    std::atomic<int32_t> m_bRunDone{0};
    mutable std::mutex m_StatusLock;
    std::string m_strRunStatus;
};
