// The game messages' encoder and checked decoder.
#include "net/messages.h"

#include <algorithm>
#include <cstring>

#include "common/file_io.h"

namespace pavalo::net {
namespace {

constexpr const char* kNames[] = {
    "INVALID", "REQUEST_IMAGENAME", "REQUEST_NETOPTIONS", "REQUEST_GAMEDATA", "IMAGENAME", "NETOPTIONS",
    "GAMEDATA", "CHATMESSAGE", "BEGINGAME", "IMAGEBLOCK", "REQUESTIMAGEBLOCK", "FINISHEDRECEIVINGIMAGE",
    "FINISHEDSENDINGIMAGE", "FINISHEDSENDINGIMAGE_ACK", "FINISHEDRECEIVINGIMAGE_ACK", "REQUESTSYNC", "SYNCDATA",
    "FINISHEDSYNC", "MOVEPIECE", "MOVESELECTED", "DROPPIECE", "DROPSELECTED", "REQUESTPICKUP", "PICKUPPIECE",
    "REQUESTROTATE", "REQUESTROTATE_ACK", "ROTATEPIECE", "REQUESTSELECTION", "SELECTPIECES", "UNSELECTPIECES",
    "ARRANGEPIECES", "SOLVESELECTED", "GUARANTEEDACK", "INTOSORTINGBOX", "OUTOFSORTINGBOX", "CONNECTINBOX",
    "ROTATEINBOX", "NEWHOST"};

// How the size of a message follows from its id.
enum class Shape : uint8_t {
    Fixed,        // exactly `size` bytes
    PackedList,   // 16 + ceil(3n/2) + 2, n at +12
    DropRecords,  // 14 + 6n, n at +8
};

struct SizeRule {
    Shape shape;
    uint16_t size;  // Fixed: the size
};

constexpr SizeRule kSizes[kMessageIdCount] = {
    {Shape::Fixed, 4},    {Shape::Fixed, 4},   {Shape::Fixed, 4},   {Shape::Fixed, 4},
    {Shape::Fixed, 264},  {Shape::Fixed, 172}, {Shape::Fixed, 44},  {Shape::Fixed, 260},
    {Shape::Fixed, 4},    {Shape::Fixed, 268}, {Shape::Fixed, 8},   {Shape::Fixed, 4},
    {Shape::Fixed, 4},    {Shape::Fixed, 4},   {Shape::Fixed, 4},   {Shape::Fixed, 4},
    {Shape::Fixed, 88},   {Shape::Fixed, 4},   {Shape::Fixed, 20},  {Shape::Fixed, 20},
    {Shape::Fixed, 24},   {Shape::DropRecords, 0}, {Shape::Fixed, 16}, {Shape::Fixed, 16},
    {Shape::Fixed, 16},   {Shape::Fixed, 16},  {Shape::Fixed, 12},  {Shape::PackedList, 0},
    {Shape::PackedList, 0}, {Shape::Fixed, 20}, {Shape::Fixed, 24}, {Shape::Fixed, 8},
    {Shape::Fixed, 4},    {Shape::PackedList, 0}, {Shape::DropRecords, 0}, {Shape::Fixed, 24},
    {Shape::Fixed, 12},   {Shape::Fixed, 4},   {Shape::Fixed, 4},   {Shape::PackedList, 0},
};

size_t packedMessageSize(size_t n) { return 16 + packedListBytes(n) + 2; }

// The text of a NUL-terminated field, or nothing when the NUL is missing.
std::optional<std::string> fieldText(const uint8_t* field, size_t size) {
    const void* end = std::memchr(field, 0, size);
    if (!end) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(field), size_t(static_cast<const uint8_t*>(end) - field));
}

void putText(uint8_t* field, size_t size, const std::string& text) {
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    field[n] = 0;
}

int32_t loadI32(const uint8_t* p) { return int32_t(loadU32(p)); }
void storeI32(uint8_t* p, int32_t v) { storeU32(p, uint32_t(v)); }

// A piece number of the puzzle, or "no piece" where that is allowed.
bool validPiece(uint32_t piece, const MessageLimits& limits, bool noneAllowed) {
    if (noneAllowed && piece == kNoPiece) return true;
    return piece < uint32_t(std::max(limits.pieceCount, 0));
}

}  // namespace

const char* messageName(uint32_t id) {
    if (id < sizeof(kNames) / sizeof(kNames[0])) return kNames[id];
    if (id == 42) return "LAST";
    return "UNKNOWN MESSAGE";
}

void setPackedEntry(std::span<uint8_t> list, size_t i, uint32_t piece) {
    const size_t at = (i / 2) * 3 + (i & 1);
    if (at + 2 > list.size()) return;
    uint16_t word = loadU16(list.data() + at);
    if (i & 1)
        word = uint16_t((word & 0x000F) | (piece & 0xFFF) << 4);
    else
        word = uint16_t((word & 0xF000) | (piece & 0xFFF));
    storeU16(list.data() + at, word);
}

uint32_t packedEntry(std::span<const uint8_t> list, size_t i) {
    const size_t at = (i / 2) * 3 + (i & 1);
    if (at + 2 > list.size()) return kNoPiece;
    const uint16_t word = loadU16(list.data() + at);
    return i & 1 ? uint32_t(word >> 4) : uint32_t(word & 0xFFF);
}

std::vector<uint8_t> packPieceList(std::span<const uint32_t> pieces) {
    // One byte more than the list needs, so that the last odd entry's word
    // lies inside; the caller's message keeps its 2 spare bytes after it.
    std::vector<uint8_t> out(packedListBytes(pieces.size()) + 1);
    for (size_t i = 0; i < pieces.size(); ++i) setPackedEntry(out, i, pieces[i]);
    out.resize(packedListBytes(pieces.size()));
    return out;
}

// ------------------------------------------------------------- NetOptions

uint32_t optionMaskOf(const NetOptions& o, bool rotatePieces) {
    // allowed[] runs boxes, Arrange, Solve, Nearby, Edges, Colour, Outline;
    // the mask puts rotated pieces at bit 6 and Puzzle Outline at bit 7.
    uint32_t mask = 0;
    for (int i = 0; i < 6; ++i) mask |= (o.allowed[size_t(i)] & 1) << i;
    mask |= uint32_t(rotatePieces) << 6;
    mask |= (o.allowed[6] & 1) << 7;
    return mask;
}

std::array<uint8_t, kNetOptionsSize> encodeNetOptions(const NetOptions& o) {
    std::array<uint8_t, kNetOptionsSize> b{};
    putText(b.data(), 128, o.sessionName);
    storeU32(b.data() + 128, o.maxPlayers);
    storeU32(b.data() + 132, o.gameType);
    for (size_t i = 0; i < o.allowed.size(); ++i) storeU32(b.data() + 136 + 4 * i, o.allowed[i]);
    storeU32(b.data() + 164, o.seed);
    return b;
}

std::optional<NetOptions> decodeNetOptions(std::span<const uint8_t, kNetOptionsSize> b, std::string& why) {
    NetOptions o;
    const std::optional<std::string> name = fieldText(b.data(), 128);
    if (!name) return why = "session name without its end", std::nullopt;
    o.sessionName = *name;
    o.maxPlayers = loadU32(b.data() + 128);
    o.gameType = loadU32(b.data() + 132);
    if (o.gameType > kGameTeamCompetitive) return why = "unknown game type", std::nullopt;
    for (size_t i = 0; i < o.allowed.size(); ++i) {
        o.allowed[i] = loadU32(b.data() + 136 + 4 * i);
        if (o.allowed[i] > 1) return why = "a permission that is neither 0 nor 1", std::nullopt;
    }
    o.seed = loadU32(b.data() + 164);
    return o;
}

// ----------------------------------------------------------------- encode

std::vector<uint8_t> encodeMessage(const GameMessage& m) {
    if (m.id >= kMessageIdCount) return {};
    const SizeRule rule = kSizes[m.id];
    const size_t listed = std::min(m.pieces.size(), size_t(kMaxMessageSize));
    const size_t records = std::min(m.drops.size(), size_t(kMaxDropRecords));
    size_t size = rule.size;
    if (rule.shape == Shape::PackedList) size = (m.id == kMsgSelectPieces && listed == 0) ? 20 : packedMessageSize(listed);
    if (rule.shape == Shape::DropRecords) size = 14 + 6 * records;
    std::vector<uint8_t> out(size + 1);  // one spare byte for the packed list's last word
    uint8_t* p = out.data();
    storeU32(p, makeHeader(m.id, m.token));
    switch (m.id) {
        case kMsgImageName:
            putText(p + 4, kPathField, m.text);
            storeU32(p + 260, m.fileSize);
            break;
        case kMsgNetOptions: {
            const auto o = encodeNetOptions(m.options);
            std::memcpy(p + 4, o.data(), o.size());
            break;
        }
        case kMsgGameData:
            for (int i = 0; i < kGameDataFields; ++i) storeU32(p + 4 + 4 * i, m.gameData[size_t(i)]);
            break;
        case kMsgChat: putText(p + 4, kChatField, m.text); break;
        case kMsgImageBlock: {
            const size_t n = std::min(m.data.size(), kImageBlockBytes);
            storeU32(p + 4, uint32_t(m.block));
            storeU32(p + 8, uint32_t(n));
            std::memcpy(p + 12, m.data.data(), n);
            break;
        }
        case kMsgRequestImageBlock: storeI32(p + 4, m.block); break;
        case kMsgSyncData: {
            const size_t n = std::min(m.sync.size(), size_t(kMaxSyncRecords));
            storeU32(p + 4, uint32_t(n));
            for (size_t i = 0; i < n; ++i) {
                uint8_t* r = p + 8 + 16 * i;
                storeU32(r, m.sync[i].pieceId);
                storeU32(r + 4, m.sync[i].holder);
                storeU16(r + 8, uint16_t(m.sync[i].x));
                storeU16(r + 10, uint16_t(m.sync[i].y));
                storeU32(r + 12, m.sync[i].placement);
            }
            break;
        }
        case kMsgMovePiece:
        case kMsgMoveSelected:
            storeU32(p + 4, m.player);
            storeU32(p + 8, m.piece);
            storeI32(p + 12, m.x);
            storeI32(p + 16, m.y);
            break;
        case kMsgDropPiece:
            storeU32(p + 4, m.player);
            storeU32(p + 8, makeReference(m.piece, m.rotation));
            storeI32(p + 12, m.x);
            storeI32(p + 16, m.y);
            storeI32(p + 20, m.code);
            break;
        case kMsgDropSelected:
        case kMsgOutOfSortingBox:
            storeU32(p + 4, m.player);
            storeU32(p + 8, uint32_t(records));
            for (size_t i = 0; i < records; ++i) {
                uint8_t* r = p + 12 + 6 * i;
                storeU16(r, uint16_t(makeReference(m.drops[i].piece, m.drops[i].rotation)));
                storeU16(r + 2, uint16_t(m.drops[i].x));
                storeU16(r + 4, uint16_t(m.drops[i].y));
            }
            break;
        case kMsgRequestPickup:
        case kMsgPickupPiece:
            storeU32(p + 4, m.player);
            storeU32(p + 8, m.piece);
            // A request's last word carries its serial (0: none); peers
            // that do not number their requests leave it 0.
            if (m.id == kMsgPickupPiece) storeI32(p + 12, m.code);
            else storeU32(p + 12, m.serial);
            break;
        case kMsgRequestRotate:
        case kMsgRequestRotateAck:
            storeU32(p + 8, m.piece);
            if (m.id == kMsgRequestRotateAck) storeI32(p + 12, m.code);
            else storeU32(p + 12, m.serial);
            break;
        case kMsgRotatePiece:
        case kMsgRotateInBox:
            storeU32(p + 4, m.piece);
            storeU32(p + 8, m.player);
            break;
        case kMsgRequestSelection:
        case kMsgSelectPieces:
        case kMsgIntoSortingBox:
        case kMsgSolveInBox:
            storeU32(p + 4, m.player);
            storeU32(p + 8, m.serial);
            storeU32(p + 12, uint32_t(listed));
            for (size_t i = 0; i < listed; ++i) setPackedEntry({p + 16, out.size() - 16}, i, m.pieces[i]);
            break;
        case kMsgUnselectPieces:
            storeU32(p + 4, m.player);
            storeU32(p + 8, m.serial);
            storeI32(p + 12, m.count);
            setPackedEntry({p + 16, out.size() - 16}, 0, m.pieces.empty() ? kNoPiece : m.pieces.front());
            break;
        case kMsgArrangePieces:
            storeU32(p + 4, m.player);
            storeI32(p + 8, m.left);
            storeI32(p + 12, m.top);
            storeI32(p + 16, m.right);
            storeI32(p + 20, m.bottom);
            break;
        case kMsgSolveSelected: storeU32(p + 4, m.player); break;
        case kMsgConnectInBox:
            storeU32(p + 4, m.player);
            storeU32(p + 8, m.piece);
            storeI32(p + 20, m.code);
            break;
        default: break;  // header only
    }
    out.resize(size);
    return out;
}

// ----------------------------------------------------------------- decode

std::optional<GameMessage> decodeMessage(std::span<const uint8_t> bytes, const MessageLimits& limits,
                                         std::string& why) {
    auto refuse = [&why](const char* reason) -> std::optional<GameMessage> {
        why = reason;
        return std::nullopt;
    };
    if (bytes.size() < 4 || bytes.size() > kMaxMessageSize) return refuse("size outside 4..4096");
    const uint8_t* p = bytes.data();
    const size_t size = bytes.size();
    GameMessage m;
    const uint32_t header = loadU32(p);
    m.id = headerId(header);
    m.token = headerToken(header);
    if (m.id == kMsgInvalid || m.id >= kMessageIdCount) return refuse("unknown message id");

    // The size table first: nothing is read before the size fits the id.
    const SizeRule rule = kSizes[m.id];
    switch (rule.shape) {
        case Shape::Fixed:
            if (size != rule.size) return refuse("size does not fit the message");
            break;
        case Shape::PackedList: {
            if (size < 16) return refuse("size does not fit the message");
            const uint32_t n = loadU32(p + 12);
            if (m.id == kMsgSelectPieces && n == 0) {
                if (size != 20) return refuse("size does not fit an empty reply");
                break;
            }
            if (n == 0 || n > 2 * kMaxMessageSize / 3) return refuse("piece count out of range");
            if (size != packedMessageSize(n)) return refuse("size does not fit the piece count");
            break;
        }
        case Shape::DropRecords: {
            if (size < 14) return refuse("size does not fit the message");
            const uint32_t n = loadU32(p + 8);
            if (n < 1 || n > uint32_t(kMaxDropRecords)) return refuse("record count outside 1..30");
            if (size != 14 + 6 * size_t(n)) return refuse("size does not fit the record count");
            break;
        }
    }

    auto piecesOf = [&](uint32_t n, bool noneAllowed) -> bool {
        const std::span<const uint8_t> list(p + 16, size - 16);
        m.pieces.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            m.pieces[i] = packedEntry(list, i);
            if (!validPiece(m.pieces[i], limits, noneAllowed)) return false;
        }
        return true;
    };

    switch (m.id) {
        case kMsgImageName: {
            const std::optional<std::string> path = fieldText(p + 4, kPathField);
            if (!path) return refuse("picture path without its end");
            m.text = *path;
            m.fileSize = loadU32(p + 260);
            break;
        }
        case kMsgNetOptions: {
            const std::optional<NetOptions> o =
                decodeNetOptions(std::span<const uint8_t, kNetOptionsSize>(p + 4, kNetOptionsSize), why);
            if (!o) return std::nullopt;
            m.options = *o;
            break;
        }
        case kMsgGameData:
            for (int i = 0; i < kGameDataFields; ++i) m.gameData[size_t(i)] = loadU32(p + 4 + 4 * i);
            break;
        case kMsgChat: {
            const std::optional<std::string> text = fieldText(p + 4, kChatField);
            if (!text) return refuse("chat text without its end");
            m.text = *text;
            break;
        }
        case kMsgImageBlock: {
            m.block = loadI32(p + 4);
            const uint32_t n = loadU32(p + 8);
            if (n < 1 || n > kImageBlockBytes) return refuse("block byte count outside 1..256");
            if (m.block < 0 || (limits.blockCount && uint32_t(m.block) >= *limits.blockCount))
                return refuse("block index outside the picture");
            m.data.assign(p + 12, p + 12 + n);
            break;
        }
        case kMsgRequestImageBlock:
            m.block = loadI32(p + 4);
            if (m.block < -1 || (limits.blockCount && m.block >= 0 && uint32_t(m.block) >= *limits.blockCount))
                return refuse("block index outside the picture");
            break;
        case kMsgSyncData: {
            const uint32_t n = loadU32(p + 4);
            if (n < 1 || n > uint32_t(kMaxSyncRecords)) return refuse("record count outside 1..5");
            for (uint32_t i = 0; i < n; ++i) {
                const uint8_t* r = p + 8 + 16 * i;
                HolderRecord h;
                h.pieceId = loadU32(r);
                h.holder = loadU32(r + 4);
                h.x = int16_t(loadU16(r + 8));
                h.y = int16_t(loadU16(r + 10));
                h.placement = loadU32(r + 12);
                // Checked record by record where they are applied: one bad
                // record must not cost the four good ones beside it.
                m.sync.push_back(h);
            }
            break;
        }
        case kMsgMovePiece:
        case kMsgMoveSelected:
            m.player = loadU32(p + 4);
            m.piece = loadU32(p + 8);
            m.x = loadI32(p + 12);
            m.y = loadI32(p + 16);
            if (!validPiece(m.piece, limits, false)) return refuse("piece number outside the puzzle");
            break;
        case kMsgDropPiece: {
            m.player = loadU32(p + 4);
            const uint32_t word = loadU32(p + 8);
            m.piece = referencePiece(word);
            m.rotation = referenceRotation(word);
            m.x = loadI32(p + 12);
            m.y = loadI32(p + 16);
            m.code = loadI32(p + 20);
            if (word > 0xFFFF || m.rotation > 3) return refuse("reference word out of range");
            if (!validPiece(m.piece, limits, false)) return refuse("piece number outside the puzzle");
            if (m.code < -2 || m.code >= std::max(limits.pieceCount, 0)) return refuse("join code out of range");
            break;
        }
        case kMsgDropSelected:
        case kMsgOutOfSortingBox: {
            m.player = loadU32(p + 4);
            const uint32_t n = loadU32(p + 8);
            for (uint32_t i = 0; i < n; ++i) {
                const uint8_t* r = p + 12 + 6 * i;
                const uint32_t word = loadU16(r);
                DropRecord d{referencePiece(word), referenceRotation(word), int16_t(loadU16(r + 2)),
                             int16_t(loadU16(r + 4))};
                if (d.rotation > 3) return refuse("rotation out of range");
                if (!validPiece(d.piece, limits, false)) return refuse("piece number outside the puzzle");
                m.drops.push_back(d);
            }
            break;
        }
        case kMsgRequestPickup:
        case kMsgPickupPiece:
            m.player = loadU32(p + 4);
            m.piece = loadU32(p + 8);
            if (m.id == kMsgPickupPiece) {
                m.code = loadI32(p + 12);
                if (m.code != 0 && m.code != 1) return refuse("granted is neither 0 nor 1");
            } else {
                m.serial = loadU32(p + 12);
            }
            if (!validPiece(m.piece, limits, false)) return refuse("piece number outside the puzzle");
            break;
        case kMsgRequestRotate:
        case kMsgRequestRotateAck:
            m.piece = loadU32(p + 8);
            if (m.id == kMsgRequestRotateAck) m.code = loadI32(p + 12);
            else m.serial = loadU32(p + 12);
            if (!validPiece(m.piece, limits, false)) return refuse("piece number outside the puzzle");
            break;
        case kMsgRotatePiece:
        case kMsgRotateInBox:
            m.piece = loadU32(p + 4);
            m.player = loadU32(p + 8);
            if (!validPiece(m.piece, limits, false)) return refuse("piece number outside the puzzle");
            break;
        case kMsgRequestSelection:
        case kMsgSelectPieces:
        case kMsgIntoSortingBox:
        case kMsgSolveInBox: {
            m.player = loadU32(p + 4);
            m.serial = loadU32(p + 8);
            const uint32_t n = loadU32(p + 12);
            // Requests may carry filtered entries ("no piece"); a reply lists granted pieces only.
            if (!piecesOf(n, m.id != kMsgSelectPieces)) return refuse("piece number outside the puzzle");
            break;
        }
        case kMsgUnselectPieces:
            m.player = loadU32(p + 4);
            m.serial = loadU32(p + 8);
            m.count = loadI32(p + 12);
            if (m.count != 1 && m.count != -1) return refuse("unselect count is neither 1 nor -1");
            if (m.count == 1) {
                m.pieces = {packedEntry({p + 16, size - 16}, 0)};
                if (!validPiece(m.pieces[0], limits, false)) return refuse("piece number outside the puzzle");
            }
            break;
        case kMsgArrangePieces:
            m.player = loadU32(p + 4);
            m.left = loadI32(p + 8);
            m.top = loadI32(p + 12);
            m.right = loadI32(p + 16);
            m.bottom = loadI32(p + 20);
            break;
        case kMsgSolveSelected: m.player = loadU32(p + 4); break;
        case kMsgConnectInBox:
            m.player = loadU32(p + 4);
            m.piece = loadU32(p + 8);
            m.code = loadI32(p + 20);
            if (!validPiece(m.piece, limits, false)) return refuse("piece number outside the puzzle");
            if (m.code < 0 || m.code >= std::max(limits.pieceCount, 0)) return refuse("group number out of range");
            break;
        default: break;  // header only
    }
    return m;
}

}  // namespace pavalo::net
