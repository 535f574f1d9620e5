// What the network set-up's dialogs show beyond the set-up's own forms
// (net/game_setup.h: the create form and the join list): their captions,
// the player-name model, and the texts of the create dialog's tool list.
#pragma once

#include <string>

#include "net/game_setup.h"
#include "shell/preferences.h"

namespace pavalo::net {

inline constexpr const char* kPlayerNameCaption = "Enter Player Name";
inline constexpr const char* kPlayerNamePrompt = "Enter your name";
inline constexpr const char* kCreateGameCaption = "Create Net Game";
inline constexpr const char* kMsgMaxPlayersRange = "Please enter a number of players from 2 to 16.";
inline constexpr const char* kToolSettingsCaption = "Settings";
inline constexpr const char* kToolSettingsPrompt = "Put Checkmarks in the functions you wish to allow everybody to use.";
inline constexpr const char* kJoinGameCaption = "Join Net Game";
inline constexpr const char* kJoinListCaption = "Select a game to join";
inline constexpr int kJoinListRefreshMs = 100;

// "Enter Player Name": the name the player types, kept within a player
// name's field; a blank name plays as "Player".
class PlayerNameDialog {
public:
    explicit PlayerNameDialog(const std::string& current) : name_(current) {}
    const std::string& name() const { return name_; }
    void setName(const std::string& typed);
    // OK: the name to play with.
    std::string accepted() const;

private:
    std::string name_;
};

}  // namespace pavalo::net
