// Encoding and checked decoding of the lobby launch protocol.
#include "net/lobby_protocol.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/file_io.h"
#include "common/named_mutex.h"
#include "puzzle/piece_count.h"

namespace pavalo::net {
namespace {

constexpr size_t kRequestSize = 40;
constexpr size_t kResponseHead = 48;
constexpr size_t kQuerySize = 4;
constexpr size_t kReplyHead = 24;
constexpr size_t kPlayerRecord = 16;

void putGuid(ByteWriter& w, const Guid& g) { w.bytes(g); }

void getGuid(ByteReader& r, Guid& g) {
    auto b = r.bytes(g.size());
    if (b.size() == g.size()) std::copy(b.begin(), b.end(), g.begin());
}

std::vector<uint32_t> settingsValues(const LobbyGameSettings& s) {
    return {s.gameType,     s.sortingBoxes, s.arrange,       s.solve, s.findNearby,
            s.findEdges,    s.findByColour, s.puzzleOutline, s.seed,  s.pieces,
            s.rotatePieces};
}

void putSettings(ByteWriter& w, const LobbyGameSettings& s) {
    for (uint32_t v : settingsValues(s)) w.u32(v);
    const std::string_view text(s.picture.data(), std::min(s.picture.size(), kLobbyPictureField - 1));
    // A NUL inside the text would end it early on the other side.
    const size_t n = std::min(text.size(), text.find('\0'));
    w.bytes({reinterpret_cast<const uint8_t*>(text.data()), n});
    w.u8(0);
}

bool validFlag(uint32_t v) { return v == 0 || v == 1 || v == kLobbyUnset; }

bool getSettings(std::span<const uint8_t> data, LobbyGameSettings& s, std::string& why) {
    if (data.size() < kLobbySettingsHead + 1) {
        why = "the game settings are " + std::to_string(data.size()) + " bytes, fewer than 45";
        return false;
    }
    ByteReader r(data);
    s.gameType = r.u32();
    s.sortingBoxes = r.u32();
    s.arrange = r.u32();
    s.solve = r.u32();
    s.findNearby = r.u32();
    s.findEdges = r.u32();
    s.findByColour = r.u32();
    s.puzzleOutline = r.u32();
    s.seed = r.u32();
    s.pieces = r.u32();
    s.rotatePieces = r.u32();
    if (s.gameType > 2 && s.gameType != kLobbyUnset) {
        why = "game type " + std::to_string(s.gameType) + " is not 0, 1 or 2";
        return false;
    }
    if (s.pieces != kLobbyUnset && (s.pieces < 2 || s.pieces > uint32_t(kMaxPuzzlePieces))) {
        why = "the game settings ask for " + std::to_string(s.pieces) + " pieces, not 2 to " +
              std::to_string(kMaxPuzzlePieces);
        return false;
    }
    for (uint32_t v : {s.sortingBoxes, s.arrange, s.solve, s.findNearby, s.findEdges, s.findByColour, s.puzzleOutline,
                       s.rotatePieces})
        if (!validFlag(v)) {
            why = "an option of the game settings is " + std::to_string(v) + ", not 0 or 1";
            return false;
        }
    const auto text = data.subspan(kLobbySettingsHead);
    const auto end = std::find(text.begin(), text.end(), uint8_t(0));
    if (end == text.end()) {
        why = "the picture reference has no end";
        return false;
    }
    const size_t length = size_t(end - text.begin());
    if (length >= kLobbyPictureField) {
        why = "the picture reference is longer than 259 characters";
        return false;
    }
    if (length + 1 != text.size()) {
        why = "bytes follow the picture reference";
        return false;
    }
    s.picture.assign(reinterpret_cast<const char*>(text.data()), length);
    return true;
}

bool exactSize(std::span<const uint8_t> bytes, size_t size, const char* what, std::string& why) {
    if (bytes.size() == size) return true;
    why = std::string(what) + " is " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(size);
    return false;
}

}  // namespace

Guid lobbySettingsTag() {
    return {0x62, 0x85, 0xE0, 0xDB, 0xA6, 0x83, 0xD2, 0x11, 0xB2, 0xD7, 0x00, 0xC0, 0xF0, 0x1A, 0x2B, 0x03};
}

bool LobbyGameSettings::complete() const {
    for (uint32_t v : {gameType, sortingBoxes, arrange, solve, findNearby, findEdges, findByColour, puzzleOutline})
        if (v == kLobbyUnset) return false;
    return true;
}

LobbyMessage lobbyPropertyRequest(uint32_t requestId) {
    LobbyMessage m;
    m.type = kLobbyPropertyRequest;
    m.requestId = requestId;
    m.tag = lobbySettingsTag();
    return m;
}

LobbyMessage lobbyPropertyResponse(uint32_t requestId, std::optional<LobbyGameSettings> settings, uint32_t result) {
    LobbyMessage m;
    m.type = kLobbyPropertyResponse;
    m.requestId = requestId;
    m.tag = lobbySettingsTag();
    // A response without settings must not read as a success.
    m.result = settings ? 0 : (result != 0 ? result : 0x80004005);
    m.settings = std::move(settings);
    return m;
}

LobbyMessage lobbyStatusQuery() {
    LobbyMessage m;
    m.type = kLobbyStatusQuery;
    return m;
}

LobbyMessage lobbyStatusReply(LobbyStatus status) {
    LobbyMessage m;
    m.type = kLobbyStatusReply;
    m.status = std::move(status);
    return m;
}

LobbyStatus lobbyStatusOf(uint32_t gameType, uint32_t pieces, uint32_t finishedPieces, const PlayerTable& players,
                          const std::function<PlayerDataBytes(uint32_t dpid)>& dataOf) {
    LobbyStatus st;
    st.gameType = gameType;
    st.pieces = pieces;
    st.finishedPieces = finishedPieces;
    for (int slot = 0; slot < kPlayerSlots; ++slot)
        if (players.inUse[slot] & 1) st.players.push_back(dataOf(players.dpid[slot]));
    return st;
}

std::array<uint32_t, 3> lobbyCountsOf(const PuzzleModel& model, uint32_t gameType) {
    NamedLock lock(NamedMutex::PIECE);
    uint32_t finished = 0;
    for (int32_t p = 0; p < model.pieceCount(); ++p) finished += model.listOfPiece(p) == ListId::Finished;
    return {gameType, uint32_t(model.pieceCount()), finished};
}

std::vector<uint8_t> encodeLobbyMessage(const LobbyMessage& m) {
    ByteWriter w;
    w.u32(m.type);
    switch (m.type) {
    case kLobbyPropertyRequest:
        w.u32(m.requestId);
        putGuid(w, m.player);
        putGuid(w, m.tag);
        break;
    case kLobbyPropertyResponse: {
        w.u32(m.requestId);
        putGuid(w, m.player);
        putGuid(w, m.tag);
        // Settings travel only with success, and success always carries them.
        const bool withSettings = m.result == 0;
        w.u32(m.result);
        ByteWriter data;
        if (withSettings) putSettings(data, m.settings.value_or(LobbyGameSettings{}));
        w.u32(uint32_t(data.buffer().size()));
        w.bytes(data.buffer());
        break;
    }
    case kLobbyStatusReply: {
        const size_t n = std::min<size_t>(m.status.players.size(), kLobbyMaxPlayers);
        w.u32(uint32_t(kReplyHead + kPlayerRecord * n));
        w.u32(m.status.gameType);
        w.u32(m.status.pieces);
        w.u32(m.status.finishedPieces);
        w.u32(uint32_t(n));
        for (size_t i = 0; i < n; ++i) w.bytes(m.status.players[i]);
        break;
    }
    default:  // the status query and anything unknown: the type alone
        break;
    }
    return std::move(w.buffer());
}

std::optional<LobbyMessage> decodeLobbyMessage(std::span<const uint8_t> bytes, std::string& why) {
    if (bytes.size() < 4) {
        why = "a lobby message of " + std::to_string(bytes.size()) + " bytes has no type";
        return std::nullopt;
    }
    ByteReader r(bytes);
    LobbyMessage m;
    m.type = r.u32();
    switch (m.type) {
    case kLobbyPropertyRequest:
        if (!exactSize(bytes, kRequestSize, "a property request", why)) return std::nullopt;
        m.requestId = r.u32();
        getGuid(r, m.player);
        getGuid(r, m.tag);
        return m;
    case kLobbyPropertyResponse: {
        if (bytes.size() < kResponseHead) {
            why = "a property response of " + std::to_string(bytes.size()) + " bytes is shorter than 48";
            return std::nullopt;
        }
        m.requestId = r.u32();
        getGuid(r, m.player);
        getGuid(r, m.tag);
        m.result = r.u32();
        const uint32_t dataSize = r.u32();
        if (dataSize != bytes.size() - kResponseHead) {
            why = "a property response says " + std::to_string(dataSize) + " bytes of data but holds " +
                  std::to_string(bytes.size() - kResponseHead);
            return std::nullopt;
        }
        if (m.result != 0) {
            if (dataSize != 0) {
                why = "a failed property response carries data";
                return std::nullopt;
            }
            return m;
        }
        LobbyGameSettings s;
        if (!getSettings(bytes.subspan(kResponseHead), s, why)) return std::nullopt;
        m.settings = std::move(s);
        return m;
    }
    case kLobbyStatusQuery:
        if (!exactSize(bytes, kQuerySize, "a status query", why)) return std::nullopt;
        return m;
    case kLobbyStatusReply: {
        if (bytes.size() < kReplyHead) {
            why = "a status reply of " + std::to_string(bytes.size()) + " bytes is shorter than 24";
            return std::nullopt;
        }
        const uint32_t total = r.u32();
        m.status.gameType = r.u32();
        m.status.pieces = r.u32();
        m.status.finishedPieces = r.u32();
        const uint32_t players = r.u32();
        if (players > kLobbyMaxPlayers) {
            why = "a status reply lists " + std::to_string(players) + " players, more than 16";
            return std::nullopt;
        }
        const size_t expected = kReplyHead + kPlayerRecord * players;
        if (total != bytes.size() || total != expected) {
            why = "a status reply of " + std::to_string(bytes.size()) + " bytes says " + std::to_string(total) +
                  " for " + std::to_string(players) + " players (" + std::to_string(expected) + ")";
            return std::nullopt;
        }
        if (m.status.gameType > 2) {
            why = "a status reply's game type " + std::to_string(m.status.gameType) + " is not 0, 1 or 2";
            return std::nullopt;
        }
        if (m.status.pieces > uint32_t(kMaxPuzzlePieces) || m.status.finishedPieces > m.status.pieces) {
            why = "a status reply counts " + std::to_string(m.status.finishedPieces) + " finished of " +
                  std::to_string(m.status.pieces) + " pieces";
            return std::nullopt;
        }
        m.status.players.resize(players);
        for (auto& p : m.status.players) {
            auto b = r.bytes(kPlayerRecord);
            std::copy(b.begin(), b.end(), p.begin());
        }
        return m;
    }
    default:
        why = "unknown lobby message type " + std::to_string(m.type);
        return std::nullopt;
    }
}

std::vector<uint8_t> encodeLobbyFrame(const LobbyMessage& message) {
    const std::vector<uint8_t> body = encodeLobbyMessage(message);
    ByteWriter w;
    w.u32(uint32_t(body.size()));
    w.bytes(body);
    return std::move(w.buffer());
}

void LobbyFrameReader::feed(std::span<const uint8_t> bytes) {
    if (failed()) return;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

LobbyFrameReader::Next LobbyFrameReader::next(LobbyMessage& out, std::string& why) {
    if (failed()) {
        why = error_;
        return Next::Error;
    }
    if (buffer_.size() < 4) return Next::NeedMore;
    uint8_t head[4];
    std::copy_n(buffer_.begin(), 4, head);
    const uint32_t length = loadU32(head);
    if (length < 4 || length > kLobbyMaxFrame) {
        error_ = "the lobby sent a frame of " + std::to_string(length) + " bytes (allowed: 4 to " +
                 std::to_string(kLobbyMaxFrame) + ")";
        buffer_.clear();
        why = error_;
        return Next::Error;
    }
    if (buffer_.size() - 4 < length) return Next::NeedMore;
    std::vector<uint8_t> body(buffer_.begin() + 4, buffer_.begin() + 4 + length);
    buffer_.erase(buffer_.begin(), buffer_.begin() + 4 + length);
    std::string reason;
    auto message = decodeLobbyMessage(body, reason);
    if (!message) {
        error_ = "the lobby sent a message that is not understood: " + reason;
        buffer_.clear();
        why = error_;
        return Next::Error;
    }
    out = std::move(*message);
    return Next::Message;
}

std::optional<LobbyAddress> parseLobbyAddress(std::string_view text, std::string& why) {
    LobbyAddress a;
    std::string_view port;
    if (text.starts_with('[')) {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            why = "--lobby wants [IPv6 address]:PORT, not \"" + std::string(text) + "\"";
            return std::nullopt;
        }
        a.host = std::string(text.substr(1, close - 1));
        port = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string_view::npos) {
            why = "--lobby wants HOST:PORT, not \"" + std::string(text) + "\"";
            return std::nullopt;
        }
        a.host = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
    }
    const bool hostOk = !a.host.empty() && std::none_of(a.host.begin(), a.host.end(), [&](unsigned char c) {
        return std::isspace(c) || c < 0x21 || c == '[' || c == ']' || (!text.starts_with('[') && c == ':');
    });
    if (!hostOk) {
        why = "--lobby names no usable host in \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    uint32_t value = 0;
    const bool digits = !port.empty() && port.size() <= 5 &&
                        std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); });
    if (digits)
        for (char c : port) value = value * 10 + uint32_t(c - '0');
    if (!digits || value == 0 || value > 65535) {
        why = "--lobby port \"" + std::string(port) + "\" is not a number from 1 to 65535";
        return std::nullopt;
    }
    a.port = uint16_t(value);
    return a;
}

}  // namespace pavalo::net
