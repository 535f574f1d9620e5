// The network set-up's dialog models.
#include "net/net_dialogs.h"

#include <algorithm>
#include <charconv>

#include "net/chat.h"
#include "net/waiting_room.h"

namespace pavalo::net {

// ------------------------------------------------------------ player name

void PlayerNameDialog::setName(const std::string& typed) {
    // The name travels in a field of kMaxNameLength bytes: a longer one is
    // cut at a character's start.
    name_ = cutToBytes(typed, kMaxNameLength);
}

std::string PlayerNameDialog::accept(PreferencesRecord& prefs) const {
    std::string name = name_;
    if (std::all_of(name.begin(), name.end(), [](char c) { return c == ' '; })) name = kDefaultPlayerName;
    PreferencesRecord::setText(prefs.playerName, name);
    return name;
}

// ------------------------------------------------------------ create game

CreateGameDialog::CreateGameDialog(const PreferencesRecord& prefs, const std::string& playerName) {
    sessionName = playerName == kDefaultPlayerName ? std::string(kUnnamedSession) : playerName;
    maxPlayers_ = std::clamp(int(prefs.maxPlayers), kMinPlayers, kMaxPlayers);
    maxPlayersText_ = std::to_string(maxPlayers_);
    competitive = prefs.gameType == int32_t(kGameCompetitive);
    sortingBoxes = prefs.sortingBoxesAllowed != 0;
    int allowed = 0;
    for (size_t i = 0; i < tools.size(); ++i) allowed += (tools[i] = prefs.toolsAllowed[i] != 0);
    cheats = allowed == 6 ? CheatsChoice::Yes : allowed == 0 ? CheatsChoice::No : CheatsChoice::Advanced;
}

void CreateGameDialog::scroll(ScrollAction action) {
    int value = maxPlayers_;
    std::from_chars(maxPlayersText_.data(), maxPlayersText_.data() + maxPlayersText_.size(), value);
    const bool up = action == ScrollAction::LineUp || action == ScrollAction::PageUp || action == ScrollAction::Top;
    maxPlayers_ = std::clamp(up ? value + 1 : value - 1, kMinPlayers, kMaxPlayers);
    maxPlayersText_ = std::to_string(maxPlayers_);
}

void CreateGameDialog::settingsClosed(bool ok, const std::array<bool, 6>& flags) {
    if (ok) tools = flags;
}

std::array<bool, 6> CreateGameDialog::allowedTools() const {
    if (cheats == CheatsChoice::Yes) return {true, true, true, true, true, true};
    if (cheats == CheatsChoice::No) return {};
    return tools;
}

std::optional<NetOptions> CreateGameDialog::accept(Platform& platform, PreferencesRecord& prefs) {
    focus_ = Field::None;
    int typed = 0;
    const char* end = maxPlayersText_.data() + maxPlayersText_.size();
    const auto [stop, error] = std::from_chars(maxPlayersText_.data(), end, typed);
    if (error != std::errc() || stop != end || typed < kMinPlayers || typed > kMaxPlayers) {
        platform.messageBox(kMsgMaxPlayersRange);
        focus_ = Field::MaxPlayers;
        return std::nullopt;
    }
    maxPlayers_ = typed;
    if (sessionName.empty()) {
        platform.messageBox(kMsgNoSessionName);
        focus_ = Field::SessionName;
        return std::nullopt;
    }
    NetOptions o;
    // The name travels in a 128-byte field.
    o.sessionName = cutToBytes(sessionName, kPathField - 1);
    o.maxPlayers = uint32_t(maxPlayers_);
    o.gameType = competitive ? kGameCompetitive : kGameCooperative;
    o.allowed[0] = sortingBoxes;
    const std::array<bool, 6> allowed = allowedTools();
    for (size_t i = 0; i < 6; ++i) o.allowed[i + 1] = allowed[i];

    PreferencesRecord::setText(prefs.sessionName, o.sessionName);
    prefs.maxPlayers = maxPlayers_;
    prefs.gameType = int32_t(o.gameType);
    prefs.sortingBoxesAllowed = sortingBoxes;
    for (size_t i = 0; i < 6; ++i) prefs.toolsAllowed[i] = allowed[i];
    return o;
}

// -------------------------------------------------------------- join game

std::array<std::string, 6> sessionInfoLines(const SessionDesc* d) {
    std::array<std::string, 6> lines = {"Max Players: ",   "Current Players: ", "Game Type: ",
                                        "Sorting Boxes: ", "Rotated Pieces: ",  "Cheats Allowed: "};
    if (!d) return lines;
    // The counts include the host's server player.
    lines[0] += std::to_string(d->maxPlayers > 0 ? d->maxPlayers - 1 : 0);
    lines[1] += std::to_string(d->currentPlayers > 0 ? d->currentPlayers - 1 : 0);
    static constexpr const char* kTypes[] = {"Cooperative", "Competitive", "Team Competitive"};
    lines[2] += d->user1 < 3 ? kTypes[d->user1] : "Unknown";
    // The option mask: bit 0 boxes, 1 Arrange, 2 Solve, 3 Nearby, 4 Edges,
    // 5 Colour, 6 rotated pieces, 7 Puzzle Outline.
    const uint32_t mask = d->user3;
    lines[3] += mask & 1 ? "On" : "Off";
    lines[4] += mask & 0x40 ? "On" : "Off";
    static constexpr std::pair<uint32_t, const char*> kTools[] = {{1, "Arrange"},       {2, "Solve"},
                                                                  {5, "Find by Color"}, {4, "Find Edges"},
                                                                  {3, "Find Nearby Pieces"}, {7, "Puzzle Outline"}};
    std::string cheats;
    for (const auto& [bit, name] : kTools)
        if (mask >> bit & 1) cheats += (cheats.empty() ? "" : ", ") + std::string(name);
    lines[5] += cheats.empty() ? "None" : cheats;
    return lines;
}

void JoinGameDialog::setSessions(std::vector<FoundSession> sessions) {
    const Guid chosen = selected_ >= 0 ? sessions_[size_t(selected_)].desc.instance : Guid{};
    sessions_ = std::move(sessions);
    selected_ = -1;
    if (chosen == Guid{}) return;
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].desc.instance == chosen) selected_ = int(i);
}

std::vector<std::string> JoinGameDialog::sessionNames() const {
    std::vector<std::string> names;
    for (const FoundSession& s : sessions_) names.push_back(safeDisplayText(s.desc.name, kPathField));
    return names;
}

void JoinGameDialog::select(int index) { selected_ = index >= 0 && size_t(index) < sessions_.size() ? index : -1; }

std::array<std::string, 6> JoinGameDialog::infoLines() const {
    return sessionInfoLines(selected_ >= 0 ? &sessions_[size_t(selected_)].desc : nullptr);
}

bool JoinGameDialog::join(Platform& platform, const Joiner& joiner) {
    if (selected_ < 0) {
        platform.messageBox(kMsgSelectGameFirst);
        return false;
    }
    if (!joiner || joiner(sessions_[size_t(selected_)]) != JoinResult::Ok) {
        platform.messageBox(kMsgUnableToJoin);
        return false;
    }
    return true;
}

}  // namespace pavalo::net
