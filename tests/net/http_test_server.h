// A small HTTP/1.1 server for tests, in the test's own process, on a free
// loopback port: it answers GET requests from a table of routes, one
// connection at a time, and can hold a response back to make a client wait.
// The destructor stops it and waits for its thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pavalo::test {

struct HttpRoute {
    int status = 200;
    std::string body;
    std::vector<std::string> headers;  // extra header lines, without line ends
    bool contentLength = true;         // false: the body ends when the connection closes
    size_t stallAfter = 0;             // body bytes sent before the pause
    int stallMs = 0;                   // the pause; the rest follows
    bool silent = false;               // read the request, answer nothing for stallMs

    static HttpRoute ok(std::string body) {
        HttpRoute r;
        r.body = std::move(body);
        return r;
    }
    static HttpRoute redirect(const std::string& location) {
        HttpRoute r;
        r.status = 302;
        r.headers.push_back("Location: " + location);
        return r;
    }
    static HttpRoute silentFor(int ms) {
        HttpRoute r;
        r.silent = true;
        r.stallMs = ms;
        return r;
    }
    HttpRoute& pausing(size_t after, int ms) {
        stallAfter = after;
        stallMs = ms;
        return *this;
    }
    HttpRoute& unsized() {
        contentLength = false;
        return *this;
    }
};

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    void route(const std::string& path, HttpRoute r);
    std::string url(const std::string& path) const;
    uint16_t port() const { return port_; }
    int requests() const { return requests_.load(); }

private:
    void serve();
    void answer(int fd);
    bool pause(int ms);  // false when the server is stopping

    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::string, HttpRoute> routes_;
    std::thread thread_;
};

}  // namespace pavalo::test
