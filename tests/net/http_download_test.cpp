// The HTTP downloader and the lobby's picture download against an
// in-process server on loopback.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "media/bmp.h"
#include "media/jpeg_writer.h"
#include "net/http_downloader.h"
#include "net/picture_download.h"
#include "surface/draw_surface.h"
#include "tests/net/http_test_server.h"
#include "tests/unit/png_webp_writer.h"

namespace pavalo::net {
namespace {

using test::HttpRoute;
using test::HttpTestServer;
namespace fs = std::filesystem;

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 + 3);
    return s;
}

std::string pngPicture() {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 20 * 10; ++i) rgba.insert(rgba.end(), {uint8_t(i), uint8_t(i * 3), 90, 255});
    const std::vector<uint8_t> bytes = pavalo::testing::encodeRgbaPng(20, 10, rgba);
    return std::string(bytes.begin(), bytes.end());
}

void waitDone(const HttpDownloader& d) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!d.finished() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(d.finished());
}

std::vector<uint32_t> lengths(const HttpDownloader& d) {
    std::vector<uint32_t> out;
    for (const HttpChunk& c : d.chunks()) out.push_back(c.length);
    return out;
}

std::string joined(const HttpDownloader& d) {
    std::string out;
    for (const HttpChunk& c : d.chunks()) out.append(reinterpret_cast<const char*>(c.data.data()), c.length);
    return out;
}

// A loopback port nobody listens on.
uint16_t closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::string fileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct TempFolder {
    fs::path path;
    TempFolder() {
        std::string t = (fs::temp_directory_path() / "pavalo-http-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempFolder() { fs::remove_all(path); }
};

TEST(HttpDownloader, NothingStartsWithoutAnAddressOrWithAnEmptyProxy) {
    HttpDownloader none("", false, "");
    EXPECT_EQ(none.status(), 0u);
    EXPECT_FALSE(none.hasThread());
    HttpDownloader noProxy("http://127.0.0.1:9/x", true, "");
    EXPECT_EQ(noProxy.status(), 0u);
    EXPECT_EQ(noProxy.bytesReceived(), 0u);
}

TEST(HttpDownloader, BodyIsCutInto256ByteChunksInArrivalOrder) {
    HttpTestServer server;
    server.route("/512", HttpRoute::ok(pattern(512)));
    // 300 bytes arriving in two pieces of 100 and 200 still give 256 + 44.
    server.route("/300", HttpRoute::ok(pattern(300)).pausing(100, 100));
    server.route("/empty", HttpRoute::ok(""));

    HttpDownloader d512(server.url("/512"), false, "");
    HttpDownloader d300(server.url("/300"), false, "");
    HttpDownloader empty(server.url("/empty"), false, "");
    waitDone(d512);
    waitDone(d300);
    waitDone(empty);
    EXPECT_EQ(d512.status(), kHttpRunning | kHttpDone);
    EXPECT_EQ(lengths(d512), (std::vector<uint32_t>{256, 256}));
    EXPECT_EQ(d512.bytesReceived(), 512u);
    EXPECT_EQ(joined(d512), pattern(512));
    EXPECT_EQ(lengths(d300), (std::vector<uint32_t>{256, 44}));
    EXPECT_EQ(joined(d300), pattern(300));
    EXPECT_EQ(empty.status(), kHttpRunning | kHttpDone);
    EXPECT_TRUE(empty.chunks().empty());

    TempFolder dir;
    ASSERT_TRUE(d300.saveTo((dir.path / "a").string()));
    EXPECT_EQ(fileText(dir.path / "a"), pattern(300));
    // Nothing received: success without a file.
    EXPECT_TRUE(empty.saveTo((dir.path / "b").string()));
    EXPECT_FALSE(fs::exists(dir.path / "b"));
    EXPECT_FALSE(d512.saveTo((dir.path / "no-such-folder" / "c").string()));

    d512.destroy();
    EXPECT_TRUE(d512.chunks().empty());
}

TEST(HttpDownloader, AnAddressThatCannotBeOpenedSetsTheOpenBits) {
    HttpTestServer server;
    HttpDownloader refused("http://127.0.0.1:" + std::to_string(closedPort()) + "/x", false, "");
    HttpDownloader missing(server.url("/missing"), false, "");
    waitDone(refused);
    waitDone(missing);
    EXPECT_EQ(refused.status(), kHttpRunning | kHttpDone | kHttpOpenFailed | kHttpFailed);
    EXPECT_TRUE(refused.chunks().empty());
    EXPECT_EQ(refused.bytesReceived(), 0u);
    EXPECT_EQ(missing.status(), kHttpRunning | kHttpDone | kHttpOpenFailed | kHttpFailed);
    EXPECT_NE(missing.errorText().find("404"), std::string::npos) << missing.errorText();
}

TEST(HttpDownloader, OnlyWebAddressesAreFetched) {
    HttpTestServer server;
    server.route("/to-file", HttpRoute::redirect("file:///etc/hostname"));
    for (const char* url : {"ftp://127.0.0.1/x.jpg", "file:///etc/hostname", "127.0.0.1/x.jpg"}) {
        HttpDownloader d(url, false, "");
        EXPECT_EQ(d.status(), kHttpDone | kHttpOpenFailed | kHttpFailed) << url;
        EXPECT_FALSE(d.hasThread());
        EXPECT_NE(d.errorText().find("http"), std::string::npos);
    }
    HttpDownloader upper("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/to-file", false, "");
    waitDone(upper);
    EXPECT_EQ(upper.status(), kHttpRunning | kHttpDone | kHttpOpenFailed | kHttpFailed);
    EXPECT_TRUE(upper.chunks().empty());
    EXPECT_EQ(server.requests(), 1);
}

TEST(HttpDownloader, FollowsAtMostFiveRedirects) {
    HttpTestServer server;
    for (int i = 0; i < 6; ++i)
        server.route("/r" + std::to_string(i), HttpRoute::redirect("/r" + std::to_string(i + 1)));
    server.route("/r6", HttpRoute::ok("end"));
    HttpDownloader five(server.url("/r1"), false, "");
    waitDone(five);
    EXPECT_EQ(five.status(), kHttpRunning | kHttpDone);
    EXPECT_EQ(joined(five), "end");
    HttpDownloader six(server.url("/r0"), false, "");
    waitDone(six);
    EXPECT_EQ(six.status(), kHttpRunning | kHttpDone | kHttpOpenFailed | kHttpFailed);
    EXPECT_NE(six.errorText().find("more than 5"), std::string::npos) << six.errorText();
}

TEST(HttpDownloader, RefusesBodiesOverTheSizeLimit) {
    HttpTestServer server;
    server.route("/exact", HttpRoute::ok(pattern(1000)).unsized());
    server.route("/told", HttpRoute::ok(pattern(1001)));
    server.route("/untold", HttpRoute::ok(pattern(1001)).unsized());
    HttpLimits limits;
    limits.maxBytes = 1000;
    HttpDownloader exact(server.url("/exact"), false, "", limits);
    waitDone(exact);
    EXPECT_EQ(exact.status(), kHttpRunning | kHttpDone);
    for (const char* path : {"/told", "/untold"}) {
        HttpDownloader d(server.url(path), false, "", limits);
        waitDone(d);
        EXPECT_EQ(d.status(), kHttpRunning | kHttpDone | kHttpReadFailed | kHttpFailed) << path;
        EXPECT_NE(d.errorText().find("larger than 1000 bytes"), std::string::npos) << d.errorText();
    }
}

TEST(HttpDownloader, TimesOutWhenTheServerStalls) {
    HttpTestServer server;
    server.route("/stall", HttpRoute::ok(pattern(50)).pausing(10, 4000));
    HttpLimits limits;
    limits.stallTimeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    HttpDownloader d(server.url("/stall"), false, "", limits);
    waitDone(d);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3500));
    EXPECT_EQ(d.status(), kHttpRunning | kHttpDone | kHttpReadFailed | kHttpFailed);
    EXPECT_EQ(d.bytesReceived(), 10u);
    EXPECT_EQ(d.errorText(), "The server sent nothing for 1 second.");

    server.route("/silent", HttpRoute::silentFor(4000));
    HttpDownloader silent(server.url("/silent"), false, "", limits);
    waitDone(silent);
    EXPECT_EQ(silent.status(), kHttpRunning | kHttpDone | kHttpOpenFailed | kHttpFailed);
}

TEST(HttpDownloader, AbortEndsAWaitingTransfer) {
    HttpTestServer server;
    server.route("/silent", HttpRoute::silentFor(4000));
    HttpDownloader d(server.url("/silent"), false, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(d.hasThread());
    const auto start = std::chrono::steady_clock::now();
    d.abort();
    waitDone(d);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(d.status(), kHttpRunning | kHttpDone | kHttpAborted | kHttpFailed);
    EXPECT_TRUE(finishPictureDownload(d, "/nonexistent").cancelled);
}

TEST(HttpDownloader, GoesThroughTheNamedProxy) {
    HttpTestServer proxy;
    proxy.route("http://pictures.invalid/p", HttpRoute::ok("via proxy"));
    HttpDownloader d("http://pictures.invalid/p", true, "127.0.0.1:" + std::to_string(proxy.port()));
    waitDone(d);
    EXPECT_EQ(joined(d), "via proxy");
}

TEST(PictureDownload, TextsFollowTheFirstFailureBit) {
    EXPECT_EQ(downloadProgressText(12345), "Downloading Image (12345 bytes received)");
    EXPECT_EQ(downloadFailureMessage(kHttpFailed | kHttpSessionFailed | kHttpReadFailed),
              "Unable to download the image through http.");
    EXPECT_EQ(downloadFailureMessage(kHttpFailed | kHttpOpenFailed | kHttpReadFailed),
              "Unable to open the URL specified by the lobby server.");
    EXPECT_EQ(downloadFailureMessage(kHttpFailed | kHttpReadFailed), "An error occured while downloading the image");
    EXPECT_EQ(downloadFailureMessage(kHttpRunning | kHttpDone), "");
    EXPECT_TRUE(isHttpReference("Https://host/p.jpg"));
    EXPECT_FALSE(isHttpReference("Landscapes/Hills"));
}

TEST(PictureDownload, KeepsPicturesTheLoaderReadsAndRemovesTheRest) {
    std::vector<uint8_t> rgb(16 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 5);
    const std::vector<uint8_t> jpegBytes = encodeJpeg(16, 8, 3, rgb);
    DrawSurface surface;
    ASSERT_TRUE(surface.create(12, 6, 24));
    const std::vector<uint8_t> bmpBytes = encodeBmp(surface);
    const std::string jpeg(jpegBytes.begin(), jpegBytes.end()), bmp(bmpBytes.begin(), bmpBytes.end());

    HttpTestServer server;
    server.route("/p.jpg", HttpRoute::ok(jpeg));
    server.route("/p.bmp", HttpRoute::ok(bmp));
    server.route("/page", HttpRoute::ok("<html>not a picture</html>"));
    server.route("/png", HttpRoute::ok(std::string("\x89PNG\r\n\x1a\n", 8) + pattern(100)));
    server.route("/cut.jpg", HttpRoute::ok(jpeg.substr(0, jpeg.size() / 2)));
    server.route("/empty", HttpRoute::ok(""));
    TempFolder dir;
    const fs::path saved = dir.path / "gamedata.tmp";

    std::vector<std::string> shown;
    DownloadedPicture got = downloadPicture(
        server.url("/p.jpg"), dir.path.string(),
        [&](const std::string& text) {
            shown.push_back(text);
            return true;
        },
        {}, std::chrono::milliseconds(5));
    ASSERT_TRUE(got.ok) << got.message << " " << got.detail;
    EXPECT_EQ(got.pictureKind, 1u);
    EXPECT_EQ(got.path, saved.string());
    EXPECT_EQ(fileText(saved), jpeg);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "Downloading Image (0 bytes received)");

    got = downloadPicture(server.url("/p.bmp"), dir.path.string(), [](const std::string&) { return true; }, {},
                          std::chrono::milliseconds(5));
    ASSERT_TRUE(got.ok) << got.message;
    EXPECT_EQ(got.pictureKind, 0u);
    EXPECT_EQ(fileText(saved), bmp);

    // A PNG picture the loader reads is taken, recorded as kind 1.
    server.route("/p.png", HttpRoute::ok(pngPicture()));
    got = downloadPicture(server.url("/p.png"), dir.path.string(), [](const std::string&) { return true; }, {},
                          std::chrono::milliseconds(5));
    ASSERT_TRUE(got.ok) << got.message << " " << got.detail;
    EXPECT_EQ(got.pictureKind, 1u);

    for (const char* path : {"/page", "/png", "/cut.jpg", "/empty"}) {
        std::ofstream(saved) << "left from an earlier game";
        got = downloadPicture(server.url(path), dir.path.string(), [](const std::string&) { return true; }, {},
                              std::chrono::milliseconds(5));
        EXPECT_FALSE(got.ok) << path;
        EXPECT_EQ(got.message, "The file downloaded from the lobby's address is not a picture Pavalo can show.") << path;
        EXPECT_FALSE(fs::exists(saved)) << path;
    }

    got = downloadPicture(server.url("/missing"), dir.path.string(), [](const std::string&) { return true; }, {},
                          std::chrono::milliseconds(5));
    EXPECT_EQ(got.message, "Unable to open the URL specified by the lobby server.");
}

TEST(PictureDownload, ShowReturningFalseCancels) {
    HttpTestServer server;
    server.route("/silent", HttpRoute::silentFor(4000));
    TempFolder dir;
    int calls = 0;
    const DownloadedPicture got = downloadPicture(
        server.url("/silent"), dir.path.string(), [&](const std::string&) { return ++calls < 3; }, {},
        std::chrono::milliseconds(5));
    EXPECT_TRUE(got.cancelled);
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace pavalo::net
