// A person at the set-up's dialogs, scripted: a name, the first
// connection, a Competitive game of 6 pieces without cheats, a picture, the
// host's port to join, and a waiting room given by the test.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "net/game_setup.h"
#include "tests/net/rig.h"

namespace pavalo::net::test {

class Person final : public SetupFrontEnd {
public:
    std::string name, picture;
    std::atomic<uint16_t>* hostPort = nullptr;
    uint32_t gameType = kGameCompetitive;
    std::function<RoomResult(NetGameSetup&)> room;
    std::vector<std::string> messages;
    int sessionsChosen = 0;

    std::optional<std::string> askPlayerName(const std::string&) override { return name; }
    std::optional<std::string> chooseConnection(const std::vector<std::string>& e) override { return e.front(); }
    bool editCreateGame(CreateGameForm& form) override {
        form.gameType = gameType;
        form.maxPlayers = 4;
        form.cheats = CreateGameForm::Cheats::No;
        return true;
    }
    std::optional<std::string> choosePicture() override { return picture; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool) override {
        return PieceCountChoice{.grid = rules.gridForTarget(6), .rotate = false};
    }
    std::optional<JoinTarget> chooseSession(JoinList&) override {
        if (sessionsChosen++ > 0) return std::nullopt;
        if (!waitUntil([&] { return hostPort->load() != 0; })) return std::nullopt;
        return JoinTarget{"127.0.0.1", hostPort->load()};
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption.empty() ? text : caption + ": " + text);
    }
    RoomResult runWaitingRoom(NetGameSetup& s) override { return room(s); }
};

}  // namespace pavalo::net::test
