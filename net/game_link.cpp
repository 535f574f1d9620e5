// A network game inside the game session.
#include "net/game_link.h"

#include <algorithm>
#include <utility>

#include "puzzle/joining.h"

namespace pavalo::net {

NetGameLink::NetGameLink(GameSession& session, NetLayer& layer, ChatSink* chat)
    : session_(session),
      port_(layer),
      dispatcher_(DispatchContext{session.model(), port_, session.document().puzzleState(), session, rng_, *this,
                                  chat}),
      senders_(dispatcher_, chat),
      view_(dispatcher_, senders_),
      selector_(senders_) {
    layer.setHolderModel(&dispatcher_.holderModel());
    session_.setNetwork(&view_, &selector_);
}

NetGameLink::~NetGameLink() {
    session_.setNetwork(nullptr, nullptr);
    RendererState& drawn = session_.compositor().state();
    drawn.multiplayer = false;
    drawn.localPlayer = kNoHolder;
}

void NetGameLink::start() {
    PlayerData d = port_.localData();
    d.state = uint32_t(PlayerState::Playing);
    port_.publish(d);
    beginPlay();
}

void NetGameLink::beginPlay() {
    dispatcher_.startGame(port_.nowMs());
    RendererState& drawn = session_.compositor().state();
    drawn.multiplayer = true;
    drawn.localPlayer = std::max(dispatcher_.localSlot(), 0);
    session_.redrawPlayArea();
}

void NetGameLink::remoteDrag(int32_t piece, Point from, Point to) {
    PuzzleModel& model = session_.model();
    glides_.start(model, piece, from, to, model.holders().holderOf(piece), port_.nowMs());
}

void NetGameLink::redrawPlayArea(const Rect& area) {
    {
        std::lock_guard lock(dirtyMutex_);
        if (area.empty()) wholeArea_ = true;
        else dirty_.unite(area);
    }
    redraw_ = true;
}

void NetGameLink::catchUp() {
    dispatcher_.publishOwnCopyScore();
    if (completionCheck_.exchange(false))
        checkPuzzleCompletion(session_.model(), session_.document().puzzleState(), true, session_, rng_);
    if (!redraw_.exchange(false)) return;
    Rect dirty;
    bool whole;
    {
        std::lock_guard lock(dirtyMutex_);
        dirty = std::exchange(dirty_, Rect{});
        whole = std::exchange(wholeArea_, false);
    }
    if (whole) {
        session_.redrawPlayArea();
    } else if (!dirty.empty()) {
        session_.view().redrawPlayRect(dirty);
        session_.redrawOverview();
    }
}

void NetGameLink::dispatch() {
    dispatcher_.dispatch(false);
    catchUp();
}

bool NetGameLink::idle(uint32_t nowMs) {
    const Rect glided = glides_.step(session_.model(), nowMs);
    if (!glided.empty()) redrawPlayArea(glided);
    catchUp();
    return glides_.active();
}

}  // namespace pavalo::net
