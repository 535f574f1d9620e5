// SelectImageModel: the rules of the picture chooser "Select an image to
// use" (dialog 330) without a window — the library list from the registry,
// opening libraries (with their passwords), the 4 x 3 thumbnail grid with
// its scroll bar and selection, the status line, and the commands Create
// Library (331), Load Library, Remove Library (335), Add Image, Load Image,
// Remove Image, OK and Cancel with every message they show. The password
// prompt (336) has its own small model. The Qt dialog binds its controls to
// these; tests drive them with a scripted platform and front end.
//
// Ownership: the model refers to the platform, the registry and the front
// end, which must outlive it; it owns its copy of the open library's header
// and the twelve visible thumbnails.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surface/draw_surface.h"
#include "media/image_library.h"
#include "media/movie_player.h"
#include "platform/platform.h"
#include "shell/document.h"
#include "shell/registry.h"

namespace pavalo {

// Texts of the dialog and its sub-dialogs.
namespace select_image_text {
inline constexpr const char* kDialogTitle = "Select an image to use";
inline constexpr const char* kNoLibrariesAvailable = "No Libraries Available";
inline constexpr const char* kNoImages = "This library contains no images";
inline constexpr const char* kNoLibrarySelected = "No library selected";
inline constexpr const char* kPasswordTitle = "Enter Library Password";
inline constexpr const char* kPasswordPrompt = "Please enter the password for this library";
inline constexpr const char* kWrongPassword = "The password you entered was incorrect.  Please try again.";
inline constexpr const char* kCreateLibraryTitle = "Create New Library";
inline constexpr const char* kAlreadyExists = "A library by this name already exists.  Overwrite?";
inline constexpr const char* kAlreadyExistsCaption = "Library already exists";
inline constexpr const char* kUnableToCreateFile = "Unable to create file %s";
inline constexpr const char* kUnableToRegister = "Unable to add library to the registry";
inline constexpr const char* kOpenLibraryTitle = "Open Library";
inline constexpr const char* kLibraryFilter = "Pavalo Image Libraries|*.gvl";
inline constexpr const char* kUnableToOpenFile = "Unable to open file %s";
inline constexpr const char* kRemoveLibraryTitle = "Remove Library";
inline constexpr const char* kRemoveLibraryPrompt = "Select the library to remove";
inline constexpr const char* kNoLibrariesRegistered = "There are no image libraries registered on your system";
inline constexpr const char* kForgottenPassword =
    "If you have forgotten the password to this library and still wish to delete it, you may do so by using "
    "a file manager to delete the following file:\n%s";
inline constexpr const char* kConfirmRemoveLibrary = "Are you sure you want to delete this library?";
inline constexpr const char* kConfirmRemoveLibraryCaption = "Are you sure?";
inline constexpr const char* kSelectLibraryFirst = "You must select a library first";
inline constexpr const char* kLoadPictureTitle = "Load Picture";
inline constexpr const char* kPictureFilter = document_text::kPictureFileFilter;
inline constexpr const char* kAlreadyInLibrary = "The image %s already exists in the library";
inline constexpr const char* kAddingImage = "Adding Image: ";
inline constexpr const char* kAddToLibrary = "Do you wish to add this image to the current library?";
inline constexpr const char* kSelectImageToRemove = "You must select an image to remove first";
inline constexpr const char* kConfirmRemoveImage = "Are you sure you want to delete this image?";
inline constexpr const char* kConfirmRemoveImageCaption = "Confirm";
inline constexpr const char* kUnableToOpenLibrary = "Unable to open library file";
inline constexpr const char* kSelectImageFirst = "You must select an image to use first";
// Our own refusals of names the library file cannot hold.
inline constexpr const char* kLibraryNameEmpty = "Please enter a name for the library.";
inline constexpr const char* kLibraryNameSlash = "A library name cannot contain the character \"/\".";
}  // namespace select_image_text

// The password prompt (dialog 336): OK ends it only when the typed text
// equals the expected password exactly; otherwise it says so and stays open.
// There is no limit on attempts.
class PasswordPrompt {
public:
    PasswordPrompt(Platform& platform, std::string title, std::string expected, std::string prompt)
        : platform_(platform), title_(std::move(title)), expected_(std::move(expected)), prompt_(std::move(prompt)) {}
    const std::string& title() const { return title_; }
    const std::string& prompt() const { return prompt_; }
    // OK with the typed text: true ends the prompt with OK.
    bool submit(std::string_view typed);
    int attempts() const { return attempts_; }

private:
    Platform& platform_;
    std::string title_, expected_, prompt_;
    int attempts_ = 0;
};

// What the "Create New Library" dialog (331) returns.
struct NewLibraryAnswer {
    std::string name;
    std::string password;
};

// The sub-dialogs and file pickers the model needs from a window system.
class SelectImageFrontEnd {
public:
    virtual ~SelectImageFrontEnd() = default;
    // Dialog 331; nothing when cancelled.
    virtual std::optional<NewLibraryAnswer> askCreateLibrary() = 0;
    // Dialog 335 over the registered libraries' names; the index chosen, or
    // nothing when cancelled or none was chosen.
    virtual std::optional<size_t> askRemoveLibrary(const std::vector<std::string>& names) = 0;
    // Dialog 336, run until it ends: true when it ended with OK (which the
    // prompt's submit allows only for the right password).
    virtual bool askPassword(PasswordPrompt& prompt) = 0;
    // The "Load Picture" file dialog with its preview area: existing files,
    // several at once when `several`; empty when cancelled.
    virtual std::vector<std::string> pickPictures(std::string_view title, std::string_view filter,
                                                  std::string_view directory, bool several) = 0;
    // The first frame of a movie for its thumbnail; empty without a movie system.
    virtual MovieFrameLoader movieFrames() { return loadMovieFirstFrame; }
};

// One entry of the library combo box.
struct LibraryItem {
    std::string name;
    std::optional<std::string> path;  // none: the "No Libraries Available" item
};

class SelectImageModel {
public:
    static constexpr int32_t kColumns = 4;
    static constexpr int32_t kVisibleRows = 3;
    static constexpr int32_t kVisible = kColumns * kVisibleRows;
    static constexpr int32_t kCellSize = 100;
    static constexpr int32_t kThumbInset = 2;
    static constexpr int32_t kGridWidth = kColumns * kCellSize;
    static constexpr int32_t kGridHeight = kVisibleRows * kCellSize;
    // Selection values besides record indices.
    static constexpr int32_t kNoSelection = -1;
    static constexpr int32_t kOutsidePicture = -2;

    // `dataFolder` is where libraries are created and Load Library starts;
    // `pictureFolder` where the picture pickers start.
    SelectImageModel(Platform& platform, Registry& registry, SelectImageFrontEnd& frontEnd, std::string dataFolder,
                     std::string pictureFolder = {});

    // Opening the dialog: fills the library list and, when `lastLibrary` is
    // one of them, opens it (asking its password).
    void open(const std::string& lastLibrary = {});

    // --- Controls -------------------------------------------------------
    void selectLibrary(int32_t item);      // the combo box's selection changed
    void clickGrid(int32_t x, int32_t y);  // thumbnail area coordinates
    void doubleClickGrid(int32_t x, int32_t y);
    void scrollTo(int32_t row);
    void deleteKey();
    void createLibrary();
    void loadLibrary();
    void removeLibrary();
    void addImage();
    void loadImage();
    void removeImage();
    void ok();
    void cancel();

    // --- State ----------------------------------------------------------
    const std::vector<LibraryItem>& libraries() const { return items_; }
    int32_t selectedLibraryItem() const { return selectedItem_; }
    bool libraryOpen() const { return header_.has_value(); }
    const std::string& libraryPath() const { return libraryPath_; }
    const std::optional<LibraryHeader>& header() const { return header_; }
    int32_t imageCount() const { return header_ ? header_->count : 0; }
    // "This library contains no images", "No library selected" or empty.
    const std::string& stateText() const { return stateText_; }
    const std::string& status() const { return status_; }
    int32_t selection() const { return selection_; }
    int32_t topRow() const { return topRow_; }
    bool scrollBarVisible() const { return imageCount() > kVisible; }
    int32_t scrollMaximum() const;
    bool removeImageEnabled() const { return selection_ >= 0; }
    // The visible pictures' records, from index topRow() * 4.
    const std::vector<LibraryImageRecord>& visibleRecords() const { return visible_; }
    const std::string& chosenPath() const { return chosenPath_; }
    const std::string& chosenTitle() const { return chosenTitle_; }
    const std::string& pictureFolder() const { return pictureFolder_; }

    // The dialog has ended: accepted (OK with a picture) or cancelled.
    bool finished() const { return finished_; }
    bool accepted() const { return accepted_; }

    // The picture index of a point of the thumbnail area, or -1 outside the
    // cells or past the last picture.
    int32_t pictureAt(int32_t x, int32_t y) const;

    // Paints the thumbnail area (kGridWidth x kGridHeight) into `target`,
    // a surface of the display's format: the background, the twelve visible
    // thumbnails 2 pixels inside their cells and the selected cell's frame.
    // An 8-bit target gets DefaultPalette.
    void paintGrid(DrawSurface& target) const;
    // The two colours, native to the target: light grey 0xC0C0C0 and the
    // highlight, DefaultPalette's bright green (index 250 on 8 bits).
    static uint32_t backgroundColour(const DrawSurface& target);
    static uint32_t highlightColour(const DrawSurface& target);

private:
    void fillLibraryList();
    void showNoLibrary(const char* text);
    void openSelectedLibrary();
    bool askPassword(const std::string& expected);
    void selectPicture(int32_t index, bool moveTop);
    void loadVisible();
    bool checkedAddition(const std::string& picturePath);
    std::optional<int32_t> itemWithPath(const std::string& path) const;
    void say(const std::string& text, std::string_view caption = {});
    void end(bool accepted);

    Platform& platform_;
    Registry& registry_;
    SelectImageFrontEnd& frontEnd_;
    std::string dataFolder_, pictureFolder_;

    std::vector<LibraryItem> items_;
    int32_t selectedItem_ = -1;
    std::string libraryPath_;
    std::optional<LibraryHeader> header_;
    int32_t selection_ = kNoSelection;
    int32_t topRow_ = 0;
    std::vector<LibraryImageRecord> visible_;
    std::array<DrawSurface, kVisible> thumbnails_;
    std::string chosenPath_, chosenTitle_, status_, stateText_;
    bool justCreated_ = false;
    bool finished_ = false, accepted_ = false;
};

}  // namespace pavalo
