// Image libraries (.gvl files): a 312-byte header (magic 100, name,
// password, picture count) followed by one 9624-byte record per picture
// (its size, title, path and a 96 x 96 thumbnail in DefaultPalette).
// Reading, creating, adding pictures (AddImageToLibrary), removing them,
// and thumbnails as drawing surfaces. No Qt.
//
// Reading is checked: the records read are the ones the count names and the
// file really holds (a count beyond the file's length, or negative, is cut
// to what is there); texts without their terminating zero end at their
// field. Writes never leave a half-written library: an addition writes its
// record after the last whole record the file holds, whatever the count
// says, and only then the new count (a 4-byte write inside the header); it
// never makes the file shorter. A removal writes the whole new library to a
// temporary file that is renamed over the old one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "surface/draw_surface.h"

namespace pavalo {

class Platform;

inline constexpr int32_t kLibraryMagic = 100;
inline constexpr size_t kLibraryHeaderSize = 312;
inline constexpr size_t kLibraryRecordSize = 9624;
inline constexpr int32_t kThumbnailSize = 96;
inline constexpr size_t kThumbnailBytes = size_t(kThumbnailSize) * kThumbnailSize;
// The light grey of DefaultPalette around the scaled picture.
inline constexpr uint8_t kThumbnailBackground = 7;
// The placeholder thumbnail (type "BITMAP") used when a picture cannot be read.
inline constexpr uint32_t kPlaceholderThumbnailId = 329;
inline constexpr const char* kLibraryExtension = ".gvl";

// Texts of the library operations.
namespace library_text {
inline constexpr const char* kInvalidFileFormat = "Invalid file format";
inline constexpr const char* kUnableToCreateThumbnail = "Unable to create thumbnail";
inline constexpr const char* kNoMovieSystem =
    "The movie decoder could not be started, so .AVI and .MPG files cannot be played.";
// Names that do not fit their fields; filled with the text and the limit.
inline constexpr const char* kTitleTooLong =
    "The picture's name \"%s\" is too long for an image library (at most %d characters).  The picture was not "
    "added.";
inline constexpr const char* kPathTooLong =
    "The picture's path \"%s\" is too long for an image library (at most %d characters).  The picture was not "
    "added.";
inline constexpr const char* kLibraryNameTooLong = "The library name \"%s\" is too long (at most %d characters).";
inline constexpr const char* kPasswordTooLong = "The password is too long (at most %d characters).";
}  // namespace library_text

// Field limits: characters before the terminating zero.
inline constexpr size_t kLibraryNameMax = 255;
inline constexpr size_t kLibraryPasswordMax = 31;
inline constexpr size_t kImageTitleMax = 127;
inline constexpr size_t kImagePathMax = 259;

struct LibraryHeader {
    int32_t magic = kLibraryMagic;
    std::array<char, 256> name{};
    std::array<uint8_t, 16> reserved{};
    std::array<char, 32> password{};
    int32_t count = 0;

    std::string nameText() const;
    std::string passwordText() const;
    bool hasPassword() const { return password[0] != '\0'; }

    std::array<uint8_t, kLibraryHeaderSize> encode() const;
    static LibraryHeader decode(std::span<const uint8_t, kLibraryHeaderSize> bytes);
    bool operator==(const LibraryHeader&) const = default;
};

struct LibraryImageRecord {
    int32_t magic = kLibraryMagic;
    int32_t width = 0;
    int32_t height = 0;
    std::array<char, 128> title{};
    std::array<char, 260> path{};
    int32_t thumbWidth = 0;
    int32_t thumbHeight = 0;
    std::array<uint8_t, kThumbnailBytes> thumbnail{};  // 96 rows of 96, top row first

    std::string titleText() const;
    std::string pathText() const;

    std::vector<uint8_t> encode() const;  // kLibraryRecordSize bytes
    static LibraryImageRecord decode(std::span<const uint8_t, kLibraryRecordSize> bytes);
    bool operator==(const LibraryImageRecord&) const = default;
};

// What a library file holds, as far as it is sound.
struct LibraryFileInfo {
    LibraryHeader header;
    int64_t fileSize = 0;
    // Records that are both counted and present: the count limited to
    // 0 .. (fileSize - 312) / 9624.
    int32_t usableCount = 0;
};

// The header and sizes of a library file; nothing when the file cannot be
// opened or is shorter than a header. The magic is not checked here.
std::optional<LibraryFileInfo> readLibraryInfo(const std::string& path);
// Up to `max` records from index `first` (fewer at the end, none past the
// usable count); nothing when the file cannot be read.
std::optional<std::vector<LibraryImageRecord>> readLibraryRecords(const std::string& path, int32_t first, int32_t max);
// The same from a library's bytes (for tests and the fuzz target).
std::optional<LibraryFileInfo> parseLibraryInfo(std::span<const uint8_t> bytes);
std::vector<LibraryImageRecord> parseLibraryRecords(std::span<const uint8_t> bytes, int32_t first, int32_t max);

// Comparison of two texts ignoring the case of ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);
// The index of the record whose path equals `picturePath` ignoring case;
// -1 when there is none; nothing when the library cannot be read.
std::optional<int32_t> findImageInLibrary(const std::string& libraryPath, const std::string& picturePath);

// A header for a new library: magic 100, the name, the password's first 31
// characters, count 0. Nothing when the name does not fit its field.
std::optional<LibraryHeader> makeLibraryHeader(std::string_view name, std::string_view password);
// Writes a library holding only this header (safely replacing any file).
bool writeLibraryHeaderFile(const std::string& path, const LibraryHeader& header, std::string& error);

// The file's name without directory and extension: after the last '/',
// cut at its last dot.
std::string fileTitle(std::string_view path);
// The lower-case extension after the last dot of the file name; empty
// without one.
std::string lowerExtension(std::string_view path);

// Loads a picture for its thumbnail by its extension: jpg/jpeg, png and webp
// at 24 bits (decoded by the kind their first bytes show),
// bmp, wda (frame 0 into an 8-bit surface with the animation's palette),
// avi/mpg/mpeg through `movieFrame`. Messages: "Invalid file format" for
// other extensions, the movie-system message when there is no movieFrame.
using MovieFrameLoader = std::function<bool(const std::string& path, DrawSurface& frame)>;
bool loadLibraryPicture(const std::string& path, DrawSurface& picture, Platform* messages,
                        const MovieFrameLoader& movieFrame);

// The scaled size of a picture's thumbnail: the longer side 96, the other
// 96 * shorter / longer truncated, at least 1.
struct ThumbSize {
    int32_t width = 0, height = 0;
    bool operator==(const ThumbSize&) const = default;
};
ThumbSize thumbnailSize(int32_t width, int32_t height);
// Fills the record's thumbnail with 7 and places the 8-bit DefaultPalette
// picture `scaled` (at most 96 x 96) centred in it; sets thumbWidth/Height.
void placeThumbnail(LibraryImageRecord& record, const DrawSurface& scaled);
// A record for a picture: sizes, title, path and thumbnail; the placeholder
// bitmap (resource 329) when `picture` has no pixels. False when the title
// or path does not fit (nothing is changed then).
bool makeImageRecord(const std::string& picturePath, const DrawSurface& picture, LibraryImageRecord& record);
// The thumbnail as a 96 x 96 8-bit surface in DefaultPalette.
bool thumbnailSurface(const LibraryImageRecord& record, DrawSurface& out);

// AddImageToLibrary: adds the picture to the library (created with a name
// from its file name when missing, unregistered), showing its messages
// through `owner`. Returns the library's new picture count, or -1 when the
// library can neither be opened nor created or the picture's names do not
// fit (then with a message).
int32_t addImageToLibrary(Platform& owner, const std::string& libraryPath, const std::string& picturePath,
                          const MovieFrameLoader& movieFrame = {});
// Appends a finished record (the library must exist); the new count or -1.
int32_t appendLibraryRecord(const std::string& libraryPath, const LibraryImageRecord& record, std::string& error);
// Removes record `index`: the following records move down one place, the
// count goes down by one, the file is 9624 bytes shorter. The new count, or
// -1 when the library cannot be opened or rewritten (or index is outside).
int32_t removeLibraryImage(const std::string& libraryPath, int32_t index, std::string& error);

}  // namespace pavalo
