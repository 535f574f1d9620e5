// The picture chooser's rules: library list, passwords, grid, commands.
#include "shell/dialogs/select_image_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "shell/data_folder.h"

namespace pavalo {
namespace {

using namespace select_image_text;

std::string filled(const char* pattern, const std::string& text) {
    std::vector<char> out(std::strlen(pattern) + text.size() + 1);
    std::snprintf(out.data(), out.size(), pattern, text.c_str());
    return out.data();
}

std::string filled(const char* pattern, const std::string& text, int number) {
    std::vector<char> out(std::strlen(pattern) + text.size() + 16);
    std::snprintf(out.data(), out.size(), pattern, text.c_str(), number);
    return out.data();
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

bool PasswordPrompt::submit(std::string_view typed) {
    ++attempts_;
    if (typed == expected_) return true;
    platform_.messageBox(kWrongPassword, {}, MessageButtons::Ok);
    return false;
}

SelectImageModel::SelectImageModel(Platform& platform, Registry& registry, SelectImageFrontEnd& frontEnd,
                                   std::string dataFolder, std::string pictureFolder)
    : platform_(platform),
      registry_(registry),
      frontEnd_(frontEnd),
      dataFolder_(std::move(dataFolder)),
      pictureFolder_(std::move(pictureFolder)) {}

void SelectImageModel::say(const std::string& text, std::string_view caption) {
    platform_.messageBox(text, caption, MessageButtons::Ok);
}

void SelectImageModel::end(bool accepted) {
    finished_ = true;
    accepted_ = accepted;
}

void SelectImageModel::open(const std::string& lastLibrary) {
    fillLibraryList();
    if (lastLibrary.empty()) return;
    if (const std::optional<int32_t> item = itemWithPath(lastLibrary)) selectLibrary(*item);
}

// --- The library list and opening -------------------------------------------

void SelectImageModel::fillLibraryList() {
    items_.clear();
    selectedItem_ = -1;
    for (const std::string& path : registeredLibraries(registry_)) {
        const std::optional<LibraryFileInfo> info = readLibraryInfo(path);
        // Libraries that cannot be read, or are not libraries, are left out.
        if (info && info->header.magic == kLibraryMagic) items_.push_back({info->header.nameText(), path});
    }
    if (items_.empty()) {
        say(kNoLibrariesAvailable);
        items_.push_back({kNoLibrariesAvailable, std::nullopt});
        showNoLibrary(kNoLibrarySelected);
    }
}

std::optional<int32_t> SelectImageModel::itemWithPath(const std::string& path) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].path && equalIgnoringCase(*items_[i].path, path)) return int32_t(i);
    return std::nullopt;
}

void SelectImageModel::showNoLibrary(const char* text) {
    header_.reset();
    libraryPath_.clear();
    visible_.clear();
    for (DrawSurface& s : thumbnails_) s.releasePixels();
    stateText_ = text;
    selectPicture(kNoSelection, false);
}

bool SelectImageModel::askPassword(const std::string& expected) {
    PasswordPrompt prompt(platform_, kPasswordTitle, expected, kPasswordPrompt);
    return frontEnd_.askPassword(prompt);
}

void SelectImageModel::selectLibrary(int32_t item) {
    selectedItem_ = item >= 0 && item < int32_t(items_.size()) ? item : -1;
    openSelectedLibrary();
}

void SelectImageModel::openSelectedLibrary() {
    const bool skipPassword = justCreated_;
    justCreated_ = false;
    showNoLibrary(kNoLibrarySelected);
    if (selectedItem_ < 0 || !items_[size_t(selectedItem_)].path) return;
    const std::string path = *items_[size_t(selectedItem_)].path;
    // A library whose file has gone since the list was filled opens nothing.
    const std::optional<LibraryFileInfo> info = readLibraryInfo(path);
    if (!info) return;
    if (info->header.hasPassword() && !skipPassword && !askPassword(info->header.passwordText())) {
        selectedItem_ = -1;
        return;
    }
    libraryPath_ = path;
    header_ = info->header;
    // The copy counts only the records the file really holds.
    header_->count = info->usableCount;
    topRow_ = 0;
    if (header_->count < 1) {
        stateText_ = kNoImages;
    } else {
        stateText_.clear();
        selectPicture(kNoSelection, false);
        loadVisible();
    }
}

// --- The grid -----------------------------------------------------------------

int32_t SelectImageModel::scrollMaximum() const {
    const int32_t rows = (imageCount() + kColumns - 1) / kColumns;
    return std::max(0, rows - kVisibleRows);
}

void SelectImageModel::loadVisible() {
    visible_.clear();
    for (DrawSurface& s : thumbnails_) s.releasePixels();
    if (!header_) return;
    const auto records = readLibraryRecords(libraryPath_, topRow_ * kColumns, kVisible);
    if (!records) return;
    visible_ = *records;
    for (size_t i = 0; i < visible_.size(); ++i) thumbnailSurface(visible_[i], thumbnails_[i]);
}

void SelectImageModel::scrollTo(int32_t row) {
    const int32_t clamped = std::clamp(row, 0, scrollMaximum());
    if (clamped == topRow_) return;
    topRow_ = clamped;
    loadVisible();
}

void SelectImageModel::selectPicture(int32_t index, bool moveTop) {
    if (moveTop && index >= 0) {
        const int32_t top = std::clamp(index / kColumns, 0, scrollMaximum());
        if (top != topRow_ || visible_.empty()) {
            topRow_ = top;
            loadVisible();
        }
    }
    const int32_t first = topRow_ * kColumns;
    if (header_ && index >= 0 && index < header_->count) {
        // The record comes from the visible ones when it is there, else from the file.
        std::optional<LibraryImageRecord> record;
        if (index >= first && index - first < int32_t(visible_.size())) {
            record = visible_[size_t(index - first)];
        } else if (auto read = readLibraryRecords(libraryPath_, index, 1); read && !read->empty()) {
            record = read->front();
        }
        if (record) {
            selection_ = index;
            status_ = chosenTitle_ = record->titleText();
            chosenPath_ = record->pathText();
            return;
        }
    }
    if (index == kOutsidePicture) {
        selection_ = kOutsidePicture;
        return;
    }
    selection_ = kNoSelection;
    status_.clear();
    chosenTitle_.clear();
    chosenPath_.clear();
}

int32_t SelectImageModel::pictureAt(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= kGridWidth || y >= kGridHeight || !header_) return kNoSelection;
    const int32_t index = (topRow_ + y / kCellSize) * kColumns + x / kCellSize;
    return index < header_->count ? index : kNoSelection;
}

void SelectImageModel::clickGrid(int32_t x, int32_t y) {
    if (!header_) return;
    selectPicture(pictureAt(x, y), false);
}

void SelectImageModel::doubleClickGrid(int32_t x, int32_t y) {
    if (selection_ < 0) return;
    selectPicture(pictureAt(x, y), false);
    // Past the last picture nothing is chosen, so the dialog stays open.
    if (selection_ >= 0) ok();
}

void SelectImageModel::deleteKey() {
    if (removeImageEnabled()) removeImage();
}

uint32_t SelectImageModel::backgroundColour(const DrawSurface& target) {
    return target.depth() == 8 ? kThumbnailBackground : target.nativeColour(makeColour(0xC0, 0xC0, 0xC0));
}

uint32_t SelectImageModel::highlightColour(const DrawSurface& target) {
    constexpr uint8_t kHighlightIndex = 250;
    if (target.depth() == 8) return kHighlightIndex;
    const PaletteEntry& e = defaultPalette()[kHighlightIndex];
    return target.nativeColour(makeColour(e.red, e.green, e.blue));
}

void SelectImageModel::paintGrid(DrawSurface& target) const {
    if (!target.hasPixels()) return;
    if (target.depth() == 8) target.setDefaultPalette();
    Rect all{0, 0, kGridWidth, kGridHeight};
    target.rectFill(backgroundColour(target), &all);
    for (size_t i = 0; i < visible_.size() && i < thumbnails_.size(); ++i) {
        const int32_t x = int32_t(i) % kColumns * kCellSize, y = int32_t(i) / kColumns * kCellSize;
        if (thumbnails_[i].hasPixels()) target.copyBitmap(thumbnails_[i], x + kThumbInset, y + kThumbInset);
    }
    const int32_t shown = selection_ - topRow_ * kColumns;
    if (selection_ >= 0 && shown >= 0 && shown < kVisible) {
        const int32_t x = shown % kColumns * kCellSize, y = shown / kColumns * kCellSize;
        const uint32_t c = highlightColour(target);
        target.drawFrame(x, y, x + kCellSize - 1, y + kCellSize - 1, c);
        target.drawFrame(x + 1, y + 1, x + kCellSize - 2, y + kCellSize - 2, c);
    }
}

// --- Commands -----------------------------------------------------------------

void SelectImageModel::createLibrary() {
    const std::optional<NewLibraryAnswer> answer = frontEnd_.askCreateLibrary();
    if (!answer) return;
    // Names the library file cannot hold, or that would put it elsewhere,
    // are refused; so is a password longer than its field, which could
    // never be typed back.
    if (answer->name.empty()) return say(kLibraryNameEmpty);
    if (answer->name.find('/') != std::string::npos) return say(kLibraryNameSlash);
    if (answer->name.size() > kLibraryNameMax)
        return say(filled(library_text::kLibraryNameTooLong, answer->name, int(kLibraryNameMax)));
    if (answer->password.size() > kLibraryPasswordMax) {
        std::vector<char> text(128);
        std::snprintf(text.data(), text.size(), library_text::kPasswordTooLong, int(kLibraryPasswordMax));
        return say(text.data());
    }
    const std::optional<LibraryHeader> header = makeLibraryHeader(answer->name, answer->password);
    if (!header) return;
    const std::string path = joinPath(dataFolder_, answer->name + kLibraryExtension);
    if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
        std::fclose(existing);
        if (platform_.messageBox(kAlreadyExists, kAlreadyExistsCaption, MessageButtons::YesNo) != MessageResult::Yes)
            return;
    }
    std::string error;
    if (!writeLibraryHeaderFile(path, *header, error)) return say(filled(kUnableToCreateFile, path));
    if (!registerLibrary(registry_, path)) say(kUnableToRegister);
    fillLibraryList();
    if (const std::optional<int32_t> item = itemWithPath(path)) {
        justCreated_ = true;
        selectLibrary(*item);
    }
}

void SelectImageModel::loadLibrary() {
    const std::optional<std::string> path = platform_.pickOpenFile(kOpenLibraryTitle, kLibraryFilter, dataFolder_);
    if (!path) return;
    // The magic is not checked here; the list leaves out what is no library.
    if (!readLibraryInfo(*path)) return say(filled(kUnableToOpenFile, *path));
    if (!registerLibrary(registry_, *path)) say(kUnableToRegister);
    fillLibraryList();
    if (const std::optional<int32_t> item = itemWithPath(*path))
        selectLibrary(*item);
    else
        showNoLibrary(kNoLibrarySelected);
}

void SelectImageModel::removeLibrary() {
    std::vector<const LibraryItem*> registered;
    for (const LibraryItem& item : items_)
        if (item.path) registered.push_back(&item);
    if (registered.empty()) return say(kNoLibrariesRegistered);
    std::vector<std::string> names;
    for (const LibraryItem* item : registered) names.push_back(item->name);
    const std::optional<size_t> chosen = frontEnd_.askRemoveLibrary(names);
    if (!chosen || *chosen >= registered.size()) return;
    const std::string path = *registered[*chosen]->path;
    const std::optional<std::string> before =
        selectedItem_ >= 0 ? std::optional(items_[size_t(selectedItem_)].name) : std::nullopt;

    const std::optional<LibraryFileInfo> info = readLibraryInfo(path);
    if (info && info->header.hasPassword()) {
        if (!askPassword(info->header.passwordText())) return say(filled(kForgottenPassword, path));
    }
    if (platform_.messageBox(kConfirmRemoveLibrary, kConfirmRemoveLibraryCaption, MessageButtons::YesNo) !=
        MessageResult::Yes)
        return;
    // Only the registry entry goes; the file stays on disk.
    unregisterLibrary(registry_, path);
    fillLibraryList();
    int32_t again = -1;
    if (before)
        for (size_t i = 0; i < items_.size() && again < 0; ++i)
            if (items_[i].name == *before) again = int32_t(i);
    if (again < 0) {
        again = 0;
        showNoLibrary(kNoLibrarySelected);
    }
    selectLibrary(again);
}

bool SelectImageModel::checkedAddition(const std::string& picturePath) {
    if (!readLibraryInfo(libraryPath_)) {
        say(filled(kUnableToOpenFile, libraryPath_));
        return false;
    }
    const std::optional<int32_t> duplicate = findImageInLibrary(libraryPath_, picturePath);
    if (duplicate && *duplicate >= 0) {
        say(filled(kAlreadyInLibrary, picturePath));
        return false;
    }
    status_ = kAddingImage + picturePath;
    const int32_t count = addImageToLibrary(platform_, libraryPath_, picturePath, frontEnd_.movieFrames());
    if (count < 0) {
        status_.clear();
        return false;
    }
    header_->count = count;
    stateText_.clear();
    visible_.clear();  // the grid is read again for the new picture
    selectPicture(count - 1, true);
    return selection_ == count - 1;
}

void SelectImageModel::addImage() {
    if (!header_) return say(kSelectLibraryFirst);
    const std::vector<std::string> files =
        frontEnd_.pickPictures(kLoadPictureTitle, kPictureFilter, pictureFolder_, true);
    for (const std::string& file : files) {
        pictureFolder_ = folderOf(file);
        chosenPath_ = file;
        chosenTitle_ = fileTitle(file);
        if (!header_) break;
        checkedAddition(file);
    }
}

void SelectImageModel::loadImage() {
    const std::vector<std::string> files =
        frontEnd_.pickPictures(kLoadPictureTitle, kPictureFilter, pictureFolder_, false);
    if (files.empty()) return;
    const std::string file = files.front();
    pictureFolder_ = folderOf(file);
    bool added = false;
    if (header_ && platform_.messageBox(kAddToLibrary, {}, MessageButtons::YesNo) == MessageResult::Yes)
        added = checkedAddition(file);
    if (!added) {
        selection_ = kOutsidePicture;
        chosenPath_ = file;
        chosenTitle_ = fileTitle(file);
    }
    end(true);
}

void SelectImageModel::removeImage() {
    if (selection_ < 0 || !header_) return say(kSelectImageToRemove);
    if (platform_.messageBox(kConfirmRemoveImage, kConfirmRemoveImageCaption, MessageButtons::YesNo) !=
        MessageResult::Yes)
        return;
    const int32_t index = selection_;
    std::string error;
    const int32_t count = removeLibraryImage(libraryPath_, index, error);
    if (count < 0) return say(kUnableToOpenLibrary);
    header_->count = count;
    visible_.clear();
    if (count == 0) {
        topRow_ = 0;
        loadVisible();
        stateText_ = kNoImages;
        selectPicture(kNoSelection, false);
        return;
    }
    selectPicture(std::min(index, count - 1), true);
}

void SelectImageModel::ok() {
    if (selection_ == kOutsidePicture) return end(true);
    if (selection_ < 0 || !header_ || selection_ >= header_->count) return say(kSelectImageFirst);
    end(true);
}

void SelectImageModel::cancel() { end(false); }

}  // namespace pavalo
