// libFuzzer target for the picture receiver's blocks: the first three
// bytes give the picture's size, then each message is a length byte and
// that many bytes, decoded as a player's dispatcher decodes them; every
// IMAGEBLOCK is stored as the receiver stores it. A stored block must sit
// at its place, and the counts must agree with the picture whatever came.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/picture_transfer.h"

using namespace pavalo::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint32_t pictureSize = uint32_t(data[0] | data[1] << 8 | (data[2] & 1) << 16);
    PictureAssembly picture;
    if (!picture.reset(pictureSize)) {
        if (pictureSize != 0) std::abort();
        return 0;
    }
    MessageLimits limits;
    limits.pieceCount = 60;
    size_t at = 3;
    for (int count = 0; count < 256 && at < size; ++count) {
        const size_t length = std::min<size_t>(size_t(data[at]) * 2, size - at - 1);
        const std::span<const uint8_t> bytes(data + at + 1, length);
        at += 1 + length;
        std::string why;
        const std::optional<GameMessage> m = decodeMessage(bytes, limits, why);
        if (!m || m->id != kMsgImageBlock) continue;
        if (picture.store(m->block, m->data)) {
            const size_t offset = size_t(m->block) * kImageBlockBytes;
            if (offset + m->data.size() > pictureSize || !picture.has(uint32_t(m->block)) ||
                std::memcmp(picture.bytes().data() + offset, m->data.data(), m->data.size()) != 0)
                std::abort();
        }
        if (picture.receivedBytes() > pictureSize || picture.bytes().size() != pictureSize ||
            picture.complete() != (picture.receivedBytes() == pictureSize))
            std::abort();
    }
    return 0;
}
