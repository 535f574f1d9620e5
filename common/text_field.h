// Zero-terminated text in fixed-size fields of stored records.
#pragma once

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

namespace pavalo {

// The text up to the first zero, never reading past the field (a field
// without a zero gives all of its bytes).
inline std::string fieldText(std::span<const char> field) {
    auto end = std::find(field.begin(), field.end(), '\0');
    return std::string(field.begin(), end);
}

// Stores text and its zero, clearing the rest; false (field unchanged) when
// it does not fit.
inline bool setFieldText(std::span<char> field, std::string_view text) {
    if (text.size() >= field.size()) return false;
    std::fill(field.begin(), field.end(), '\0');
    std::copy(text.begin(), text.end(), field.begin());
    return true;
}

}  // namespace pavalo
