// The set-up's questions answered from a lobby launch: the player's name,
// the connection, the session to join, the game's options, the picture and
// the piece count come from the lobby's connection settings and game
// settings; what the lobby leaves open, the messages and the waits go to
// the front end it wraps (the window's dialogs).
//
// A lobby-launched host starts the game as soon as its session is open: the
// lobby has gathered the players, who join it as latecomers (the headless
// lobby host does the same), so no waiting room opens.
#pragma once

#include <optional>
#include <string>

#include "net/game_setup.h"
#include "net/lobby_launch.h"

namespace pavalo::net {

class LobbyFrontEnd final : public SetupFrontEnd {
public:
    // `settings` empty: the lobby sent none (the create dialog decides).
    LobbyFrontEnd(SetupFrontEnd& inner, LobbyRole role, std::optional<LobbyGameSettings> settings,
                  LobbyPicture picture);

    std::optional<std::string> askPlayerName(const std::string& current) override;
    std::optional<std::string> chooseConnection(const std::vector<std::string>& entries) override;
    // The lobby's session name and every option it sets; the create dialog
    // only when it left one of the eight open.
    bool editCreateGame(CreateGameForm& form) override;
    std::optional<std::string> choosePicture() override;
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) override;
    // The lobby's host, once: a join that failed is not tried elsewhere.
    std::optional<JoinTarget> chooseSession(JoinList& list) override;
    void showMessage(const std::string& text, const std::string& caption) override { inner_.showMessage(text, caption); }
    // A joiner has the lobby's picture already when it found it.
    bool offerDownload(const std::string& hostPath, uint32_t fileSize, std::string& localPath) override;
    RoomResult runWaitingRoom(NetGameSetup& setup) override;
    bool synchronise(NetGameSetup& setup) override { return inner_.synchronise(setup); }
    void waitingProgress(int percent) override { inner_.waitingProgress(percent); }
    void waitingClosed() override { inner_.waitingClosed(); }

    // The seed the host plays with: the lobby's, when it gave one.
    std::optional<uint32_t> seed() const;

private:
    void takeLobbyValues(CreateGameForm& form) const;

    SetupFrontEnd& inner_;
    LobbyRole role_;
    std::optional<LobbyGameSettings> settings_;
    LobbyPicture picture_;
    bool joinTried_ = false;
};

}  // namespace pavalo::net
