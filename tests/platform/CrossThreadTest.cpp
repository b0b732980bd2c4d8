// Calls into the window system from worker threads: sends, posts, timers and invalidation are
// carried out on the user-interface thread, handles are never reused, and a window closing
// while a batch worker waits for its notice stops the run without deadlocking.
#include "batch/BatchRun.h"
#include "tests/platform/HeadlessDesktop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr UINT WM_PING = WM_USER + 1;

// Aborts the test program when a step does not finish in time: a deadlock fails, never hangs.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : m_Thread([this, seconds] {
              std::unique_lock lock(m_Lock);
              if (!m_Done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_Finished; })) {
                  std::fprintf(stderr, "deadlock: the step did not finish in %d s\n", seconds);
                  std::abort();
              }
          })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_Lock);
            m_Finished = true;
        }
        m_Done.notify_all();
        m_Thread.join();
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Done;
    bool m_Finished = false;
    std::thread m_Thread;
};

}  // namespace

TEST(CrossThread, DestroyedWindowsHandlesAreNeverGivenToLaterWindows)
{
    HeadlessDesktop desktop;
    std::set<HWND> seen;
    std::vector<HWND> destroyed;
    for (int i = 0; i < 50; ++i) {
        ProbeWindow window;
        ASSERT_TRUE(window.CreateEx(0, nullptr, "w", WS_POPUP, {0, 0, 10, 10}, nullptr, 0));
        EXPECT_TRUE(seen.insert(window.m_hWnd).second);
        destroyed.push_back(window.m_hWnd);
        window.DestroyWindow();
    }
    // A worker's message for a destroyed window reaches no one, also after new windows came.
    ProbeWindow last;
    last.CreateEx(0, nullptr, "last", WS_POPUP, {0, 0, 10, 10}, nullptr, 0);
    last.handlers[WM_PING] = [](WPARAM, LPARAM) -> LRESULT { return 1; };
    std::atomic<int> answered{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (HWND old : destroyed) {
            answered += static_cast<int>(SendMessageA(old, WM_PING, 0, 0));
            EXPECT_FALSE(IsWindow(old));
        }
        answered += static_cast<int>(SendMessageA(last.m_hWnd, WM_PING, 0, 0));
        finished = true;
    });
    bool done = desktop.backend->RunUntil([&] { return finished.load(); }, 20000);
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(answered.load(), 1);
    EXPECT_EQ(last.Count(WM_PING), 1u);
}

TEST(CrossThread, WorkerSendingToAWindowBeingDestroyedGetsNothingAfterTheDestroy)
{
    HeadlessDesktop desktop;
    auto window = std::make_unique<ProbeWindow>();
    window->CreateEx(0, nullptr, "target", WS_POPUP | WS_VISIBLE, {0, 0, 40, 30}, nullptr, 0);
    HWND handle = window->m_hWnd;
    std::atomic<bool> gone{false};
    std::atomic<int> afterDestroy{0};
    std::atomic<int> delivered{0};
    window->handlers[WM_PING] = [&](WPARAM, LPARAM) -> LRESULT {
        delivered.fetch_add(1);
        return 1;
    };
    std::atomic<bool> stop{false};
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        while (!stop.load()) {
            bool wasGone = gone.load();
            LRESULT answer = SendMessageA(handle, WM_PING, 0, 0);
            PostMessageA(handle, WM_PING, 0, 0);
            InvalidateRect(handle, nullptr, TRUE);
            if (wasGone && answer != 0)
                afterDestroy.fetch_add(1);
        }
        workerDone = true;
    });
    ASSERT_TRUE(desktop.backend->RunUntil([&] { return delivered.load() >= 20; }, 20000));
    window->DestroyWindow();
    gone = true;
    // New windows while the worker still names the old handle.
    std::vector<std::unique_ptr<ProbeWindow>> later;
    for (int i = 0; i < 10; ++i) {
        later.push_back(std::make_unique<ProbeWindow>());
        later.back()->CreateEx(0, nullptr, "later", WS_POPUP, {0, 0, 10, 10}, nullptr, 0);
    }
    int countAtDestroy = delivered.load();
    int rounds = 0;
    desktop.backend->RunUntil([&] { return ++rounds > 200; }, 2000);
    stop = true;
    bool ended = desktop.backend->RunUntil([&] { return workerDone.load(); }, 20000);
    worker.join();
    ASSERT_TRUE(ended);
    desktop.system->RunUntilIdle();
    EXPECT_EQ(afterDestroy.load(), 0);
    EXPECT_EQ(delivered.load(), countAtDestroy);
    for (auto& other : later)
        EXPECT_EQ(other->Count(WM_PING), 0u);
}

TEST(CrossThread, TimersAndPaintAskedForByAWorkerRunOnTheUserInterfaceThread)
{
    HeadlessDesktop desktop;
    ProbeWindow window;
    window.CreateEx(0, nullptr, "w", WS_POPUP | WS_VISIBLE, {0, 0, 40, 30}, nullptr, 0);
    desktop.system->RunUntilIdle();
    std::thread::id timerOn;
    std::thread::id paintOn;
    window.handlers[WM_TIMER] = [&](WPARAM, LPARAM) -> LRESULT {
        timerOn = std::this_thread::get_id();
        KillTimer(window.m_hWnd, 7);
        return 0;
    };
    window.handlers[WM_PAINT] = [&](WPARAM, LPARAM) -> LRESULT {
        paintOn = std::this_thread::get_id();
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window.m_hWnd, &paint);
        FillClient(window.m_hWnd, dc, RGB(0, 128, 0));
        EndPaint(window.m_hWnd, &paint);
        return 0;
    };
    std::atomic<bool> asked{false};
    std::thread worker([&] {
        EXPECT_EQ(SetTimer(window.m_hWnd, 7, 10, nullptr), 7u);
        EXPECT_TRUE(InvalidateRect(window.m_hWnd, nullptr, TRUE));
        asked = true;
    });
    ASSERT_TRUE(desktop.backend->RunUntil([&] { return asked.load(); }, 20000));
    worker.join();
    desktop.backend->Advance(20).Run();
    EXPECT_EQ(timerOn, std::this_thread::get_id());
    EXPECT_EQ(paintOn, std::this_thread::get_id());
    EXPECT_EQ(desktop.backend->Pixel(window.m_hWnd, 5, 5), Px(RGB(0, 128, 0)));
}

namespace {

// A window running a batch job whose notices are message boxes, as the main window's are.
class RunWindow : public ProbeWindow, public BatchObserver {
public:
    RunWindow()
    {
        handlers[WM_DESTROY] = [this](WPARAM, LPARAM) -> LRESULT {
            // Closing stops the run, serving the worker's pending notice meanwhile.
            run->Stop([] { WindowSystem::Current().ServeCrossThreadCalls(); });
            return 0;
        };
    }
    void OnMissingSetting(const std::string& message) override
    {
        asking = true;
        answer = MessageBoxA(owner, message.c_str(), "Tessmark", MB_OK);
    }
    void OnStatus(const std::string&, int, int) override {}
    void OnFileDone(const WatermarkJob&, ComposeResult) override {}

    std::unique_ptr<BatchRun> run;
    HWND owner = nullptr;  // set before the run starts; the worker never reads m_hWnd
    std::atomic<bool> asking{false};
    std::atomic<int> answer{-1};
};

}  // namespace

TEST(CrossThread, ClosingAWindowWhileTheWorkerWaitsOnItsNoticeStopsTheRun)
{
    HeadlessDesktop desktop;
    RunWindow window;
    window.CreateEx(0, nullptr, "main", WS_POPUP | WS_VISIBLE, {0, 0, 200, 100}, nullptr, 0);
    window.owner = window.m_hWnd;
    window.run = std::make_unique<BatchRun>(JobSettings{}, &window);
    ASSERT_TRUE(window.run->Start());
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!window.asking.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(window.asking.load());
    // The notice is queued for this thread, which closes the window before serving anything.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        Watchdog watchdog(30);
        window.DestroyWindow();
    }
    EXPECT_FALSE(window.run->IsRunning());
    EXPECT_EQ(window.answer.load(), IDOK);
    ASSERT_EQ(desktop.backend->messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.backend->messageBoxes[0].text, kNoSourceFolder);
}
