// A network game inside the game session: the dispatcher applies what the
// others do to the session's model, and the session's view and assist
// tools announce the local player's actions through the senders.
//
// Threads: the server thread (on the host) dispatches messages to the
// server player and may change the model; everything that touches the
// windows waits for the user-interface thread, which calls dispatch() when
// the network message command arrives and idle() from its idle pass.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "net/dispatcher.h"
#include "net/drag_glide.h"
#include "net/game_senders.h"
#include "shell/game_session.h"

namespace pavalo::net {

class NetGameLink final : public DispatchFrontEnd {
public:
    // Plugs the network seams into the session; the destructor takes them out.
    NetGameLink(GameSession& session, NetLayer& layer, ChatSink* chat = nullptr);
    ~NetGameLink() override;
    NetGameLink(const NetGameLink&) = delete;
    NetGameLink& operator=(const NetGameLink&) = delete;

    // The game starts on this machine: the player is published as playing,
    // then beginPlay().
    void start();
    // Holders built, score clock started, and groups other players hold
    // outlined in their colour from now on.
    void beginPlay();
    // The server thread's share, for the layer's dispatch hook.
    void dispatchServer() { dispatcher_.dispatch(true); }
    // User-interface thread: takes the waiting messages, then redraws.
    void dispatch();
    // User-interface thread: glides and what the server thread left to do.
    // True while a glide is under way (the idle pass should come back).
    bool idle(uint32_t nowMs);

    Dispatcher& dispatcher() { return dispatcher_; }
    GameSenders& senders() { return senders_; }

    // DispatchFrontEnd
    // Only what changed is drawn again (an empty area: everything): with
    // many players moving, whole-area redraws would hold up the local drag.
    void redrawPlayArea(const Rect& area) override;
    void redrawSortingBoxes() override { redrawPlayArea({}); }
    void redrawPreview() override { redrawPlayArea({}); }
    void postCompletionCheck() override { completionCheck_ = true; }
    void remoteDrag(int32_t piece, Point from, Point to) override;
    // The set-up's share goes to its listener (see setSetUp).
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
    // The set-up that hears this game's set-up messages; null: none.
    void setSetUp(SetUpListener* listener) { setUp_ = listener; }

private:
    void catchUp();

    GameSession& session_;
    LayerPort port_;
    Random rng_{1};
    Dispatcher dispatcher_;
    GameSenders senders_;
    NetViewNetwork view_;
    NetPieceSelector selector_;
    DragGlides glides_;
    std::atomic<bool> redraw_{false}, completionCheck_{false};
    std::atomic<SetUpListener*> setUp_{nullptr};
    std::mutex dirtyMutex_;  // the dispatching threads add, the interface thread takes
    Rect dirty_;
    bool wholeArea_ = false;
};

}  // namespace pavalo::net
