// The fault-injecting relay: one socket faces the clients, one upstream
// socket per client faces the target, and a schedule holds delayed sends.
#include "tests/net/fault_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <queue>
#include <random>
#include <stdexcept>
#include <vector>

namespace pavalo::net::test {

namespace {

int loopbackSocket(uint16_t port) {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("cannot bind relay socket");
    return s;
}

uint16_t portOf(int s) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Scheduled {
    int64_t at;
    uint64_t order;
    int socket;
    sockaddr_in to;
    std::vector<uint8_t> bytes;
    bool operator>(const Scheduled& o) const { return at != o.at ? at > o.at : order > o.order; }
};

}  // namespace

FaultLink::FaultLink(uint16_t targetPort, Faults faults, uint32_t seed)
    : targetPort_(targetPort), faults_(faults), seed_(seed) {
    listen_ = loopbackSocket(0);
    port_ = portOf(listen_);
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this] { run(); });
}

FaultLink::~FaultLink() {
    stop_ = true;
    char c = 0;
    [[maybe_unused]] auto n = ::write(wake_[1], &c, 1);
    thread_.join();
    ::close(listen_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void FaultLink::setFaults(const Faults& f) {
    std::lock_guard lock(m_);
    faults_ = f;
}

void FaultLink::run() {
    std::mt19937 rng(seed_);
    std::uniform_real_distribution<double> chance(0, 1);
    std::map<uint64_t, int> upstreamOf;   // client address -> upstream socket
    std::map<int, sockaddr_in> clientOf;  // upstream socket -> client address
    std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> schedule;
    uint64_t order = 0;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(targetPort_);

    auto relay = [&](int via, const sockaddr_in& to, const uint8_t* data, size_t n) {
        Faults f;
        {
            std::lock_guard lock(m_);
            f = faults_;
        }
        bool reply = via == listen_;
        if (f.silent || (reply && f.dropReplies) || chance(rng) < f.loss || schedule.size() > 4096) {
            ++dropped_;
            return;
        }
        int copies = chance(rng) < f.duplicate ? 2 : 1;
        for (int i = 0; i < copies; ++i) {
            int delay = f.delayMs + (f.jitterMs > 0 ? int(rng() % uint32_t(f.jitterMs + 1)) : 0);
            schedule.push({nowMs() + delay, order++, via, to, {data, data + n}});
        }
    };

    while (!stop_) {
        std::vector<pollfd> fds{{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        for (auto& [s, c] : clientOf) fds.push_back({s, POLLIN, 0});
        int timeout = 20;
        if (!schedule.empty()) timeout = int(std::max<int64_t>(0, std::min<int64_t>(20, schedule.top().at - nowMs())));
        ::poll(fds.data(), fds.size(), timeout);
        uint8_t buf[65536];
        for (;;) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = ::recvfrom(listen_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) break;
            uint64_t key = uint64_t(from.sin_addr.s_addr) << 16 | from.sin_port;
            auto it = upstreamOf.find(key);
            if (it == upstreamOf.end()) {
                int up = loopbackSocket(0);
                it = upstreamOf.emplace(key, up).first;
                clientOf[up] = from;
            }
            relay(it->second, target, buf, size_t(n));
        }
        for (auto& [up, client] : clientOf) {
            for (;;) {
                ssize_t n = ::recv(up, buf, sizeof buf, 0);
                if (n < 0) break;
                relay(listen_, client, buf, size_t(n));
            }
        }
        while (!schedule.empty() && schedule.top().at <= nowMs()) {
            const Scheduled& s = schedule.top();
            ::sendto(s.socket, s.bytes.data(), s.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&s.to), sizeof s.to);
            ++forwarded_;
            schedule.pop();
        }
        char c[64];
        while (::read(wake_[0], c, sizeof c) > 0) {
        }
    }
    for (auto& [s, c] : clientOf) ::close(s);
}

}  // namespace pavalo::net::test
