// The net command end to end on loopback: a host, a finder and a joiner that
// sends messages, each ending by itself.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "net/net_tool.h"
#include "tests/net/rig.h"

namespace pavalo::net {
namespace {

uint16_t freeUdpPort() {
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

TEST(NetCommand, HostFindJoinAndSendOnLoopback) {
    std::string port = std::to_string(freeUdpPort());
    std::string discovery = std::to_string(test::loopbackSettings().discoveryPort + 2);
    std::ostringstream hostOut, hostErr;
    int hostStatus = -1;
    std::thread host([&] {
        hostStatus = runNetCommand({"host", "--name", "Hosty", "--port", port, "--max", "4", "--bind", "0.0.0.0",
                                    "--discovery-port", discovery, "--connection", "lan-unguaranteed", "--seconds", "4"},
                                   hostOut, hostErr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ostringstream findOut, err;
    EXPECT_EQ(runNetCommand({"find", "--broadcast", "127.255.255.255", "--discovery-port", discovery, "--seconds", "1"},
                            findOut, err),
              0);
    EXPECT_NE(findOut.str().find(":" + port + " name=Hosty players=1 max=4"), std::string::npos) << findOut.str();

    std::ostringstream joinOut;
    EXPECT_EQ(runNetCommand({"join", "127.0.0.1:" + port, "--name", "Ann", "--connection", "lan-unguaranteed",
                             "--send", "22:0102:guaranteed", "--send", "7:", "--seconds", "1"},
                            joinOut, err),
              0)
        << err.str();
    host.join();
    EXPECT_EQ(hostStatus, 0);
    std::string h = hostOut.str(), j = joinOut.str();
    EXPECT_EQ(h.rfind("listening 0.0.0.0:" + port + "\n", 0), 0u) << h;
    // Ann is the second player the host created (after its own).
    EXPECT_NE(h.find("player-created 3 Ann"), std::string::npos) << h;
    EXPECT_NE(h.find("from=3 to=1 id=22 size=6 160000000102"), std::string::npos) << h;
    EXPECT_NE(h.find("from=3 to=1 id=7 size=4 07000000"), std::string::npos) << h;
    EXPECT_NE(h.find("player-destroyed 3"), std::string::npos) << h;
    EXPECT_NE(j.find("joined as 3"), std::string::npos) << j;
    // The guaranteed send went through acknowledged delivery: the host's
    // acknowledgement arrived as a message of its own.
    EXPECT_NE(j.find("from=1 to=3 id=32 size=4 20000000"), std::string::npos) << j;
}

TEST(NetCommand, BadArgumentsAreUsageErrors) {
    std::ostringstream out, err;
    EXPECT_EQ(runNetCommand({}, out, err), 2);
    EXPECT_EQ(runNetCommand({"host", "--port", "70000"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"host", "--max", "0"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"join"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"join", "127.0.0.1"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"join", "127.0.0.1:1", "--send", "7:zz"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"join", "127.0.0.1:1", "--send", "70000:00"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"join", "127.0.0.1:1", "--send", "7:00:maybe"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"dance"}, out, err), 2);
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace pavalo::net
