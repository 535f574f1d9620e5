// The program's embedded resources: binary assets built into the executable,
// found by resource type ("PDF", "WDA", "WAVE", "MIDI", "JPEG", "BITMAP",
// "CURSOR") and numeric id.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace pavalo {

// The bytes of a resource, or an empty span when there is none with that
// type and id. The bytes live for the whole run of the program.
std::span<const uint8_t> findResource(std::string_view type, uint32_t id);

// Visits every embedded resource (for listing and tests).
struct ResourceEntry {
    std::string_view type;
    uint32_t id;
    std::span<const uint8_t> bytes;
};
std::span<const ResourceEntry> allResources();

}  // namespace pavalo
