// JPEG writing with libjpeg: pixels of known content encoded as a baseline
// or progressive JPEG, for the sample generators, tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pavalo {

// `pixels` holds `height` rows of width * components bytes: grey (1), red-
// green-blue (3) or CMYK (4). Returns the file's bytes; empty when the
// arguments do not describe the pixels or the encoder fails.
std::vector<uint8_t> encodeJpeg(int width, int height, int components, const std::vector<uint8_t>& pixels,
                                int quality = 90, bool progressive = false);

// Encodes as above and writes the file through a temporary name.
bool saveJpeg(const std::string& path, int width, int height, int components, const std::vector<uint8_t>& pixels,
              int quality = 90);

}  // namespace pavalo
