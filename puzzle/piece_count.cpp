// Piece-count rules for the piece-count choice and lobby-given counts.
#include "puzzle/piece_count.h"

#include <algorithm>
#include <cmath>

namespace pavalo {

const std::array<PiecePreset, 8>& piecePresets() {
    static const std::array<PiecePreset, 8> presets = {{
        {"Simple", 12}, {"Easy", 50}, {"Moderate", 100}, {"Difficult", 250},
        {"Hard", 500}, {"Really Hard", 1000}, {"Insane", 2000}, {"Impossible", 4000},
    }};
    return presets;
}

PieceCountRules::PieceCountRules(int32_t width, int32_t height)
    : landscape_(width >= height), aspect_(height > 0 ? double(width) / height : 1.0) {
    int32_t longer = landscape_ ? width : height;
    int32_t bottom = std::max(landscape_ ? roundHalfUp(aspect_) : roundHalfUp(1 / aspect_), 2);
    int32_t top = longer / 12;
    while (top > 1 && gridForSlider(top).pieces() > kMaxPuzzlePieces) --top;
    // A picture too small for the smallest grid keeps a one-position slider.
    maximum_ = std::max(top, 1);
    minimum_ = std::min(bottom, maximum_);
}

Grid PieceCountRules::gridForSlider(int32_t position) const {
    if (landscape_) return {position, std::max(roundHalfUp(position / aspect_), 1)};
    return {std::max(roundHalfUp(position * aspect_), 1), position};
}

Grid PieceCountRules::gridForTarget(int32_t target) const {
    double lo = minimum_, hi = maximum_;
    if (landscape_) {
        double columns = std::clamp(std::sqrt(target * aspect_), lo, hi);
        return {int32_t(columns), std::max(roundHalfUp(columns / aspect_), 1)};
    }
    double rows = std::clamp(std::sqrt(target / aspect_), lo, hi);
    return {std::max(roundHalfUp(rows * aspect_), 1), int32_t(rows)};
}

std::string PieceCountRules::label(const Grid& g) {
    return std::to_string(g.pieces()) + " Pieces";
}

}  // namespace pavalo
