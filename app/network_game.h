// A network game in the real window: the network layer of this machine and
// the link that plays the shared puzzle in the running game session.
//
// The layer's receive thread posts the network message command (32844) to
// the user-interface thread, which then takes the waiting messages; the
// host's server thread decides on its own; the idle pass resends what was
// not acknowledged and glides other players' dragged pieces. The set-up
// (the connection, the session, the waiting room) drives the layer it
// hands out and calls start() when the game begins.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>

#include "net/game_link.h"
#include "net/net_layer.h"

namespace pavalo {

class NetworkGame final : public QObject {
    Q_OBJECT
public:
    // `hooks` are the set-up's (messages, the player list, becoming host);
    // the message, dispatch and redraw hooks are this class's.
    NetworkGame(GameSession& session, net::NetHooks hooks, net::ChatSink* chat = nullptr);
    // Leaves the session first, so that no thread of the layer still runs
    // into the link.
    ~NetworkGame() override;

    net::NetLayer& layer() { return *layer_; }
    net::NetGameLink& link() { return *link_; }
    // The game begins on this machine: playing, holders built.
    void start() { link_->start(); }

    // The network message command: takes every waiting message.
    void dispatchMessages();
    // The idle pass: resends and glides.
    void idle();

private:
    void post();

    GameSession& session_;
    std::unique_ptr<net::NetLayer> layer_;
    std::unique_ptr<net::NetGameLink> link_;
    std::atomic<bool> posted_{false};
};

}  // namespace pavalo
