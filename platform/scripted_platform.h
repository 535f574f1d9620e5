// ScriptedPlatform: a Platform for tests. Message boxes, pickers and menus
// answer from queues set up by the test; everything asked of it is recorded.
#pragma once

#include <deque>

#include "platform/platform.h"

namespace pavalo {

class ScriptedPlatform : public Platform {
public:
    struct Message {
        std::string text, caption;
        MessageButtons buttons;
    };
    struct Invalidation {
        WindowId window;
        Rect rect;  // empty for a whole-window invalidation
        bool all;
    };

    // Answers, used in order; defaults when the queues run dry: Ok/Yes,
    // cancelled pickers, no menu choice.
    std::deque<MessageResult> messageAnswers;
    std::deque<std::optional<std::string>> openAnswers, saveAnswers, folderAnswers;
    std::deque<uint32_t> menuAnswers;

    // What was asked.
    std::vector<Message> messages;
    std::vector<std::string> folderTitles;  // titles of the folder pickers shown
    std::vector<Invalidation> invalidations;
    std::vector<CursorShape> cursors;
    std::vector<std::vector<MenuItem>> menusShown;
    std::vector<uint32_t> postedCommands;
    std::vector<std::pair<WindowId, Point>> pointerMoves;
    Point pointer;        // what pointerPosition reports
    uint32_t ticks = 0;   // what tickCount reports

    MessageResult messageBox(std::string_view text, std::string_view caption, MessageButtons buttons) override {
        messages.push_back({std::string(text), std::string(caption), buttons});
        if (messageAnswers.empty()) return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? MessageResult::Yes : MessageResult::Ok;
        MessageResult r = messageAnswers.front();
        messageAnswers.pop_front();
        return r;
    }
    std::optional<std::string> pickOpenFile(std::string_view, std::string_view, std::string_view) override {
        return take(openAnswers);
    }
    std::optional<std::string> pickSaveFile(std::string_view, std::string_view, std::string_view,
                                            std::string_view) override {
        return take(saveAnswers);
    }
    std::optional<std::string> pickFolder(std::string_view title, std::string_view) override {
        folderTitles.emplace_back(title);
        return take(folderAnswers);
    }
    void invalidate(WindowId window, const Rect& rect) override { invalidations.push_back({window, rect, false}); }
    void invalidateAll(WindowId window) override { invalidations.push_back({window, {}, true}); }
    void setCursor(CursorShape shape) override { cursors.push_back(shape); }
    Point pointerPosition(WindowId) const override { return pointer; }
    void movePointer(WindowId window, Point at) override {
        pointerMoves.push_back({window, at});
        pointer = at;
    }
    uint32_t popupMenu(WindowId, Point, const std::vector<MenuItem>& items) override {
        menusShown.push_back(items);
        if (menuAnswers.empty()) return 0;
        uint32_t id = menuAnswers.front();
        menuAnswers.pop_front();
        return id;
    }
    void postCommand(uint32_t id) override { postedCommands.push_back(id); }
    uint32_t tickCount() const override { return ticks; }

private:
    static std::optional<std::string> take(std::deque<std::optional<std::string>>& q) {
        if (q.empty()) return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

}  // namespace pavalo
