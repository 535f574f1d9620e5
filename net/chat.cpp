// Chat texts, logs and routing.
#include "net/chat.h"

#include <cstdint>

#include "net/game_setup.h"

namespace pavalo::net {
size_t displayLength(const std::string& text) {
    size_t chars = 0;
    for (char c : text)
        if ((uint8_t(c) & 0xC0) != 0x80) ++chars;
    return chars;
}

std::string cutToBytes(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = maxBytes;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string padRight(const std::string& text, size_t width) {
    const size_t n = displayLength(text);
    return n >= width ? text : text + std::string(width - n, ' ');
}

std::string chatTextToSend(const std::string& typed) {
    // The message's text field holds kChatField - 1 bytes.
    return cutToBytes(displayableText(typed, kChatInputLimit), kChatField - 1);
}

void ChatLog::chatLine(const std::string& name, const std::string& text) {
    std::string line = displayableText(name, kMaxNameLength) + ": " + displayableText(text, kChatInputLimit);
    std::lock_guard lock(m_);
    lines_.push_back(std::move(line));
    if (lines_.size() > kChatLogLines) lines_.pop_front();
    ++version_;
}

std::vector<std::string> ChatLog::lines() const {
    std::lock_guard lock(m_);
    return {lines_.begin(), lines_.end()};
}

size_t ChatLog::version() const {
    std::lock_guard lock(m_);
    return version_;
}

void ChatRouter::setWaitingRoom(ChatSink* sink) {
    std::lock_guard lock(m_);
    room_ = sink;
    handOverWaiting();
}

void ChatRouter::setGameWindow(ChatSink* sink) {
    std::lock_guard lock(m_);
    game_ = sink;
    handOverWaiting();
}

void ChatRouter::handOverWaiting() {
    ChatSink* to = room_ ? room_ : game_;
    if (!to) return;
    for (const auto& [name, text] : waiting_) to->chatLine(name, text);
    waiting_.clear();
}

void ChatRouter::chatLine(const std::string& name, const std::string& text) {
    std::lock_guard lock(m_);
    if (ChatSink* to = room_ ? room_ : game_) return to->chatLine(name, text);
    if (waiting_.size() == kChatLogLines) waiting_.pop_front();
    waiting_.emplace_back(name, text);
}

}  // namespace pavalo::net
