// The sender side of the game protocol: what the view, the sorting boxes
// and the assist tools call when the local player acts. In the game types
// that share one puzzle the host decides and every machine applies its
// answer; in the Competitive type each player has a private copy, the
// action is applied here and nothing leaves the machine.
//
// Positions are given in play-area coordinates and sent picture-relative.
// Threads: the user-interface thread (requests wait for the host's answer).
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "display/view_controller.h"
#include "net/dispatcher.h"
#include "net/protocol_rules.h"
#include "puzzle/assist_tools.h"

namespace pavalo::net {

class GameSenders {
public:
    explicit GameSenders(Dispatcher& dispatcher, ChatSink* chat = nullptr) : d_(dispatcher), chat_(chat) {}

    // Piece messages go out: a session is open and the puzzle is shared.
    bool shared() const { return d_.inSession() && !d_.competitive(); }

    // 0 for the Finished list; 1 at once for other lists, alone or in the
    // Competitive type; otherwise the host's answer.
    int requestPickup(ListId list, int32_t piece);
    // 0 for the Finished list; 1 for other lists or without sharing;
    // otherwise asks the host and returns 1 when the request went out (the
    // caller has turned the group; other machines turn it on the answer).
    int requestRotate(ListId list, int32_t piece);
    // Selects the groups of the pieces the host grants (all of them without
    // sharing or outside the Main list); returns the pieces selected.
    std::vector<int32_t> requestSelection(ListId list, std::span<const int32_t> pieces);

    // Throttled: true when the message went out.
    bool sendMove(ListId list, int32_t piece, int32_t x, int32_t y);
    bool sendMoveSelected(ListId list);
    // Lets go of the piece's group where it lies: the host decides.
    void sendDrop(ListId list, int32_t piece);
    // The list's selected groups in messages of at most 30; returns how many
    // messages went out.
    int sendDropSelected(ListId list);
    void sendUnselect(ListId list, int32_t piece);  // piece -1: everything held
    void sendArrange(ListId list, const Rect& area);
    void sendSolveSelected(ListId list);
    // A group (piece) or the selection (piece -1) went from the Main list
    // into a sorting box.
    void sendIntoSortingBox(ListId box, int32_t piece);
    // A group (piece, its top-left now at `at`) or the selection (piece -1)
    // came out of a sorting box into the Main list.
    void sendOutOfSortingBox(ListId box, int32_t piece);
    void sendRotateInBox(int32_t piece);
    void sendChat(const std::string& text);

    uint32_t lastSerial() const { return serial_.current(); }

private:
    // Sends a request to the host and waits until `match` accepts a reply
    // (see GamePort::request for `repeatable`).
    bool requestUntil(const GameMessage& m, uint16_t awaitedId, const std::function<bool(const GameMessage&)>& match,
                      bool repeatable, GameMessage* reply = nullptr);
    void localDrop(ListId list, int32_t piece);
    std::vector<DropRecord> selectedRecords(ListId list);
    uint32_t me() const { return d_.port().localPlayer(); }

    Dispatcher& d_;
    ChatSink* chat_;
    std::mutex m_;
    RequestSerial serial_;
    SendThrottle moveThrottle_{kMovePieceGapMs};
    SendThrottle moveSelectedThrottle_{kMoveSelectedGapMs};
};

// The view's network seam answered by the sender operations.
class NetViewNetwork final : public ViewNetwork {
public:
    NetViewNetwork(Dispatcher& dispatcher, GameSenders& senders) : d_(dispatcher), s_(senders) {}
    bool networkGame() const override { return d_.inSession(); }
    int localPlayer() const override { return std::max(d_.localSlot(), 0); }
    bool hearOtherPlayers() const override { return d_.hearOtherPlayers(); }
    bool requestHold(ListId list, int32_t piece) override { return s_.requestPickup(list, piece) != 0; }
    void releaseHold(ListId list, int32_t piece) override { s_.sendUnselect(list, piece); }
    void announceDeselectAll(ListId list) override { s_.sendUnselect(list, -1); }
    void announceMove(ListId list, int32_t piece, int32_t x, int32_t y) override { s_.sendMove(list, piece, x, y); }
    void announceMoveSelected(ListId list, int32_t, int32_t) override { s_.sendMoveSelected(list); }
    void announceSelectionDropped(ListId list) override { s_.sendDropSelected(list); }
    void announceListChange(ListId from, ListId to, int32_t piece, Point at) override;
    void announceSelectedListChange(ListId from, ListId to) override;
    void announceRotation(ListId list, int32_t piece) override;
    void announceArrange(ListId list, const Rect& area) override { s_.sendArrange(list, area); }
    void sendDrop(ListId list, int32_t piece, int32_t, int32_t) override { s_.sendDrop(list, piece); }
    bool sharesPieces() const override { return s_.shared(); }
    void sendSolveSelected(ListId list) override { s_.sendSolveSelected(list); }

private:
    Dispatcher& d_;
    GameSenders& s_;
};

// The assist tools' selection seam: found pieces are asked of the host.
class NetPieceSelector final : public PieceSelector {
public:
    explicit NetPieceSelector(GameSenders& senders) : s_(senders) {}
    std::vector<int32_t> select(PuzzleModel&, ListId list, std::span<const int32_t> pieces) override {
        return s_.requestSelection(list, pieces);
    }

private:
    GameSenders& s_;
};

}  // namespace pavalo::net
