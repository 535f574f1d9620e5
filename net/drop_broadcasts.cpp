// The host's deciding drop and its broadcasts.
#include "net/drop_broadcasts.h"

namespace pavalo::net {

void DropBroadcasts::add(int32_t piece, int32_t code) {
    GameMessage m;
    m.id = kMsgDropPiece;
    m.player = request_.player;
    m.piece = uint32_t(piece);
    // The group's turn now, which every machine sets before its own drop.
    m.rotation = model_.validPiece(piece) ? uint32_t(model_.piece(piece).rotation & 3) : 0;
    m.x = request_.x;
    m.y = request_.y;
    m.code = code;
    messages_.push_back(std::move(m));
}

std::vector<GameMessage> decideDrop(PuzzleModel& model, const GameMessage& request, int slot) {
    if (request.id != kMsgDropPiece || !model.validPiece(int32_t(request.piece))) return {};
    DropBroadcasts broadcasts(model, request);
    dropGroup(model, int32_t(request.piece), request.x, request.y, slot, broadcasts);
    return broadcasts.messages();
}

}  // namespace pavalo::net
