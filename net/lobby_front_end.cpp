// The set-up's questions answered from a lobby launch.
#include "net/lobby_front_end.h"

#include <algorithm>

namespace pavalo::net {

LobbyFrontEnd::LobbyFrontEnd(SetupFrontEnd& inner, LobbyRole role, std::optional<LobbyGameSettings> settings,
                             LobbyPicture picture)
    : inner_(inner), role_(std::move(role)), settings_(std::move(settings)), picture_(std::move(picture)) {}

std::optional<std::string> LobbyFrontEnd::askPlayerName(const std::string&) { return role_.playerName; }

std::optional<std::string> LobbyFrontEnd::chooseConnection(const std::vector<std::string>& entries) {
    if (entries.empty()) return std::nullopt;
    const auto lan = std::find(entries.begin(), entries.end(), kConnectionLan);
    return lan != entries.end() ? *lan : entries.front();
}

void LobbyFrontEnd::takeLobbyValues(CreateGameForm& form) const {
    form.sessionName = role_.sessionName;
    // Room for every player the lobby may start.
    form.maxPlayers = CreateGameForm::kMaxPlayers;
    if (!settings_) return;
    const LobbyGameSettings& s = *settings_;
    if (s.gameType != kLobbyUnset) form.gameType = s.gameType;
    if (s.sortingBoxes != kLobbyUnset) form.sortingBoxes = s.sortingBoxes != 0;
    const std::array<uint32_t, kSetupTools> tools{s.arrange,   s.solve,        s.findNearby,
                                                  s.findEdges, s.findByColour, s.puzzleOutline};
    bool anyTool = false;
    for (size_t t = 0; t < tools.size(); ++t) {
        if (tools[t] == kLobbyUnset) continue;
        anyTool = true;
        form.tools[t] = tools[t] != 0;
    }
    // The tools one by one once the lobby named any of them.
    if (anyTool) {
        if (form.cheats == CreateGameForm::Cheats::Yes || form.cheats == CreateGameForm::Cheats::No)
            for (size_t t = 0; t < tools.size(); ++t)
                if (tools[t] == kLobbyUnset) form.tools[t] = form.cheats == CreateGameForm::Cheats::Yes;
        form.cheats = CreateGameForm::Cheats::Advanced;
    }
}

bool LobbyFrontEnd::editCreateGame(CreateGameForm& form) {
    takeLobbyValues(form);
    if (settings_ && settings_->complete()) return true;
    if (!inner_.editCreateGame(form)) return false;
    // What the lobby set stands whatever the dialog said.
    takeLobbyValues(form);
    return true;
}

std::optional<std::string> LobbyFrontEnd::choosePicture() {
    if (picture_.ok) return picture_.path;
    return inner_.choosePicture();
}

std::optional<PieceCountChoice> LobbyFrontEnd::askPieceCount(const PieceCountRules& rules, bool rotate) {
    if (!settings_ || settings_->pieces == kLobbyUnset) return inner_.askPieceCount(rules, rotate);
    const bool lobbyRotate = settings_->rotatePieces != kLobbyUnset ? settings_->rotatePieces == 1 : rotate;
    return lobbyPieceCount(rules, settings_->pieces, lobbyRotate);
}

std::optional<JoinTarget> LobbyFrontEnd::chooseSession(JoinList&) {
    if (joinTried_) return std::nullopt;
    joinTried_ = true;
    return JoinTarget{role_.joinAddress, role_.joinPort};
}

bool LobbyFrontEnd::offerDownload(const std::string& hostPath, uint32_t fileSize, std::string& localPath) {
    if (picture_.ok) {
        localPath = picture_.path;
        return true;
    }
    return inner_.offerDownload(hostPath, fileSize, localPath);
}

RoomResult LobbyFrontEnd::runWaitingRoom(NetGameSetup& setup) {
    // The host's Start is taken at once (the set-up begins the game); a
    // player that came before the host began waits in the room as usual.
    return setup.isHost() ? RoomResult::Start : inner_.runWaitingRoom(setup);
}

std::optional<uint32_t> LobbyFrontEnd::seed() const {
    if (settings_ && settings_->seed != kLobbyUnset) return settings_->seed;
    return std::nullopt;
}

}  // namespace pavalo::net
