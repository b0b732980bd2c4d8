// TCP client sockets over POSIX with time-outs on every call.
#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMilliseconds(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

}  // namespace

bool ResolveHostIPv4(const std::string& host, uint32_t& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    bool resolved = false;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr) {
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
            resolved = true;
            break;
        }
    }
    freeaddrinfo(found);
    return resolved;
}

bool TcpSocket::Open()
{
    Close();
    // Non-blocking underneath, so that every call can be bounded by poll.
    m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    return m_Fd >= 0;
}

bool TcpSocket::WaitFor(short events, std::chrono::milliseconds timeout) const
{
    auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd entry{m_Fd, events, 0};
        int ready = poll(&entry, 1, RemainingMilliseconds(deadline));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return true;
    }
}

bool TcpSocket::Connect(uint32_t address, uint16_t port)
{
    if (m_Fd < 0)
        return false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (connect(m_Fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    if (!WaitFor(POLLOUT, m_Timeouts.connect))
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(m_Fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

long TcpSocket::Send(const char* data, size_t size)
{
    if (m_Fd < 0)
        return -1;
    size_t sent = 0;
    while (sent < size) {
        // MSG_NOSIGNAL: a peer that has already closed gives an error, not SIGPIPE.
        ssize_t count = send(m_Fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(POLLOUT, m_Timeouts.idle))
            continue;
        break;
    }
    return sent > 0 || size == 0 ? static_cast<long>(sent) : -1;
}

long TcpSocket::Receive(char* buffer, size_t size)
{
    if (m_Fd < 0)
        return -1;
    for (;;) {
        ssize_t count = recv(m_Fd, buffer, size, 0);
        if (count >= 0)
            return static_cast<long>(count);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        // Nothing for the idle time-out ends the response as a close would.
        if (!WaitFor(POLLIN, m_Timeouts.idle))
            return 0;
    }
}

void TcpSocket::Close()
{
    if (m_Fd >= 0) {
        close(m_Fd);
        m_Fd = -1;
    }
}
