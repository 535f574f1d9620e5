// Fetching the picture a lobby names by an HTTP address: the polling
// caller's side of HttpDownloader, without a window. It shows progress texts
// through a callback, turns the status bits into the game's failure
// messages, saves the data to "gamedata.tmp" in the data folder and lets the
// picture loader decide whether the file is a picture it can show.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/http_downloader.h"

namespace pavalo::net {

inline constexpr std::string_view kDownloadedPictureName = "gamedata.tmp";

// A lobby's picture reference that is to be downloaded rather than looked up
// among the known pictures: one that contains "http" in any case.
bool isHttpReference(std::string_view reference);

// "Downloading Image (%d bytes received)".
std::string downloadProgressText(uint32_t bytesReceived);

// The message for a failed transfer, by the first failure bit found in the
// order session, open, read; empty when none of them is set.
std::string downloadFailureMessage(uint32_t status);

struct DownloadedPicture {
    bool ok = false;
    bool cancelled = false;     // abort() ended it; nothing to show
    std::string path;           // the saved picture (ok)
    uint32_t pictureKind = 0;   // 1 JPEG, 0 BMP (ok)
    std::string message;        // what to show on failure
    std::string detail;         // why, in words, for a second line
};

// Turns a finished download into a picture file: failures give their
// message; otherwise the data is saved as dataFolder/gamedata.tmp and loaded
// once with the game's picture loader (a JPEG or a BMP, told by the bytes).
// Data that is empty or not such a picture is refused and the file removed.
DownloadedPicture finishPictureDownload(const HttpDownloader& download, const std::string& dataFolder);

// The whole polling caller: starts a direct download of `url`, calls `show`
// with the progress text at once and every `interval` until the transfer is
// done (show returning false aborts it), then finishes it as above.
DownloadedPicture downloadPicture(const std::string& url, const std::string& dataFolder,
                                  const std::function<bool(const std::string&)>& show, HttpLimits limits = {},
                                  std::chrono::milliseconds interval = std::chrono::milliseconds(100));

}  // namespace pavalo::net
