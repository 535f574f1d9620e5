// The TCP connection between a lobby program and one copy of the game, on
// which lobby frames travel (net/lobby_protocol.h). The game connects to the
// address of `--lobby HOST:PORT`; the lobby listens and accepts. Plain
// blocking sockets waited on with time-outs; no threads of their own, so
// each side calls receive() from whatever loop it already runs.
//
// A lobby that sends something that is not a frame of a known message, that
// closes the connection in the middle of a frame, or that goes away, is
// reported with a reason; nothing it sends can make either side crash.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/lobby_protocol.h"

namespace pavalo::net {

class LobbyConnection {
public:
    enum class Received { Message, Timeout, Closed, Error };

    // Connects to the lobby within timeoutMs; nothing, with the reason, when
    // the address cannot be resolved or nobody answers there.
    static std::unique_ptr<LobbyConnection> connect(const LobbyAddress& address, int timeoutMs, std::string& why);
    // Takes over a connected socket.
    explicit LobbyConnection(int fd);
    ~LobbyConnection();
    LobbyConnection(const LobbyConnection&) = delete;
    LobbyConnection& operator=(const LobbyConnection&) = delete;

    // Sends one framed message, in full or not at all as far as the caller
    // is concerned (false with the reason when the connection failed).
    bool send(const LobbyMessage& message, std::string& why);

    // Waits up to timeoutMs for the next message. Closed: the other side
    // ended the connection between messages. Error: it sent something that
    // is not a message, ended inside one, or the connection failed; the
    // connection is of no further use after Closed or Error.
    Received receive(LobbyMessage& out, int timeoutMs, std::string& why);

private:
    int fd_ = -1;
    bool broken_ = false;
    LobbyFrameReader reader_;
};

// The lobby's listening socket.
class LobbyListener {
public:
    // Listens on host:port (port 0: any free port); nothing, with the
    // reason, when that fails.
    static std::unique_ptr<LobbyListener> listen(const std::string& host, uint16_t port, std::string& why);
    ~LobbyListener();
    LobbyListener(const LobbyListener&) = delete;
    LobbyListener& operator=(const LobbyListener&) = delete;

    uint16_t port() const { return port_; }
    // The next game that connects within timeoutMs, or nothing.
    std::unique_ptr<LobbyConnection> accept(int timeoutMs);

private:
    LobbyListener(int fd, uint16_t port) : fd_(fd), port_(port) {}
    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace pavalo::net
