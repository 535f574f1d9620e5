// The frame's command dispatch and the fixed menus 131 and 324.
#include "shell/command_table.h"

namespace pavalo {
namespace {

MenuItem entry(uint32_t id, const char* text) {
    MenuItem m;
    m.id = id;
    m.text = text;
    return m;
}

}  // namespace

void CommandTable::set(uint32_t id, Handler handler, CommandScope scope) {
    auto& map = scope == CommandScope::Palette ? palette_ : frame_;
    if (handler)
        map[id] = std::move(handler);
    else
        map.erase(id);
}

const CommandTable::Handler* CommandTable::find(uint32_t id, CommandScope scope) const {
    if (scope == CommandScope::Palette)
        if (auto it = palette_.find(id); it != palette_.end()) return &it->second;
    if (auto it = frame_.find(id); it != frame_.end()) return &it->second;
    return nullptr;
}

bool CommandTable::handles(uint32_t id, CommandScope scope) const { return find(id, scope) != nullptr; }

bool CommandTable::dispatch(uint32_t id, CommandScope scope) const {
    const Handler* h = find(id, scope);
    if (!h) return false;
    // A copy: the handler may replace itself (or clear the table) as it runs.
    const Handler run = *h;
    run();
    return true;
}

void CommandTable::disableUnhandled(std::vector<MenuItem>& menu, CommandScope scope) const {
    for (MenuItem& m : menu) {
        if (m.isPopup())
            disableUnhandled(m.items, scope);
        else if (!handles(m.id, scope))
            m.enabled = false;
    }
}

std::vector<MenuItem> composeColourMenu() {
    namespace fc = frame_command;
    return {entry(fc::kBackgroundColour, "Background"), entry(fc::kPieceOutlineColour, "Piece Outline"),
            entry(fc::kPuzzleOutlineColour, "Puzzle Outline"), entry(fc::kSelectionColour, "Selection Rectangle"),
            entry(fc::kRestoreDefaultColours, "Restore Default")};
}

std::vector<MenuItem> composeNetworkMenu() {
    return {entry(menu_command::kCheckCompletion, "Check Puzzle Completion"),
            entry(frame_command::kIncomingMessages, "Incoming Messages")};
}

}  // namespace pavalo
