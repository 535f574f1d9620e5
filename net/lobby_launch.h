// The game's side of a lobby launch: the connection to the lobby program,
// the request for the game settings, the picture the lobby names (fetched
// over HTTP or looked up by name), the session options the settings
// override, and the puzzle every machine of the game cuts from them.
//
// Threads: requestSettings() runs on the start-up thread before the session
// opens; afterwards the session's server thread reads and answers through
// the LobbyLink side. One mutex guards the connection, so the two never
// overlap. A lobby that sends something that is not a message, or that goes
// away, turns the client "failed" with a reason; nothing is thrown.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/game_setup.h"
#include "net/http_downloader.h"
#include "net/lobby_connection.h"
#include "net/lobby_protocol.h"
#include "net/messages.h"
#include "net/net_layer.h"

namespace pavalo::net {

inline constexpr int kLobbySettingsWaitMs = 5000;
inline constexpr int kLobbyConnectWaitMs = 5000;
// What a headless host cuts when the lobby leaves the piece count open.
inline constexpr uint32_t kLobbyDefaultPieces = 48;

inline constexpr const char* kGettingLobbySettings = "Getting game settings from the lobby";
inline constexpr const char* kLobbyPictureNotFound = "Unable to find the image specified by the lobby server";

// The connection settings a lobby gives the program it starts, on its
// command line: host or join, the session name or the host's address, the
// player's name and, in a Team Competitive game, the player's team.
struct LobbyRole {
    LobbyAddress lobby;
    bool host = true;
    std::string sessionName = "Lobby Game";
    std::string joinAddress;
    uint16_t joinPort = 0;
    std::string playerName = "Player";
    uint32_t team = 0;
};

// `--join ADDRESS:PORT`: the host's session address and a port 1..65535.
bool parseJoinAddress(const std::string& text, std::string& address, uint16_t& port);

inline constexpr const char* kLobbyConnectFailed = "WaitForConnectionSettings failed";
inline constexpr const char* kLobbyMessagesFailed = "Error collecting DPLobby messages";

class LobbyClient final : public LobbyLink {
public:
    // Nothing, with the reason, when the lobby cannot be reached in time.
    static std::unique_ptr<LobbyClient> connect(const LobbyAddress& address, int timeoutMs, std::string& why);
    explicit LobbyClient(std::unique_ptr<LobbyConnection> connection);

    // Sends the property request (type 7, request id 0, the settings tag)
    // and waits up to timeoutMs for the response with the same id and tag;
    // other messages meanwhile are passed by. Nothing, with the reason, when
    // the lobby answered without settings, did not answer in time, or failed
    // (then failed() is true too).
    std::optional<LobbyGameSettings> requestSettings(int timeoutMs, std::string& why);

    // LobbyLink: the next message already received, without waiting.
    bool receive(std::vector<uint8_t>& message, bool& system) override;
    // LobbyLink: sends an encoded message (a status reply).
    void send(std::span<const uint8_t> message) override;

    bool failed() const { return failed_.load(); }
    std::string failure() const;

private:
    void fail(const std::string& why);

    mutable std::mutex mutex_;
    std::unique_ptr<LobbyConnection> connection_;
    std::atomic<bool> failed_{false};
    std::string failure_;
};

// The picture a lobby named, ready to cut.
struct LobbyPicture {
    bool ok = false;
    bool cancelled = false;    // the download was aborted
    std::string path;
    uint32_t pictureKind = 0;  // 1 JPEG, PNG, WebP; 0 BMP
    std::string message;       // the failure's message box text
    std::string detail;        // why, in words
};

// A reference containing "http" (any case) is downloaded into dataFolder's
// "gamedata.tmp", with the progress text shown through `show` at once and
// every 100 ms (show returning false aborts); any other is a picture file,
// looked up as given and then in dataFolder. An empty reference or a
// missing file gives kLobbyPictureNotFound.
LobbyPicture resolveLobbyPicture(const std::string& reference, const std::string& dataFolder,
                                 const std::function<bool(const std::string&)>& show, HttpLimits limits = {});

// The session options: the host's choices with every lobby value that is
// set taking their place (game type, sorting boxes, the six tools, seed).
NetOptions lobbyNetOptions(const LobbyGameSettings& settings, NetOptions choices);

// The puzzle every machine of a lobby game cuts from the lobby's picture:
// its size, the grid nearest the lobby's piece count (kLobbyDefaultPieces
// when the lobby leaves it open) by the piece-count rule, and the rotation.
// Nothing, with the message, when the picture cannot be read or cut so.
std::optional<NetPuzzle> lobbyPuzzle(const LobbyPicture& picture, const LobbyGameSettings& settings, bool rotate,
                                     std::string& message);

// The piece-count answer a lobby's count fixes: the grid by the same rule.
PieceCountChoice lobbyPieceCount(const PieceCountRules& rules, uint32_t pieces, bool rotate);

}  // namespace pavalo::net
