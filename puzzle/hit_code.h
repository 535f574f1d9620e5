// HitCode: the 32-bit result of a hit test in the play-area view or a
// sorting box — the piece under the pointer and the window it came from.
// The latest one is kept as the last hit, on which the assist tools act.
//
// Layout: bits 31-16 the piece (0xFFFF for none); 0x8000 the play-area view;
// 0x4000 a sorting box, whose number 0-3 is in bits 7-0; 0x2000 the piece is
// not selected; 0x1000 it is selected; 0x0800 it lies in the Finished list.
#pragma once

#include <cstdint>

#include "puzzle/puzzle_model.h"

namespace pavalo {

class HitCode {
public:
    static constexpr uint32_t kNoPiece = 0xFFFF;
    static constexpr uint32_t kPlayArea = 0x8000;
    static constexpr uint32_t kSortingBox = 0x4000;
    static constexpr uint32_t kNotSelected = 0x2000;
    static constexpr uint32_t kSelected = 0x1000;
    static constexpr uint32_t kFinished = 0x0800;
    static constexpr uint32_t kFlagBits = kNotSelected | kSelected | kFinished;

    // No piece, no window.
    constexpr HitCode() = default;
    constexpr explicit HitCode(uint32_t value) : value_(value) {}

    // A hit in the play-area view; piece -1 (or anything outside 0..0xFFFE)
    // for none. `flags` takes only the selected/finished bits.
    static constexpr HitCode playArea(int32_t piece, uint32_t flags = 0) {
        return HitCode(pieceBits(piece) | kPlayArea | (flags & kFlagBits));
    }
    // A hit in sorting box `box` (0-3, shown to the player as 1-4).
    static constexpr HitCode sortingBox(int box, int32_t piece, uint32_t flags = 0) {
        return HitCode(pieceBits(piece) | kSortingBox | (flags & kFlagBits) | (uint32_t(box) & 0xFF));
    }

    constexpr uint32_t value() const { return value_; }
    constexpr bool hasPiece() const { return (value_ >> 16) != kNoPiece; }
    // The piece, or -1.
    constexpr int32_t piece() const { return hasPiece() ? int32_t(value_ >> 16) : -1; }
    constexpr bool inPlayArea() const { return (value_ & kPlayArea) != 0; }
    constexpr bool inSortingBox() const { return (value_ & kSortingBox) != 0; }
    // Box number 0-3 when the hit is in a sorting box, else -1.
    constexpr int box() const { return inSortingBox() && (value_ & 0xFF) < 4 ? int(value_ & 0xFF) : -1; }
    constexpr bool selected() const { return (value_ & kSelected) != 0; }
    constexpr bool finished() const { return (value_ & kFinished) != 0; }

    // The list the hit piece was found in: the box's list, Finished or Main
    // for the play area; None without a window.
    constexpr ListId list() const {
        if (box() >= 0) return static_cast<ListId>(int(ListId::Box1) + box());
        if (inPlayArea()) return finished() ? ListId::Finished : ListId::Main;
        return ListId::None;
    }

    constexpr bool operator==(const HitCode&) const = default;

private:
    static constexpr uint32_t pieceBits(int32_t piece) {
        return (piece >= 0 && uint32_t(piece) < kNoPiece ? uint32_t(piece) : kNoPiece) << 16;
    }

    uint32_t value_ = kNoPiece << 16;
};

// The hit test at (x, y): in the play area (box -1) the Main list is asked
// first and then the Finished list; in sorting box 0-3 its own list. The
// selected/finished flags describe the piece found. Takes PIECEMutex.
HitCode hitTest(const PuzzleModel& model, int box, int32_t x, int32_t y);

}  // namespace pavalo
