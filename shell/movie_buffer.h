// Buffering a movie from removable media: a movie on an optical drive or a
// removable block device is copied to a temporary file on the hard disk
// before it plays, so playback never waits on the drive. The questions and
// the folder picker go through Platform, the copy's progress window through
// the document's front end. No Qt.
//
// What the disk looks like ("is this path on removable media", "how many
// bytes are free in this folder") is injectable so tests can pretend.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace pavalo {

class DocumentFrontEnd;

namespace movie_buffer_text {
inline constexpr const char* kNotEnoughSpace =
    "There is not enough free space on %s to make a temporary copy of the movie.  There are %.0lf bytes "
    "available, but %.0lf bytes are required.  Select a new directory?  (Press Yes to select a new directory, No "
    "to play the movie without buffering, or cancel to choose a new image)";
inline constexpr const char* kNotEnoughSpaceCaption = "Not enough free space";
inline constexpr const char* kFolderTitle = "Temporary File Location";
inline constexpr const char* kCopying = "Buffering the movie to your hard drive";
inline constexpr const char* kCopyFailed = "Unable to copy the movie to a temporary file.  Attempt to play unbuffered?";
inline constexpr const char* kCopyFailedCaption = "Unable to create temporary file";
inline constexpr const char* kCopyName = "tempmovie.avi";
}  // namespace movie_buffer_text

// The disk as the buffering sees it.
struct MovieStorage {
    // The folder the copy goes to unless the player picks another.
    std::string folder;
    std::function<bool(const std::string& path)> isRemovable;
    std::function<uint64_t(const std::string& folder)> freeBytes;
};

// The machine's own: isOnRemovableMedia and freeBytesIn.
MovieStorage systemMovieStorage(std::string folder);

// True when the file lies on an optical drive or on a block device whose
// disk is marked removable: the device of the mount holding the file, looked
// up under `sysfs` ("/sys" on a running system).
bool isOnRemovableMedia(const std::string& path, const std::string& sysfs = "/sys");
// Bytes free to this user on the file system holding `folder`; 0 when it
// cannot be measured.
uint64_t freeBytesIn(const std::string& folder);

// folder, a "/" unless it ends with one, and the copy's name.
std::string movieCopyPath(const std::string& folder);

enum class MovieBufferOutcome {
    PlayOriginal,  // play the movie from its own file
    PlayCopy,      // play the copy at `copyPath`
    Cancelled,     // the player will choose another picture
};

struct MovieBufferResult {
    MovieBufferOutcome outcome = MovieBufferOutcome::PlayOriginal;
    std::string copyPath;
};

// Decides whether the movie is buffered, asks what the rules ask, and makes
// the copy (read-only bit cleared).
MovieBufferResult bufferMovie(const std::string& moviePath, const MovieStorage& storage, Platform& platform,
                              DocumentFrontEnd& frontEnd);

// Copies in 4096-byte blocks with the progress window up; false (and no
// partial copy left) when either file cannot be opened or a block fails.
bool copyWithProgress(const std::string& from, const std::string& to, DocumentFrontEnd& frontEnd);

}  // namespace pavalo
