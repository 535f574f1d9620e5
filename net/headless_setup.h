// A game set up from the start without a window: the headless game as the
// set-up's SetupGame, hearing its set-up messages. The picture is only
// looked at (its size), never drawn. The picture transfer and the
// synchronisation see the set-up messages first.
#pragma once

#include <functional>

#include "net/game_setup.h"
#include "net/headless_game.h"
#include "net/transfers.h"

namespace pavalo::net {

class HeadlessSetup final : public SetupGame, public SetUpListener {
public:
    explicit HeadlessSetup(HeadlessGame& game) : game_(game), transfers_(game.layer(), game.dispatcher()) {}
    ~HeadlessSetup() override {
        game_.setSetUp(nullptr);
        transfers_.stop();
    }
    HeadlessSetup(const HeadlessSetup&) = delete;
    HeadlessSetup& operator=(const HeadlessSetup&) = delete;

    // The set-up this game's messages go to; before it opens a session.
    void attach(NetGameSetup& setup) {
        setup_ = &setup;
        game_.setSetUp(this);
    }

    // SetupGame
    NetLayer& layer() override { return game_.layer(); }
    Point playArea() const override { return game_.playArea(); }
    bool loadPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) override;
    bool cut(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
             std::string& message) override;
    void applyOptions(const NetOptions& options) override { game_.dispatcher().setOptions(options); }
    void startPlay() override { game_.dispatcher().startGame(game_.layer().clockMs()); }
    void pump(uint32_t ms) override { game_.idle(ms); }
    void servePicture(const std::string& path) override { transfers_.pictureService().setPicture(path); }
    bool anyPlayerSynchronising() override { return net::anyPlayerSynchronising(game_.layer()); }
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
        if (onSystem) onSystem(message);
    }
    void becameHost() override {
        if (setup_) setup_->noteNewHost(true);
    }

    // Also sees every system message (receive thread), for the tool's lines.
    std::function<void(const Received&)> onSystem;

private:
    HeadlessGame& game_;
    Transfers transfers_;
    NetGameSetup* setup_ = nullptr;
};

// A picture's size without decoding it; false with the message to show
// when it is missing or not a picture.
bool lookAtPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message);

// The settings record a network puzzle is cut with: the new-puzzle values
// for `picture` in a play area `playWidth` wide, then the game data's fields
// and the options.
SettingsRecord networkPuzzleRecord(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
                                   int32_t playWidth);

}  // namespace pavalo::net
