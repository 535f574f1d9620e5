// ConsolePlatform: the Platform of pavalo-tool's commands. Messages are
// printed to the terminal with a prefix; a question gets the answer the
// command chose; pickers are cancelled and window calls do nothing.
#pragma once

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace pavalo::tool {

class ConsolePlatform final : public Platform {
public:
    // `prefix` starts every printed message; `answer` is Yes or No for questions.
    ConsolePlatform(std::string prefix, MessageResult answer) : prefix_(std::move(prefix)), answer_(answer) {}

    MessageResult messageBox(std::string_view text, std::string_view, MessageButtons buttons) override {
        std::fprintf(stderr, "%s%.*s\n", prefix_.c_str(), int(text.size()), text.data());
        return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? answer_
                                                                                          : MessageResult::Ok;
    }
    std::optional<std::string> pickOpenFile(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> pickSaveFile(std::string_view, std::string_view, std::string_view,
                                            std::string_view) override {
        return std::nullopt;
    }
    void invalidate(WindowId, const Rect&) override {}
    void invalidateAll(WindowId) override {}
    void setCursor(CursorShape) override {}
    Point pointerPosition(WindowId) const override { return {}; }
    void movePointer(WindowId, Point) override {}
    uint32_t popupMenu(WindowId, Point, const std::vector<MenuItem>&) override { return 0; }
    void postCommand(uint32_t) override {}
    uint32_t tickCount() const override { return 0; }

private:
    std::string prefix_;
    MessageResult answer_;
};

}  // namespace pavalo::tool
