// Fetching one file over HTTP or HTTPS on a thread of its own (libcurl),
// kept in memory as a chain of 256-byte chunks, with a byte counter and a
// status word that the caller polls.
//
// Ownership: the downloader owns its transfer thread and its chunks. The
// thread writes bytesReceived, status and the chain; the caller reads
// bytesReceived and status at any time and the chain, the error text and
// saveTo only once status has kHttpDone (chunks() is empty before that).
// The destructor (and destroy()) abort a running transfer and wait for its
// thread, so a downloader can be dropped at any moment.
//
// Beyond plain HTTP: HTTPS with libcurl's certificate and host-name checks
// (never turned off), at most HttpLimits::maxRedirects redirects, and only to
// http or https; a size limit; a connect time-out and a stall time-out
// (nothing received for that long); abort(). An address whose scheme is not
// http or https starts no thread and ends at once with kHttpOpenFailed.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>

namespace pavalo::net {

// Status bits.
inline constexpr uint32_t kHttpRunning = 0x1;          // a transfer thread was started
inline constexpr uint32_t kHttpDone = 0x2;             // the transfer has finished
inline constexpr uint32_t kHttpSessionFailed = 0x10000;  // the transfer could not be set up
inline constexpr uint32_t kHttpOpenFailed = 0x20000;     // the address could not be opened
inline constexpr uint32_t kHttpReadFailed = 0x40000;     // reading the data failed
inline constexpr uint32_t kHttpAborted = 0x80000;        // abort() ended the transfer
inline constexpr uint32_t kHttpFailed = 0x80000000;      // any failure, with one of the above

inline constexpr size_t kHttpChunkSize = 256;

// One piece of the received data: `length` (1..256) bytes of `data` in use.
struct HttpChunk {
    uint32_t length = 0;
    std::array<uint8_t, kHttpChunkSize> data{};
};

struct HttpLimits {
    uint64_t maxBytes = 64u << 20;  // larger bodies fail with kHttpReadFailed (at most 4 GB - 1)
    long maxRedirects = 5;
    long connectTimeoutSeconds = 15;  // no connection within this: kHttpOpenFailed
    long stallTimeoutSeconds = 30;    // nothing received for this long: fails
};

class HttpDownloader {
public:
    // Copies the texts and starts at once: a transfer thread is created when
    // the url is not empty and either useProxy is false or proxy is not
    // empty; then status is kHttpRunning. Otherwise nothing starts and status
    // stays 0. Without a proxy the connection is direct (proxy variables of
    // the environment are ignored).
    HttpDownloader(std::string url, bool useProxy, std::string proxy, HttpLimits limits = {});
    ~HttpDownloader();
    HttpDownloader(const HttpDownloader&) = delete;
    HttpDownloader& operator=(const HttpDownloader&) = delete;

    const std::string& url() const { return url_; }
    bool useProxy() const { return useProxy_; }
    const std::string& proxy() const { return proxy_; }

    uint32_t bytesReceived() const { return bytesReceived_.load(std::memory_order_relaxed); }
    uint32_t status() const { return status_.load(std::memory_order_acquire); }
    bool finished() const { return (status() & kHttpDone) != 0; }
    // True while the transfer thread runs.
    bool hasThread() const { return (status() & (kHttpRunning | kHttpDone)) == kHttpRunning; }

    // Asks a running transfer to stop; it ends with kHttpAborted | kHttpFailed.
    void abort() { abortRequested_.store(true); }

    // The chain in arrival order; empty until finished.
    const std::deque<HttpChunk>& chunks() const;
    // Why the transfer failed, in words; empty on success or before the end.
    std::string errorText() const;

    // Writes every chunk in chain order to `path` through a temporary file
    // renamed into place. Nothing received: nothing is written, true. False
    // when not finished, or the file cannot be written in full.
    bool saveTo(const std::string& path) const;

    // Stops a running transfer, waits for its thread and frees every chunk.
    void destroy();

private:
    void run();
    void finish(uint32_t bits, std::string error);
    static size_t onData(char* data, size_t size, size_t count, void* self);
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static int onProgress(void* self, long long, long long, long long, long long);

    std::string url_;
    bool useProxy_ = false;
    std::string proxy_;
    HttpLimits limits_;

    std::atomic<uint32_t> bytesReceived_{0};
    std::atomic<uint32_t> status_{0};
    std::atomic<bool> abortRequested_{false};
    std::thread thread_;

    // Written by the transfer thread only; read by others after kHttpDone.
    std::deque<HttpChunk> chunks_;
    HttpChunk pending_;  // the chunk being filled
    uint64_t total_ = 0;
    bool opened_ = false;        // a successful response's headers arrived
    bool sizeExceeded_ = false;  // the body outgrew limits_.maxBytes
    bool stalled_ = false;       // nothing arrived for the stall time-out
    std::chrono::steady_clock::time_point lastArrival_;
    std::string error_;
    void* curl_ = nullptr;
};

}  // namespace pavalo::net
