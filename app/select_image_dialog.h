// SelectImageDialog: the picture chooser "Select an image to use" (dialog
// 330) and its sub-dialogs — "Create New Library" (331), "Remove Library"
// (335), the password prompt (336) and the "Load Picture" file dialog with a
// preview beside its file list. The widgets only forward events to
// SelectImageModel and show its state.
#pragma once

#include <QDialog>
#include <QLabel>
#include <memory>
#include <optional>
#include <string>

#include "shell/dialogs/select_image_model.h"

class QComboBox;
class QPushButton;
class QScrollBar;
class QLineEdit;

namespace pavalo {

class SelectImageDialog;

// The thumbnail area: paints the model's grid at the display's depth and
// turns clicks into cell selections.
class ThumbnailArea : public QWidget {
    Q_OBJECT
public:
    ThumbnailArea(SelectImageDialog& dialog, int32_t depth);
    QSize sizeHint() const override;
    // The grid as last painted, in the display's format.
    DrawSurface& surface() { return surface_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    SelectImageDialog& dialog_;
    DrawSurface surface_;
};

// The password prompt (336): OK ends it only with the right password.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(QWidget* parent, PasswordPrompt& prompt);
    QLineEdit* edit() const { return edit_; }

private:
    void tryOk();
    PasswordPrompt& prompt_;
    QLineEdit* edit_;
};

// "Create New Library" (331): a name and a password.
class CreateLibraryDialog : public QDialog {
    Q_OBJECT
public:
    explicit CreateLibraryDialog(QWidget* parent);
    NewLibraryAnswer answer() const;
    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }

private:
    QLineEdit* name_;
    QLineEdit* password_;
};

// The sub-dialogs and pickers as Qt windows.
class QtSelectImageFrontEnd : public SelectImageFrontEnd {
public:
    explicit QtSelectImageFrontEnd(QWidget* parent) : parent_(parent) {}
    std::optional<NewLibraryAnswer> askCreateLibrary() override;
    std::optional<size_t> askRemoveLibrary(const std::vector<std::string>& names) override;
    bool askPassword(PasswordPrompt& prompt) override;
    std::vector<std::string> pickPictures(std::string_view title, std::string_view filter, std::string_view directory,
                                          bool several) override;

private:
    QWidget* parent_;
};

class SelectImageDialog : public QDialog {
    Q_OBJECT
public:
    // `depth`: the display's depth, at which the thumbnails are shown.
    // Without a front end the Qt sub-dialogs are used.
    SelectImageDialog(QWidget* parent, Platform& platform, Registry& registry, std::string dataFolder,
                      std::string pictureFolder, int32_t depth, SelectImageFrontEnd* frontEnd = nullptr);
    ~SelectImageDialog() override;

    // Fills the list and opens the library used last; call before exec().
    void start(const std::string& lastLibrary);

    SelectImageModel& model() { return *model_; }
    // The chosen picture after OK.
    std::string chosenPath() const { return model_->chosenPath(); }
    std::string chosenTitle() const { return model_->chosenTitle(); }
    // The library open when the dialog ended (empty: none).
    std::string openLibrary() const { return model_->libraryPath(); }

    // Shows the model's state and ends the dialog when the model has.
    void sync();

    QComboBox* libraryBox() const { return libraries_; }
    QLabel* stateLabel() const { return state_; }
    QLabel* statusLabel() const { return status_; }
    QScrollBar* scrollBar() const { return scroll_; }
    ThumbnailArea* thumbnails() const { return area_; }
    QPushButton* button(const QString& text) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Runs a model command and shows the result.
    template <class F>
    void run(F&& command);

    std::unique_ptr<QtSelectImageFrontEnd> qtFrontEnd_;
    std::unique_ptr<SelectImageModel> model_;
    QComboBox* libraries_ = nullptr;
    QLabel* state_ = nullptr;
    QLabel* status_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    ThumbnailArea* area_ = nullptr;
    QPushButton* removeImage_ = nullptr;
    bool syncing_ = false;
};

}  // namespace pavalo
