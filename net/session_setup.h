// A game set up from the start in the window: the game session and its
// network link as the set-up's SetupGame. The document cuts the puzzle (its
// picture checks and messages, the progress captions), seeded by the game's
// seed and with the host's grid, so the window and the headless players cut
// the same puzzle.
//
// The layer's hooks are the owner's: its systemMessage and becameHost hooks
// must call systemMessage() and becameHost() here.
//
// The picture transfer and the synchronisation see the set-up messages
// first. The front end's offerDownload and synchronise drive them through
// transfers() (the receivers) with dialogs of their own.
#pragma once

#include <functional>

#include "net/game_link.h"
#include "net/game_setup.h"
#include "net/transfers.h"

namespace pavalo::net {

class SessionSetup final : public SetupGame, public SetUpListener {
public:
    SessionSetup(GameSession& session, NetLayer& layer, NetGameLink& link);
    ~SessionSetup() override {
        link_.setSetUp(nullptr);
        transfers_.stop();
    }
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
    Point playArea() const override;
    bool loadPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) override;
    bool cut(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
             std::string& message) override;
    void applyOptions(const NetOptions& options) override { link_.dispatcher().setOptions(options); }
    void startPlay() override { link_.beginPlay(); }
    void pump(uint32_t ms) override;
    void servePicture(const std::string& path) override { transfers_.pictureService().setPicture(path); }
    bool anyPlayerSynchronising() override { return net::anyPlayerSynchronising(layer_); }
    void stopTransfers() override { transfers_.stop(); }

    Transfers& transfers() { return transfers_; }

    // SetUpListener
    bool setUpReply(const GameMessage& request, GameMessage& reply) override {
        return setup_ && setup_->setUpReply(request, reply);
    }
    void setUpMessage(const GameMessage& message, uint32_t from, bool toServer) override {
        if (transfers_.handle(message, from, toServer)) return;
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
    Transfers transfers_;
    NetGameSetup* setup_ = nullptr;
};

}  // namespace pavalo::net
