// The "Enable/Disable Sounds" dialog's rules without a window: twenty check
// boxes, each bound to one entry of the preferences' sound switches, and
// three radio buttons for the sound selection mode. The dialog opens with
// the stored values and writes them back only on OK.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "media/sound.h"

namespace pavalo {

struct SoundSwitchBox {
    std::string_view label;
    int entry;  // index into the switch array
};

// The check boxes in the dialog's order.
inline constexpr std::array<SoundSwitchBox, 20> kSoundSwitchBoxes = {{
    {"Lock Piece", kSoundLockPiece},
    {"Arrange", kSoundArrange},
    {"Center", kSoundCenter},
    {"Puzzle Finished", kSoundPuzzleFinished},
    {"Puzzle Cut", kSoundPuzzleCut},
    {"Exit", kSoundExit},
    {"Startup", kSoundStartup},
    {"Drop Piece", kSoundDropPiece},
    {"Join Pieces", kSoundJoinPieces},
    {"Pickup Piece", kSoundPickupPiece},
    {"Rotate Piece", kSoundRotatePiece},
    {"Select Pieces", kSoundSelectPieces},
    {"Solve Pieces", kSoundSolvePieces},
    {"Close Window", kSoundCloseWindow},
    {"Open Window", kSoundOpenWindow},
    {"Zoom In", kSoundZoomIn},
    {"Zoom Out", kSoundZoomOut},
    {"New Game", kSoundNewGame},
    {"Message Notification", kSoundMessage},
    {"Other Player's Pickup/Drop Sounds", kOtherPlayersSwitch},
}};

// The radio buttons, in mode order (0, 1, 2).
inline constexpr std::array<std::string_view, 3> kSoundModeLabels = {"Enable All", "Disable All", "Use Selections"};

inline constexpr std::string_view kSoundOptionsTitle = "Enable/Disable Sounds";
inline constexpr std::string_view kEffectsVolumeLabel = "Effects volume";

class SoundOptionsModel {
public:
    using Switches = std::array<int32_t, kSoundSwitchCount>;

    // The dialog as it opens. A stored mode outside 0..2 shows as "Enable
    // All", which is how the player treats it.
    SoundOptionsModel(const Switches& switches, int32_t mode);

    bool checked(size_t box) const;
    void setChecked(size_t box, bool on);
    int32_t mode() const { return mode_; }
    void setMode(int32_t mode);
    // The effects' volume slider, in percent (kept in "tavorn.ini" by the
    // caller on OK); a value past either end is taken as that end.
    int effectsVolume() const { return effectsVolume_; }
    void setEffectsVolume(int percent);

    // OK: the boxes' entries become 1 or 0 and the mode is stored; entries
    // without a box keep their values.
    void apply(Switches& switches, int32_t& mode) const;

private:
    Switches switches_;
    int32_t mode_;
    int effectsVolume_ = 100;
};

}  // namespace pavalo
