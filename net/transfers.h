// The picture transfer and the synchronisation of one machine in a network
// game, as one object the game set-up plugs into the dispatcher's front
// end: the host's services and the joining player's receivers side by side.
#pragma once

#include "net/picture_transfer.h"
#include "net/sync_transfer.h"

namespace pavalo::net {

class Transfers {
public:
    Transfers(NetLayer& layer, Dispatcher& dispatcher)
        : pictureService_(layer), syncService_(layer, dispatcher), pictureReceiver_(layer),
          syncReceiver_(layer, dispatcher) {}

    // For DispatchFrontEnd::setUpMessage: hands a transfer message to the
    // host's services (toServer) or to this player's receivers. False when
    // the message is none of theirs.
    bool handle(const GameMessage& message, uint32_t from, bool toServer) {
        if (toServer) return pictureService_.handle(message, from) || syncService_.handle(message, from);
        return pictureReceiver_.handle(message, from) || syncReceiver_.handle(message, from);
    }

    // Ends every transfer thread (a download or synchronisation under way is
    // aborted). Call it before the session closes: the threads send.
    void stop() {
        pictureReceiver_.abort();
        syncReceiver_.abort();
        pictureService_.stop();
        syncService_.stop();
    }

    PictureService& pictureService() { return pictureService_; }
    SyncService& syncService() { return syncService_; }
    PictureReceiver& pictureReceiver() { return pictureReceiver_; }
    SyncReceiver& syncReceiver() { return syncReceiver_; }

private:
    PictureService pictureService_;
    SyncService syncService_;
    PictureReceiver pictureReceiver_;
    SyncReceiver syncReceiver_;
};

}  // namespace pavalo::net
