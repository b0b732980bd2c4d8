// TCP client sockets over POSIX with time-outs on every call.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// How long a socket call may wait. A connect that has not completed in `connect` fails; a
// send or receive that can move no byte for `idle` ends as the peer's close would.
struct SocketTimeouts {
    std::chrono::milliseconds connect{10'000};
    std::chrono::milliseconds idle{30'000};
};

// The first IPv4 address of `host` (a name or dotted digits), in network byte order.
bool ResolveHostIPv4(const std::string& host, uint32_t& address);

// One blocking-style IPv4 stream socket whose calls never wait longer than its time-outs.
class TcpSocket {
public:
    explicit TcpSocket(SocketTimeouts timeouts = {}) : m_Timeouts(timeouts) {}
    ~TcpSocket() { Close(); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // socket(AF_INET, SOCK_STREAM, 0).
    bool Open();
    // Connects to `address` (network byte order) and `port` (host order).
    bool Connect(uint32_t address, uint16_t port);
    // Sends all of `data`; answers the bytes sent, or -1 when nothing could be sent.
    long Send(const char* data, size_t size);
    // Receives at most `size` bytes: the count, 0 when the peer closed or nothing arrived for
    // the idle time-out, -1 on an error.
    long Receive(char* buffer, size_t size);
    void Close();

    bool IsOpen() const { return m_Fd >= 0; }

private:
    // Waits until the socket is ready for `events` (poll flags) or `timeout` passes; true when
    // ready (or in error, so the next call reports it).
    bool WaitFor(short events, std::chrono::milliseconds timeout) const;

    SocketTimeouts m_Timeouts;
    int m_Fd = -1;
};
