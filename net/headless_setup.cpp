// A game set up from the start without a window.
#include "net/headless_setup.h"

#include <cstring>
#include <filesystem>

#include "media/picture_probe.h"

namespace pavalo::net {

SettingsRecord networkPuzzleRecord(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
                                   int32_t playWidth) {
    SettingsRecord r;
    r.pictureKind = puzzle.pictureKind;
    resetForNewPuzzle(r, puzzle.pickerValue, picture, playWidth, puzzle.pictureWidth, puzzle.pictureHeight);
    std::memcpy(r.spare0.data(), &puzzle.field0, sizeof puzzle.field0);
    r.rotationOption = puzzle.rotation;
    r.columns = puzzle.columns;
    r.rows = puzzle.rows;
    r.pictureWidth = puzzle.pictureWidth;
    r.pictureHeight = puzzle.pictureHeight;
    copyOptionsToRecord(options, r);
    return r;
}

bool HeadlessSetup::loadPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) {
    return lookAtPicture(path, width, height, message);
}

bool lookAtPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        message = document_text::kImageNotFound;
        return false;
    }
    if (!probePictureSize(path, width, height) || width <= 0 || height <= 0) {
        std::string text = document_text::kImageDamaged;
        text.replace(text.find("%s"), 2, path);
        message = text;
        return false;
    }
    return true;
}

bool HeadlessSetup::cut(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
                        std::string& message) {
    const Point area = puzzle.playArea().value_or(game_.playArea());
    const SettingsRecord record = networkPuzzleRecord(puzzle, picture, options, area.x);
    const CutRequest request{puzzle.pictureWidth, puzzle.pictureHeight, puzzle.columns, puzzle.rows,
                             area.x, area.y, puzzle.rotation != 0};
    return game_.cut(request, options.seed, record, message);
}

}  // namespace pavalo::net
