// Rules of the piece-count choice: the slider's range over the longer side,
// the grid for a slider position, presets and their targets, and the label.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pavalo {

inline constexpr int32_t kMaxPuzzlePieces = 4000;

struct Grid {
    int32_t columns = 0, rows = 0;
    int32_t pieces() const { return columns * rows; }
};

struct PiecePreset {
    const char* name;
    int32_t target;
};
// "Simple" 12 .. "Impossible" 4000, in button order.
const std::array<PiecePreset, 8>& piecePresets();

class PieceCountRules {
public:
    PieceCountRules(int32_t pictureWidth, int32_t pictureHeight);

    bool landscape() const { return landscape_; }  // width not less than height
    double aspect() const { return aspect_; }      // width / height
    // The slider drives the longer side: columns for landscape, rows for portrait.
    int32_t sliderMinimum() const { return minimum_; }
    int32_t sliderMaximum() const { return maximum_; }
    Grid gridForSlider(int32_t position) const;
    // The grid nearest a target piece count, within the slider's range.
    Grid gridForTarget(int32_t target) const;
    int32_t sliderForGrid(const Grid& g) const { return landscape_ ? g.columns : g.rows; }
    // "%d Pieces"
    static std::string label(const Grid& g);

private:
    bool landscape_;
    double aspect_;
    int32_t minimum_, maximum_;
};

// Adds 0.5 and truncates.
inline int32_t roundHalfUp(double v) { return int32_t(v + 0.5); }

}  // namespace pavalo
