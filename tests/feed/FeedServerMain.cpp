// The maker's web host for the desktop test: serves the feed document and the advertisement
// page on a port of 127.0.0.1 until it is ended, or accepts and never answers (--silent), or
// never accepts, so that a client's connect stays pending (--stall).
//   feed-test-server PORT HOST [--silent|--stall]
#include "tests/feed/LoopbackServer.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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

// Listens on `port` without ever accepting, and fills the accept queue with connections of its
// own: the handshake of any further client then goes unanswered until it gives up.
bool Stall(uint16_t port, std::vector<int>& sockets)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 0) != 0)
        return false;
    sockets.push_back(listener);
    for (int i = 0; i < 4; ++i) {
        int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (filler < 0)
            return false;
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        sockets.push_back(filler);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: feed-test-server PORT HOST [--silent|--stall]\n");
        return 2;
    }
    const std::string host = argv[2];
    const std::string mode = argc > 3 ? argv[3] : "";
    const bool silent = mode == "--silent";
    const auto port = static_cast<uint16_t>(std::atoi(argv[1]));
    // The end signals are taken by sigwait on this thread: blocked before any thread starts, so
    // that none of the server's threads catches one and leaves this thread waiting on.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    int received = 0;
    if (mode == "--stall") {
        std::vector<int> sockets;
        if (!Stall(port, sockets)) {
            std::perror("feed-test-server: stall");
            return 1;
        }
        std::printf("listening on %u, never accepting\n", port);
        std::fflush(stdout);
        sigwait(&endSignals, &received);
        for (int fd : sockets)
            close(fd);
        return 0;
    }
    LoopbackServer server(
        [&](LoopbackConnection& connection, int) {
            std::fprintf(stderr, "request: %.*s\n", static_cast<int>(connection.Request().find('\r')),
                         connection.Request().c_str());
            if (silent)
                connection.Hold(std::chrono::minutes(5));
            else
                connection.Send(Answer(connection.Request(), host));
        },
        port);
    std::printf("listening on %u\n", server.Port());
    std::fflush(stdout);
    sigwait(&endSignals, &received);
    return 0;
}
