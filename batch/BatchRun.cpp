// The batch run over a folder or a file list, with its validation, status text and done flag.
#include "batch/BatchRun.h"

#include "batch/PathHelper.h"
#include "batch/PictureHeader.h"
#include "batch/SplitString.h"
#include "batch/TempBmpLock.h"
#include "image/Picture.h"
#include "image/PictureMemory.h"
#include "platform/AtomicFile.h"
#include "platform/FolderListing.h"
#include "platform/Kernel.h"
#include "platform/gdi/Surface.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

std::string FormatStatus(const char* format, const std::string& text)
{
    std::vector<char> buffer(text.size() + 64);
    snprintf(buffer.data(), buffer.size(), format, text.c_str());
    return buffer.data();
}

// Estimated bytes per source pixel while one file is composed: the decoded source (with an
// alpha plane), the 32-bit canvas, the intermediate bitmap when it is held in memory, and
// the picture read back from it for the encoder.
constexpr uint64_t kBytesPerPixelInMemory = 4 + 4 + 4 + 3;
constexpr uint64_t kBytesPerPixelThroughFile = 4 + 4 + 3;

uint64_t HalfThePhysicalMemory()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return uint64_t{1} << 31;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
}

// Frees what a worker keeps for its next file (the kept picture and canvas blocks of its
// thread, its intermediate buffer), before it waits for memory to become free.
void ReleaseKeptMemory(ComposeWorkspace& workspace)
{
    workspace.ReleaseIntermediate();
    ReleaseKeptPictureBlock();
    Surface::ReleaseKeptBlock();
}

// The memory the files in flight may use together. A worker holds a share from the file it
// starts until it frees what it keeps; a file needing more than the rest waits, and one that
// does not fit at all waits until it is alone. Waiters are served in turn, and a worker that
// would overtake one lets go of its share and queues too, so files start in the order the
// workers took them.
class MemoryGate {
public:
    explicit MemoryGate(uint64_t budget) : m_Budget(budget) {}

    // Changes the caller's share from `held` to `need` if that fits now and nobody waits.
    bool TryResize(uint64_t held, uint64_t need)
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        uint64_t others = m_InFlight - held;
        if (m_NextTicket != m_Serving || !Fits(others, need))
            return false;
        m_InFlight = others + need;
        return true;
    }
    // Gives up `held` and waits for its turn and until `need` fits.
    void Wait(uint64_t held, uint64_t need)
    {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_InFlight -= held;
        uint64_t ticket = m_NextTicket++;
        m_Changed.notify_all();
        m_Changed.wait(lock, [&] { return m_Serving == ticket && Fits(m_InFlight, need); });
        m_InFlight += need;
        ++m_Serving;
        m_Changed.notify_all();
    }
    void Release(uint64_t held)
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_InFlight -= held;
        m_Changed.notify_all();
    }

private:
    bool Fits(uint64_t inFlight, uint64_t need) const { return inFlight == 0 || inFlight + need <= m_Budget; }

    const uint64_t m_Budget;
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    uint64_t m_InFlight = 0;
    uint64_t m_NextTicket = 0;
    uint64_t m_Serving = 0;
};

}  // namespace

std::vector<std::vector<size_t>> BatchRun::GroupByOutput(const std::vector<Item>& items)
{
    std::vector<std::vector<size_t>> tasks;
    std::unordered_map<std::string, size_t> taskOfOutput;
    for (size_t i = 0; i < items.size(); ++i) {
        auto [at, added] = taskOfOutput.try_emplace(items[i].output, tasks.size());
        if (added)
            tasks.emplace_back();
        tasks[at->second].push_back(i);
    }
    return tasks;
}

const char* MissingSettingMessage(const JobSettings& settings)
{
    if (settings.SrcFileType == 0 && settings.SrcFolderSite.empty())
        return kNoSourceFolder;
    if (settings.SrcFileType == 1 && settings.SrcFileSite.empty())
        return kNoSourceFiles;
    if (settings.WaterMarkFileSite.empty())
        return kNoWatermark;
    if (settings.OutputFolderSite.empty())
        return kNoOutputFolder;
    return nullptr;
}

BatchRun::BatchRun(const JobSettings& settings, BatchObserver* observer, int workers, std::string tempBmpPath,
                   Intermediate intermediate)
    : m_Settings(settings), m_Observer(observer), m_Workers(std::max(1, workers)),
      m_Intermediate(m_Workers > 1 ? Intermediate::Memory : intermediate),
      m_TempBmpPath(tempBmpPath.empty() ? CPathHelper().ResolvePath("temp.bmp") : std::move(tempBmpPath))
{}

BatchRun::~BatchRun()
{
    RequestStop();
    Join();
}

bool BatchRun::Start()
{
    if (m_WorkerActive.load(std::memory_order_acquire))
        return false;
    Join();
    m_bRunDone.store(0, std::memory_order_release);
    m_StopRequested.store(false, std::memory_order_relaxed);
    m_WorkerActive.store(true, std::memory_order_release);
    m_Thread = std::thread([this] {
        RunBatch();
        m_WorkerActive.store(false, std::memory_order_release);
    });
    return true;
}

void BatchRun::RequestStop()
{
    m_StopRequested.store(true, std::memory_order_relaxed);
}

void BatchRun::Join()
{
    if (m_Thread.joinable())
        m_Thread.join();
}

void BatchRun::Stop(const std::function<void()>& serveUi)
{
    RequestStop();
    while (m_WorkerActive.load(std::memory_order_acquire)) {
        if (serveUi)
            serveUi();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Join();
}

std::string BatchRun::GetRunStatus() const
{
    std::lock_guard<std::mutex> lock(m_StatusLock);
    return m_strRunStatus;
}

void BatchRun::SetRunStatus(const std::string& status, int index, int total)
{
    {
        std::lock_guard<std::mutex> lock(m_StatusLock);
        m_strRunStatus = status;
    }
    if (m_Observer != nullptr)
        m_Observer->OnStatus(status, index, total);
}

std::vector<BatchRun::Item> BatchRun::CollectItems() const
{
    CPathHelper pathHelper;
    std::vector<Item> items;
    if (m_Settings.SrcFileType == 0) {
        std::string folder = pathHelper.ResolvePath(m_Settings.SrcFolderSite);
        // The listing is taken once, before any output is written, so results written into
        // the source folder itself are never taken for sources.
        for (const FolderEntry& entry : ListFolder(folder)) {
            if (entry.name.empty() || entry.name.front() == '.' || entry.isDirectory)
                continue;
            Item item;
            item.source = folder + "/" + entry.name;
            item.output = m_OutFolder + "/" + entry.name;
            item.counted = m_Composer.GetImageType(item.source) != 0;
            item.need = EstimateNeed(item.source);
            items.push_back(std::move(item));
        }
    } else {
        // Every listed file is processed, also beyond MAX_LIST_FILES entries.
        std::vector<std::string> pieces(MAX_LIST_FILES);
        int count = 0;
        int total = SplitString(m_Settings.SrcFileSite, pieces, count, ';');
        if (total > count) {
            pieces.resize(static_cast<size_t>(total));
            SplitString(m_Settings.SrcFileSite, pieces, count, ';');
        }
        for (int i = 0; i < count; ++i) {
            const std::string& path = pieces[static_cast<size_t>(i)];
            size_t slash = path.rfind('/');
            Item item;
            item.source = path;
            item.output = m_OutFolder + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
            item.counted = true;
            item.need = EstimateNeed(item.source);
            items.push_back(std::move(item));
        }
    }
    return items;
}

void BatchRun::ComposeOne(const Item& item, int index, int total, ComposeWorkspace& workspace)
{
    // One folder level; failure (also because it exists) is of no concern here: the save
    // then fails quietly.
    CreateDirectoryA(m_OutFolder.c_str(), nullptr);
    if (item.counted) {
        if (m_Settings.SrcFileType == 0) {
            std::string name = item.source.substr(item.source.rfind('/') + 1);
            SetRunStatus(FormatStatus("正在处理图片\r\n%s", name), index, total);
        } else {
            SetRunStatus(FormatStatus("正在载入文件%s", item.source), index, total);
        }
    }
    WatermarkJob job{item.source, m_MarkPath, item.output, m_Settings.PosType, m_Settings.PosX, m_Settings.PosY};
    std::string reason;
    ComposeResult result = m_Intermediate == Intermediate::Memory
                               ? m_Composer.ComposeFileInMemory(job, workspace, &reason)
                               : m_Composer.ComposeFile(job, m_TempBmpPath, workspace, &reason);
    if (m_Observer == nullptr)
        return;
    if (result != ComposeResult::Written && result != ComposeResult::NotAPicture)
        m_Observer->OnNoOutput(job, result, reason.empty() ? "no output" : reason);
    m_Observer->OnFileDone(job, result);
}

void BatchRun::ComposeItems(const std::vector<Item>& items, int total)
{
    // Progress numbers follow the list order, whichever worker takes the file.
    std::vector<int> numbers(items.size(), 0);
    int counted = 0;
    for (size_t i = 0; i < items.size(); ++i)
        numbers[i] = items[i].counted ? ++counted : counted;

    if (m_Workers == 1) {
        ComposeWorkspace workspace;
        if (m_Mark)
            workspace.SetMark(*m_Mark);
        for (size_t i = 0; i < items.size() && !m_StopRequested.load(std::memory_order_relaxed); ++i)
            ComposeOne(items[i], numbers[i], total, workspace);
        return;
    }
    const uint64_t budget = m_MemoryBudget != 0 ? m_MemoryBudget : HalfThePhysicalMemory();
    MemoryGate gate(budget);
    const std::vector<std::vector<size_t>> tasks = GroupByOutput(items);
    std::atomic<size_t> next{0};
    auto worker = [&] {
        ComposeWorkspace workspace;
        if (m_Mark)
            workspace.SetMark(*m_Mark);
        uint64_t held = 0;  // this worker's share: its file in flight, then what it keeps
        bool stopped = false;
        while (!stopped) {
            size_t task = next.fetch_add(1);
            if (task >= tasks.size())
                break;
            for (size_t i : tasks[task]) {
                if (m_StopRequested.load(std::memory_order_relaxed)) {
                    stopped = true;
                    break;
                }
                // A file of unknown size is given the whole budget: it is composed alone.
                uint64_t need = items[i].need != 0 ? items[i].need : budget;
                uint64_t share = std::max(held, need);
                if (!gate.TryResize(held, share)) {
                    ReleaseKeptMemory(workspace);
                    gate.Wait(held, need);
                    share = need;
                }
                held = share;
                if (m_StopRequested.load(std::memory_order_relaxed)) {
                    stopped = true;  // asked to stop while waiting: this file was not started
                    break;
                }
                ComposeOne(items[i], numbers[i], total, workspace);
            }
        }
        ReleaseKeptMemory(workspace);
        gate.Release(held);
    };
    std::vector<std::thread> threads;
    int threadCount = static_cast<int>(std::min<size_t>(static_cast<size_t>(m_Workers), tasks.size()));
    for (int i = 0; i < threadCount; ++i)
        threads.emplace_back(worker);
    for (std::thread& thread : threads)
        thread.join();
}

bool BatchRun::LoadWatermark()
{
    // A watermark that does not load would give unmarked copies of every picture: the run
    // stops before the first file as if no watermark were chosen.
    std::string reason;
    int32_t type = m_Composer.GetImageType(m_MarkPath);
    uint64_t width = 0, height = 0;
    if (type == 0) {
        reason = "the name has no picture extension";
    } else if (PeekPictureSize(m_MarkPath, width, height) && width * height > kCanvasPixelLimit) {
        reason = "picture too large";
    } else {
        m_Mark = std::make_unique<CPicture>(m_MarkPath.c_str(), static_cast<DWORD>(type));
        if (!m_Mark->IsValid() || m_Mark->GetWidth() == 0 || m_Mark->GetHeight() == 0) {
            reason = m_Mark->GetLastError();
            if (reason.empty())
                reason = "the file cannot be read";
            m_Mark.reset();
        }
    }
    if (m_Mark)
        return true;
    if (m_Observer != nullptr) {
        m_Observer->OnUnusableWatermark(m_MarkPath, reason);
        m_Observer->OnMissingSetting(kNoWatermark);
    }
    return false;
}

uint64_t BatchRun::EstimateNeed(const std::string& source) const
{
    uint64_t width = 0, height = 0;
    if (!PeekPictureSize(source, width, height) || width == 0 || height == 0)
        return 0;
    uint64_t pixels = std::min(width * height, kCanvasPixelLimit);  // larger ones are refused unread
    uint64_t perPixel = m_Intermediate == Intermediate::Memory ? kBytesPerPixelInMemory : kBytesPerPixelThroughFile;
    uint64_t mark = m_Mark ? uint64_t{m_Mark->GetWidth()} * m_Mark->GetHeight() * 4 : 0;
    return pixels * perPixel + mark;
}

void BatchRun::RunBatch()
{
    if (const char* message = MissingSettingMessage(m_Settings)) {
        if (m_Observer != nullptr)
            m_Observer->OnMissingSetting(message);
        return;
    }
    // Two runs never share a temp.bmp: the lock is held until this run has deleted it.
    TempBmpLock tempBmpLock(m_TempBmpPath);
    if (m_Intermediate == Intermediate::TempFile && !tempBmpLock.TryAcquire()) {
        if (m_Observer != nullptr)
            m_Observer->OnMissingSetting(kTempBmpBusy);
        return;
    }
    CPathHelper pathHelper;
    m_MarkPath = pathHelper.ResolvePath(m_Settings.WaterMarkFileSite);
    m_OutFolder = pathHelper.ResolvePath(m_Settings.OutputFolderSite);
    if (!LoadWatermark())
        return;

    std::vector<Item> items = CollectItems();
    // Partial files a killed run left in the output folder go before the first new one.
    CreateDirectoryA(m_OutFolder.c_str(), nullptr);
    RemoveStalePartialFiles(m_OutFolder);
    int total =
        static_cast<int>(std::count_if(items.begin(), items.end(), [](const Item& item) { return item.counted; }));
    ComposeItems(items, total);

    // Only the run's own file goes: a pipe, device or folder at the name is left alone.
    struct stat tempBmp {};
    if (m_Intermediate == Intermediate::TempFile && lstat(m_TempBmpPath.c_str(), &tempBmp) == 0 &&
        (S_ISREG(tempBmp.st_mode) || S_ISLNK(tempBmp.st_mode)))
        DeleteFileA(m_TempBmpPath.c_str());
    m_bRunDone.store(1, std::memory_order_release);
}
