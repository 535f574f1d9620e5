// Chat and the names shown with it: texts that come from other machines
// made safe to show, the line a player may send, and the router that gives
// each received line to the window showing chat at the time (the waiting
// room while it is open, else the in-game standings window).
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "net/dispatcher.h"

namespace pavalo::net {

inline constexpr size_t kChatInputLimit = 250;  // characters a player may send at once
inline constexpr size_t kChatLogLines = 500;    // lines a chat output keeps
inline constexpr const char* kChatSystemName = "Pavalo";

// Texts from other machines are shown through displayableText
// (net/game_setup.h).
// The text Enter sends: at most kChatInputLimit characters, never cutting
// a character in two, nor past the message's text field; characters that
// could not be shown are replaced.
std::string chatTextToSend(const std::string& typed);
// Pads (never cuts) a shown text to `width` characters, as the standings'
// name column does.
std::string padRight(const std::string& text, size_t width);
size_t displayLength(const std::string& text);
// At most `maxBytes` bytes of a text, never cutting a character in two.
std::string cutToBytes(const std::string& text, size_t maxBytes);

// A window's chat output: "name: text" lines, the oldest dropped beyond
// kChatLogLines.
class ChatLog final : public ChatSink {
public:
    void chatLine(const std::string& name, const std::string& text) override;
    std::vector<std::string> lines() const;
    // Counts every line ever added (windows redraw when it moves).
    size_t version() const;

private:
    mutable std::mutex m_;
    std::deque<std::string> lines_;
    size_t version_ = 0;
};

// Lines that come while no window shows chat (between the waiting room
// closing and the game's window opening) wait for the next window set.
class ChatRouter final : public ChatSink {
public:
    // Null closes the window's share; the waiting room wins while set.
    void setWaitingRoom(ChatSink* sink);
    void setGameWindow(ChatSink* sink);
    void chatLine(const std::string& name, const std::string& text) override;

private:
    void handOverWaiting();

    std::mutex m_;
    ChatSink* room_ = nullptr;
    ChatSink* game_ = nullptr;
    std::deque<std::pair<std::string, std::string>> waiting_;
};

}  // namespace pavalo::net
