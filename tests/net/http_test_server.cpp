// The in-process HTTP server of the download tests.
#include "tests/net/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace pavalo::test {
namespace {

void sendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += size_t(n);
    }
}

}  // namespace

HttpTestServer::HttpTestServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("no loopback port for the test server");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

HttpTestServer::~HttpTestServer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    ::close(listener_);
}

void HttpTestServer::route(const std::string& path, HttpRoute r) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(r);
}

std::string HttpTestServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool HttpTestServer::pause(int ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

void HttpTestServer::serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) continue;
        timeval tv{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        answer(fd);
        ::close(fd);
    }
}

void HttpTestServer::answer(int fd) {
    std::string request;
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, size_t(n));
    }
    ++requests_;
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    HttpRoute r;
    {
        std::lock_guard lock(mutex_);
        auto it = routes_.find(path);
        if (it == routes_.end()) r.status = 404;
        else r = it->second;
    }
    if (r.silent) {
        pause(r.stallMs);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + (r.status < 400 ? " OK" : " Error") + "\r\n";
    for (const std::string& h : r.headers) head += h + "\r\n";
    if (r.contentLength) head += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    sendAll(fd, head);
    const size_t first = r.stallMs > 0 ? std::min(r.stallAfter, r.body.size()) : r.body.size();
    sendAll(fd, r.body.substr(0, first));
    if (first < r.body.size() && !pause(r.stallMs)) return;
    sendAll(fd, r.body.substr(first));
}

}  // namespace pavalo::test
