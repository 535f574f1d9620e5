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

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> data,
                         std::string& error) {
    std::string temp = path + ".tmp-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a file beside " + path + ": " + std::strerror(errno);
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
    bool ok = done == data.size() && ::fsync(fd) == 0;
    int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        // mkstemp creates 0600; give the file the usual permissions.
        ::chmod(temp.c_str(), 0644);
        if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
        saved = errno;
    }
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(saved ? saved : EIO);
    return false;
}

}  // namespace pavalo
