// Setting up a network game: the steps from the start dialog's "host" or
// "join" choice to a running game, for the window and the headless tool
// alike.
//
// NetGameSetup walks the steps in order (player name, connection, the
// create or join choice, the picture, the three requests of a joining
// player, the waiting room, the cut from the game's seed, the wait for the
// others) and asks its SetupFrontEnd at each step that needs a person. The
// front end shows dialogs (the window) or answers from its command line (the
// tool); the game it sets up is reached through SetupGame. The waiting room
// itself belongs to the front end: it reads the players and events from the
// set-up and calls its operations (setReady, begin, kick, leave).
//
// Threads: host()/join() and every operation run on the user-interface
// thread. setUpReply() answers a joining player's requests on the host's
// server thread and noteSystem() runs on the receive thread; both only touch
// what the mutex guards.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/geometry.h"
#include "net/dispatcher.h"
#include "net/messages.h"
#include "net/net_layer.h"
#include "puzzle/piece_count.h"
#include "puzzle/settings_record.h"
#include "shell/document.h"
#include "shell/preferences.h"

namespace pavalo::net {

namespace setup_text {
inline constexpr const char* kHostCaption = "Beginning a new network game";
inline constexpr const char* kJoinCaption = "Joining a network game";
inline constexpr const char* kUnnamedSession = "Unnamed Session";
inline constexpr const char* kDefaultPlayerName = "Player";
inline constexpr const char* kNeedSessionName = "You must enter a session name";
inline constexpr const char* kSelectGameFirst = "You must select a game first";
inline constexpr const char* kUnableToJoin = "Unable to Join game";
inline constexpr const char* kWaitForReady = "You must wait for everybody to check their Ready box";
inline constexpr const char* kWaitForDownloads = "Please wait for everybody to finish downloading the image";
inline constexpr const char* kKickCaption = "Das Boot";
inline constexpr const char* kKicked = "The host has kicked you out of the game.";
inline constexpr const char* kHostLost = "The connection to the game's host was lost.";
inline constexpr const char* kWaitingForOthers = "Waiting For Other Players";
inline constexpr const char* kPlayersSynchronising =
    "There are players joining that do not have all the synchronization info yet.  Please wait for them to "
    "finish, and try to exit again.";
inline constexpr const char* kCooperative = "Cooperative";
inline constexpr const char* kCompetitive = "Competitive";
inline constexpr const char* kTeamCompetitive = "Team Competitive";
}  // namespace setup_text

// Text from another machine (a session or player name) made fit to show:
// at most `maxChars` characters, control characters and bytes that are not
// UTF-8 shown as U+FFFD.
std::string displayableText(std::string_view text, size_t maxChars);

// The six assist tools a host may allow, in NetOptions' order (after the
// sorting boxes): Arrange, Solve, Find Nearby Pieces, Find Edges, Find by
// Color, Puzzle Outline.
inline constexpr int kSetupTools = 6;
extern const std::array<const char*, kSetupTools> kToolNames;

// The allowed tools as the join dialog and the waiting room list them, in
// the order Arrange, Solve, Find by Color, Find Edges, Find Nearby Pieces,
// Puzzle Outline, separated by ", "; "None" when none is allowed and, with
// `allWord`, "All" when all six are.
std::string allowedToolsText(const NetOptions& options, bool allWord);

// The options a session description announces (name, maximum without the
// server player, game type, seed, mask bits).
NetOptions optionsOfDescription(const SessionDesc& desc);

// "Create Net Game": the host's choices, with the dialog's rules.
struct CreateGameForm {
    enum class Cheats { Yes, No, Advanced };
    enum class Scroll { LineUp, LineDown, PageUp, PageDown, Top, Bottom };
    static constexpr int kMinPlayers = 2, kMaxPlayers = 16;

    std::string sessionName;
    int maxPlayers = 16;
    uint32_t gameType = kGameCooperative;
    bool sortingBoxes = false;
    Cheats cheats = Cheats::Advanced;
    std::array<bool, kSetupTools> tools{};  // the "Settings" dialog's boxes

    // The form as it opens: the session name is the player's name ("Unnamed
    // Session" for "Player"), the rest the remembered choices.
    static CreateGameForm fromPreferences(const PreferencesRecord& prefs);
    // The "Max Players" scroll bar: up, page up and top add one, the others
    // take one away; the count stays within 2..16.
    void scroll(Scroll action);
    // A typed count: taken when it is a whole number in 2..16.
    bool setMaxPlayersText(const std::string& text);
    // "Settings" closed with OK: its boxes replace the tool flags.
    void setTools(const std::array<bool, kSetupTools>& chosen) { tools = chosen; }
    // The OK button's check: the message to show, or nothing.
    std::optional<std::string> refusal() const;
    // The choices as the game's options (cheats Yes: every tool, No: none).
    NetOptions options(uint32_t seed) const;
    // After OK the choices become the remembered ones.
    void remember(PreferencesRecord& prefs) const;
};

// The join dialog's six information lines for a listed session; with no
// session, their headings alone.
std::array<std::string, 6> sessionInfoLines(const SessionDesc* desc);

// Where a joining player goes.
struct JoinTarget {
    std::string address;
    uint16_t port = 0;
};

// The join dialog's list: sessions found on the local network, kept current
// by refreshes, and sessions reached by address.
class JoinList {
public:
    struct Entry {
        JoinTarget target;
        SessionDesc desc;
    };
    // Merges what a search found: known sessions are updated, new ones
    // appended; sessions that stopped answering stay until `forget`.
    void update(const std::vector<FoundSession>& found);
    // Asks the local network again (the dialog does so every 100 ms).
    void refresh(const NetSettings& settings, int waitMs = 100);
    // A session reached by its address: asks that address's discovery port.
    bool addByAddress(const NetSettings& settings, const std::string& address, int waitMs = 500);
    void forget() { entries_.clear(); }
    const std::vector<Entry>& entries() const { return entries_; }
    std::vector<std::string> names() const;
    // "Join" pressed with the row selected (-1: none): the target, or the
    // message to show.
    std::optional<JoinTarget> choose(int row, std::string& message) const;

private:
    std::vector<Entry> entries_;
};

// GAMEDATA: the settings-record fields every machine cuts from, checked.
struct NetPuzzle {
    uint32_t field0 = 0;
    uint32_t pickerValue = 0;
    uint32_t pictureKind = 0;
    int32_t snapTolerance = 0;
    uint32_t puzzleState = 0;
    uint32_t rotation = 0;
    int32_t columns = 0, rows = 0;
    int32_t pictureWidth = 0, pictureHeight = 0;

    // The first word has no meaning of its own in the settings record; the
    // host puts its play area there (width in the low half, height in the
    // high half) so that every machine cuts and plays in the same area,
    // whatever its screen. A host that leaves it zero, or puts a size
    // outside kMinPlayArea..kMaxPlayArea there, names none: each machine
    // then uses its own.
    static constexpr Point kMinPlayArea{320, 200}, kMaxPlayArea{7680, 4320};
    void setPlayArea(Point area) { field0 = uint32_t(area.x & 0xFFFF) | uint32_t(area.y & 0xFFFF) << 16; }
    std::optional<Point> playArea() const;

    std::array<uint32_t, kGameDataFields> toGameData() const;
    // Refuses grids outside 1..4000 pieces, empty or oversized pictures,
    // pieces under one pixel, a rotation other than 0 or 1 and unknown kinds.
    static std::optional<NetPuzzle> fromGameData(const std::array<uint32_t, kGameDataFields>& fields,
                                                 std::string& why);
    bool operator==(const NetPuzzle&) const = default;
};

// Puts the options into the settings record's stretch they mirror (1072
// to 1239: session name, maximum, type, the seven allowances, seed).
void copyOptionsToRecord(const NetOptions& options, SettingsRecord& record);

// The game being set up.
class SetupGame {
public:
    virtual ~SetupGame() = default;
    virtual NetLayer& layer() = 0;
    // The play area this machine cuts in when the host names none; a host
    // names its own.
    virtual Point playArea() const = 0;
    // Loads the picture (or checks it can be); its size. False with the
    // message to show.
    virtual bool loadPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) = 0;
    // Cuts the puzzle from the options' seed with the grid, rotation and
    // play area of `puzzle` (its own play area when `puzzle` names none) and
    // the picture last loaded; the holder table is rebuilt with
    // nobody holding anything. False with the message to show.
    virtual bool cut(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
                     std::string& message) = 0;
    // The options the dispatcher plays by.
    virtual void applyOptions(const NetOptions& options) = 0;
    // The game runs on this machine: score clock started, holder table
    // rebuilt from the model with nobody holding anything. The set-up
    // publishes the player's state itself. A latecomer starts before its
    // synchronisation, which then fills in the holders.
    virtual void startPlay() = 0;
    // Takes waiting messages and resends for about `ms` milliseconds.
    virtual void pump(uint32_t ms) = 0;
    // Host: the picture file players who lack it may download.
    virtual void servePicture(const std::string& /*path*/) {}
    // Some player of the session is still being synchronised (the host's
    // Exit waits for them).
    virtual bool anyPlayerSynchronising() { return false; }
    // Ends the transfer threads; called before the session closes.
    virtual void stopTransfers() {}
};

class NetGameSetup;

// Waiting-room outcome.
enum class RoomResult { Start = 1, Exit = 2 };

// What the set-up asks of a person (or of the tool standing in for one).
// Returning nothing or false cancels the step.
class SetupFrontEnd {
public:
    virtual ~SetupFrontEnd() = default;
    // "Enter Player Name", opened at the current name.
    virtual std::optional<std::string> askPlayerName(const std::string& current) = 0;
    // The connection dialog.
    virtual std::optional<std::string> chooseConnection(const std::vector<std::string>& entries) = 0;
    // "Create Net Game" on the form; true on OK with the form's values checked.
    virtual bool editCreateGame(CreateGameForm& form) = 0;
    // The host's picture and piece count.
    virtual std::optional<std::string> choosePicture() = 0;
    virtual std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) = 0;
    // "Join Net Game": a session to join, or nothing. Called again after a
    // join that failed (its message shown).
    virtual std::optional<JoinTarget> chooseSession(JoinList& list) = 0;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
    // The picture the host plays is not here: the download offer plugs in
    // here. True when the picture is now at `localPath`.
    virtual bool offerDownload(const std::string& /*hostPath*/, uint32_t /*fileSize*/, std::string& /*localPath*/) {
        return false;
    }
    // Runs the waiting room until Start or Exit: Start once begin() was
    // accepted (host) or begun() (player), Exit when the player is kicked
    // (NetGameSetup::kicked()). The host's Start before that tries begin()
    // and, refused, shows why and opens the room again.
    virtual RoomResult runWaitingRoom(NetGameSetup& setup) = 0;
    // A player joining a running game: the synchronisation plugs in here.
    // False when it was aborted.
    virtual bool synchronise(NetGameSetup& /*setup*/) { return false; }
    // "Waiting For Other Players": opened, updated every 100 ms, closed.
    virtual void waitingProgress(int /*percent*/) {}
    virtual void waitingClosed() {}
};

// What happened, for the waiting room and standings (kept in order).
enum class SetupEvent { PlayerArrived, PlayerLeft, PlayerData, NewHost, BeginGame, Kicked };

class NetGameSetup {
public:
    enum class Step {
        Idle,
        PlayerName,
        Connection,
        Create,
        Join,
        Requests,
        Picture,
        WaitingRoom,
        Cutting,
        Synchronising,
        WaitingForOthers,
        Playing,
        Ended
    };

    NetGameSetup(SetupGame& game, SetupFrontEnd& frontEnd, Preferences& prefs);
    ~NetGameSetup();
    NetGameSetup(const NetGameSetup&) = delete;
    NetGameSetup& operator=(const NetGameSetup&) = delete;

    // The whole flow; true when a game is now running on this machine.
    // `seed` fixes the game's seed (otherwise the clock's).
    bool host(std::optional<uint32_t> seed = std::nullopt);
    bool join();

    // ---- state for the windows ----
    Step step() const { return step_.load(); }
    bool isHost() const;
    bool latecomer() const { return latecomer_; }
    const NetOptions& options() const { return options_; }
    const NetPuzzle& puzzle() const { return puzzle_; }
    const std::string& picture() const { return picture_; }
    const std::string& playerName() const { return playerName_; }
    // One in-use player of the table, in slot order.
    struct Player {
        int slot = 0;
        uint32_t id = 0;
        std::string name;
        PlayerData data;
        bool local = false;
    };
    std::vector<Player> players() const;
    // Events since the last call, oldest first.
    std::vector<SetupEvent> takeEvents();
    // Grows with every event: a window redraws when it changed.
    uint64_t revision() const { return revision_.load(); }
    bool begun() const { return begun_.load(); }
    bool kicked() const { return kicked_.load(); }
    // While the game runs: why it ended for this machine from outside, the
    // message to show before the start dialog returns. The host kicked this
    // player, or the host went and nobody took over, or this machine took
    // over and nobody else is left. Nothing while the game goes on.
    struct Ending {
        std::string text, caption;
        bool operator==(const Ending&) const = default;
    };
    std::optional<Ending> endedFromOutside();
    bool sessionOpen();

    // ---- waiting-room operations ----
    // The local player's Ready box.
    void setReady(bool ready);
    // Team Competitive: the local player's team, 1 or 2 (others are
    // refused), published with the player's data. A player entering the
    // room without a team (none from a lobby) joins the smaller one.
    static constexpr int kTeams = 2;
    bool setTeam(int team);
    // Every player's ready field is 1 (the host's Start needs it).
    bool allReady() const;
    // "Start Game" on the host: the refusal to show (empty on a machine
    // that is not host), or nothing when the game began (joining disabled,
    // BEGINGAME sent, the server player playing, the local ready field
    // cleared).
    std::optional<std::string> begin();
    // Host: removes the player in table slot `slot` (not the host's own, 0).
    bool kick(int slot);
    // Leaves the session (Exit, a failure, the end of the game).
    void leave();
    // Exit during a game: refused (false, message shown) on a host while
    // some player is still catching up (`playersSynchronising`, or the
    // game's own check when that is unset).
    bool exitGame();
    std::function<bool()> playersSynchronising;
    // The waiting room pumps messages through the game.
    void pump(uint32_t ms) { game_.pump(ms); }

    // ---- from the game's dispatcher and layer ----
    bool setUpReply(const GameMessage& request, GameMessage& reply);
    void setUpMessage(const GameMessage& message, uint32_t from);
    void noteKicked();
    void noteSystem(const Received& message);
    // A new host took over; `thisMachine` when it is this one.
    void noteNewHost(bool thisMachine);

private:
    bool askNameAndConnection();
    bool hostSetUp(std::optional<uint32_t> seed);
    bool joinSetUp();
    bool requestGame();
    bool findPicture();
    bool afterRoom(RoomResult result);
    bool startOnThisMachine();
    void openRoom();
    bool takeSmallerTeam(PlayerData& data) const;
    bool publish(const PlayerData& data);
    void setJoinable(bool joinable);
    void fail(const std::string& message, const std::string& caption = {});
    void event(SetupEvent e);

    SetupGame& game_;
    SetupFrontEnd& fe_;
    Preferences& prefs_;
    std::atomic<Step> step_{Step::Idle};
    std::string playerName_;
    bool latecomer_ = false;

    mutable std::mutex m_;  // guards what the server and receive threads read
    NetOptions options_;
    NetPuzzle puzzle_;
    std::string picture_;     // this machine's file
    std::string hostPicture_; // the name the host gives
    uint32_t pictureSize_ = 0;
    std::vector<SetupEvent> events_;

    std::atomic<uint64_t> revision_{0};
    std::atomic<bool> begun_{false}, kicked_{false};
    std::atomic<bool> tookOver_{false};  // became host when the host went
};

}  // namespace pavalo::net
