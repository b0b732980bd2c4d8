// FetchFeed and the feed worker against loopback servers: element rules, retries, ownership.
#include "feed/FeedInfo.h"
#include "tests/feed/LoopbackServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace std::chrono_literals;

namespace {

// A policy for a loopback server whose waits are recorded instead of slept.
struct QuickPolicy {
    explicit QuickPolicy(uint16_t port)
    {
        policy.url = LoopbackServer::Url();
        policy.port = port;
        policy.timeouts = {300ms, 300ms};
        policy.sleep = [this](std::chrono::milliseconds wait) { waits.push_back(wait); };
    }
    FeedFetchPolicy policy;
    std::vector<std::chrono::milliseconds> waits;
};

std::string Feed(std::string_view root)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + std::string(root);
}

LoopbackServer::Behaviour Answer(std::string body)
{
    return [response = HttpResponse(body)](LoopbackConnection& connection, int) { connection.Send(response); };
}

// Fetches `body` once from a server into a fresh record.
std::unique_ptr<FeedInfo> FetchBody(const std::string& body, int* connections = nullptr)
{
    LoopbackServer server(Answer(body));
    QuickPolicy quick(server.Port());
    auto feed = std::make_unique<FeedInfo>();
    feed->FeedUrl = quick.policy.url;
    testing::internal::CaptureStdout();
    feed->FetchFeed(quick.policy);
    testing::internal::GetCapturedStdout();
    if (connections)
        *connections = server.Connections();
    return feed;
}

}  // namespace

TEST(FetchFeed, ReadsTheDirectChildrenOfTheRootByExactName)
{
    struct Case {
        const char* name;
        std::string root;
        int32_t version;
        const char* downUrl;
        const char* adUrl;
        const char* scrollText;
    };
    const Case cases[] = {
        {"all four",
         "<config><version>101</version><downurl>http://h/d.html</downurl><adurl>http://h/ad.html</adurl>"
         "<scrolltext>新闻~http://h/n.html;通知;</scrolltext></config>",
         101, "http://h/d.html", "http://h/ad.html", "新闻~http://h/n.html;通知;"},
        {"names in other case are ignored",
         "<config><Version>105</Version><AdUrl>http://h/ad</AdUrl><DOWNURL>x</DOWNURL><ScrollText>a;</ScrollText>"
         "</config>",
         0, "", "", ""},
        {"deeper levels are ignored",
         "<config><group><version>105</version><adurl>http://h/ad</adurl></group><downurl>d</downurl></config>", 0, "d",
         "", ""},
        {"the last one wins",
         "<config><version>99</version><adurl>a1</adurl><version>101</version><adurl>a2</adurl>"
         "</config>",
         101, "", "a2", ""},
        {"an empty element leaves the value alone", "<config><adurl/><adurl></adurl><version/></config>", 0, "", "",
         ""},
        {"an empty element does not undo an earlier value", "<config><adurl>a1</adurl><adurl/></config>", 0, "", "a1",
         ""},
        {"version converts as the C library does: 1.01 reads 1", "<config><version>1.01</version></config>", 1, "", "",
         ""},
        {"a version that is not a number reads 0", "<config><version>new</version></config>", 0, "", "", ""},
        {"references are resolved", "<config><downurl>http://h/d?a=1&amp;b=2</downurl></config>", 0,
         "http://h/d?a=1&b=2", "", ""},
        {"attributes are never looked at", "<config version=\"101\"><adurl href=\"x\">y</adurl></config>", 0, "", "y",
         ""},
        {"a root without children still makes the record ready", "<config/>", 0, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto feed = FetchBody(Feed(c.root));
        EXPECT_TRUE(feed->IsReady());
        EXPECT_EQ(feed->Version, c.version);
        EXPECT_EQ(feed->DownUrl, c.downUrl);
        EXPECT_EQ(feed->AdUrl, c.adUrl);
        EXPECT_EQ(feed->ScrollText, c.scrollText);
    }
}

TEST(FetchFeed, DocumentWithoutRootElementLeavesTheRecordUnready)
{
    int connections = 0;
    auto feed = FetchBody(Feed("<!-- no root -->"), &connections);
    EXPECT_FALSE(feed->IsReady());
    // A complete document is not fetched again, root or not.
    EXPECT_EQ(connections, 1);
}

TEST(FetchFeed, RetriesTwentySecondsApartUntilTheDocumentComes)
{
    const std::string response = HttpResponse(Feed("<config><version>102</version></config>"));
    LoopbackServer server([&](LoopbackConnection& connection, int index) {
        if (index >= 3)
            connection.Send(response);
    });
    QuickPolicy quick(server.Port());
    FeedInfo feed;
    feed.FeedUrl = quick.policy.url;
    testing::internal::CaptureStdout();
    feed.FetchFeed(quick.policy);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(feed.IsReady());
    EXPECT_EQ(feed.Version, 102);
    EXPECT_EQ(server.Connections(), 4);
    EXPECT_EQ(quick.waits, std::vector<std::chrono::milliseconds>(3, 20'000ms));
}

TEST(FetchFeed, GivesUpAfterFiftyOneAttempts)
{
    LoopbackServer server(
        [](LoopbackConnection& connection, int) { connection.Send("HTTP/1.0 503 Busy\r\n\r\n<html>busy</html>"); });
    QuickPolicy quick(server.Port());
    FeedInfo feed;
    feed.FeedUrl = quick.policy.url;
    testing::internal::CaptureStdout();
    feed.FetchFeed(quick.policy);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(feed.IsReady());
    EXPECT_EQ(server.Connections(), 51);
    EXPECT_EQ(quick.waits, std::vector<std::chrono::milliseconds>(50, 20'000ms));
}

// The worker shares the record: it stays valid after the window lets go, and the worker stops
// retrying and frees it once it is the last owner.
TEST(FeedThreadProc, WorkerOutlivesTheWindowsRecordAndThenStops)
{
    std::mutex lock;
    std::condition_variable changed;
    int waits = 0;
    bool release = false;

    QuickPolicy quick(UnusedLoopbackPort());
    quick.policy.sleep = [&](std::chrono::milliseconds) {
        std::unique_lock<std::mutex> guard(lock);
        ++waits;
        changed.notify_all();
        changed.wait(guard, [&] { return release; });
    };
    auto feed = std::make_shared<FeedInfo>();
    std::weak_ptr<FeedInfo> watch = feed;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(StartFeedWorker(feed, quick.policy));
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, 10s, [&] { return waits == 1; }));
    }
    // The window goes while the worker waits between attempts.
    feed.reset();
    EXPECT_FALSE(watch.expired());
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
        changed.notify_all();
    }
    for (int i = 0; i < 500 && !watch.expired(); ++i)
        std::this_thread::sleep_for(10ms);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(watch.expired());
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(waits, 1);
    // One attempt before the wait and one after it; then the worker saw it was alone.
    size_t attempts = 0;
    for (size_t at = output.find("start load xml.."); at != std::string::npos;
         at = output.find("start load xml..", at + 1))
        ++attempts;
    EXPECT_EQ(attempts, 2u);
}

TEST(FeedThreadProc, SetsTheFeedAddressBeforeFetching)
{
    LoopbackServer server(Answer(Feed("<config><adurl>http://h/ad</adurl></config>")));
    QuickPolicy quick(server.Port());
    quick.policy.url = LoopbackServer::Url("/software/config/Quillmark_config.xml");
    auto feed = std::make_shared<FeedInfo>();
    testing::internal::CaptureStdout();
    EXPECT_EQ(FeedThreadProc(feed, quick.policy), 0u);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(feed->FeedUrl, quick.policy.url);
    EXPECT_TRUE(feed->IsReady());
    EXPECT_EQ(feed->AdUrl, "http://h/ad");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], "GET " + quick.policy.url + " HTTP/1.0\r\n\r\n");
}

TEST(FeedAddress, IsTheFeedPathOnTheConfiguredHost)
{
    EXPECT_EQ(std::string(kFeedUrl), "http://" + std::string(kWebHost) + "/software/config/Quillmark_config.xml");
    EXPECT_EQ(std::string(kHomePageUrl), "http://" + std::string(kWebHost) + "/software/Quillmark/index.php");
    EXPECT_EQ(FeedFetchPolicy{}.url, kFeedUrl);
    EXPECT_EQ(FeedFetchPolicy{}.port, 80);
    EXPECT_EQ(FeedFetchPolicy{}.timeouts.connect, 10s);
    EXPECT_EQ(FeedFetchPolicy{}.timeouts.idle, 30s);
}
