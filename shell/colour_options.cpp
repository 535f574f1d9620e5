// The display colours and outline switches.
#include "shell/colour_options.h"

namespace pavalo {

void copyColourChoices(const PreferencesRecord& prefs, SettingsRecord& record) {
    record.colourChoices = {prefs.backgroundColour, prefs.pieceOutlineColour, prefs.selectionColour};
    record.colourChoice4 = prefs.puzzleOutlineColour;
}

uint32_t& ColourSettings::chosenSlot(ColourItem item) {
    switch (item) {
        case ColourItem::Background: return prefs_.backgroundColour;
        case ColourItem::PieceOutline: return prefs_.pieceOutlineColour;
        case ColourItem::PuzzleOutline: return prefs_.puzzleOutlineColour;
        case ColourItem::Selection: break;
    }
    return prefs_.selectionColour;
}

uint32_t ColourSettings::chosen(ColourItem item) const { return const_cast<ColourSettings*>(this)->chosenSlot(item); }

uint32_t ColourSettings::native(ColourItem item) const {
    switch (item) {
        case ColourItem::Background: return renderer_.backgroundColour;
        case ColourItem::PieceOutline: return renderer_.pieceColour;
        case ColourItem::PuzzleOutline: return renderer_.puzzleOutlineColour;
        case ColourItem::Selection: break;
    }
    return renderer_.selectionRectColour;
}

void ColourSettings::refreshNative(const DrawSurface* backBuffer) {
    renderer_.options.background = prefs_.backgroundColour;
    renderer_.options.piece = prefs_.pieceOutlineColour;
    renderer_.options.puzzleOutline = prefs_.puzzleOutlineColour;
    renderer_.options.selectionRect = prefs_.selectionColour;
    // Without a back buffer the native forms wait for the next rebuild,
    // which derives them from the options just set.
    if (backBuffer && backBuffer->hasPixels()) renderer_.refreshNativeColours(*backBuffer);
}

void ColourSettings::applyPreferences(const DrawSurface* backBuffer) {
    renderer_.outlinesShown = prefs_.pieceOutlines != 0;
    refreshNative(backBuffer);
}

void ColourSettings::choose(ColourItem item, uint32_t chosen, const DrawSurface* backBuffer) {
    chosenSlot(item) = chosen;
    refreshNative(backBuffer);
}

void ColourSettings::restoreDefaults(const DrawSurface* backBuffer) {
    const PreferencesRecord defaults;
    prefs_.backgroundColour = defaults.backgroundColour;
    prefs_.pieceOutlineColour = defaults.pieceOutlineColour;
    prefs_.puzzleOutlineColour = defaults.puzzleOutlineColour;
    prefs_.selectionColour = defaults.selectionColour;
    refreshNative(backBuffer);
}

void ColourSettings::togglePieceOutlines() {
    renderer_.outlinesShown = !renderer_.outlinesShown;
    prefs_.pieceOutlines = renderer_.outlinesShown ? 1 : 0;
}

bool ColourSettings::togglePuzzleOutline(bool allowed) {
    if (!allowed) return false;
    renderer_.puzzleOutlineShown = !renderer_.puzzleOutlineShown;
    return true;
}

}  // namespace pavalo
