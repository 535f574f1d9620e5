// The two waits of a joining player in a network game: "Downloading Image"
// (the host's picture arriving block by block) and "Synchronizing Piece
// Positions" (a latecomer's pieces brought level). Each shows what its
// receiver reports and offers "Abort"; closing the window aborts too.
#pragma once

#include "net/picture_transfer.h"
#include "net/sync_transfer.h"

class QWidget;

namespace pavalo {

// Shows the download dialog until the receiver has finished (or the player
// aborted it); for offerDownload.
void runDownloadDialog(QWidget* parent, net::PictureReceiver& receiver);
inline net::DownloadDialogRunner downloadDialogRunner(QWidget* parent) {
    return [parent](net::PictureReceiver& receiver) { runDownloadDialog(parent, receiver); };
}

// Starts the synchronisation and shows its dialog until FINISHEDSYNC; false
// when the player aborted it or it failed (the game's start then fails).
bool runSyncDialog(QWidget* parent, net::SyncReceiver& receiver);

}  // namespace pavalo
