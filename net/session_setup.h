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
#include "net/transfer_setup.h"

namespace pavalo::net {

class SessionSetup final : public TransferSetupGame {
public:
    SessionSetup(GameSession& session, NetLayer& layer, NetGameLink& link);
    ~SessionSetup() override { link_.setSetUp(nullptr); }

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

private:
    GameSession& session_;
    NetLayer& layer_;
    NetGameLink& link_;
};

}  // namespace pavalo::net
