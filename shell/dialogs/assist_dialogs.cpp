// Dialog models of the assist tools.
#include "shell/dialogs/assist_dialogs.h"

#include <algorithm>
#include <charconv>

namespace pavalo {

DeliveryChoice::DeliveryChoice(HitCode lastHit, bool sortingBoxesAllowed)
    : default_(lastHit.box() >= 0 ? lastHit.box() + 1 : 0),
      value_(default_),
      enabled_(sortingBoxesAllowed) {}

bool DeliveryChoice::choose(int value) {
    if (!enabled_ || value < 0 || value > 4) return false;
    value_ = value;
    return true;
}

int FindEdgesDialog::mask() const {
    int m = 0;
    for (int edge = 0; edge < 4; ++edge)
        if (checked_[size_t(edge)]) m |= 1 << edge;
    return m;
}

void FindNearbyDialog::setSlider(int value) { range_ = std::clamp(value, kMinRange, kMaxRange); }

bool FindNearbyDialog::setEditText(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec == std::errc::invalid_argument || ptr != end) return false;
    // A number too large for the converter is simply far above the range.
    if (ec == std::errc::result_out_of_range) value = text.front() == '-' ? kMinRange : kMaxRange;
    setSlider(int(std::clamp<long long>(value, kMinRange, kMaxRange)));
    return true;
}

void ColorMatchDialog::setColourRange(int value) { range_ = std::clamp(value, kMin, kMax); }
void ColorMatchDialog::setThreshold(int value) { threshold_ = std::clamp(value, kMin, kMax); }

SolveAreaDialog::SolveAreaDialog(int32_t columns, int32_t rows)
    : maximum_(std::max({columns, rows, int32_t(1)})) {}

void SolveAreaDialog::setRadius(int value) { radius_ = std::clamp(value, 1, maximum_); }

}  // namespace pavalo
