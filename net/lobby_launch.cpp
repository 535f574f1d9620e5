// The lobby client, the lobby's picture, options and puzzle.
#include "net/lobby_launch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <span>
#include <vector>

#include "media/picture_probe.h"
#include "net/headless_setup.h"
#include "net/picture_download.h"
#include "puzzle/piece_count.h"
#include "puzzle/settings_record.h"
#include "shell/data_folder.h"

namespace pavalo::net {

bool parseJoinAddress(const std::string& text, std::string& address, uint16_t& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
    const unsigned long p = std::stoul(digits);
    if (p == 0 || p > 65535) return false;
    address = text.substr(0, colon);
    port = uint16_t(p);
    return true;
}

std::unique_ptr<LobbyClient> LobbyClient::connect(const LobbyAddress& address, int timeoutMs, std::string& why) {
    auto connection = LobbyConnection::connect(address, timeoutMs, why);
    if (!connection) return nullptr;
    return std::make_unique<LobbyClient>(std::move(connection));
}

LobbyClient::LobbyClient(std::unique_ptr<LobbyConnection> connection) : connection_(std::move(connection)) {}

void LobbyClient::fail(const std::string& why) {
    if (failed_.exchange(true)) return;
    failure_ = why;
}

std::string LobbyClient::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

std::optional<LobbyGameSettings> LobbyClient::requestSettings(int timeoutMs, std::string& why) {
    std::lock_guard lock(mutex_);
    if (failed_) {
        why = failure_;
        return std::nullopt;
    }
    if (!connection_->send(lobbyPropertyRequest(0), why)) {
        fail(why);
        return std::nullopt;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            why = "the lobby did not send the game settings within " + std::to_string(timeoutMs / 1000) + " seconds";
            return std::nullopt;
        }
        LobbyMessage m;
        switch (connection_->receive(m, int(left), why)) {
        case LobbyConnection::Received::Timeout:
            continue;
        case LobbyConnection::Received::Closed:
        case LobbyConnection::Received::Error:
            fail(why);
            return std::nullopt;
        case LobbyConnection::Received::Message:
            break;
        }
        if (m.type != kLobbyPropertyResponse || m.requestId != 0 || m.tag != lobbySettingsTag()) continue;
        if (m.result != 0 || !m.settings) {
            why = "the lobby answered the settings request with result " + std::to_string(m.result);
            return std::nullopt;
        }
        return m.settings;
    }
}

bool LobbyClient::receive(std::vector<uint8_t>& message, bool& system) {
    std::lock_guard lock(mutex_);
    if (failed_) return false;
    LobbyMessage m;
    std::string why;
    switch (connection_->receive(m, 0, why)) {
    case LobbyConnection::Received::Message:
        message = encodeLobbyMessage(m);
        system = false;
        return true;
    case LobbyConnection::Received::Timeout:
        return false;
    case LobbyConnection::Received::Closed:
    case LobbyConnection::Received::Error:
        fail(why);
        return false;
    }
    return false;
}

void LobbyClient::send(std::span<const uint8_t> message) {
    std::lock_guard lock(mutex_);
    if (failed_) return;
    std::string why;
    // Only whole messages of the protocol leave: the decoder checks what the
    // game built before the lobby has to.
    const std::optional<LobbyMessage> m = decodeLobbyMessage(message, why);
    if (!m) {
        fail("a lobby message of the game was refused: " + why);
        return;
    }
    if (!connection_->send(*m, why)) fail(why);
}

LobbyPicture resolveLobbyPicture(const std::string& reference, const std::string& dataFolder,
                                 const std::function<bool(const std::string&)>& show, HttpLimits limits) {
    LobbyPicture result;
    if (isHttpReference(reference)) {
        const DownloadedPicture d = downloadPicture(reference, dataFolder, show, limits);
        result.ok = d.ok;
        result.cancelled = d.cancelled;
        result.path = d.path;
        result.pictureKind = d.pictureKind;
        result.message = d.message;
        result.detail = d.detail;
        return result;
    }
    auto isFile = [](const std::string& path) {
        struct stat st{};
        return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    std::string path;
    if (isFile(reference)) path = reference;
    else if (!reference.empty() && isFile(joinPath(dataFolder, reference))) path = joinPath(dataFolder, reference);
    // The kind from the first bytes, as for a download: a name need not say it.
    std::vector<uint8_t> head(64);
    size_t got = 0;
    if (FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb")) {
        got = std::fread(head.data(), 1, head.size(), f);
        std::fclose(f);
    }
    const uint32_t kind = pictureKindOfBytes(std::span<const uint8_t>(head.data(), got));
    if (!(kind & (kProbeBmp | kProbeJpeg | kProbePng | kProbeWebp))) {
        result.message = kLobbyPictureNotFound;
        result.detail = reference.empty() ? "The lobby named no picture." : reference;
        return result;
    }
    result.ok = true;
    result.path = path;
    result.pictureKind = kind == kProbeBmp ? 0 : 1;
    return result;
}

NetOptions lobbyNetOptions(const LobbyGameSettings& s, NetOptions choices) {
    auto take = [](uint32_t lobbyValue, uint32_t& choice) {
        if (lobbyValue != kLobbyUnset) choice = lobbyValue;
    };
    take(s.gameType, choices.gameType);
    take(s.sortingBoxes, choices.allowed[0]);
    take(s.arrange, choices.allowed[1]);
    take(s.solve, choices.allowed[2]);
    take(s.findNearby, choices.allowed[3]);
    take(s.findEdges, choices.allowed[4]);
    take(s.findByColour, choices.allowed[5]);
    take(s.puzzleOutline, choices.allowed[6]);
    take(s.seed, choices.seed);
    return choices;
}

PieceCountChoice lobbyPieceCount(const PieceCountRules& rules, uint32_t pieces, bool rotate) {
    PieceCountChoice choice;
    choice.grid = rules.gridForTarget(int32_t(std::min<uint32_t>(pieces, uint32_t(kMaxPuzzlePieces))));
    choice.rotate = rotate;
    choice.sliderCount = choice.grid.pieces();
    return choice;
}

std::optional<NetPuzzle> lobbyPuzzle(const LobbyPicture& picture, const LobbyGameSettings& settings, bool rotate,
                                     std::string& message) {
    int32_t width = 0, height = 0;
    if (!lookAtPicture(picture.path, width, height, message)) return std::nullopt;
    const uint32_t pieces = settings.pieces != kLobbyUnset ? settings.pieces : kLobbyDefaultPieces;
    const PieceCountChoice count = lobbyPieceCount(PieceCountRules(width, height), pieces, rotate);
    NetPuzzle p;
    p.pictureKind = picture.pictureKind == 1 ? kPictureJpeg : kPictureBmp;
    p.puzzleState = kPuzzleStateNew;
    p.rotation = count.rotate ? 1 : 0;
    p.columns = count.grid.columns;
    p.rows = count.grid.rows;
    p.pictureWidth = width;
    p.pictureHeight = height;
    std::string why;
    if (!NetPuzzle::fromGameData(p.toGameData(), why)) {
        message = "The picture cannot be cut into that many pieces: " + why;
        return std::nullopt;
    }
    return p;
}

}  // namespace pavalo::net
