// The rules of the assist tools' dialogs as plain models: the three find
// dialogs with their sorting-box delivery buttons, the "Searching" progress
// window and the "Solve an area" radius dialog. A front end binds its
// controls to these and runs the tool with their values when OK is pressed;
// Cancel runs nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "puzzle/hit_code.h"
#include "puzzle/searching_progress.h"

namespace pavalo {

// The five radio buttons "None", "Box 1" .. "Box 4" (values 0..4) of the find
// dialogs. The default is the sorting box under the pointer plus 1 when the
// last hit is in a box, else 0. When sorting boxes are not allowed the
// buttons are disabled and the value stays at its default.
class DeliveryChoice {
public:
    static constexpr std::array<const char*, 5> kLabels = {"None", "Box 1", "Box 2", "Box 3", "Box 4"};

    DeliveryChoice(HitCode lastHit, bool sortingBoxesAllowed);

    int value() const { return value_; }
    int defaultValue() const { return default_; }
    bool enabled() const { return enabled_; }
    // Clicks a button; false (value unchanged) when disabled or out of range.
    bool choose(int value);

private:
    int default_ = 0;
    int value_ = 0;
    bool enabled_ = true;
};

// "Find Edges": check boxes "Top", "Bottom", "Left", "Right", all on at first.
class FindEdgesDialog {
public:
    static constexpr const char* kTitle = "Find Edges";
    static constexpr std::array<const char*, 4> kEdgeLabels = {"Top", "Bottom", "Left", "Right"};

    explicit FindEdgesDialog(DeliveryChoice delivery) : delivery(delivery) {}

    // Edge 0..3 in the order of kEdgeLabels.
    bool checked(int edge) const { return edge >= 0 && edge < 4 && checked_[size_t(edge)]; }
    void setChecked(int edge, bool on) {
        if (edge >= 0 && edge < 4) checked_[size_t(edge)] = on;
    }
    // Top 1, Bottom 2, Left 4, Right 8.
    int mask() const;

    DeliveryChoice delivery;

private:
    std::array<bool, 4> checked_{true, true, true, true};
};

// "Find Nearby Pieces": a slider of 1 to 5 cells, starting at 1, whose value
// the edit box beside it shows; typing a number there moves the slider.
class FindNearbyDialog {
public:
    static constexpr const char* kTitle = "Find Nearby Pieces";
    static constexpr int kMinRange = 1, kMaxRange = 5, kDefaultRange = 1;

    explicit FindNearbyDialog(DeliveryChoice delivery) : delivery(delivery) {}

    int range() const { return range_; }
    // Moves the slider, clamped to 1..5.
    void setSlider(int value);
    // The edit box's text: the slider's value.
    std::string editText() const { return std::to_string(range_); }
    // Typed text: a whole number moves the slider (clamped); anything else
    // is refused (false) and the edit box shows the slider's value again.
    bool setEditText(std::string_view text);

    DeliveryChoice delivery;

private:
    int range_ = kDefaultRange;
};

// "Color Match": "Color Range" 1 to 100 (default 1) and "Threshhold" 1 to
// 100 (default 5), the label spelt as the dialog shows it.
class ColorMatchDialog {
public:
    static constexpr const char* kTitle = "Color Match";
    static constexpr const char* kRangeLabel = "Color Range";
    static constexpr const char* kThresholdLabel = "Threshhold";
    static constexpr int kMin = 1, kMax = 100, kDefaultRange = 1, kDefaultThreshold = 5;

    explicit ColorMatchDialog(DeliveryChoice delivery) : delivery(delivery) {}

    int colourRange() const { return range_; }
    int threshold() const { return threshold_; }
    void setColourRange(int value);  // clamped to 1..100
    void setThreshold(int value);    // clamped to 1..100

    DeliveryChoice delivery;

private:
    int range_ = kDefaultRange;
    int threshold_ = kDefaultThreshold;
};

// "Solve an area": a radius slider from 1 to the larger of columns and rows,
// starting at 1, its value shown beside it as "%d".
class SolveAreaDialog {
public:
    static constexpr const char* kTitle = "Solve an area";

    SolveAreaDialog(int32_t columns, int32_t rows);
    int maximum() const { return maximum_; }
    int radius() const { return radius_; }
    void setRadius(int value);  // clamped to 1..maximum
    std::string radiusText() const { return std::to_string(radius_); }

private:
    int maximum_ = 1;
    int radius_ = 1;
};

}  // namespace pavalo
