// Sub-commands of pavalo-tool. Each takes the arguments after its name and
// returns the process exit status (0 success, 1 failure, 2 usage error).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pavalo::tool {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

// Puzzle commands (puzzle_commands.cpp).
int cutCommand(const Args& args);
int infoCommand(const Args& args);
int solveCommand(const Args& args);
int dropCommand(const Args& args);
int renderCommand(const Args& args);

// Width and height of a picture file as the game would load it; false with a
// reason when it cannot be read.
bool pictureSizeOfFile(const std::string& path, int32_t& width, int32_t& height, std::string& error);

// Picture commands (picture_commands.cpp).
// A picture loader's failure (LoadError) in words.
std::string loadErrorText(int32_t code);
int probeCommand(const Args& args);
int convertCommand(const Args& args);
int thumbCommand(const Args& args);

// Preferences commands (prefs_commands.cpp).
int prefsCommand(const Args& args);

// Assist-tool commands (assist_commands.cpp).
int findCommand(const Args& args);
int arrangeCommand(const Args& args);

// Image library commands (library_commands.cpp).
int libraryCommand(const Args& args);

// Commands of the game run on a saved puzzle in a headless session (play_command.cpp).
int playCommand(const Args& args);

// WDA animation commands (wda_commands.cpp).
int wdaCommand(const Args& args);
// Movie commands (movie_commands.cpp).
int movieCommand(const Args& args);

// The lobby program, and "net" with the lobby-launched host and bot
// (lobby_commands.cpp).
int lobbyCommand(const Args& args);
int netOrLobbyCommand(const Args& args);

}  // namespace pavalo::tool
