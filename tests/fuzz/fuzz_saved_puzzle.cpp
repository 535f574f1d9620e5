// Fuzz target: the saved puzzle reader must refuse or accept any bytes
// without crashing, and an accepted puzzle must be consistent and re-save to
// the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "puzzle/saved_puzzle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pavalo;
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
    Random rng(1);
    OpenResult r = decodeSavedPuzzle(std::span<const uint8_t>(data, size), 1920, 1080, rng, record,
                                     model, order);
    if (r.ok()) {
        if (!model.checkInvariants()) std::abort();
        std::vector<uint8_t> again = encodeSavedPuzzle(record, model);
        PuzzleModel second;
        SettingsRecord record2;
        if (!decodeSavedPuzzle(again, 1920, 1080, rng, record2, second, order).ok()) std::abort();
        if (encodeSavedPuzzle(record2, second) != again) std::abort();
    }
    return 0;
}
