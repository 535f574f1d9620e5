// Bounds-checked byte access and crash-safe file writes.
#include "common/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pavalo {

bool ByteReader::take(size_t n) {
    if (!ok_ || data_.size() - pos_ < n) {
        ok_ = false;
        return false;
    }
    return true;
}

uint32_t ByteReader::u32() {
    if (!take(4)) return 0;
    uint32_t v = loadU32(data_.data() + pos_);
    pos_ += 4;
    return v;
}

uint16_t ByteReader::u16() {
    if (!take(2)) return 0;
    uint16_t v = loadU16(data_.data() + pos_);
    pos_ += 2;
    return v;
}

uint8_t ByteReader::u8() {
    if (!take(1)) return 0;
    return data_[pos_++];
}

std::span<const uint8_t> ByteReader::bytes(size_t n) {
    if (!take(n)) return {};
    auto view = data_.subspan(pos_, n);
    pos_ += n;
    return view;
}

void ByteWriter::u32(uint32_t v) {
    uint8_t b[4];
    storeU32(b, v);
    buf_.insert(buf_.end(), b, b + 4);
}

void ByteWriter::u16(uint16_t v) {
    uint8_t b[2];
    storeU16(b, v);
    buf_.insert(buf_.end(), b, b + 2);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error,
                   size_t maxBytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    out.clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (out.size() + n > maxBytes) {
            std::fclose(f);
            error = path + " is too large";
            return false;
        }
        out.insert(out.end(), chunk, chunk + n);
    }
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

namespace {

// Makes a rename in the file's folder durable: the new name reaches the disk
// with the folder's own entry list. Some file systems cannot sync a folder;
// the file itself is already synced then, so nothing more can be done.
void syncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> data,
                         std::string& error) {
    std::string temp = path + ".tmp-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        // The temporary file's name means nothing to the player; the file
        // that could not be written does.
        error = "Cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<size_t>(w);
    }
    // mkstemp creates 0600. A file being replaced keeps its mode and owner
    // (a library the player made private stays private); a new file gets
    // the usual permissions. Set before the rename, so the file never shows
    // other permissions under its name.
    bool ok = done == data.size();
    struct stat old {};
    if (ok && ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Only a privileged process can give a file to another owner; where
        // that fails the file stays the writer's, as any new file would. The
        // owner goes first: changing it may clear mode bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    } else if (ok) {
        ok = ::fchmod(fd, 0644) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        if (std::rename(temp.c_str(), path.c_str()) == 0) {
            syncFolderOf(path);
            return true;
        }
        saved = errno;
    }
    ::unlink(temp.c_str());
    error = "Cannot write " + path + ": " + std::strerror(saved ? saved : EIO);
    return false;
}

}  // namespace pavalo
