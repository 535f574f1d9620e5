// Lobby frames over TCP with poll-based time-outs.
#include "net/lobby_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace pavalo::net {
namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Connects one resolved address without blocking past the deadline.
int connectOne(const addrinfo* ai, Clock::time_point deadline, std::string& why) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) {
        why = systemError("no socket for the lobby connection");
        return -1;
    }
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
        why = systemError("cannot connect to the lobby");
        ::close(fd);
        return -1;
    }
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t len = sizeof error;
    const int ready = ::poll(&p, 1, remainingMs(deadline));
    if (ready <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
        why = ready == 0 ? std::string("the lobby did not answer in time")
                         : "cannot connect to the lobby: " + std::string(std::strerror(error ? error : errno));
        ::close(fd);
        return -1;
    }
    // Back to blocking: sends are small and receive() polls before reading.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

std::unique_ptr<LobbyConnection> LobbyConnection::connect(const LobbyAddress& address, int timeoutMs,
                                                          std::string& why) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found);
    if (rc != 0) {
        why = "cannot find the lobby's host \"" + address.host + "\": " + ::gai_strerror(rc);
        return nullptr;
    }
    int fd = -1;
    for (const addrinfo* ai = found; ai && fd < 0; ai = ai->ai_next) fd = connectOne(ai, deadline, why);
    ::freeaddrinfo(found);
    if (fd < 0) return nullptr;
    return std::make_unique<LobbyConnection>(fd);
}

LobbyConnection::LobbyConnection(int fd) : fd_(fd) {}

LobbyConnection::~LobbyConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool LobbyConnection::send(const LobbyMessage& message, std::string& why) {
    if (broken_) {
        why = "the lobby connection has failed";
        return false;
    }
    const std::vector<uint8_t> frame = encodeLobbyFrame(message);
    size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::send(fd_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = systemError("cannot send to the lobby connection");
            broken_ = true;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

LobbyConnection::Received LobbyConnection::receive(LobbyMessage& out, int timeoutMs, std::string& why) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (broken_) {
            why = "the lobby connection has failed";
            return Received::Error;
        }
        switch (reader_.next(out, why)) {
        case LobbyFrameReader::Next::Message:
            return Received::Message;
        case LobbyFrameReader::Next::Error:
            broken_ = true;
            return Received::Error;
        case LobbyFrameReader::Next::NeedMore:
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return Received::Timeout;
        uint8_t buffer[4096];
        const ssize_t n = ready < 0 ? -1 : ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            broken_ = true;
            // A reset between messages is the other side ending too (it
            // closed with our last message still unread).
            if ((n == 0 || errno == ECONNRESET) && !reader_.midFrame()) {
                why = "the lobby closed the connection";
                return Received::Closed;
            }
            why = n == 0 ? std::string("the lobby closed the connection in the middle of a message")
                         : systemError("the lobby connection failed");
            return Received::Error;
        }
        reader_.feed({buffer, size_t(n)});
    }
}

std::unique_ptr<LobbyListener> LobbyListener::listen(const std::string& host, uint16_t port, std::string& why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        why = "cannot find \"" + host + "\" to listen on: " + ::gai_strerror(rc);
        return nullptr;
    }
    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    const int one = 1;
    if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    if (fd < 0 || ::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
        why = systemError(("cannot listen on " + host + ":" + std::to_string(port)).c_str());
        if (fd >= 0) ::close(fd);
        ::freeaddrinfo(found);
        return nullptr;
    }
    ::freeaddrinfo(found);
    const uint16_t actual = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                                         : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return std::unique_ptr<LobbyListener>(new LobbyListener(fd, actual));
}

LobbyListener::~LobbyListener() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<LobbyConnection> LobbyListener::accept(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return nullptr;
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return nullptr;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return std::make_unique<LobbyConnection>(fd);
}

}  // namespace pavalo::net
