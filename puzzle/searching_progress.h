// The progress of the colour search, as its "Searching" window shows it.
#pragma once

#include <cstdint>

namespace pavalo {

// The "Searching" progress window of the colour search: a range of 0 to
// (pieces in the Main list and the sorting boxes) - 1, one step per piece
// examined; the position never passes the end.
class SearchingProgress {
public:
    static constexpr const char* kTitle = "Searching";

    explicit SearchingProgress(int32_t pieces) : maximum_(pieces > 0 ? pieces - 1 : 0) {}
    int32_t maximum() const { return maximum_; }
    int32_t position() const { return position_; }
    void step() {
        if (position_ < maximum_) ++position_;
    }

private:
    int32_t maximum_ = 0;
    int32_t position_ = 0;
};

}  // namespace pavalo
