// The lobby client, the lobby's picture, options and puzzle.
#include "net/lobby_launch.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <span>
#include <vector>

#include "common/random.h"
#include "media/picture_probe.h"
#include "media/still_picture.h"
#include "net/picture_download.h"
#include "puzzle/cutter.h"
#include "puzzle/piece_count.h"
#include "puzzle/saved_puzzle.h"
#include "puzzle/settings_record.h"
#include "shell/data_folder.h"
#include "surface/draw_surface.h"

namespace pavalo::net {

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

uint32_t optionMaskOf(const NetOptions& o, bool rotatePieces) {
    // allowed[] runs boxes, Arrange, Solve, Nearby, Edges, Colour, Outline;
    // the mask puts rotated pieces at bit 6 and Puzzle Outline at bit 7.
    uint32_t mask = 0;
    for (int i = 0; i < 6; ++i) mask |= (o.allowed[size_t(i)] & 1) << i;
    mask |= uint32_t(rotatePieces) << 6;
    mask |= (o.allowed[6] & 1) << 7;
    return mask;
}

bool cutLobbyPuzzle(const std::string& picture, uint32_t pictureKind, uint32_t pieces, uint32_t seed, bool rotate,
                    const std::string& out, std::string& error) {
    // Loaded, not probed by name: a download's name says nothing of its kind.
    DrawSurface loaded;
    if (!loadStillPicture(loaded, picture, pictureKind == 1, 24)) {
        error = "cannot read the picture " + picture;
        return false;
    }
    const int32_t width = loaded.width(), height = loaded.height();
    const int32_t target = int32_t(std::min<uint32_t>(pieces, uint32_t(kMaxPuzzlePieces)));
    const Grid grid = PieceCountRules(width, height).gridForTarget(target);
    constexpr int32_t playWidth = 1920, playHeight = 1080;
    const CutRequest request{width, height, grid.columns, grid.rows, playWidth, playHeight, rotate};
    Random rng(seed);
    PuzzleModel model;
    std::vector<int32_t> order;
    if (!runCutSequence(request, rng, model, order, error)) return false;
    SettingsRecord record;
    record.pictureKind = pictureKind == 1 ? kPictureJpeg : kPictureBmp;
    resetForNewPuzzle(record, 0, picture, playWidth, width, height);
    record.rotationOption = rotate ? 1 : 0;
    return savePuzzleFile(out, record, model, error);
}

}  // namespace pavalo::net
