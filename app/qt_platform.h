// QtPlatform: the game logic's platform requests carried out with Qt —
// message boxes, file dialogs, repaint requests, cursors, pointer warps,
// popup menus and posted commands.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/platform.h"

namespace pavalo {

class QtPlatform final : public Platform {
public:
    // Where a window id's repaints and pointer positions go.
    using WindowLookup = std::function<QWidget*(WindowId)>;
    using CommandSink = std::function<void(uint32_t)>;

    QtPlatform(WindowLookup windows, CommandSink commands);

    MessageResult messageBox(std::string_view text, std::string_view caption, MessageButtons buttons) override;
    std::optional<std::string> pickOpenFile(std::string_view title, std::string_view filter,
                                            std::string_view directory) override;
    std::optional<std::string> pickSaveFile(std::string_view title, std::string_view filter,
                                            std::string_view directory, std::string_view suggestedName) override;
    std::optional<std::string> pickFolder(std::string_view title, std::string_view directory) override;
    void invalidate(WindowId window, const Rect& rect) override;
    void invalidateAll(WindowId window) override;
    void setCursor(CursorShape shape) override;
    Point pointerPosition(WindowId window) const override;
    void movePointer(WindowId window, Point at) override;
    uint32_t popupMenu(WindowId window, Point at, const std::vector<MenuItem>& items) override;
    void postCommand(uint32_t id) override;
    uint32_t tickCount() const override;

    // The parent for dialogs and message boxes.
    void setDialogParent(QWidget* parent) { parent_ = parent; }
    // The program is ending without questions: message boxes answer Cancel
    // and pickers nothing, without being shown (one open now is closed by
    // the event loops ending and answers the same).
    void setEnding() { ending_ = true; }

private:
    WindowLookup windows_;
    CommandSink commands_;
    QPointer<QWidget> parent_;
    QElapsedTimer clock_;
    bool ending_ = false;
};

// "Description|*.a;*.b|..." as a Qt file dialog filter.
QString qtFileFilter(std::string_view filter);

}  // namespace pavalo
