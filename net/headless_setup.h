// A game set up from the start without a window: the headless game as the
// set-up's SetupGame, hearing its set-up messages. The picture is only
// looked at (its size), never drawn. The picture transfer and the
// synchronisation see the set-up messages first.
#pragma once

#include <functional>

#include "net/headless_game.h"
#include "net/transfer_setup.h"

namespace pavalo::net {

class HeadlessSetup final : public TransferSetupGame {
public:
    explicit HeadlessSetup(HeadlessGame& game) : TransferSetupGame(game.layer(), game.dispatcher()), game_(game) {}
    ~HeadlessSetup() override { game_.setSetUp(nullptr); }

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

    void systemMessage(const Received& message) override {
        TransferSetupGame::systemMessage(message);
        if (onSystem) onSystem(message);
    }

    // Also sees every system message (receive thread), for the tool's lines.
    std::function<void(const Received&)> onSystem;

private:
    HeadlessGame& game_;
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
