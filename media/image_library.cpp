// Image library files: checked reading, safe writes, thumbnails and
// AddImageToLibrary.
#include "media/image_library.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/file_io.h"
#include "media/movie_names.h"
#include "common/text_field.h"
#include "media/bmp.h"
#include "media/jpeg.h"
#include "media/picture_probe.h"
#include "media/wda.h"
#include "platform/platform.h"

namespace pavalo {
namespace {

constexpr size_t kCountOffset = 308;

std::string formatted(const char* pattern, const std::string& text, int limit) {
    std::vector<char> out(std::strlen(pattern) + text.size() + 32);
    std::snprintf(out.data(), out.size(), pattern, text.c_str(), limit);
    return out.data();
}

int32_t usableRecords(int32_t count, int64_t fileSize) {
    if (count <= 0 || fileSize < int64_t(kLibraryHeaderSize)) return 0;
    const int64_t present = (fileSize - int64_t(kLibraryHeaderSize)) / int64_t(kLibraryRecordSize);
    return int32_t(std::min<int64_t>(count, present));
}

// A file descriptor closed at the end of its scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

bool readAt(int fd, uint8_t* out, size_t n, off_t at) {
    while (n > 0) {
        const ssize_t got = ::pread(fd, out, n, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        n -= size_t(got);
        at += got;
    }
    return true;
}

bool writeAt(int fd, const uint8_t* in, size_t n, off_t at) {
    while (n > 0) {
        const ssize_t put = ::pwrite(fd, in, n, at);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        in += put;
        n -= size_t(put);
        at += put;
    }
    return true;
}

}  // namespace

// --- Records ---------------------------------------------------------------

std::string LibraryHeader::nameText() const { return fieldText(name); }
std::string LibraryHeader::passwordText() const { return fieldText(password); }

std::array<uint8_t, kLibraryHeaderSize> LibraryHeader::encode() const {
    std::array<uint8_t, kLibraryHeaderSize> out{};
    storeU32(out.data(), uint32_t(magic));
    std::memcpy(out.data() + 4, name.data(), name.size());
    std::memcpy(out.data() + 260, reserved.data(), reserved.size());
    std::memcpy(out.data() + 276, password.data(), password.size());
    storeU32(out.data() + kCountOffset, uint32_t(count));
    return out;
}

LibraryHeader LibraryHeader::decode(std::span<const uint8_t, kLibraryHeaderSize> b) {
    LibraryHeader h;
    h.magic = int32_t(loadU32(b.data()));
    std::memcpy(h.name.data(), b.data() + 4, h.name.size());
    std::memcpy(h.reserved.data(), b.data() + 260, h.reserved.size());
    std::memcpy(h.password.data(), b.data() + 276, h.password.size());
    h.count = int32_t(loadU32(b.data() + kCountOffset));
    return h;
}

std::string LibraryImageRecord::titleText() const { return fieldText(title); }
std::string LibraryImageRecord::pathText() const { return fieldText(path); }

std::vector<uint8_t> LibraryImageRecord::encode() const {
    std::vector<uint8_t> out(kLibraryRecordSize);
    storeU32(out.data(), uint32_t(magic));
    storeU32(out.data() + 4, uint32_t(width));
    storeU32(out.data() + 8, uint32_t(height));
    std::memcpy(out.data() + 12, title.data(), title.size());
    std::memcpy(out.data() + 140, path.data(), path.size());
    storeU32(out.data() + 400, uint32_t(thumbWidth));
    storeU32(out.data() + 404, uint32_t(thumbHeight));
    std::memcpy(out.data() + 408, thumbnail.data(), thumbnail.size());
    return out;
}

LibraryImageRecord LibraryImageRecord::decode(std::span<const uint8_t, kLibraryRecordSize> b) {
    LibraryImageRecord r;
    r.magic = int32_t(loadU32(b.data()));
    r.width = int32_t(loadU32(b.data() + 4));
    r.height = int32_t(loadU32(b.data() + 8));
    std::memcpy(r.title.data(), b.data() + 12, r.title.size());
    std::memcpy(r.path.data(), b.data() + 140, r.path.size());
    r.thumbWidth = int32_t(loadU32(b.data() + 400));
    r.thumbHeight = int32_t(loadU32(b.data() + 404));
    std::memcpy(r.thumbnail.data(), b.data() + 408, r.thumbnail.size());
    return r;
}

// --- Reading ---------------------------------------------------------------

std::optional<LibraryFileInfo> parseLibraryInfo(std::span<const uint8_t> bytes) {
    if (bytes.size() < kLibraryHeaderSize) return std::nullopt;
    LibraryFileInfo info;
    info.header = LibraryHeader::decode(bytes.first<kLibraryHeaderSize>());
    info.fileSize = int64_t(bytes.size());
    info.usableCount = usableRecords(info.header.count, info.fileSize);
    return info;
}

std::vector<LibraryImageRecord> parseLibraryRecords(std::span<const uint8_t> bytes, int32_t first, int32_t max) {
    std::vector<LibraryImageRecord> out;
    const std::optional<LibraryFileInfo> info = parseLibraryInfo(bytes);
    if (!info || first < 0 || max <= 0) return out;
    const int32_t end = int32_t(std::min<int64_t>(info->usableCount, int64_t(first) + max));
    for (int32_t i = first; i < end; ++i) {
        const size_t at = kLibraryHeaderSize + size_t(i) * kLibraryRecordSize;
        out.push_back(LibraryImageRecord::decode(
            std::span<const uint8_t, kLibraryRecordSize>(bytes.data() + at, kLibraryRecordSize)));
    }
    return out;
}

std::optional<LibraryFileInfo> readLibraryInfo(const std::string& path) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::array<uint8_t, kLibraryHeaderSize> bytes{};
    if (!readAt(f.fd, bytes.data(), bytes.size(), 0)) return std::nullopt;
    LibraryFileInfo info;
    info.header = LibraryHeader::decode(bytes);
    info.fileSize = int64_t(st.st_size);
    info.usableCount = usableRecords(info.header.count, info.fileSize);
    return info;
}

std::optional<std::vector<LibraryImageRecord>> readLibraryRecords(const std::string& path, int32_t first, int32_t max) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::array<uint8_t, kLibraryHeaderSize> head{};
    if (!readAt(f.fd, head.data(), head.size(), 0)) return std::nullopt;
    const int32_t usable = usableRecords(LibraryHeader::decode(head).count, int64_t(st.st_size));
    std::vector<LibraryImageRecord> out;
    if (first < 0 || max <= 0) return out;
    const int32_t end = int32_t(std::min<int64_t>(usable, int64_t(first) + max));
    std::vector<uint8_t> record(kLibraryRecordSize);
    for (int32_t i = first; i < end; ++i) {
        // The file may have shrunk since its size was read: stop at the end.
        if (!readAt(f.fd, record.data(), record.size(), off_t(kLibraryHeaderSize + size_t(i) * kLibraryRecordSize)))
            break;
        out.push_back(LibraryImageRecord::decode(std::span<const uint8_t, kLibraryRecordSize>(record)));
    }
    return out;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<int32_t> findImageInLibrary(const std::string& libraryPath, const std::string& picturePath) {
    const std::optional<LibraryFileInfo> info = readLibraryInfo(libraryPath);
    if (!info) return std::nullopt;
    // In batches, so a large library is never held whole.
    constexpr int32_t kBatch = 64;
    for (int32_t first = 0; first < info->usableCount; first += kBatch) {
        const auto records = readLibraryRecords(libraryPath, first, kBatch);
        if (!records) return std::nullopt;
        for (size_t i = 0; i < records->size(); ++i)
            if (equalIgnoringCase((*records)[i].pathText(), picturePath)) return first + int32_t(i);
        if (records->size() < size_t(kBatch)) break;
    }
    return -1;
}

// --- Creating --------------------------------------------------------------

std::optional<LibraryHeader> makeLibraryHeader(std::string_view name, std::string_view password) {
    LibraryHeader h;
    if (!setFieldText(h.name, name)) return std::nullopt;
    setFieldText(h.password, password.substr(0, kLibraryPasswordMax));
    return h;
}

bool writeLibraryHeaderFile(const std::string& path, const LibraryHeader& header, std::string& error) {
    const auto bytes = header.encode();
    return writeFileAtomically(path, bytes, error);
}

std::string fileTitle(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string lowerExtension(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string ext(path.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ext;
}

// --- Thumbnails ------------------------------------------------------------

bool loadLibraryPicture(const std::string& path, DrawSurface& picture, Platform* messages,
                        const MovieFrameLoader& movieFrame) {
    auto say = [&](const char* text) {
        if (messages) messages->messageBox(text, {}, MessageButtons::Ok);
    };
    const std::string ext = lowerExtension(path);
    bool ok = false;
    if (ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "webp") {
        ok = decodeCompressedPicture(picture, path, 24);
    } else if (ext == "wda") {
        WdaAnimation animation;
        ok = animation.loadFile(path, messages) == 1 && animation.width() > 0 && animation.height() > 0 &&
             picture.create(animation.width(), animation.height(), 8);
        if (ok) {
            picture.rectFill(0);
            animation.paletteToSurface(picture);
            ok = animation.drawFrame(picture, 0, 0, 0);
        }
    } else if (isMovieFileName(path)) {
        if (!movieFrame)
            say(library_text::kNoMovieSystem);
        else
            ok = movieFrame(path, picture);
    } else if (ext == "bmp") {
        ok = loadBmpFile(picture, path);
    } else {
        say(library_text::kInvalidFileFormat);
    }
    if (!ok) picture.releasePixels();
    return ok && picture.hasPixels();
}

ThumbSize thumbnailSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return {};
    // A very long, thin picture still gets one row or column.
    if (width > height) return {kThumbnailSize, std::max(1, int32_t(int64_t(kThumbnailSize) * height / width))};
    return {std::max(1, int32_t(int64_t(kThumbnailSize) * width / height)), kThumbnailSize};
}

void placeThumbnail(LibraryImageRecord& record, const DrawSurface& scaled) {
    record.thumbnail.fill(kThumbnailBackground);
    record.thumbWidth = record.thumbHeight = 0;
    if (!scaled.hasPixels() || scaled.depth() != 8) return;
    const int32_t w = std::min(scaled.width(), kThumbnailSize), h = std::min(scaled.height(), kThumbnailSize);
    const int32_t left = kThumbnailSize / 2 - w / 2, top = kThumbnailSize / 2 - h / 2;
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(record.thumbnail.data() + size_t(top + y) * kThumbnailSize + size_t(left), scaled.row(y),
                    size_t(w));
    record.thumbWidth = w;
    record.thumbHeight = h;
}

bool makeImageRecord(const std::string& picturePath, const DrawSurface& picture, LibraryImageRecord& record) {
    LibraryImageRecord r;
    if (!setFieldText(r.title, fileTitle(picturePath)) || !setFieldText(r.path, picturePath)) return false;
    DrawSurface placeholder;
    const DrawSurface* source = &picture;
    if (!picture.hasPixels()) {
        loadBmpResource(placeholder, kPlaceholderThumbnailId);
        source = &placeholder;
    }
    r.thumbnail.fill(kThumbnailBackground);
    if (source->hasPixels()) {
        r.width = source->width();
        r.height = source->height();
        const ThumbSize size = thumbnailSize(source->width(), source->height());
        DrawSurface scaled;
        if (scaled.makeScaledCopy8(*source, size.width, size.height)) placeThumbnail(r, scaled);
    }
    record = r;
    return true;
}

bool thumbnailSurface(const LibraryImageRecord& record, DrawSurface& out) {
    if (!out.create(kThumbnailSize, kThumbnailSize, 8)) return false;
    out.setDefaultPalette();
    for (int32_t y = 0; y < kThumbnailSize; ++y)
        std::memcpy(out.row(y), record.thumbnail.data() + size_t(y) * kThumbnailSize, kThumbnailSize);
    return true;
}

// --- Changing a library ------------------------------------------------------

int32_t appendLibraryRecord(const std::string& libraryPath, const LibraryImageRecord& record, std::string& error) {
    Fd f(::open(libraryPath.c_str(), O_RDWR | O_CLOEXEC));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot open " + libraryPath + ": " + std::strerror(errno);
        return -1;
    }
    std::array<uint8_t, kLibraryHeaderSize> head{};
    if (!readAt(f.fd, head.data(), head.size(), 0)) {
        error = libraryPath + " has no library header";
        return -1;
    }
    // The new record goes after every whole record the file holds, whatever
    // the stored count says: a damaged count (or one a crash left behind)
    // must not make the addition overwrite records or cut them off. A
    // partial record at the end is overwritten. The file is never cut: the
    // write only extends it. Only after the record is on disk does the count
    // name it; a crash before that leaves the old count, under which the
    // library reads as it was.
    const int64_t present = (int64_t(st.st_size) - int64_t(kLibraryHeaderSize)) / int64_t(kLibraryRecordSize);
    if (present >= INT32_MAX) {
        error = libraryPath + " is full";
        return -1;
    }
    const int32_t usable = int32_t(std::max<int64_t>(present, 0));
    const off_t at = off_t(kLibraryHeaderSize + size_t(usable) * kLibraryRecordSize);
    const std::vector<uint8_t> bytes = record.encode();
    uint8_t count[4];
    storeU32(count, uint32_t(usable + 1));
    if (!writeAt(f.fd, bytes.data(), bytes.size(), at) || ::fsync(f.fd) != 0 ||
        !writeAt(f.fd, count, 4, off_t(kCountOffset)) || ::fsync(f.fd) != 0) {
        error = "Cannot write " + libraryPath + ": " + std::strerror(errno);
        return -1;
    }
    return usable + 1;
}

int32_t removeLibraryImage(const std::string& libraryPath, int32_t index, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readWholeFile(libraryPath, bytes, error)) return -1;
    const std::optional<LibraryFileInfo> info = parseLibraryInfo(bytes);
    if (!info) {
        error = libraryPath + " has no library header";
        return -1;
    }
    if (index < 0 || index >= info->usableCount) {
        error = "no picture " + std::to_string(index) + " in " + libraryPath;
        return -1;
    }
    // The new library is the header, the records before `index` and those
    // after it, written beside the old one and renamed over it.
    const size_t keep = kLibraryHeaderSize + size_t(info->usableCount) * kLibraryRecordSize;
    const size_t gone = kLibraryHeaderSize + size_t(index) * kLibraryRecordSize;
    bytes.resize(keep);
    bytes.erase(bytes.begin() + ptrdiff_t(gone), bytes.begin() + ptrdiff_t(gone + kLibraryRecordSize));
    const int32_t count = info->usableCount - 1;
    storeU32(bytes.data() + kCountOffset, uint32_t(count));
    if (!writeFileAtomically(libraryPath, bytes, error)) return -1;
    return count;
}

int32_t addImageToLibrary(Platform& owner, const std::string& libraryPath, const std::string& picturePath,
                          const MovieFrameLoader& movieFrame) {
    auto say = [&](const std::string& text) { owner.messageBox(text, {}, MessageButtons::Ok); };
    // Names that do not fit the record are refused before anything is written.
    const std::string title = fileTitle(picturePath);
    if (title.size() > kImageTitleMax) {
        say(formatted(library_text::kTitleTooLong, title, int(kImageTitleMax)));
        return -1;
    }
    if (picturePath.size() > kImagePathMax) {
        say(formatted(library_text::kPathTooLong, picturePath, int(kImagePathMax)));
        return -1;
    }
    // A file that is not a picture is refused before the library is touched.
    // Only a movie without a movie system (the player was just told so) is
    // kept, with the placeholder as its thumbnail.
    DrawSurface picture;
    if (!loadLibraryPicture(picturePath, picture, &owner, movieFrame)) {
        say(library_text::kUnableToCreateThumbnail);
        const std::string ext = lowerExtension(picturePath);
        const bool movie = ext == "avi" || ext == "mpg" || ext == "mpeg";
        if (!movie || movieFrame) return -1;
    }

    std::string error;
    struct stat st {};
    if (::stat(libraryPath.c_str(), &st) != 0) {
        // A missing library is made on the fly, named after its file; it is
        // not registered.
        const std::string name = fileTitle(libraryPath);
        const std::optional<LibraryHeader> header = makeLibraryHeader(name, "");
        if (!header) {
            say(formatted(library_text::kLibraryNameTooLong, name, int(kLibraryNameMax)));
            return -1;
        }
        if (!writeLibraryHeaderFile(libraryPath, *header, error)) {
            say(error);
            return -1;
        }
    } else if (::access(libraryPath.c_str(), R_OK | W_OK) != 0) {
        say("Cannot write " + libraryPath + ": " + std::strerror(errno));
        return -1;
    }

    LibraryImageRecord record;
    if (!makeImageRecord(picturePath, picture, record)) {
        say(library_text::kUnableToCreateThumbnail);
        return -1;
    }
    // A full disk or a file made read-only is said, not just dropped.
    const int32_t count = appendLibraryRecord(libraryPath, record, error);
    if (count < 0) say(error);
    return count;
}

}  // namespace pavalo
