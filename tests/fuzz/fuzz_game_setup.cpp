// libFuzzer target for what a joining player takes from the host before
// anything is cut: a GAMEDATA reply either is refused or gives a grid of
// 1..4000 pieces at least a pixel wide on a picture that has them, and its
// fields come back unchanged, with any play area it names within bounds; and any name from the wire is made into text
// without control characters that stays as it is when made again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/game_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo::net;
    std::string why;
    if (const std::optional<GameMessage> m = decodeMessage({data, size}, MessageLimits{}, why);
        m && m->id == kMsgGameData) {
        const std::optional<NetPuzzle> p = NetPuzzle::fromGameData(m->gameData, why);
        if (p) {
            if (p->columns < 1 || p->rows < 1 || int64_t(p->columns) * p->rows > 4000 ||
                p->pictureWidth / p->columns < 1 || p->pictureHeight / p->rows < 1)
                std::abort();
            if (p->toGameData() != m->gameData) std::abort();
            // A play area the players would make their own stays within bounds.
            if (const std::optional<pavalo::Point> area = p->playArea();
                area && (area->x < NetPuzzle::kMinPlayArea.x || area->x > NetPuzzle::kMaxPlayArea.x ||
                         area->y < NetPuzzle::kMinPlayArea.y || area->y > NetPuzzle::kMaxPlayArea.y))
                std::abort();
        } else if (why.empty()) {
            std::abort();
        }
    }
    const std::string text = displayableText({reinterpret_cast<const char*>(data), size}, 64);
    for (char c : text)
        if (uint8_t(c) < 0x20 || c == 0x7F) std::abort();
    if (displayableText(text, 64) != text) std::abort();
    return 0;
}
