// A player without a window: a puzzle model opened from a saved puzzle, the
// network layer, the dispatcher and the senders, and the headless player's
// moves. `pavalo-tool net bot` joins a game with it; `net host --puzzle`
// hosts one. Until a joining player is sent the host's puzzle, host and
// players open the same saved puzzle; a game set up from the start (see
// game_setup.h) cuts its puzzle from the game's seed instead.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "net/bot.h"
#include "net/dispatcher.h"
#include "net/game_port.h"
#include "net/net_layer.h"
#include "puzzle/cutter.h"
#include "puzzle/settings_record.h"

namespace pavalo::net {

class HeadlessGame final : public DispatchFrontEnd {
public:
    // The play area the saved positions are read into, and a cut's when the
    // host names none.
    static constexpr int32_t kPlayWidth = 1920, kPlayHeight = 1080;
    void setPlayArea(Point area) { playArea_ = area; }
    Point playArea() const { return playArea_; }

    explicit HeadlessGame(const NetSettings& settings);
    ~HeadlessGame() override;

    // False with a message when the file is not a puzzle.
    bool open(const std::string& path, std::string& error);
    bool host(const std::string& name, uint32_t maxPlayers);
    JoinResult join(const std::string& address, uint16_t port, const std::string& name);
    // The set-up that hears this game's set-up messages; set before a
    // session opens, and cleared (or outliving the game) after.
    void setSetUp(SetUpListener* listener) { setUp_ = listener; }
    // Cuts a new puzzle seeded by `seed`; `record` is the puzzle's settings
    // record, completed from the cut. The holder table is rebuilt with
    // nobody holding anything. False with a reason.
    bool cut(const CutRequest& request, uint32_t seed, const SettingsRecord& record, std::string& error);
    const SettingsRecord& record() const { return record_; }

    // DispatchFrontEnd: the set-up's share goes to the listener.
    bool setUpReply(const GameMessage& request, GameMessage& reply) override {
        SetUpListener* l = setUp_.load();
        return l && l->setUpReply(request, reply);
    }
    void setUpMessage(const GameMessage& message, uint32_t from, bool toServer) override {
        if (SetUpListener* l = setUp_.load()) l->setUpMessage(message, from, toServer);
    }
    void kicked() override {
        if (SetUpListener* l = setUp_.load()) l->kicked();
    }
    void playerListChanged() override {
        if (SetUpListener* l = setUp_.load()) l->playerListChanged();
    }

    // Starts playing: the player state becomes "playing" and the holders
    // are built from the model.
    void start();

    // Plays `actions` moves at `rate` moves a second (0: as fast as the
    // host answers), dispatching between them; then lets go of everything.
    void play(uint32_t seed, int actions, double rate, bool towardsSolution = false);
    // Dispatches and resends for `ms` milliseconds.
    void idle(uint32_t ms);
    // Writes the model in the saved-puzzle format.
    bool dump(const std::string& path, std::string& error);
    void close();

    NetLayer& layer() { return layer_; }
    PuzzleModel& model() { return model_; }
    GameSenders& senders() { return *senders_; }
    Dispatcher& dispatcher() { return *dispatcher_; }
    // What a lobby's status query reports: game type, pieces, pieces in the
    // finished state.
    std::array<uint32_t, 3> lobbyCounts() const;
    uint32_t puzzleState() const { return puzzleState_; }
    int actionsMade() const { return actionsMade_; }

private:
    Point playArea_{kPlayWidth, kPlayHeight};
    PuzzleModel model_;
    SettingsRecord record_;
    uint32_t puzzleState_ = 0;
    Random rng_{1};
    CompletionActions completion_;
    NetLayer layer_;
    LayerPort port_{layer_};
    std::unique_ptr<Dispatcher> dispatcher_;
    std::unique_ptr<GameSenders> senders_;
    int actionsMade_ = 0;
    std::atomic<SetUpListener*> setUp_{nullptr};
};

}  // namespace pavalo::net
