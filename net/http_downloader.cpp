// The HTTP downloader's transfer thread on libcurl.
#include "net/http_downloader.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

#include "common/file_io.h"

namespace pavalo::net {
namespace {

// libcurl's global set-up is not safe to run on two threads at once; run it
// once, on the first thread that makes a downloader.
bool curlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

bool hasWebScheme(const std::string& url) {
    std::string head = url.substr(0, 8);
    std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return head.starts_with("http://") || head.starts_with("https://");
}

std::string seconds(long n) { return std::to_string(n) + (n == 1 ? " second" : " seconds"); }

const std::deque<HttpChunk> kNoChunks;

}  // namespace

HttpDownloader::HttpDownloader(std::string url, bool useProxy, std::string proxy, HttpLimits limits)
    : url_(std::move(url)), useProxy_(useProxy), proxy_(std::move(proxy)), limits_(limits) {
    // The byte counter is 32 bits wide.
    limits_.maxBytes = std::min<uint64_t>(limits_.maxBytes, UINT32_MAX);
    if (url_.empty() || (useProxy_ && proxy_.empty())) return;
    if (!hasWebScheme(url_)) {
        // Refused before any connection: only web addresses are fetched.
        error_ = "Only http:// and https:// addresses can be downloaded, not \"" + url_ + "\".";
        status_.store(kHttpDone | kHttpOpenFailed | kHttpFailed, std::memory_order_release);
        return;
    }
    // Running is set before the thread exists so that the thread's own bits
    // are never overwritten.
    status_.store(kHttpRunning, std::memory_order_release);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        error_ = "No thread could be started for the download.";
        status_.store(kHttpDone | kHttpSessionFailed | kHttpFailed, std::memory_order_release);
    }
}

HttpDownloader::~HttpDownloader() { destroy(); }

void HttpDownloader::destroy() {
    abort();
    if (thread_.joinable()) thread_.join();
    chunks_.clear();
    pending_.length = 0;
}

const std::deque<HttpChunk>& HttpDownloader::chunks() const { return finished() ? chunks_ : kNoChunks; }

std::string HttpDownloader::errorText() const { return finished() ? error_ : std::string(); }

void HttpDownloader::finish(uint32_t bits, std::string error) {
    // The last short read's bytes form the last chunk.
    if (pending_.length > 0) {
        chunks_.push_back(pending_);
        pending_.length = 0;
    }
    error_ = std::move(error);
    status_.fetch_or(bits | kHttpDone, std::memory_order_acq_rel);
}

size_t HttpDownloader::onData(char* data, size_t size, size_t count, void* self) {
    auto* d = static_cast<HttpDownloader*>(self);
    const size_t n = size * count;
    if (d->abortRequested_.load()) return 0;
    if (d->total_ + n > d->limits_.maxBytes) {
        d->sizeExceeded_ = true;
        return 0;
    }
    // Chunk boundaries fall every 256 bytes of the body, however the bytes
    // happened to arrive.
    size_t at = 0;
    while (at < n) {
        const size_t take = std::min(kHttpChunkSize - d->pending_.length, n - at);
        std::copy_n(reinterpret_cast<const uint8_t*>(data) + at, take, d->pending_.data.begin() + d->pending_.length);
        d->pending_.length += uint32_t(take);
        at += take;
        if (d->pending_.length == kHttpChunkSize) {
            d->chunks_.push_back(d->pending_);
            d->pending_.length = 0;
        }
    }
    d->total_ += n;
    d->lastArrival_ = std::chrono::steady_clock::now();
    d->bytesReceived_.store(uint32_t(d->total_), std::memory_order_relaxed);
    return n;
}

size_t HttpDownloader::onHeader(char* data, size_t size, size_t count, void* self) {
    auto* d = static_cast<HttpDownloader*>(self);
    const size_t n = size * count;
    d->lastArrival_ = std::chrono::steady_clock::now();
    // The empty line ends a response's headers; a successful final response
    // means the address is open, and later failures are read failures.
    if ((n == 2 && data[0] == '\r') || (n == 1 && data[0] == '\n')) {
        long code = 0;
        curl_easy_getinfo(static_cast<CURL*>(d->curl_), CURLINFO_RESPONSE_CODE, &code);
        if (code >= 200 && code < 300) d->opened_ = true;
    }
    return n;
}

// libcurl calls this at least once a second, also while nothing arrives.
int HttpDownloader::onProgress(void* self, long long, long long, long long, long long) {
    auto* d = static_cast<HttpDownloader*>(self);
    if (d->abortRequested_.load()) return 1;
    if (std::chrono::steady_clock::now() - d->lastArrival_ >= std::chrono::seconds(d->limits_.stallTimeoutSeconds)) {
        d->stalled_ = true;
        return 1;
    }
    return 0;
}

void HttpDownloader::run() {
    CURL* curl = curlReady() ? curl_easy_init() : nullptr;
    if (!curl) {
        finish(kHttpSessionFailed | kHttpFailed, "The download could not be set up (libcurl did not start).");
        return;
    }
    curl_ = curl;
    char detail[CURL_ERROR_SIZE] = {};
    bool set = true;
    auto opt = [&](CURLoption o, auto value) { set = set && curl_easy_setopt(curl, o, value) == CURLE_OK; };
    opt(CURLOPT_URL, url_.c_str());
    opt(CURLOPT_USERAGENT, "HttpDownload");
    // An empty proxy name means a direct connection, whatever the environment says.
    opt(CURLOPT_PROXY, useProxy_ ? proxy_.c_str() : "");
    opt(CURLOPT_PROTOCOLS_STR, "http,https");
    opt(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    opt(CURLOPT_FOLLOWLOCATION, 1L);
    opt(CURLOPT_MAXREDIRS, limits_.maxRedirects);
    opt(CURLOPT_FAILONERROR, 1L);
    opt(CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits_.maxBytes));
    opt(CURLOPT_CONNECTTIMEOUT, limits_.connectTimeoutSeconds);
    // No signals on a worker thread (name lookups time out without them).
    opt(CURLOPT_NOSIGNAL, 1L);
    opt(CURLOPT_ERRORBUFFER, detail);
    opt(CURLOPT_WRITEFUNCTION, &HttpDownloader::onData);
    opt(CURLOPT_WRITEDATA, static_cast<void*>(this));
    opt(CURLOPT_HEADERFUNCTION, &HttpDownloader::onHeader);
    opt(CURLOPT_HEADERDATA, static_cast<void*>(this));
    opt(CURLOPT_XFERINFOFUNCTION, &HttpDownloader::onProgress);
    opt(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    opt(CURLOPT_NOPROGRESS, 0L);
    if (!set) {
        curl_easy_cleanup(curl);
        curl_ = nullptr;
        finish(kHttpSessionFailed | kHttpFailed, "The download could not be set up (libcurl refused an option).");
        return;
    }

    lastArrival_ = std::chrono::steady_clock::now();
    const CURLcode rc = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(curl);
    curl_ = nullptr;

    const uint32_t stage = opened_ ? kHttpReadFailed : kHttpOpenFailed;
    const std::string why = detail[0] ? detail : curl_easy_strerror(rc);
    switch (rc) {
    case CURLE_OK:
        finish(0, {});
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        if (stalled_ && !abortRequested_.load()) {
            finish(stage | kHttpFailed, (opened_ ? "The server sent nothing for " : "The server did not answer for ") +
                                            seconds(limits_.stallTimeoutSeconds) + ".");
        } else {
            finish(kHttpAborted | kHttpFailed, "The download was cancelled.");
        }
        break;
    case CURLE_WRITE_ERROR:
        if (abortRequested_.load()) {
            finish(kHttpAborted | kHttpFailed, "The download was cancelled.");
        } else if (sizeExceeded_) {
            finish(kHttpReadFailed | kHttpFailed,
                   "The file is larger than " + std::to_string(limits_.maxBytes) + " bytes.");
        } else {
            finish(stage | kHttpFailed, why);
        }
        break;
    case CURLE_FILESIZE_EXCEEDED:
        finish(kHttpReadFailed | kHttpFailed, "The file is larger than " + std::to_string(limits_.maxBytes) + " bytes.");
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        finish(kHttpOpenFailed | kHttpFailed,
               "The address redirected more than " + std::to_string(limits_.maxRedirects) + " times.");
        break;
    case CURLE_HTTP_RETURNED_ERROR:
        finish(kHttpOpenFailed | kHttpFailed, "The server answered with status " + std::to_string(code) + ".");
        break;
    case CURLE_OPERATION_TIMEDOUT:
        finish(stage | kHttpFailed, opened_ ? "The server sent nothing for " + seconds(limits_.stallTimeoutSeconds) + "."
                                            : "The server did not answer in time (" + why + ").");
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        finish(kHttpOpenFailed | kHttpFailed, "The address led to something other than http or https (" + why + ").");
        break;
    default:
        finish(stage | kHttpFailed, why);
        break;
    }
}

bool HttpDownloader::saveTo(const std::string& path) const {
    if (!finished()) return false;
    if (bytesReceived() == 0) return true;
    std::vector<uint8_t> bytes;
    bytes.reserve(bytesReceived());
    for (const HttpChunk& c : chunks_) bytes.insert(bytes.end(), c.data.begin(), c.data.begin() + c.length);
    std::string error;
    return writeFileAtomically(path, bytes, error);
}

}  // namespace pavalo::net
