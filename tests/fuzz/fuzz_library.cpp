// libFuzzer target for image library files. Whatever the bytes: the
// records read are the sound ones, texts stay inside their fields, and a
// library on disk can take one more record (after every whole record it
// holds) and lose one again, ending with the counts and records those
// operations promise.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "common/file_io.h"
#include "common/text_field.h"
#include "media/image_library.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo;
    // Large inputs only repeat what small ones reach.
    if (size > 4 * kLibraryRecordSize) return 0;
    const std::span<const uint8_t> bytes(data, size);
    const std::optional<LibraryFileInfo> info = parseLibraryInfo(bytes);
    if (!info) return 0;
    check(info->usableCount >= 0 && (info->usableCount == 0 || info->usableCount <= info->header.count));
    check(int64_t(kLibraryHeaderSize) + int64_t(info->usableCount) * int64_t(kLibraryRecordSize) <= int64_t(size));
    const std::vector<LibraryImageRecord> records = parseLibraryRecords(bytes, 0, 12);
    check(records.size() == size_t(std::min(info->usableCount, 12)));
    for (const LibraryImageRecord& r : records) {
        check(r.titleText().size() <= 128 && r.pathText().size() <= 260);
        DrawSurface thumb;
        check(thumbnailSurface(r, thumb));
    }
    check(info->header.nameText().size() <= 256 && info->header.passwordText().size() <= 32);

    // The same bytes as a file: add a record, then remove the first one.
    static const std::string path = "/tmp/pavalo-fuzz-library-" + std::to_string(::getpid()) + ".gvl";
    std::string error;
    check(writeFileAtomically(path, bytes, error));
    LibraryImageRecord added;
    added.width = 7;
    setFieldText(added.path, "/fuzz/added.bmp");
    // The addition goes after every whole record the file holds, whatever
    // its stored count says, and counts them all.
    const int64_t present = (int64_t(size) - int64_t(kLibraryHeaderSize)) / int64_t(kLibraryRecordSize);
    const int32_t count = appendLibraryRecord(path, added, error);
    check(count == present + 1);
    const auto after = readLibraryRecords(path, count - 1, 5);
    check(after && after->size() == 1 && after->front() == added);
    check(findImageInLibrary(path, "/FUZZ/ADDED.BMP").value_or(-2) >= 0);
    check(removeLibraryImage(path, 0, error) == count - 1);
    check(readLibraryInfo(path)->usableCount == count - 1);
    ::unlink(path.c_str());
    return 0;
}
