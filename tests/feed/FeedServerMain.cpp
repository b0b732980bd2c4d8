// The maker's web host for the desktop test: serves the feed document and the advertisement
// page on a port of 127.0.0.1 until it is ended, or accepts and never answers (--silent).
//   feed-test-server PORT HOST [--silent]
#include "tests/feed/LoopbackServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// The advertisement page: one solid colour the test looks for over the banner.
constexpr char kAdPage[] = "<html><head><title>ad</title></head>"
                           "<body style=\"margin:0;background:#ff8800\">&nbsp;</body></html>";

std::string FeedDocument(const std::string& host)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <version>101</version>\n"
           "  <downurl>http://" +
           host + "/download.html</downurl>\n  <adurl>http://" + host +
           "/ad.html</adurl>\n"
           "  <scrolltext>Tessmark 1.01 发布了~http://" +
           host + "/news.html;欢迎使用 Tessmark 批量水印;</scrolltext>\n</config>\n";
}

std::string Answer(const std::string& request, const std::string& host)
{
    auto path = [&](const char* p) { return request.find(std::string(" ") + p + " ") != std::string::npos; };
    auto page = [](const std::string& body, const char* type) {
        return HttpResponse(body, {std::string("Content-Type: ") + type,
                                   "Content-Length: " + std::to_string(body.size()), "Connection: close"});
    };
    if (path(("http://" + host + "/software/config/Quillmark_config.xml").c_str()))
        return page(FeedDocument(host), "text/xml");
    if (path("/ad.html"))
        return page(kAdPage, "text/html");
    return "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

volatile std::sig_atomic_t g_Stop = 0;

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: feed-test-server PORT HOST [--silent]\n");
        return 2;
    }
    const std::string host = argv[2];
    const bool silent = argc > 3 && std::string(argv[3]) == "--silent";
    std::signal(SIGTERM, [](int) { g_Stop = 1; });
    std::signal(SIGINT, [](int) { g_Stop = 1; });
    LoopbackServer server(
        [&](LoopbackConnection& connection, int) {
            std::fprintf(stderr, "request: %.*s\n", static_cast<int>(connection.Request().find('\r')),
                         connection.Request().c_str());
            if (silent)
                connection.Hold(std::chrono::minutes(5));
            else
                connection.Send(Answer(connection.Request(), host));
        },
        static_cast<uint16_t>(std::atoi(argv[1])));
    std::printf("listening on %u\n", server.Port());
    std::fflush(stdout);
    while (!g_Stop)
        pause();
    return 0;
}
