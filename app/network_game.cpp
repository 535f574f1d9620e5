// A network game in the real window.
#include "app/network_game.h"

#include <QCoreApplication>
#include <QThread>

namespace pavalo {

NetworkGame::NetworkGame(GameSession& session, net::NetHooks hooks, net::ChatSink* chat) : session_(session) {
    hooks.postNetMessage = [this] { post(); };
    // Local mode: the message is handled before the sender goes on.
    hooks.sendNetMessage = [this] {
        if (QThread::currentThread() == thread())
            dispatchMessages();
        else
            QMetaObject::invokeMethod(this, [this] { dispatchMessages(); }, Qt::BlockingQueuedConnection);
    };
    hooks.dispatch = [this](bool serverMode) {
        if (serverMode && link_) link_->dispatchServer();
        else post();
    };
    hooks.returnSortingBoxPieces = [this](int slot) {
        if (link_) link_->dispatcher().returnSortingBoxPieces(slot);
    };
    auto redraw = std::move(hooks.redrawPlayArea);
    hooks.redrawPlayArea = [this, redraw] {
        QMetaObject::invokeMethod(this, [this] { session_.redrawPlayArea(); }, Qt::QueuedConnection);
        if (redraw) redraw();
    };
    layer_ = std::make_unique<net::NetLayer>(std::move(hooks));
    link_ = std::make_unique<net::NetGameLink>(session, *layer_, chat);
}

NetworkGame::~NetworkGame() {
    layer_->closeSession();
    link_.reset();
}

// One queued command however many messages came meanwhile: the command
// takes them all.
void NetworkGame::post() {
    if (posted_.exchange(true)) return;
    QMetaObject::invokeMethod(this, [this] { dispatchMessages(); }, Qt::QueuedConnection);
}

void NetworkGame::dispatchMessages() {
    posted_ = false;
    link_->dispatch();
}

void NetworkGame::idle() {
    layer_->resendPass();
    link_->idle(layer_->clockMs());
}

}  // namespace pavalo
