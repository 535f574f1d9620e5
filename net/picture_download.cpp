// The lobby's picture download: progress texts, failure messages, the saved
// file and the picture check.
#include "net/picture_download.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <span>
#include <thread>

#include "media/picture_probe.h"
#include "media/still_picture.h"
#include "shell/data_folder.h"
#include "surface/draw_surface.h"

namespace pavalo::net {

bool isHttpReference(std::string_view reference) {
    std::string lower(reference);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find("http") != std::string::npos;
}

std::string downloadProgressText(uint32_t bytesReceived) {
    char text[64];
    std::snprintf(text, sizeof text, "Downloading Image (%d bytes received)", int(bytesReceived));
    return text;
}

std::string downloadFailureMessage(uint32_t status) {
    if (status & kHttpSessionFailed) return "Unable to download the image through http.";
    if (status & kHttpOpenFailed) return "Unable to open the URL specified by the lobby server.";
    if (status & kHttpReadFailed) return "An error occured while downloading the image";
    return {};
}

DownloadedPicture finishPictureDownload(const HttpDownloader& download, const std::string& dataFolder) {
    DownloadedPicture result;
    const uint32_t status = download.status();
    if (!(status & kHttpDone)) {
        result.message = "The download has not finished.";
        return result;
    }
    if (status & kHttpAborted) {
        result.cancelled = true;
        return result;
    }
    result.message = downloadFailureMessage(status);
    if (!result.message.empty()) {
        result.detail = download.errorText();
        return result;
    }

    const std::string path = joinPath(dataFolder, kDownloadedPictureName);
    // A file left from an earlier game must never stand in for this download.
    std::remove(path.c_str());
    // The first bytes say which kind of picture came; the loader then has the
    // last word.
    const auto& chunks = download.chunks();
    const uint32_t kind =
        chunks.empty() ? 0 : pictureKindOfBytes(std::span<const uint8_t>(chunks.front().data.data(), chunks.front().length));
    const bool bmp = kind == kProbeBmp;
    const bool compressed = kind == kProbeJpeg || kind == kProbePng || kind == kProbeWebp;
    const std::string notPicture = "The file downloaded from the lobby's address is not a picture Pavalo can show.";
    if (!compressed && !bmp) {
        result.message = notPicture;
        result.detail = download.url();
        return result;
    }
    if (!download.saveTo(path)) {
        std::remove(path.c_str());
        result.message = "The downloaded picture could not be saved as " + path + ".";
        return result;
    }
    // The loader has the last word: what it cannot show is no picture.
    DrawSurface probe;
    if (!loadStillPicture(probe, path, compressed, 24)) {
        std::remove(path.c_str());
        result.message = notPicture;
        result.detail = download.url() + " (load error " + std::to_string(probe.lastLoadError) + ")";
        return result;
    }
    result.ok = true;
    result.message.clear();
    result.path = path;
    // JPEG, PNG and WebP pictures are recorded as kind 1, BMPs as kind 0.
    result.pictureKind = compressed ? 1 : 0;
    return result;
}

DownloadedPicture downloadPicture(const std::string& url, const std::string& dataFolder,
                                  const std::function<bool(const std::string&)>& show, HttpLimits limits,
                                  std::chrono::milliseconds interval) {
    HttpDownloader download(url, false, {}, limits);
    if (download.status() == 0) {
        DownloadedPicture nothing;
        nothing.message = downloadFailureMessage(kHttpOpenFailed);
        nothing.detail = "The lobby named no address.";
        return nothing;
    }
    bool going = show(downloadProgressText(0));
    while (!download.finished()) {
        if (!going) download.abort();
        std::this_thread::sleep_for(interval);
        if (going) going = show(downloadProgressText(download.bytesReceived()));
    }
    return finishPictureDownload(download, dataFolder);
}

}  // namespace pavalo::net
