// The feed in the real main window on the headless back end: fetched from a loopback server by
// the window's own worker, shown at timer 1 (labels, link, strip, web control), and retried.
#include "app/MainDlg.h"
#include "platform/WindowSystem.h"
#include "res/ProgramResources.h"
#include "tests/feed/LoopbackServer.h"
#include "tests/platform/HeadlessDesktop.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kStillOpen = 99;

std::string Feed(std::string_view children)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>" + std::string(children) + "</config>\n";
}

// What the window showed after the feed had arrived and timer 1 had ticked.
struct Shown {
    bool ready = false;
    bool timerStopped = false;
    std::string versionText;
    POINT versionPlace{};
    bool link = false;
    RECT linkRect{};
    std::string linkUrl;
    std::vector<ScrollTextItem> items;
    bool stripStarted = false;
    std::vector<std::string> navigations;
    POINT adPlace{};
    std::vector<std::chrono::milliseconds> waits;
};

POINT PlaceInClient(const CWnd& parent, const CWnd& child)
{
    RECT rect;
    child.GetWindowRect(&rect);
    POINT corner{rect.left, rect.top};
    parent.ScreenToClient(&corner);
    return corner;
}

// Runs the main window with its worker pointed at `server`, waits (real time) for the feed,
// ticks the virtual clock past timer 1 and reads what the window shows.
Shown RunWithFeed(LoopbackServer& server)
{
    HeadlessDesktop desktop;
    AddProgramResources(desktop.system->Resources());
    CMainDlg dialog;
    Shown shown;
    dialog.m_FeedPolicy.url = LoopbackServer::Url("/software/config/Quillmark_config.xml");
    dialog.m_FeedPolicy.port = server.Port();
    dialog.m_FeedPolicy.timeouts = {300ms, 300ms};
    auto waits = std::make_shared<std::vector<std::chrono::milliseconds>>();
    dialog.m_FeedPolicy.sleep = [waits](std::chrono::milliseconds wait) { waits->push_back(wait); };

    desktop.backend->Then([&] {
        for (int i = 0; i < 1000 && !dialog.m_Feed->IsReady(); ++i)
            std::this_thread::sleep_for(10ms);
        shown.ready = dialog.m_Feed->IsReady();
    });
    desktop.backend->Advance(20).Then([&] {
        shown.versionText = dialog.m_strVersionText;
        shown.versionPlace = PlaceInClient(dialog, dialog.m_VersionLabel);
        shown.link = dialog.m_DownloadLink.m_hWnd != nullptr;
        if (shown.link) {
            dialog.m_DownloadLink.GetWindowRect(&shown.linkRect);
            dialog.ScreenToClient(&shown.linkRect);
            shown.linkUrl = dialog.m_DownloadLink.GetURL();
        }
        for (size_t i = 0; i < dialog.m_ScrollText.GetItemCount(); ++i)
            shown.items.push_back(dialog.m_ScrollText.GetItem(i));
        shown.stripStarted = dialog.m_ScrollText.GetCurrent() != nullptr;
        for (const auto& [window, url] : desktop.backend->navigations)
            if (window == dialog.m_AdBrowser.m_hWnd)
                shown.navigations.push_back(url);
        shown.adPlace = PlaceInClient(dialog, dialog.m_AdBrowser);
        // A stopped timer 1 shows the feed only once, however long the window runs.
        shown.timerStopped = !KillTimer(dialog.m_hWnd, kFeedTimer);
        if (IsWindow(dialog.m_hWnd))
            dialog.EndDialog(kStillOpen);
    });
    testing::internal::CaptureStdout();
    dialog.DoModal();
    testing::internal::GetCapturedStdout();
    shown.waits = *waits;
    return shown;
}

// A one-way gate between the test and the feed worker or the server's thread.
class Gate {
public:
    void Open()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Open = true;
        m_Changed.notify_all();
    }
    // Waits until the gate opens, at most `limit`; answers whether it did.
    bool Wait(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(m_Lock);
        return m_Changed.wait_for(guard, limit, [this] { return m_Open; });
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    bool m_Open = false;
};

// Polls `done` every 10 ms for at most `limit`.
template <class Done>
bool WaitFor(Done done, std::chrono::milliseconds limit)
{
    for (auto end = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

Shown ShowFeed(const std::string& body)
{
    LoopbackServer server(
        [response = HttpResponse(body)](LoopbackConnection& connection, int) { connection.Send(response); });
    return RunWithFeed(server);
}

std::string Items(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "item" + std::to_string(i) + ";";
    return text;
}

}  // namespace

TEST(MainDlgFeed, ShowsTheVersionLineLinkStripAndPage)
{
    struct Case {
        const char* name;
        std::string children;
        const char* versionText;
        POINT versionPlace;
        bool link;
        size_t items;
        const char* adUrl;  // "" for no navigation
    };
    const Case cases[] = {
        {"newer version with everything",
         "<version>101</version><downurl>http://h/d.html</downurl><adurl>http://h/ad.html</adurl>"
         "<scrolltext>新闻~http://h/n.html~x;通知;</scrolltext>",
         "当前版本：1.00\r\n最新版本：1.01",
         {700, 460},
         true,
         2,
         "http://h/ad.html"},
        {"the same version: one line, moved, no link",
         "<version>100</version><scrolltext>a;</scrolltext>",
         "版本：1.00",
         {710, 483},
         false,
         1,
         ""},
        {"older version", "<version>99</version>", "当前版本：1.00\r\n最新版本：0.99", {700, 460}, true, 0, ""},
        {"1.01 reads as 1", "<version>1.01</version>", "当前版本：1.00\r\n最新版本：0.01", {700, 460}, true, 0, ""},
        {"no version element",
         "<downurl>http://h/d</downurl>",
         "当前版本：1.00\r\n最新版本：0.00",
         {700, 460},
         true,
         0,
         ""},
        {"root without children", "", "当前版本：1.00\r\n最新版本：0.00", {700, 460}, true, 0, ""},
        {"empty adurl", "<version>100</version><adurl/>", "版本：1.00", {710, 483}, false, 0, ""},
        {"case-variant and nested names are ignored",
         "<version>100</version><AdUrl>http://h/ad</AdUrl><x><adurl>http://h/ad2</adurl></x>",
         "版本：1.00",
         {710, 483},
         false,
         0,
         ""},
        {"100 items",
         "<version>100</version><scrolltext>" + Items(100) + "</scrolltext>",
         "版本：1.00",
         {710, 483},
         false,
         100,
         ""},
        {"101 items: the first 100",
         "<version>100</version><scrolltext>" + Items(101) + "</scrolltext>",
         "版本：1.00",
         {710, 483},
         false,
         100,
         ""},
        {"text after the last ; is no item",
         "<version>100</version><scrolltext>a;b</scrolltext>",
         "版本：1.00",
         {710, 483},
         false,
         1,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Shown shown = ShowFeed(Feed(c.children));
        ASSERT_TRUE(shown.ready);
        EXPECT_TRUE(shown.timerStopped);
        EXPECT_EQ(shown.versionText, c.versionText);
        EXPECT_EQ(shown.versionPlace.x, c.versionPlace.x);
        EXPECT_EQ(shown.versionPlace.y, c.versionPlace.y);
        EXPECT_EQ(shown.link, c.link);
        if (c.link) {
            EXPECT_EQ(shown.linkRect.left, 730);
            EXPECT_EQ(shown.linkRect.top, 490);
            EXPECT_EQ(shown.linkRect.right, 790);
            EXPECT_EQ(shown.linkRect.bottom, 505);
        }
        EXPECT_EQ(shown.items.size(), c.items);
        EXPECT_EQ(shown.stripStarted, c.items > 0);
        if (std::string(c.adUrl).empty()) {
            EXPECT_TRUE(shown.navigations.empty());
            EXPECT_EQ(shown.adPlace.x, -1000);
            EXPECT_EQ(shown.adPlace.y, -1000);
        } else {
            EXPECT_EQ(shown.navigations, std::vector<std::string>{c.adUrl});
            EXPECT_EQ(shown.adPlace.x, 338);
            EXPECT_EQ(shown.adPlace.y, 544);
        }
    }
}

TEST(MainDlgFeed, StripItemsKeepTheirCaptionsAndAddresses)
{
    Shown shown = ShowFeed(Feed("<version>101</version><downurl>http://h/d.html</downurl>"
                                "<scrolltext>新闻~http://h/n.html?a=1~b;;通知;</scrolltext>"));
    ASSERT_EQ(shown.items.size(), 3u);
    EXPECT_EQ(shown.items[0].text, "新闻");
    EXPECT_TRUE(shown.items[0].link);
    EXPECT_EQ(shown.items[0].url, "http://h/n.html?a=1~b");
    EXPECT_EQ(shown.items[1].text, "");
    EXPECT_FALSE(shown.items[1].link);
    EXPECT_EQ(shown.items[2].text, "通知");
    EXPECT_FALSE(shown.items[2].link);
    EXPECT_EQ(shown.linkUrl, "http://h/d.html");
}

TEST(MainDlgFeed, WorkerRetriesTwentySecondsApartWithoutWaiting)
{
    const std::string response = HttpResponse(Feed("<version>100</version>"));
    LoopbackServer server([&](LoopbackConnection& connection, int index) {
        if (index >= 2)
            connection.Send(response);
    });
    Shown shown = RunWithFeed(server);
    ASSERT_TRUE(shown.ready);
    EXPECT_EQ(server.Connections(), 3);
    EXPECT_EQ(shown.waits, std::vector<std::chrono::milliseconds>(2, 20'000ms));
    EXPECT_EQ(shown.versionText, "版本：1.00");
}

// Without a feed the window polls on and shows none of it; closing it while the worker waits
// on a server that never answers leaves the worker with a record of its own.
TEST(MainDlgFeed, WithoutFeedNothingShowsAndTheWindowClosesWhileTheWorkerWaits)
{
    LoopbackServer server([](LoopbackConnection& connection, int) { connection.Hold(10s); });
    std::weak_ptr<FeedInfo> record;
    {
        HeadlessDesktop desktop;
        AddProgramResources(desktop.system->Resources());
        CMainDlg dialog;
        dialog.m_FeedPolicy.url = LoopbackServer::Url();
        dialog.m_FeedPolicy.port = server.Port();
        dialog.m_FeedPolicy.timeouts = {1s, 5s};
        dialog.m_FeedPolicy.sleep = [](std::chrono::milliseconds) {};
        record = dialog.m_Feed;
        std::string versionText = "unset";
        bool link = true;
        POINT adPlace{};
        bool timerRunning = false;
        desktop.backend->Then([&] {
            for (int i = 0; i < 300 && server.Connections() == 0; ++i)
                std::this_thread::sleep_for(10ms);
        });
        desktop.backend->Advance(1000).Then([&] {
            versionText = dialog.m_strVersionText;
            link = dialog.m_DownloadLink.m_hWnd != nullptr;
            adPlace = PlaceInClient(dialog, dialog.m_AdBrowser);
            timerRunning = KillTimer(dialog.m_hWnd, kFeedTimer) != FALSE;
            dialog.EndDialog(kStillOpen);
        });
        testing::internal::CaptureStdout();
        dialog.DoModal();
        testing::internal::GetCapturedStdout();
        EXPECT_GE(server.Connections(), 1);
        EXPECT_EQ(versionText, "");
        EXPECT_FALSE(link);
        EXPECT_EQ(adPlace.x, -1000);
        EXPECT_TRUE(timerRunning);
        EXPECT_FALSE(dialog.m_Feed->IsReady());
    }
    // The window is gone; the worker still holds its record until it gives up.
    EXPECT_FALSE(record.expired());
    for (int i = 0; i < 1000 && !record.expired(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(record.expired());
}

// Closing the window (Esc) while the worker is held in the middle of a fetch: the window goes at
// once, and the worker, let go only after the window is gone, finishes into a record of its own
// (under AddressSanitizer a record freed with the window would be caught here) and frees it.
TEST(MainDlgFeed, ClosingDuringAFetchNeitherWaitsForTheWorkerNorFreesItsRecord)
{
    enum class HeldIn { Receive, RetryWait };
    for (HeldIn heldIn : {HeldIn::Receive, HeldIn::RetryWait}) {
        SCOPED_TRACE(heldIn == HeldIn::Receive ? "held in a receive" : "held between attempts");
        auto windowGone = std::make_shared<Gate>();
        auto waiting = std::make_shared<std::atomic<bool>>(false);
        const std::string feed = HttpResponse(Feed("<version>101</version><adurl>http://h/ad.html</adurl>"));
        LoopbackServer server([&](LoopbackConnection& connection, int) {
            if (heldIn == HeldIn::RetryWait) {
                connection.Send("HTTP/1.0 503 Busy\r\n\r\n<html>busy</html>");
                return;
            }
            windowGone->Wait(10s);
            connection.Send(feed);
        });
        // What was seen, checked once the worker's diagnostic lines are no longer captured.
        bool held = false;
        std::chrono::steady_clock::duration closing{};
        bool aliveAfterWindow = false;
        bool filled = false;
        int32_t version = 0;
        std::string adUrl;
        bool freed = false;

        std::weak_ptr<FeedInfo> record;
        testing::internal::CaptureStdout();
        {
            HeadlessDesktop desktop;
            AddProgramResources(desktop.system->Resources());
            auto dialog = std::make_unique<CMainDlg>();
            dialog->m_FeedPolicy.url = LoopbackServer::Url("/software/config/Quillmark_config.xml");
            dialog->m_FeedPolicy.port = server.Port();
            dialog->m_FeedPolicy.timeouts = {2s, 20s};
            dialog->m_FeedPolicy.sleep = [windowGone, waiting](std::chrono::milliseconds) {
                waiting->store(true);
                windowGone->Wait(10s);
            };
            record = dialog->m_Feed;
            std::chrono::steady_clock::time_point closed;
            desktop.backend->Then([&] {
                held =
                    WaitFor([&] { return heldIn == HeldIn::Receive ? server.Connections() > 0 : waiting->load(); }, 5s);
            });
            desktop.backend->Advance(100).Then([&] {
                closed = std::chrono::steady_clock::now();
                dialog->OnCancel();
            });
            dialog->DoModal();
            dialog.reset();
            closing = std::chrono::steady_clock::now() - closed;
        }
        // The window is gone, the worker is still held and still owns the record.
        aliveAfterWindow = !record.expired();
        if (heldIn == HeldIn::Receive) {
            if (std::shared_ptr<FeedInfo> kept = record.lock()) {
                windowGone->Open();
                filled = WaitFor([&] { return kept->IsReady(); }, 10s);
                version = kept->Version;
                adUrl = kept->AdUrl;
            }
        }
        windowGone->Open();
        // Its last owner, the worker frees the record and ends.
        freed = WaitFor([&] { return record.expired(); }, 10s);
        testing::internal::GetCapturedStdout();

        EXPECT_TRUE(held);
        EXPECT_LT(closing, 1s);
        EXPECT_TRUE(aliveAfterWindow);
        if (heldIn == HeldIn::Receive) {
            EXPECT_TRUE(filled);
            EXPECT_EQ(version, 101);
            EXPECT_EQ(adUrl, "http://h/ad.html");
        }
        EXPECT_TRUE(freed);
        // Between attempts it makes the one it was waiting for, then sees nobody will read the
        // record.
        EXPECT_EQ(server.Connections(), heldIn == HeldIn::Receive ? 1 : 2);
    }
}
