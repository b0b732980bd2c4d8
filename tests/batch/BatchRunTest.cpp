// The batch run: validation order, folder and list modes, status texts, the output folder,
// temp.bmp, the done flag and stopping.
#include "batch/BatchRun.h"
#include "image/Picture.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

class Recorder final : public BatchObserver {
public:
    void OnMissingSetting(const std::string& message) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        missing.push_back(message);
    }
    void OnStatus(const std::string& status, int index, int total) override
    {
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            statuses.push_back(status + " " + std::to_string(index) + "/" + std::to_string(total));
        }
        statusCount.fetch_add(1);
        while (hold.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void OnFileDone(const WatermarkJob& job, ComposeResult result) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        done.push_back(fs::path(job.SrcPath).filename().string());
        if (result == ComposeResult::Written)
            ++written;
        if (stopAfterFirst != nullptr)
            stopAfterFirst->RequestStop();
    }

    std::vector<std::string> missing;
    std::vector<std::string> statuses;
    std::vector<std::string> done;
    int written = 0;
    BatchRun* stopAfterFirst = nullptr;
    std::atomic<bool> hold{false};  // while true the worker waits in OnStatus
    std::atomic<int> statusCount{0};

private:
    std::mutex m_Lock;
};

std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> names;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
    }
    return names;
}

JobSettings FolderJob(const TempDir& dir, const std::string& output)
{
    JobSettings settings;
    settings.SrcFileType = 0;
    settings.SrcFolderSite = (dir / "src").string();
    settings.WaterMarkFileSite = (dir / "mark.bmp").string();
    settings.OutputFolderSite = (dir / output).string();
    settings.PosType = 3;
    settings.PosX = 2;
    settings.PosY = 2;
    return settings;
}

void MakeSources(const TempDir& dir)
{
    fs::create_directories(dir / "src");
    WriteBmp24(dir / "mark.bmp", SolidImage(4, 4, 0, 0, 255));
    ASSERT_TRUE(EncodeWithEngine(dir / "src" / "a.jpg", GradientImage(32, 24, 1), PICTURE_FORMAT_JPG));
    WriteBmp24(dir / "src" / "D.bmp", GradientImage(20, 10, 2));
    WriteFileBytes(dir / "src" / "b.txt", {'t', 'x', 't'});
    fs::create_directory(dir / "src" / "x.png");
    WriteBmp24(dir / "src" / "x.png" / "inner.bmp", SolidImage(2, 2, 1, 2, 3));
    WriteBmp24(dir / "src" / ".c.jpg", SolidImage(8, 8, 9, 9, 9));
}

}  // namespace

TEST(BatchRun, FirstMissingSettingEndsTheRunWithItsMessage)
{
    struct Case {
        int32_t type;
        const char* folder;
        const char* list;
        const char* mark;
        const char* output;
        const char* message;  // nullptr: the run goes ahead
    };
    const Case cases[] = {
        {0, "", "", "", "", kNoSourceFolder},
        {0, "", "/a.jpg;", "/m.png", "out", kNoSourceFolder},
        {1, "/pics", "", "/m.png", "out", kNoSourceFiles},
        {1, "/pics", "/a.jpg;", "", "", kNoWatermark},
        {0, "/pics", "", "", "out", kNoWatermark},
        {0, "/pics", "", "/m.png", "", kNoOutputFolder},
        {0, "/absent-folder", "", "/m.png", "/absent-out", nullptr},
        {5, "", "", "/m.png", "/absent-out", nullptr},  // a list without the emptiness test
        // A watermark that does not load ends the run as a missing one does.
        {1, "", "/a.jpg;", "/text.png", "out", kNoWatermark},
        {1, "", "/a.jpg;", "/m.webp", "out", kNoWatermark},
        {1, "", "/a.jpg;", "/absent.png", "out", kNoWatermark},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " '" + c.folder + "' '" + c.list + "' '" + c.mark + "' '" + c.output +
                     "'");
        TempDir dir;
        JobSettings settings;
        settings.SrcFileType = c.type;
        settings.SrcFolderSite = c.folder;
        settings.SrcFileSite = c.list;
        // "/m.png" and "/m.webp" stand for a real picture, "/text.png" for text under a picture name.
        std::string mark = c.mark;
        if (mark == "/m.png" || mark == "/m.webp")
            WriteBmp24(dir / mark.substr(1), SolidImage(3, 3, 1, 2, 3));
        if (mark == "/text.png")
            WriteFileBytes(dir / "text.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
        if (mark != "/absent.png" && !mark.empty())
            mark = (dir / mark.substr(1)).string();
        settings.WaterMarkFileSite = mark;
        settings.OutputFolderSite = c.output;
        WriteFileBytes(dir / "temp.bmp", {'o', 'l', 'd'});
        Recorder recorder;
        BatchRun run(settings, &recorder, 1, (dir / "temp.bmp").string());
        run.RunBatch();
        if (c.message != nullptr) {
            EXPECT_EQ(recorder.missing, std::vector<std::string>{c.message});
            EXPECT_FALSE(run.IsDone());
            EXPECT_TRUE(fs::exists(dir / "temp.bmp"));  // not touched
        } else {
            EXPECT_TRUE(recorder.missing.empty());
            EXPECT_TRUE(run.IsDone());
            EXPECT_FALSE(fs::exists(dir / "temp.bmp"));  // deleted at the end
        }
        EXPECT_TRUE(recorder.statuses.empty());
    }
}

TEST(BatchRun, FolderModeComposesEveryPictureInNameOrder)
{
    TempDir dir;
    MakeSources(dir);
    Recorder recorder;
    BatchRun run(FolderJob(dir, "out"), &recorder, 1, (dir / "temp.bmp").string());
    run.RunBatch();

    EXPECT_TRUE(run.IsDone());
    EXPECT_EQ(FilesIn(dir / "out"), (std::set<std::string>{"a.jpg", "D.bmp"}));
    EXPECT_EQ(recorder.statuses, (std::vector<std::string>{"正在处理图片\r\na.jpg 1/2", "正在处理图片\r\nD.bmp 2/2"}));
    // b.txt reaches the composer, which ignores it; the sub-folder and the dot-file do not.
    EXPECT_EQ(recorder.done, (std::vector<std::string>{"a.jpg", "b.txt", "D.bmp"}));
    EXPECT_EQ(run.GetRunStatus(), "正在处理图片\r\nD.bmp");
    EXPECT_FALSE(fs::exists(dir / "temp.bmp"));

    // The watermark sits at the bottom-right corner of the bitmap result.
    TestImage result;
    ASSERT_TRUE(DecodeWithEngine(dir / "out" / "D.bmp", result));
    const uint8_t* corner = result.At(20 - 2 - 1, 10 - 2 - 1);
    EXPECT_EQ(corner[2], 255);
    EXPECT_EQ(corner[0], 0);
}

TEST(BatchRun, OutputFolderIsCreatedOneLevelOnly)
{
    TempDir dir;
    MakeSources(dir);
    Recorder recorder;
    BatchRun run(FolderJob(dir, "missing/out"), &recorder, 1, (dir / "temp.bmp").string());
    run.RunBatch();
    EXPECT_TRUE(run.IsDone());
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_EQ(recorder.written, 0);
    EXPECT_FALSE(fs::exists(dir / "temp.bmp"));
}

TEST(BatchRun, ListModeTakesEveryEntryAsListed)
{
    TempDir dir;
    MakeSources(dir);
    JobSettings settings = FolderJob(dir, "out");
    settings.SrcFileType = 1;
    std::string a = (dir / "src" / "a.jpg").string();
    std::string d = (dir / "src" / "D.bmp").string();
    std::string absent = (dir / "src" / "absent.bmp").string();
    settings.SrcFileSite = a + ";" + absent + ";" + d + ";" + (dir / "src" / "b.txt").string();  // no final ';'
    Recorder recorder;
    BatchRun run(settings, &recorder, 1, (dir / "temp.bmp").string());
    run.RunBatch();
    EXPECT_TRUE(run.IsDone());
    EXPECT_EQ(FilesIn(dir / "out"), (std::set<std::string>{"a.jpg", "D.bmp"}));
    EXPECT_EQ(recorder.statuses,
              (std::vector<std::string>{"正在载入文件" + a + " 1/3", "正在载入文件" + absent + " 2/3",
                                        "正在载入文件" + d + " 3/3"}));
}

TEST(BatchRun, ListsLongerThanTheArrayAreProcessedWhole)
{
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteBmp24(dir / "mark.bmp", SolidImage(1, 1, 0, 0, 255));
    JobSettings settings = FolderJob(dir, "out");
    settings.SrcFileType = 1;
    const int count = MAX_LIST_FILES + 5;
    for (int i = 0; i < count; ++i) {
        fs::path path = dir / "src" / ("p" + std::to_string(i) + ".bmp");
        WriteBmp24(path, SolidImage(2, 2, static_cast<uint8_t>(i), 0, 0));
        settings.SrcFileSite += path.string() + ";";
    }
    Recorder recorder;
    BatchRun run(settings, &recorder, 1, (dir / "temp.bmp").string());
    run.RunBatch();
    EXPECT_EQ(FilesIn(dir / "out").size(), static_cast<size_t>(count));
}

TEST(BatchRun, WorkerThreadPublishesDoneAndCanBeStoppedAfterItsFile)
{
    TempDir dir;
    MakeSources(dir);
    {
        Recorder recorder;
        BatchRun run(FolderJob(dir, "out"), &recorder, 1, (dir / "temp.bmp").string());
        ASSERT_TRUE(run.Start());
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!run.IsDone() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(run.IsDone());
        // Everything written before the flag is visible once it reads true.
        EXPECT_EQ(FilesIn(dir / "out").size(), 2u);
        EXPECT_EQ(run.GetRunStatus(), "正在处理图片\r\nD.bmp");
        run.Join();
    }
    // Six pictures; a stop asked for while the first file finishes ends the run after the
    // files already being composed.
    fs::create_directories(dir / "many");
    for (int i = 0; i < 6; ++i)
        WriteBmp24(dir / "many" / ("m" + std::to_string(i) + ".bmp"),
                   SolidImage(16, 16, 0, static_cast<uint8_t>(i), 0));
    for (int workers : {1, 2}) {
        SCOPED_TRACE(workers);
        Recorder recorder;
        JobSettings settings = FolderJob(dir, "stopped" + std::to_string(workers));
        settings.SrcFolderSite = (dir / "many").string();
        BatchRun run(settings, &recorder, workers, (dir / "temp.bmp").string());
        recorder.stopAfterFirst = &run;
        ASSERT_TRUE(run.Start());
        run.Join();
        EXPECT_TRUE(run.IsDone());
        EXPECT_GE(recorder.done.size(), 1u);
        EXPECT_LE(recorder.done.size(), static_cast<size_t>(workers));
        EXPECT_EQ(FilesIn(dir / settings.OutputFolderSite).size(), recorder.done.size());
    }
}

TEST(BatchRun, StartIsRefusedWhileARunIsGoing)
{
    TempDir dir;
    MakeSources(dir);
    Recorder recorder;
    recorder.hold = true;
    BatchRun run(FolderJob(dir, "out"), &recorder, 1, (dir / "temp.bmp").string());
    ASSERT_TRUE(run.Start());
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (recorder.statusCount.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(recorder.statusCount.load(), 1);
    EXPECT_FALSE(run.Start());
    EXPECT_FALSE(run.IsDone());
    recorder.hold = false;
    run.Join();
    EXPECT_TRUE(run.IsDone());
    EXPECT_TRUE(run.Start());  // a finished run may be started again
    run.Join();
    EXPECT_EQ(recorder.statusCount.load(), 4);
}

namespace {

// A stand-in for the user-interface thread's queue of cross-thread calls: Invoke queues a call
// and waits until the owning thread has run it, as a window's notice box does.
class UiQueue {
public:
    void Invoke(const std::function<void()>& call)
    {
        bool done = false;
        std::unique_lock lock(m_Lock);
        m_Calls.push_back([&] {
            call();
            done = true;
        });
        m_Changed.notify_all();
        m_Changed.wait(lock, [&] { return done; });
    }
    // Runs what is queued; on the owning thread.
    void Serve()
    {
        std::unique_lock lock(m_Lock);
        while (!m_Calls.empty()) {
            std::function<void()> call = std::move(m_Calls.front());
            m_Calls.pop_front();
            call();
            ++served;
        }
        m_Changed.notify_all();
    }
    bool WaitForCall()
    {
        std::unique_lock lock(m_Lock);
        return m_Changed.wait_for(lock, std::chrono::seconds(20), [&] { return !m_Calls.empty(); });
    }
    int served = 0;

private:
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    std::deque<std::function<void()>> m_Calls;
};

// Shows every notice through the queue, the way a window's observer does.
class NoticeObserver final : public BatchObserver {
public:
    explicit NoticeObserver(UiQueue& queue) : m_Queue(queue) {}
    void OnMissingSetting(const std::string& message) override
    {
        m_Queue.Invoke([&] { notices.push_back(message); });
    }
    void OnStatus(const std::string&, int, int) override {}
    void OnFileDone(const WatermarkJob& job, ComposeResult) override
    {
        m_Queue.Invoke([&] { notices.push_back(fs::path(job.SrcPath).filename().string()); });
    }
    std::vector<std::string> notices;  // touched on the owning thread only

private:
    UiQueue& m_Queue;
};

}  // namespace

TEST(BatchRun, StopServesTheOwnersQueueWhileAWorkerWaitsOnANotice)
{
    TempDir dir;
    MakeSources(dir);
    // A missing setting and a file notice: in both the worker waits for the owner's thread
    // when the owner stops the run.
    JobSettings missing = FolderJob(dir, "out");
    missing.WaterMarkFileSite.clear();
    for (const JobSettings& settings : {missing, FolderJob(dir, "out")}) {
        UiQueue queue;
        NoticeObserver observer(queue);
        BatchRun run(settings, &observer, 1, (dir / "temp.bmp").string());
        EXPECT_FALSE(run.IsRunning());
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(queue.WaitForCall());
        EXPECT_TRUE(run.IsRunning());
        run.Stop([&] { queue.Serve(); });
        EXPECT_FALSE(run.IsRunning());
        EXPECT_GE(queue.served, 1);
        // The stop was asked for while the first notice waited: nothing follows it.
        EXPECT_EQ(observer.notices,
                  std::vector<std::string>{settings.WaterMarkFileSite.empty() ? kNoWatermark : "a.jpg"});
    }
}
