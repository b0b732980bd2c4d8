// A TCP server on 127.0.0.1 that a test starts: it answers each connection with a scripted
// behaviour, within bounded time, and records what the client sent.
#include "tests/feed/LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kPollStep{20};
// A client that sends no complete request within this time gets the behaviour anyway.
constexpr std::chrono::milliseconds kRequestWait{2'000};

int ListenOnLoopback(uint16_t& port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("bind/listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool Readable(int fd, std::chrono::milliseconds wait)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, static_cast<int>(wait.count())) > 0;
}

}  // namespace

bool LoopbackConnection::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t sent = send(m_Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool LoopbackConnection::Drip(std::string_view bytes, std::chrono::milliseconds gap)
{
    for (char byte : bytes) {
        if (m_Stopping.load() || !Send(std::string_view(&byte, 1)))
            return false;
        std::this_thread::sleep_for(gap);
    }
    return true;
}

void LoopbackConnection::Hold(std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!m_Stopping.load() && std::chrono::steady_clock::now() < deadline) {
        // Ends early when the client closes its side.
        if (Readable(m_Fd, kPollStep)) {
            char scratch[256];
            if (recv(m_Fd, scratch, sizeof scratch, 0) <= 0)
                return;
        }
    }
}

LoopbackServer::LoopbackServer(Behaviour behaviour, uint16_t port) : m_Behaviour(std::move(behaviour)), m_Port(port)
{
    m_Listener = ListenOnLoopback(m_Port);
    m_Thread = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer()
{
    m_Stopping.store(true);
    m_Thread.join();
    close(m_Listener);
}

std::vector<std::string> LoopbackServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Requests;
}

void LoopbackServer::Serve()
{
    while (!m_Stopping.load()) {
        if (!Readable(m_Listener, kPollStep))
            continue;
        int fd = accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        LoopbackConnection connection(fd, m_Stopping);
        auto deadline = std::chrono::steady_clock::now() + kRequestWait;
        while (connection.m_Request.find("\r\n\r\n") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline && !m_Stopping.load()) {
            if (!Readable(fd, kPollStep))
                continue;
            char chunk[512];
            ssize_t count = recv(fd, chunk, sizeof chunk, 0);
            if (count <= 0)
                break;
            connection.m_Request.append(chunk, static_cast<size_t>(count));
        }
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            m_Requests.push_back(connection.m_Request);
        }
        int index = m_Connections.fetch_add(1);
        m_Behaviour(connection, index);
        close(fd);
    }
}

uint16_t UnusedLoopbackPort()
{
    uint16_t port = 0;
    int fd = ListenOnLoopback(port);
    close(fd);
    return port;
}

std::string HttpResponse(std::string_view body, const std::vector<std::string>& headers)
{
    std::string response = "HTTP/1.0 200 OK\r\n";
    for (const auto& header : headers)
        response += header + "\r\n";
    response += "\r\n";
    response += body;
    return response;
}

std::string HttpResponse(std::string_view body)
{
    return HttpResponse(body, {"Content-Type: text/xml", "Content-Length: " + std::to_string(body.size())});
}
