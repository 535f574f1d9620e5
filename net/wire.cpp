// Encoding and checked decoding of the session layer's frames.
#include "net/wire.h"

#include "common/file_io.h"

namespace pavalo::net {

namespace {

void putName(ByteWriter& w, const std::string& name) {
    size_t n = name.size() < kMaxNameLength ? name.size() : kMaxNameLength;
    w.u8(uint8_t(n));
    w.bytes({reinterpret_cast<const uint8_t*>(name.data()), n});
}

bool getName(ByteReader& r, std::string& out) {
    uint8_t n = r.u8();
    if (!r.ok() || n > kMaxNameLength) return false;
    auto b = r.bytes(n);
    if (!r.ok()) return false;
    out.assign(reinterpret_cast<const char*>(b.data()), b.size());
    return true;
}

template <size_t N>
void putArray(ByteWriter& w, const std::array<uint8_t, N>& a) {
    w.bytes(a);
}

template <size_t N>
bool getArray(ByteReader& r, std::array<uint8_t, N>& a) {
    auto b = r.bytes(N);
    if (!r.ok()) return false;
    std::copy(b.begin(), b.end(), a.begin());
    return true;
}

void putDesc(ByteWriter& w, const SessionDesc& d) {
    w.u32(d.flags);
    w.u32(d.maxPlayers);
    w.u32(d.currentPlayers);
    putArray(w, d.application);
    putArray(w, d.instance);
    w.u32(d.user1);
    w.u32(d.user2);
    w.u32(d.user3);
    putName(w, d.name);
}

bool getDesc(ByteReader& r, SessionDesc& d) {
    d.flags = r.u32();
    d.maxPlayers = r.u32();
    d.currentPlayers = r.u32();
    if (!getArray(r, d.application) || !getArray(r, d.instance)) return false;
    d.user1 = r.u32();
    d.user2 = r.u32();
    d.user3 = r.u32();
    return getName(r, d.name);
}

void putPlayer(ByteWriter& w, const PlayerRecord& p) {
    w.u32(p.id);
    w.u32(p.flags);
    w.u32(p.address);
    w.u16(p.port);
    putName(w, p.name);
    putArray(w, p.data);
}

bool getPlayer(ByteReader& r, PlayerRecord& p) {
    p.id = r.u32();
    p.flags = r.u32();
    p.address = r.u32();
    p.port = r.u16();
    if (!getName(r, p.name) || !getArray(r, p.data)) return false;
    // Ids 0 and 1 are never ordinary players; only the server player carries 1.
    if (p.id == kAllPlayers) return false;
    if ((p.id == kServerPlayer) != ((p.flags & kPlayerServer) != 0)) return false;
    return true;
}

std::vector<uint8_t> finish(ByteWriter& w) { return std::move(w.buffer()); }

ByteWriter start(FrameType t) {
    ByteWriter w;
    w.u8(uint8_t(t));
    return w;
}

}  // namespace

Guid gameApplicationGuid() {
    // {A229810A-EA4F-11D1-B2D7-00C0F01A2B03} in its usual byte layout.
    return {0x0A, 0x81, 0x29, 0xA2, 0x4F, 0xEA, 0xD1, 0x11,
            0xB2, 0xD7, 0x00, 0xC0, 0xF0, 0x1A, 0x2B, 0x03};
}

std::vector<uint8_t> encodeJoin(const Guid& app, uint16_t listenPort, const std::string& name,
                                const PlayerDataBytes& data) {
    ByteWriter w = start(FrameType::Join);
    putArray(w, app);
    w.u16(listenPort);
    putName(w, name);
    putArray(w, data);
    return finish(w);
}

std::vector<uint8_t> encodeJoinAccept(uint32_t yourId, const SessionDesc& desc, uint32_t nextId,
                                      const std::vector<PlayerRecord>& players) {
    ByteWriter w = start(FrameType::JoinAccept);
    w.u32(yourId);
    putDesc(w, desc);
    w.u32(nextId);
    w.u8(uint8_t(players.size()));
    for (const auto& p : players) putPlayer(w, p);
    return finish(w);
}

std::vector<uint8_t> encodeJoinRefused(RefuseReason reason) {
    ByteWriter w = start(FrameType::JoinRefused);
    w.u8(uint8_t(reason));
    return finish(w);
}

std::vector<uint8_t> encodePlayerCreated(const PlayerRecord& p, uint32_t nextId) {
    ByteWriter w = start(FrameType::PlayerCreated);
    putPlayer(w, p);
    w.u32(nextId);
    return finish(w);
}

std::vector<uint8_t> encodePlayerDestroyed(uint32_t id) {
    ByteWriter w = start(FrameType::PlayerDestroyed);
    w.u32(id);
    return finish(w);
}

std::vector<uint8_t> encodePlayerData(uint32_t id, const PlayerDataBytes& data) {
    ByteWriter w = start(FrameType::PlayerData);
    w.u32(id);
    putArray(w, data);
    return finish(w);
}

std::vector<uint8_t> encodeSessionDesc(const SessionDesc& desc) {
    ByteWriter w = start(FrameType::SessionDescChanged);
    putDesc(w, desc);
    return finish(w);
}

std::vector<uint8_t> encodeApp(uint32_t from, uint32_t to, std::span<const uint8_t> message) {
    ByteWriter w = start(FrameType::App);
    w.u32(from);
    w.u32(to);
    w.bytes(message);
    return finish(w);
}

std::vector<uint8_t> encodeRejoin(const Guid& app, const Guid& instance, uint32_t id,
                                  uint16_t listenPort) {
    ByteWriter w = start(FrameType::Rejoin);
    putArray(w, app);
    putArray(w, instance);
    w.u32(id);
    w.u16(listenPort);
    return finish(w);
}

std::vector<uint8_t> encodeDiscover(const Guid& app) {
    ByteWriter w = start(FrameType::Discover);
    putArray(w, app);
    return finish(w);
}

std::vector<uint8_t> encodeDiscoveryReply(uint16_t sessionPort, const SessionDesc& desc) {
    ByteWriter w = start(FrameType::DiscoveryReply);
    w.u16(sessionPort);
    putDesc(w, desc);
    return finish(w);
}

std::vector<uint8_t> encodeFrame(const Frame& f) {
    switch (f.type) {
        case FrameType::Join: return encodeJoin(f.application, f.port, f.name, f.data);
        case FrameType::JoinAccept: return encodeJoinAccept(f.playerId, f.desc, f.nextId, f.players);
        case FrameType::JoinRefused: return encodeJoinRefused(f.reason);
        case FrameType::PlayerCreated:
            return encodePlayerCreated(f.players.empty() ? PlayerRecord{} : f.players[0], f.nextId);
        case FrameType::PlayerDestroyed: return encodePlayerDestroyed(f.playerId);
        case FrameType::PlayerData: return encodePlayerData(f.playerId, f.data);
        case FrameType::SessionDescChanged: return encodeSessionDesc(f.desc);
        case FrameType::App: return encodeApp(f.from, f.to, f.payload);
        case FrameType::Rejoin: return encodeRejoin(f.application, f.instance, f.playerId, f.port);
        case FrameType::Discover: return encodeDiscover(f.application);
        case FrameType::DiscoveryReply: return encodeDiscoveryReply(f.port, f.desc);
    }
    return {};
}

bool decodeFrame(std::span<const uint8_t> bytes, Frame& out, std::string& error) {
    out = Frame{};
    if (bytes.empty()) {
        error = "empty frame";
        return false;
    }
    ByteReader r(bytes);
    uint8_t type = r.u8();
    bool ok = true;
    switch (FrameType(type)) {
        case FrameType::Join:
            ok = getArray(r, out.application);
            out.port = r.u16();
            ok = ok && getName(r, out.name) && getArray(r, out.data);
            break;
        case FrameType::JoinAccept: {
            out.playerId = r.u32();
            ok = getDesc(r, out.desc);
            out.nextId = r.u32();
            uint8_t n = r.u8();
            if (!ok || !r.ok() || n > kMaxPlayersInFrame) {
                error = "bad player list";
                return false;
            }
            out.players.resize(n);
            for (auto& p : out.players) ok = ok && getPlayer(r, p);
            break;
        }
        case FrameType::JoinRefused: {
            uint8_t reason = r.u8();
            ok = reason >= 1 && reason <= 4;
            out.reason = RefuseReason(reason);
            break;
        }
        case FrameType::PlayerCreated:
            out.players.resize(1);
            ok = getPlayer(r, out.players[0]);
            out.nextId = r.u32();
            break;
        case FrameType::PlayerDestroyed:
            out.playerId = r.u32();
            break;
        case FrameType::PlayerData:
            out.playerId = r.u32();
            ok = getArray(r, out.data);
            break;
        case FrameType::SessionDescChanged:
            ok = getDesc(r, out.desc);
            break;
        case FrameType::App: {
            out.from = r.u32();
            out.to = r.u32();
            size_t n = r.remaining();
            if (!r.ok() || n < kMinMessageSize || n > kMaxMessageSize) {
                error = "game message outside 4..4096 bytes";
                return false;
            }
            auto b = r.bytes(n);
            out.payload.assign(b.begin(), b.end());
            break;
        }
        case FrameType::Rejoin:
            ok = getArray(r, out.application) && getArray(r, out.instance);
            out.playerId = r.u32();
            out.port = r.u16();
            break;
        case FrameType::Discover:
            ok = getArray(r, out.application);
            break;
        case FrameType::DiscoveryReply:
            out.port = r.u16();
            ok = getDesc(r, out.desc);
            break;
        default:
            error = "unknown frame type " + std::to_string(type);
            return false;
    }
    out.type = FrameType(type);
    if (!ok || !r.ok()) {
        error = "truncated or malformed frame";
        return false;
    }
    if (r.remaining() != 0) {
        error = "trailing bytes after frame";
        return false;
    }
    return true;
}

}  // namespace pavalo::net
