// libFuzzer target for the latecomer's SYNCDATA receiver: messages (a length
// byte and that many bytes, decoded as a player's dispatcher decodes them)
// and raw 16-byte records are applied to a cut puzzle. Afterwards every
// piece is in exactly one group and every group in one list, rotations are
// 0..3 and positions stay near the play area.
#include <cstdint>
#include <cstdlib>

#include "common/file_io.h"
#include "net/sync_transfer.h"
#include "tests/net/protocol_hub.h"

using namespace pavalo;
using namespace pavalo::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PuzzleModel model = test::gridPuzzle(6, 5);
    PuzzleHolderModel link(model);
    net::HolderTable holders;
    PlayerTable players;
    players.add(5);
    players.add(9);
    holders.rebuild(link, players, false);
    MessageLimits limits;
    limits.pieceCount = model.pieceCount();
    size_t at = 0;
    for (int count = 0; count < 64 && at < size; ++count) {
        const bool raw = data[at] & 0x80;
        const size_t length = std::min<size_t>(size_t(data[at] & 0x7F), size - at - 1);
        const std::span<const uint8_t> bytes(data + at + 1, length);
        at += 1 + length;
        std::vector<HolderRecord> records;
        if (raw) {
            for (size_t r = 0; r + 16 <= bytes.size(); r += 16) {
                HolderRecord h;
                h.pieceId = loadU32(&bytes[r]);
                h.holder = loadU32(&bytes[r + 4]);
                h.x = int16_t(loadU16(&bytes[r + 8]));
                h.y = int16_t(loadU16(&bytes[r + 10]));
                h.placement = loadU32(&bytes[r + 12]);
                records.push_back(h);
            }
        } else {
            std::string why;
            const std::optional<GameMessage> m = decodeMessage(bytes, limits, why);
            if (!m || m->id != kMsgSyncData) continue;
            records = m->sync;
        }
        const int skipped = applySyncRecords(model, holders, &link, players, records);
        if (skipped < 0 || size_t(skipped) > records.size()) std::abort();
    }
    std::string why;
    if (!model.checkInvariants(&why)) std::abort();
    const PuzzleGeometry& g = model.geometry();
    for (int32_t p = 0; p < model.pieceCount(); ++p) {
        const Piece& piece = model.piece(p);
        if (piece.rotation < 0 || piece.rotation > 3 || std::abs(piece.x) > 4 * (g.playWidth + 70000) ||
            std::abs(piece.y) > 4 * (g.playHeight + 70000))
            std::abort();
    }
    return 0;
}
