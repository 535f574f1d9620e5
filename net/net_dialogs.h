// The models of the network set-up's dialogs, without a window: "Enter
// Player Name", "Create Net Game" with its "Settings" tool list, and "Join
// Net Game". The Qt dialogs bind their widgets to these; the set-up flow
// reads the results.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/messages.h"
#include "net/session.h"
#include "platform/platform.h"
#include "shell/preferences.h"

namespace pavalo::net {

inline constexpr const char* kPlayerNameCaption = "Enter Player Name";
inline constexpr const char* kPlayerNamePrompt = "Enter your name";
inline constexpr const char* kDefaultPlayerName = "Player";
inline constexpr const char* kCreateGameCaption = "Create Net Game";
inline constexpr const char* kUnnamedSession = "Unnamed Session";
inline constexpr const char* kMsgNoSessionName = "You must enter a session name";
inline constexpr const char* kMsgMaxPlayersRange = "Please enter a number of players from 2 to 16.";
inline constexpr const char* kToolSettingsCaption = "Settings";
inline constexpr const char* kToolSettingsPrompt = "Put Checkmarks in the functions you wish to allow everybody to use.";
inline constexpr const char* kJoinGameCaption = "Join Net Game";
inline constexpr const char* kJoinListCaption = "Select a game to join";
inline constexpr const char* kMsgSelectGameFirst = "You must select a game first";
inline constexpr const char* kMsgUnableToJoin = "Unable to Join game";
inline constexpr int kMinPlayers = 2, kMaxPlayers = 16;
inline constexpr int kJoinListRefreshMs = 100;

// The six tools of the "Settings" list, in its order (NetOptions flags 1..6).
inline constexpr std::array<const char*, 6> kToolNames = {"Arrange",    "Solve",         "Find Nearby Pieces",
                                                          "Find Edges", "Find by Color", "Puzzle Outline"};

// "Enter Player Name": the name the player types, kept within a player
// name's length; an empty name plays as "Player".
class PlayerNameDialog {
public:
    explicit PlayerNameDialog(const std::string& current) : name_(current) {}
    const std::string& name() const { return name_; }
    void setName(const std::string& typed);
    // OK: the name to play with (stored in the preferences).
    std::string accept(PreferencesRecord& prefs) const;

private:
    std::string name_;
};

enum class CheatsChoice { Yes, No, Advanced };
enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Top, Bottom };

class CreateGameDialog {
public:
    // Opened from the remembered choices and the player's name.
    CreateGameDialog(const PreferencesRecord& prefs, const std::string& playerName);

    std::string sessionName;
    bool competitive = false;
    bool sortingBoxes = false;
    CheatsChoice cheats = CheatsChoice::Advanced;
    std::array<bool, 6> tools{};

    int maxPlayers() const { return maxPlayers_; }
    const std::string& maxPlayersText() const { return maxPlayersText_; }
    // The scroll bar beside "Max Players": one more or one less, held to 2..16.
    void scroll(ScrollAction action);
    // A typed value; checked on OK.
    void typeMaxPlayers(const std::string& text) { maxPlayersText_ = text; }

    // "Settings": the list opens on a copy; its OK replaces the six flags.
    std::array<bool, 6> settingsCopy() const { return tools; }
    void settingsClosed(bool ok, const std::array<bool, 6>& flags);

    // What the cheats radios allow: all six, none, or the six flags.
    std::array<bool, 6> allowedTools() const;

    enum class Field { None, SessionName, MaxPlayers };
    // OK: the options, the remembered choices updated; nothing (after the
    // message, `focus` naming the field to fix) when a value is wrong.
    std::optional<NetOptions> accept(Platform& platform, PreferencesRecord& prefs);
    Field focus() const { return focus_; }

private:
    int maxPlayers_ = 16;
    std::string maxPlayersText_ = "16";
    Field focus_ = Field::None;
};

// "Join Net Game": the sessions found, the six information lines of the
// one selected, and Join.
class JoinGameDialog {
public:
    // Joins a found session; Ok when the player is now in it.
    using Joiner = std::function<JoinResult(const FoundSession&)>;

    // A new answer of the search: the list keeps its selection when the
    // selected session is still listed.
    void setSessions(std::vector<FoundSession> sessions);
    const std::vector<FoundSession>& sessions() const { return sessions_; }
    std::vector<std::string> sessionNames() const;
    void select(int index);
    int selected() const { return selected_; }
    std::array<std::string, 6> infoLines() const;
    // "Join": true when the game was joined.
    bool join(Platform& platform, const Joiner& joiner);

private:
    std::vector<FoundSession> sessions_;
    int selected_ = -1;
};

// The information lines of a session description ("Max Players: 4", ...).
std::array<std::string, 6> sessionInfoLines(const SessionDesc* desc);

}  // namespace pavalo::net
