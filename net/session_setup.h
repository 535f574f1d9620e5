// A game set up from the start in the window: the game session and its
// network link as the set-up's SetupGame. The document cuts the puzzle (its
// picture checks and messages, the progress captions), seeded by the game's
// seed and with the host's grid, so the window and the headless players cut
// the same puzzle.
//
// The layer's hooks are the owner's: its systemMessage and becameHost hooks
// must call systemMessage() and becameHost() here.
#pragma once

#include <functional>

#include "net/game_link.h"
#include "net/game_setup.h"

namespace pavalo::net {

class SessionSetup final : public SetupGame, public SetUpListener {
public:
    SessionSetup(GameSession& session, NetLayer& layer, NetGameLink& link);
    ~SessionSetup() override { link_.setSetUp(nullptr); }
    SessionSetup(const SessionSetup&) = delete;
    SessionSetup& operator=(const SessionSetup&) = delete;

    void attach(NetGameSetup& setup) {
        setup_ = &setup;
        link_.setSetUp(this);
    }
    // Runs while the set-up waits `ms` milliseconds: the window handles its
    // events here. Unset: the thread sleeps.
    std::function<void(uint32_t ms)> wait;

    // SetupGame
    NetLayer& layer() override { return layer_; }
    bool loadPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) override;
    bool cut(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
             std::string& message) override;
    void applyOptions(const NetOptions& options) override { link_.dispatcher().setOptions(options); }
    void startPlay() override { link_.start(); }
    void pump(uint32_t ms) override;

    // SetUpListener
    bool setUpReply(const GameMessage& request, GameMessage& reply) override {
        return setup_ && setup_->setUpReply(request, reply);
    }
    void setUpMessage(const GameMessage& message, uint32_t from, bool toServer) override {
        if (setup_ && !toServer) setup_->setUpMessage(message, from);
    }
    void kicked() override {
        if (setup_) setup_->noteKicked();
    }
    void playerListChanged() override {
        if (setup_) setup_->noteNewHost(false);
    }
    void systemMessage(const Received& message) override {
        if (setup_) setup_->noteSystem(message);
    }
    void becameHost() override {
        if (setup_) setup_->noteNewHost(true);
    }

private:
    GameSession& session_;
    NetLayer& layer_;
    NetGameLink& link_;
    NetGameSetup* setup_ = nullptr;
};

}  // namespace pavalo::net
