// ColourSettings: the four display colours the player chooses (background,
// piece outline, puzzle outline, selection rectangle) and the two outline
// switches, kept consistent across the places that hold them:
// - the chosen colour (0x00BBGGRR, the colour chooser's form) in the
//   preferences, so it lasts between runs, and copied into the settings
//   record of a new puzzle (1000 background, 1004 piece outline, 1008
//   selection rectangle, 1064 puzzle outline);
// - the native colour (the back buffer's pixel form) in the renderer's
//   state, which draws it; it is derived again from the chosen colour
//   whenever the back buffer's format changes, so it always fits the depth
//   being drawn.
// The all-ones value is kept as it is: the brightest colour at every depth.
//
// The piece-outline switch lives in the preferences (and the renderer); the
// puzzle-outline switch in the renderer, and in a network game only when
// the host allows it. No Qt.
#pragma once

#include <cstdint>

#include "surface/draw_surface.h"
#include "display/piece_renderer.h"
#include "puzzle/settings_record.h"
#include "shell/preferences.h"

namespace pavalo {

enum class ColourItem { Background, PieceOutline, PuzzleOutline, Selection };

inline constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

// 0x00BBGGRR from its parts, and back (all ones reads as white).
inline uint32_t chosenColour(uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
}
inline uint8_t chosenRed(uint32_t c) { return c == kAllOnes ? 255 : uint8_t(c); }
inline uint8_t chosenGreen(uint32_t c) { return c == kAllOnes ? 255 : uint8_t(c >> 8); }
inline uint8_t chosenBlue(uint32_t c) { return c == kAllOnes ? 255 : uint8_t(c >> 16); }

// The chosen colours of the preferences copied into a new puzzle's record.
void copyColourChoices(const PreferencesRecord& prefs, SettingsRecord& record);

class ColourSettings {
public:
    ColourSettings(PreferencesRecord& prefs, RendererState& renderer) : prefs_(prefs), renderer_(renderer) {}

    uint32_t chosen(ColourItem item) const;
    // The native form the renderer draws with now.
    uint32_t native(ColourItem item) const;

    // Takes the preferences' colours and piece-outline switch into the
    // renderer (start-up), native forms for `backBuffer` when it has pixels.
    void applyPreferences(const DrawSurface* backBuffer);
    // A colour chosen in the chooser: stored in the preferences and in the
    // renderer with its native form for the back buffer.
    void choose(ColourItem item, uint32_t chosen, const DrawSurface* backBuffer);
    // "Restore Default": black background, all-ones outlines and selection.
    void restoreDefaults(const DrawSurface* backBuffer);

    bool pieceOutlinesShown() const { return renderer_.outlinesShown; }
    bool puzzleOutlineShown() const { return renderer_.puzzleOutlineShown; }
    void togglePieceOutlines();
    // False (nothing changes) when the puzzle outline is not allowed.
    bool togglePuzzleOutline(bool allowed);

    // The colour chooser's 16 custom colours.
    uint32_t customColour(int i) const { return prefs_.customColours[size_t(i)]; }
    void setCustomColour(int i, uint32_t c) { prefs_.customColours[size_t(i)] = c; }

private:
    uint32_t& chosenSlot(ColourItem item);
    void refreshNative(const DrawSurface* backBuffer);

    PreferencesRecord& prefs_;
    RendererState& renderer_;
};

}  // namespace pavalo
