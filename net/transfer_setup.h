// What both kinds of set-up game (the headless game and the window's) share:
// the picture transfer and the synchronisation see the game's set-up
// messages first, the rest goes to the set-up flow attached.
#pragma once

#include "net/game_setup.h"
#include "net/transfers.h"

namespace pavalo::net {

class TransferSetupGame : public SetupGame, public SetUpListener {
public:
    TransferSetupGame(NetLayer& layer, Dispatcher& dispatcher) : transfers_(layer, dispatcher) {}
    ~TransferSetupGame() override { transfers_.stop(); }
    TransferSetupGame(const TransferSetupGame&) = delete;
    TransferSetupGame& operator=(const TransferSetupGame&) = delete;

    Transfers& transfers() { return transfers_; }

    // SetupGame
    void servePicture(const std::string& path) override { transfers_.pictureService().setPicture(path); }
    bool anyPlayerSynchronising() override { return net::anyPlayerSynchronising(layer()); }
    void stopTransfers() override { transfers_.stop(); }

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

protected:
    Transfers transfers_;
    NetGameSetup* setup_ = nullptr;
};

}  // namespace pavalo::net
