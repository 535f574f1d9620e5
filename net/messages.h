// The game's messages on the wire: their ids and names, the header word, the
// piece reference word, packed 12-bit piece lists, the session options
// record, and one encoder and one checked decoder driven by a size table.
// Everything here is plain bytes; the dispatcher that applies messages to
// the puzzle builds on it.
//
// Decoding never trusts a byte: a message whose size does not fit its id,
// whose counts are out of range, whose piece numbers are not pieces of the
// puzzle (or the "no piece" 4095 where that is allowed) or whose text has no
// terminating NUL inside its field is refused with a reason, never applied.
// SYNCDATA's records are the exception: their receiver skips each record
// that is out of range and keeps the others.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/tables.h"
#include "net/wire.h"

namespace pavalo::net {

enum MessageId : uint16_t {
    kMsgInvalid = 0,
    kMsgRequestImageName = 1,
    kMsgRequestNetOptions = 2,
    kMsgRequestGameData = 3,
    kMsgImageName = 4,
    kMsgNetOptions = 5,
    kMsgGameData = 6,
    kMsgChat = 7,
    kMsgBeginGame = 8,
    kMsgImageBlock = 9,
    kMsgRequestImageBlock = 10,
    kMsgFinishedReceivingImage = 11,
    kMsgFinishedSendingImage = 12,
    kMsgFinishedSendingImageAck = 13,
    kMsgFinishedReceivingImageAck = 14,
    kMsgRequestSync = 15,
    kMsgSyncData = 16,
    kMsgFinishedSync = 17,
    kMsgMovePiece = 18,
    kMsgMoveSelected = 19,
    kMsgDropPiece = 20,
    kMsgDropSelected = 21,
    kMsgRequestPickup = 22,
    kMsgPickupPiece = 23,
    kMsgRequestRotate = 24,
    kMsgRequestRotateAck = 25,
    kMsgRotatePiece = 26,
    kMsgRequestSelection = 27,
    kMsgSelectPieces = 28,
    kMsgUnselectPieces = 29,
    kMsgArrangePieces = 30,
    kMsgSolveSelected = 31,
    kMsgAck = 32,  // the acknowledged delivery's GUARANTEEDACK
    kMsgIntoSortingBox = 33,
    kMsgOutOfSortingBox = 34,
    kMsgConnectInBox = 35,
    kMsgRotateInBox = 36,
    kMsgNewHostAnnounce = 37,
    kMsgKickPlayer = 38,
    kMsgSolveInBox = 39,
};
inline constexpr uint16_t kMessageIdCount = 40;

// The message-name table: the name of an id, "UNKNOWN MESSAGE" for ids
// without one (38 and 39 included), "LAST" for 42.
const char* messageName(uint32_t id);

// The header word: bits 0-15 the id, 16-31 the delivery token.
inline uint16_t headerId(uint32_t header) { return uint16_t(header & 0xFFFF); }
inline uint16_t headerToken(uint32_t header) { return uint16_t(header >> 16); }
inline uint32_t makeHeader(uint16_t id, uint16_t token = 0) { return uint32_t(id) | uint32_t(token) << 16; }

// The piece reference word: bits 0-11 the piece (4095: none), 12-15 the
// group's rotation where the message carries one.
inline constexpr uint32_t kNoPiece = 4095;
inline uint32_t referencePiece(uint32_t word) { return word & 0xFFF; }
inline uint32_t referenceRotation(uint32_t word) { return (word >> 12) & 0xF; }
inline uint32_t makeReference(uint32_t piece, uint32_t rotation) { return (piece & 0xFFF) | (rotation & 0xF) << 12; }

// Packed piece lists: n 12-bit entries in ceil(3n / 2) bytes. Entry i lies
// in the 16-bit word at (i / 2) * 3: even entries in its low 12 bits, odd
// ones in the high 12 bits of the word one byte further. Writing an entry
// keeps the 4 bits it does not own.
inline size_t packedListBytes(size_t n) { return (3 * n + 1) / 2; }
void setPackedEntry(std::span<uint8_t> list, size_t i, uint32_t piece);
uint32_t packedEntry(std::span<const uint8_t> list, size_t i);
std::vector<uint8_t> packPieceList(std::span<const uint32_t> pieces);

// The session options as the host set them: the settings record's stretch
// from 1072 to 1239, 168 bytes.
struct NetOptions {
    std::string sessionName;  // at most 127 characters
    uint32_t maxPlayers = 0;
    uint32_t gameType = 0;  // 0 Cooperative, 1 Competitive, 2 Team Competitive
    std::array<uint32_t, 7> allowed{};  // boxes, Arrange, Solve, Nearby, Edges, Colour, Puzzle Outline
    uint32_t seed = 0;
    bool operator==(const NetOptions&) const = default;
};
inline constexpr size_t kNetOptionsSize = 168;
inline constexpr uint32_t kGameCooperative = 0, kGameCompetitive = 1, kGameTeamCompetitive = 2;
std::array<uint8_t, kNetOptionsSize> encodeNetOptions(const NetOptions& options);
// The session description's option mask: bit 0 sorting boxes, 1 Arrange, 2
// Solve, 3 Find Nearby Pieces, 4 Find Edges, 5 Find by Color, 6 rotated
// pieces, 7 Puzzle Outline.
uint32_t optionMaskOf(const NetOptions& options, bool rotatePieces);
// Refuses a name without its NUL, a game type above 2 and flags other than 0 or 1.
std::optional<NetOptions> decodeNetOptions(std::span<const uint8_t, kNetOptionsSize> bytes, std::string& why);

// One record of DROPSELECTED and OUTOFSORTINGBOX.
struct DropRecord {
    uint32_t piece = 0, rotation = 0;
    int16_t x = 0, y = 0;
    bool operator==(const DropRecord&) const = default;
};
inline constexpr int kMaxDropRecords = 30;
inline constexpr int kMaxSyncRecords = 5;
inline constexpr size_t kImageBlockBytes = 256;
inline constexpr size_t kPathField = 128;
inline constexpr size_t kChatField = 256;
inline constexpr int kGameDataFields = 10;

// A decoded message: the fields its id carries are set, the others stay
// zero. Piece numbers of lists keep 4095 for "no piece".
struct GameMessage {
    uint16_t id = 0;
    uint16_t token = 0;
    uint32_t player = 0;    // the DPID field of piece messages
    uint32_t piece = 0;     // MOVE*, DROPPIECE, PICKUP*, ROTATE*, CONNECTINBOX
    uint32_t rotation = 0;  // from DROPPIECE's reference word
    int32_t x = 0, y = 0;
    int32_t code = 0;  // DROPPIECE's join code, PICKUPPIECE's and ROTATE_ACK's granted, CONNECTINBOX's group
    uint32_t serial = 0;  // the request serial; REQUESTPICKUP and REQUESTROTATE carry it in their last word
    int32_t count = 0;  // UNSELECTPIECES' n (1 or -1)
    std::vector<uint32_t> pieces;      // packed lists
    std::vector<DropRecord> drops;     // DROPSELECTED, OUTOFSORTINGBOX
    std::vector<HolderRecord> sync;    // SYNCDATA
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // ARRANGEPIECES
    std::string text;                  // CHATMESSAGE, IMAGENAME's path
    uint32_t fileSize = 0;             // IMAGENAME
    int32_t block = 0;                 // IMAGEBLOCK's index, REQUESTIMAGEBLOCK's (-1: everything)
    std::vector<uint8_t> data;         // IMAGEBLOCK's bytes (1..256)
    NetOptions options;                // NETOPTIONS
    std::array<uint32_t, kGameDataFields> gameData{};  // GAMEDATA
};

// The bytes of a message; its size is the size table's for the id and the
// counts it holds. Counts and texts beyond their fields are cut to fit.
std::vector<uint8_t> encodeMessage(const GameMessage& message);

// What a decoder checks piece numbers and block indices against.
struct MessageLimits {
    int32_t pieceCount = 4000;  // pieces are 0..pieceCount-1 (4095 where "none" is allowed)
    std::optional<uint32_t> blockCount;  // blocks of the picture being received, when known
};

// Decodes one received message; nothing, with the reason, when it does not
// fit its id's size, counts, pieces or texts. Unknown ids are refused too.
std::optional<GameMessage> decodeMessage(std::span<const uint8_t> bytes, const MessageLimits& limits,
                                         std::string& why);

}  // namespace pavalo::net
