// libFuzzer target for the game messages' decoder: any bytes either are
// refused with a reason or decode to a message whose pieces lie inside the
// puzzle and which encodes again to a message of the same size that decodes
// to the same fields.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo::net;
    MessageLimits limits;
    limits.pieceCount = 60;
    limits.blockCount = 9;
    std::string why;
    const std::optional<GameMessage> m = decodeMessage({data, size}, limits, why);
    if (!m) {
        if (why.empty()) std::abort();
        return 0;
    }
    for (uint32_t p : m->pieces)
        if (p >= 60 && p != kNoPiece) std::abort();
    const std::vector<uint8_t> again = encodeMessage(*m);
    if (again.size() != size) std::abort();
    std::string why2;
    const std::optional<GameMessage> back = decodeMessage(again, limits, why2);
    if (!back || back->id != m->id || back->pieces != m->pieces || back->drops != m->drops || back->x != m->x ||
        back->code != m->code || back->text != m->text || back->data != m->data)
        std::abort();
    return 0;
}
