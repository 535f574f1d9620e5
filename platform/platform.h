// Platform: the few things the game logic asks of a window system — message
// boxes, file pickers, invalidating parts of windows, cursors, moving the
// pointer, popup menus, posting commands and the millisecond clock. The Qt
// front end implements it; tests use ScriptedPlatform. No Qt here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/geometry.h"
#include "platform/commands.h"

namespace pavalo {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

enum class CursorShape { Arrow, ZoomIn, ZoomOut, Arrange, Solve, Find, Wait };

// The windows the logic draws into: the play-area view and sorting boxes 0-3.
struct WindowId {
    int box = -1;  // -1: the play-area view
    static WindowId view() { return {}; }
    static WindowId sortingBox(int b) { return {b}; }
    bool isView() const { return box < 0; }
    bool operator==(const WindowId&) const = default;
};

class Platform {
public:
    virtual ~Platform() = default;

    // A modal message box; an empty caption means the program's name.
    virtual MessageResult messageBox(std::string_view text, std::string_view caption = {},
                                     MessageButtons buttons = MessageButtons::Ok) = 0;
    // File pickers; nothing when cancelled. `filter` is "Description|*.a;*.b|..." pairs.
    virtual std::optional<std::string> pickOpenFile(std::string_view title, std::string_view filter,
                                                    std::string_view directory) = 0;
    virtual std::optional<std::string> pickSaveFile(std::string_view title, std::string_view filter,
                                                    std::string_view directory,
                                                    std::string_view suggestedName) = 0;
    // A folder picker opened at `directory`; nothing when cancelled.
    virtual std::optional<std::string> pickFolder(std::string_view /*title*/, std::string_view /*directory*/) {
        return std::nullopt;
    }

    // Marks a rectangle of a window (window pixels) for repainting.
    virtual void invalidate(WindowId window, const Rect& rect) = 0;
    virtual void invalidateAll(WindowId window) = 0;

    virtual void setCursor(CursorShape shape) = 0;
    // The pointer in a window's pixels; moving it is an absolute warp.
    virtual Point pointerPosition(WindowId window) const = 0;
    virtual void movePointer(WindowId window, Point at) = 0;

    // Shows a popup menu at a window point; the chosen command id, or 0.
    virtual uint32_t popupMenu(WindowId window, Point at, const std::vector<MenuItem>& items) = 0;

    // Queues a command for the main frame's dispatch (after the current event).
    virtual void postCommand(uint32_t id) = 0;

    // Milliseconds of a monotonic clock.
    virtual uint32_t tickCount() const = 0;
};

}  // namespace pavalo
