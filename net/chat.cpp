// Chat texts, logs and routing.
#include "net/chat.h"

#include <cstdint>

namespace pavalo::net {
namespace {

// The length of the UTF-8 sequence starting at s[i], 0 when it is not a
// well-formed one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t sequenceLength(const std::string& s, size_t i) {
    const auto b = [&](size_t k) { return uint8_t(s[k]); };
    const uint8_t c = b(i);
    if (c < 0x80) return 1;
    size_t n = 0;
    uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (b(i + k) & 0x3F);
    }
    static constexpr uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

std::string safeDisplayText(const std::string& text, size_t maxChars) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size();) {
        if (chars == maxChars) {
            if (maxChars > 0) {
                // Room for the ellipsis: take back the last character.
                size_t back = out.size();
                while (back > 0 && (uint8_t(out[back - 1]) & 0xC0) == 0x80) --back;
                out.resize(back > 0 ? back - 1 : 0);
                out += "\xE2\x80\xA6";
            }
            return out;
        }
        const size_t n = sequenceLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else if (n == 1 && (uint8_t(text[i]) < 0x20 || text[i] == 0x7F)) {
            out += ' ';
            ++i;
        } else if (n == 2 && uint8_t(text[i]) == 0xC2 && uint8_t(text[i + 1]) < 0xA0) {
            out += ' ';  // C1 control characters
            i += 2;
        } else {
            out.append(text, i, n);
            i += n;
        }
        ++chars;
    }
    return out;
}

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
    std::string out;
    size_t chars = 0, i = 0;
    while (i < typed.size() && chars < kChatInputLimit) {
        const size_t n = sequenceLength(typed, i);
        if (n == 0) {
            ++i;  // a stray byte is not sent
            continue;
        }
        if (out.size() + n > kChatField - 1) break;  // the message's text field
        out.append(typed, i, n);
        i += n;
        ++chars;
    }
    return out;
}

void ChatLog::chatLine(const std::string& name, const std::string& text) {
    std::string line = safeDisplayText(name, kMaxNameLength) + ": " + safeDisplayText(text, kChatInputLimit);
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
}

void ChatRouter::setGameWindow(ChatSink* sink) {
    std::lock_guard lock(m_);
    game_ = sink;
}

void ChatRouter::chatLine(const std::string& name, const std::string& text) {
    std::lock_guard lock(m_);
    if (ChatSink* to = room_ ? room_ : game_) to->chatLine(name, text);
}

}  // namespace pavalo::net
