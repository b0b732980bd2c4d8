// The batch run over a folder or a file list, with its validation, status text and done flag.
#include "batch/BatchRun.h"

#include "batch/PathHelper.h"
#include "batch/SplitString.h"
#include "batch/TempBmpLock.h"
#include "platform/FolderListing.h"
#include "platform/Kernel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

std::string FormatStatus(const char* format, const std::string& text)
{
    std::vector<char> buffer(text.size() + 64);
    snprintf(buffer.data(), buffer.size(), format, text.c_str());
    return buffer.data();
}

}  // namespace

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
    ComposeResult result = m_Intermediate == Intermediate::Memory
                               ? m_Composer.ComposeFileInMemory(job, workspace)
                               : m_Composer.ComposeFile(job, m_TempBmpPath, workspace);
    if (m_Observer != nullptr)
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
        for (size_t i = 0; i < items.size() && !m_StopRequested.load(std::memory_order_relaxed); ++i)
            ComposeOne(items[i], numbers[i], total, workspace);
        return;
    }
    std::atomic<size_t> next{0};
    auto worker = [&] {
        ComposeWorkspace workspace;
        for (;;) {
            if (m_StopRequested.load(std::memory_order_relaxed))
                return;
            size_t i = next.fetch_add(1);
            if (i >= items.size())
                return;
            ComposeOne(items[i], numbers[i], total, workspace);
        }
    };
    std::vector<std::thread> threads;
    int threadCount = static_cast<int>(std::min<size_t>(static_cast<size_t>(m_Workers), items.size()));
    for (int i = 0; i < threadCount; ++i)
        threads.emplace_back(worker);
    for (std::thread& thread : threads)
        thread.join();
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

    std::vector<Item> items = CollectItems();
    int total =
        static_cast<int>(std::count_if(items.begin(), items.end(), [](const Item& item) { return item.counted; }));
    ComposeItems(items, total);

    if (m_Intermediate == Intermediate::TempFile)
        DeleteFileA(m_TempBmpPath.c_str());
    m_bRunDone.store(1, std::memory_order_release);
}
