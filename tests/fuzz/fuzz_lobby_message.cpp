// libFuzzer target for the lobby protocol: the bytes are decoded once as a
// single message (which must encode back to the same bytes) and once as a
// stream of frames fed in pieces (each message taken must survive a round
// trip), so neither the decoder nor the frame reader may crash or accept a
// message it cannot write back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/lobby_protocol.h"

using namespace pavalo::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    if (auto m = decodeLobbyMessage({data, size}, why)) {
        const auto again = encodeLobbyMessage(*m);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    }

    LobbyFrameReader reader;
    const size_t piece = size ? size_t(data[0] % 13) + 1 : 1;
    for (size_t at = 0; at < size; at += piece) {
        reader.feed({data + at, std::min(piece, size - at)});
        LobbyMessage m;
        while (reader.next(m, why) == LobbyFrameReader::Next::Message) {
            std::string again;
            auto back = decodeLobbyMessage(encodeLobbyMessage(m), again);
            if (!back || !(*back == m)) std::abort();
        }
    }
    return 0;
}
