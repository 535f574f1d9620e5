// libFuzzer target for the session layer's frame decoder: any bytes either
// fail to decode or decode to a frame that encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pavalo::net::Frame f;
    std::string error;
    if (!pavalo::net::decodeFrame({data, size}, f, error)) return 0;
    if (f.type == pavalo::net::FrameType::App &&
        (f.payload.size() < pavalo::net::kMinMessageSize || f.payload.size() > pavalo::net::kMaxMessageSize))
        std::abort();
    auto again = pavalo::net::encodeFrame(f);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    return 0;
}
