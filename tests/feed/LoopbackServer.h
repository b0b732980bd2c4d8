// A TCP server on 127.0.0.1 that a test starts: it answers each connection with a scripted
// behaviour, within bounded time, and records what the client sent.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// One accepted connection, handed to the server's behaviour.
class LoopbackConnection {
public:
    LoopbackConnection(int fd, const std::atomic<bool>& stopping) : m_Fd(fd), m_Stopping(stopping) {}

    // Sends all bytes (false when the client has gone).
    bool Send(std::string_view bytes);
    // Sends one byte at a time with `gap` between them; stops early when the server stops.
    bool Drip(std::string_view bytes, std::chrono::milliseconds gap);
    // Waits up to `limit` or until the server stops; the connection stays open meanwhile.
    void Hold(std::chrono::milliseconds limit);
    // The request the client sent, up to and including the blank line.
    const std::string& Request() const { return m_Request; }

    int m_Fd;
    std::string m_Request;

private:
    const std::atomic<bool>& m_Stopping;
};

class LoopbackServer {
public:
    // Called for every connection with its number (0 first); the connection is closed after.
    using Behaviour = std::function<void(LoopbackConnection&, int index)>;

    // Listens on `port` of 127.0.0.1 (0: any free port).
    explicit LoopbackServer(Behaviour behaviour, uint16_t port = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return m_Port; }
    // "http://127.0.0.1" + path, for the server's port given separately.
    static std::string Url(std::string_view path = "/feed.xml") { return "http://127.0.0.1" + std::string(path); }
    int Connections() const { return m_Connections.load(); }
    std::vector<std::string> Requests() const;

private:
    void Serve();

    Behaviour m_Behaviour;
    int m_Listener = -1;
    uint16_t m_Port = 0;
    std::atomic<bool> m_Stopping{false};
    std::atomic<int> m_Connections{0};
    mutable std::mutex m_Lock;
    std::vector<std::string> m_Requests;
    std::thread m_Thread;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
uint16_t UnusedLoopbackPort();

// An HTTP/1.0 answer: status line, the given header lines, a blank line and the body.
std::string HttpResponse(std::string_view body, const std::vector<std::string>& headers);
// The usual answer: "200 OK" with "Content-Length: <body size>".
std::string HttpResponse(std::string_view body);
