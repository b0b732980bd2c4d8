// LoadHttpXml against loopback servers started by the tests, friendly and hostile.
#include "feed/HttpXmlDocument.h"
#include "tests/feed/LoopbackServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr char kNotXml[] = "this is not a legal xml file \n";

// Short time-outs, so hostile servers cost a test little time.
constexpr SocketTimeouts kQuick{300ms, 300ms};

// An XML text of exactly `size` bytes (at least 40) whose root is <config>.
std::string XmlOfSize(size_t size)
{
    std::string head = "<?xml version=\"1.0\"?><config><pad>";
    std::string tail = "</pad></config>";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

std::string ExampleFeed()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <version>101</version>\n"
           "  <downurl>http://127.0.0.1/download.html</downurl>\n"
           "  <scrolltext>新版发布~http://127.0.0.1/news.html;欢迎使用;</scrolltext>\n</config>\n";
}

std::string WithLength(std::string_view body, std::string_view lengthLine)
{
    return HttpResponse(body, {"Content-Type: text/xml", std::string(lengthLine)});
}

struct Fetch {
    bool result = false;
    std::string output;
    int connections = 0;
    std::vector<std::string> requests;
};

// Runs one LoadHttpXml against a server with `behaviour`, capturing standard output.
Fetch FetchFrom(HttpXmlDocument& document, LoopbackServer::Behaviour behaviour,
                const std::string& url = LoopbackServer::Url())
{
    LoopbackServer server(std::move(behaviour));
    Fetch fetch;
    testing::internal::CaptureStdout();
    fetch.result = document.LoadHttpXml(url.c_str(), server.Port());
    fetch.output = testing::internal::GetCapturedStdout();
    fetch.connections = server.Connections();
    fetch.requests = server.Requests();
    return fetch;
}

LoopbackServer::Behaviour Answer(std::string response)
{
    return [response](LoopbackConnection& connection, int) { connection.Send(response); };
}

const char* RootName(const HttpXmlDocument& document)
{
    const TiXmlElement* root = document.FirstChildElement();
    return root ? root->Value() : "";
}

}  // namespace

TEST(LoadHttpXml, ResponsesAreJudgedByTheirAnnouncedLength)
{
    struct Case {
        const char* name;
        std::string response;
        bool result;
        const char* root;  // "" for an empty tree
        bool notXmlLine;
    };
    const Case cases[] = {
        {"normal feed", HttpResponse(ExampleFeed()), true, "config", false},
        {"announced 300, has 296", WithLength(XmlOfSize(296), "Content-Length: 300"), false, "config", false},
        {"announced 300, has 297", WithLength(XmlOfSize(297), "Content-Length: 300"), true, "config", false},
        {"announced 300, has 303", WithLength(XmlOfSize(303), "Content-Length: 300"), true, "config", false},
        {"announced 300, has 304", WithLength(XmlOfSize(304), "Content-Length: 300"), false, "config", false},
        {"three-byte prefix counted in the length", WithLength("\xEF\xBB\xBF" + XmlOfSize(297), "Content-Length: 300"),
         true, "config", false},
        {"length header in other case", WithLength(XmlOfSize(300), "content-length: 300"), false, "", true},
        {"no length header", HttpResponse(XmlOfSize(300), {"Content-Type: text/xml"}), false, "", true},
        {"no blank after the colon loses the first digit: 300 reads 0",
         WithLength(XmlOfSize(300), "Content-Length:300"), false, "", true},
        {"no blank after the colon loses the first digit: 1300 reads 300",
         WithLength(XmlOfSize(300), "Content-Length:1300"), true, "config", false},
        {"HTML error page",
         "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 44\r\n\r\n"
         "<html><body><h1>Not Found</h1></body></html>",
         false, "", true},
        {"closes in the middle of the header", "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Le", false, "",
         true},
        {"binary zeros instead of a body", WithLength(std::string(300, '\0'), "Content-Length: 300"), false, "", true},
        {"a zero byte inside the body cuts the text",
         WithLength(XmlOfSize(150) + std::string(1, '\0') + XmlOfSize(149), "Content-Length: 300"), false, "config",
         false},
        {"a length header that is only its name", "HTTP/1.0 200 OK\r\nContent-Length:", false, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpXmlDocument document(kQuick);
        Fetch fetch = FetchFrom(document, Answer(c.response));
        EXPECT_EQ(fetch.result, c.result);
        EXPECT_STREQ(RootName(document), c.root);
        EXPECT_EQ(fetch.output.find(kNotXml) != std::string::npos, c.notXmlLine) << fetch.output;
        EXPECT_EQ(fetch.output.rfind("start load xml..\n", 0), 0u) << fetch.output;
        EXPECT_NE(fetch.output.find("recv: "), std::string::npos) << fetch.output;
    }
}

TEST(LoadHttpXml, ReadsTheFeedTextAsSent)
{
    HttpXmlDocument document(kQuick);
    Fetch fetch = FetchFrom(document, Answer(HttpResponse(ExampleFeed())));
    ASSERT_TRUE(fetch.result);
    const TiXmlElement* text = document.FirstChildElement()->FirstChildElement("scrolltext");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->FirstChild()->Value(), "新版发布~http://127.0.0.1/news.html;欢迎使用;");
    EXPECT_EQ(std::string(document.ReceivedText()), HttpResponse(ExampleFeed()));
}

TEST(LoadHttpXml, SendsOnlyTheRequestLineWithTheWholeUrl)
{
    HttpXmlDocument document(kQuick);
    std::string url = "http://127.0.0.1/software/config/Quillmark_config.xml?x=1";
    Fetch fetch = FetchFrom(document, Answer(HttpResponse(ExampleFeed())), url);
    ASSERT_EQ(fetch.requests.size(), 1u);
    EXPECT_EQ(fetch.requests[0], "GET " + url + " HTTP/1.0\r\n\r\n");
}

TEST(LoadHttpXml, AddressesThatCannotBeReachedFailWithTheirLine)
{
    struct Case {
        const char* name;
        std::string url;
        uint16_t port;
        const char* line;
    };
    const uint16_t refused = UnusedLoopbackPort();
    const Case cases[] = {
        {"host without a path", "http://127.0.0.1", refused, "error: need http:// \n"},
        {"no scheme mark", "127.0.0.1/feed.xml", refused, "error: need http:// \n"},
        {"empty address", "", refused, "error: need http:// \n"},
        {"a port in the address stays part of the host name", "http://127.0.0.1:8080/feed.xml", refused,
         "error: gethostbyname of 127.0.0.1:8080\n"},
        {"unresolvable host", "http://no-such-host.invalid/feed.xml", refused,
         "error: gethostbyname of no-such-host.invalid\n"},
        {"refused port", "http://127.0.0.1/feed.xml", refused, "error: connect httpserver fail in loadhttpxml\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpXmlDocument document(kQuick);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(document.LoadHttpXml(c.url.c_str(), c.port));
        std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output, std::string("start load xml..\n") + c.line);
        EXPECT_EQ(document.FirstChild(), nullptr);
    }
}

TEST(LoadHttpXml, SecondCallDiscardsTheFirstTreeAndKeepsTheFlagOnEarlyFailure)
{
    HttpXmlDocument document(kQuick);
    ASSERT_TRUE(FetchFrom(document, Answer(HttpResponse(ExampleFeed()))).result);
    ASSERT_STREQ(RootName(document), "config");

    Fetch second = FetchFrom(document, Answer("HTTP/1.0 500 Oops\r\n\r\n<html>oops</html>"));
    EXPECT_FALSE(second.result);
    EXPECT_EQ(document.FirstChild(), nullptr);
    // The flag is only set by a call that gets as far as measuring the text.
    EXPECT_TRUE(document.IsComplete());

    Fetch third = FetchFrom(document, Answer(WithLength(XmlOfSize(200), "Content-Length: 300")));
    EXPECT_FALSE(third.result);
    EXPECT_FALSE(document.IsComplete());
    EXPECT_STREQ(RootName(document), "config");
}

// A server that stops sending but never closes: the idle time-out ends the response as a close.
TEST(LoadHttpXml, ServerThatNeverClosesEndsAtTheIdleTimeout)
{
    const std::string response = HttpResponse(ExampleFeed());
    HttpXmlDocument whole(kQuick);
    Fetch answered = FetchFrom(whole, [&](LoopbackConnection& connection, int) {
        connection.Send(response);
        connection.Hold(10s);
    });
    EXPECT_TRUE(answered.result);
    EXPECT_STREQ(RootName(whole), "config");

    HttpXmlDocument silent(kQuick);
    Fetch nothing = FetchFrom(silent, [](LoopbackConnection& connection, int) { connection.Hold(10s); });
    EXPECT_FALSE(nothing.result);
    EXPECT_EQ(nothing.output, "start load xml..\n" + std::string(kNotXml));
}

TEST(LoadHttpXml, DrippedResponseIsAssembled)
{
    const std::string response = HttpResponse(ExampleFeed());
    HttpXmlDocument document(SocketTimeouts{1s, 1s});
    Fetch fetch = FetchFrom(document, [&](LoopbackConnection& connection, int) {
        // One byte every 100 ms for the status line, then the rest at once.
        connection.Drip(std::string_view(response).substr(0, 17), 100ms);
        connection.Send(std::string_view(response).substr(17));
    });
    EXPECT_TRUE(fetch.result);
    EXPECT_NE(fetch.output.find("recv: 1 bytes\n"), std::string::npos);
    EXPECT_EQ(std::string(document.ReceivedText()), response);
}

TEST(LoadHttpXml, ResponseLargerThanTheBufferStopsAtItsEnd)
{
    const size_t capacity = HttpXmlDocument::kBufferSize - 1;
    // A header announcing the body that exactly fills the buffer.
    const std::string header = "HTTP/1.0 200 OK\r\nContent-Length: 204756\r\n\r\n";
    const size_t bodySize = capacity - header.size();
    ASSERT_EQ(bodySize, 204756u);

    auto document = std::make_unique<HttpXmlDocument>(kQuick);
    Fetch exact = FetchFrom(*document, Answer(header + XmlOfSize(bodySize)));
    EXPECT_TRUE(exact.result);
    EXPECT_EQ(std::strlen(document->ReceivedText()), capacity);

    // One megabyte: never a byte past the buffer, and incomplete even though the part that fits
    // matches the (false) announced length.
    std::string huge = header + XmlOfSize((1u << 20) - header.size());
    Fetch fetch = FetchFrom(*document, Answer(huge));
    EXPECT_FALSE(fetch.result);
    EXPECT_FALSE(document->IsComplete());
    EXPECT_EQ(std::string(document->ReceivedText()), huge.substr(0, capacity));
}

// A listener whose queue is full never completes a connection: the connect time-out ends it.
TEST(LoadHttpXml, ConnectThatNeverCompletesTimesOut)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    // Fill the accept queue with connections nobody accepts.
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    usleep(100'000);

    HttpXmlDocument document(kQuick);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(document.LoadHttpXml("http://127.0.0.1/feed.xml", ntohs(address.sin_port)));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "start load xml..\nerror: connect httpserver fail in loadhttpxml\n");

    for (int filler : fillers)
        close(filler);
    close(listener);
}
