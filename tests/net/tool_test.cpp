// The net command end to end on loopback: a host, a finder and a joiner that
// sends messages, each ending by itself.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "media/jpeg_writer.h"
#include "net/net_tool.h"
#include "puzzle/saved_puzzle.h"
#include "tests/net/protocol_hub.h"
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

// Where each piece lies in a saved puzzle: list, group, place, turn.
std::vector<std::string> piecesOf(const std::string& path) {
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
    Random rng(1);
    EXPECT_TRUE(openPuzzleFile(path, 1920, 1080, rng, record, model, order).ok()) << path;
    std::vector<std::string> out;
    for (int32_t p = 0; p < model.pieceCount(); ++p) {
        const Piece& piece = model.piece(p);
        out.push_back(std::string(listName(model.listOfPiece(p))) + " " +
                      std::to_string(model.groupNode(model.member(p).group).groupNumber) + " " +
                      std::to_string(piece.x) + " " + std::to_string(piece.y) + " " + std::to_string(piece.rotation));
    }
    return out;
}

TEST(NetCommand, BotsPlayAHostedPuzzleAndEveryDumpAgrees) {
    const std::string dir = ::testing::TempDir();
    const std::string puzzle = dir + "/bots.gvp", hostDump = dir + "/bots-host.gvp";
    {
        PuzzleModel model = test::gridPuzzle(10, 8);
        SettingsRecord record;
        std::string error;
        ASSERT_TRUE(savePuzzleFile(puzzle, record, model, error)) << error;
    }
    const std::string port = std::to_string(freeUdpPort());
    const std::string discovery = std::to_string(test::loopbackSettings().discoveryPort + 4);
    std::ostringstream hostOut, hostErr;
    int hostStatus = -1;
    std::thread host([&] {
        hostStatus = runNetCommand({"host", "--puzzle", puzzle, "--bind", "127.0.0.1", "--port", port,
                                    "--discovery-port", discovery, "--seconds", "6", "--dump", hostDump},
                                   hostOut, hostErr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ostringstream outs[2], errs[2];
    int status[2] = {-1, -1};
    std::thread bots[2];
    for (int i = 0; i < 2; ++i)
        bots[i] = std::thread([&, i] {
            // Each stays until the host has gone and the other is done too,
            // so its dump holds every move.
            status[i] = runNetCommand({"bot", "--join", "127.0.0.1:" + port, "--puzzle", puzzle, "--seed",
                                       std::to_string(i + 3), "--actions", "15", "--rate", "30", "--stay", "--seconds",
                                       "7", "--discovery-port", discovery, "--dump",
                                       dir + "/bot" + std::to_string(i) + ".gvp"},
                                      outs[i], errs[i]);
        });
    for (auto& b : bots) b.join();
    host.join();
    ASSERT_EQ(hostStatus, 0) << hostErr.str();
    const auto want = piecesOf(hostDump);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(status[i], 0) << errs[i].str();
        EXPECT_NE(outs[i].str().find("actions 15"), std::string::npos) << outs[i].str();
        EXPECT_EQ(piecesOf(dir + "/bot" + std::to_string(i) + ".gvp"), want);
    }
    EXPECT_NE(want, piecesOf(puzzle));  // the bots did move pieces
}

TEST(NetCommand, HostAndBotsSetUpFromAPictureAndPlayItToCompletion) {
    const std::string dir = ::testing::TempDir() + "/" + std::to_string(getpid());
    const std::string picture = dir + "-flow.jpg", hostDump = dir + "-flow-host.gvp";
    std::vector<uint8_t> rgb(160 * 120 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 13);
    ASSERT_TRUE(saveJpeg(picture, 160, 120, 3, rgb));
    const std::string port = std::to_string(freeUdpPort());
    const std::string discovery = std::to_string(test::loopbackSettings().discoveryPort + 6);
    std::ostringstream hostOut, hostErr;
    int hostStatus = -1;
    std::thread host([&] {
        hostStatus = runNetCommand({"host", "--picture", picture, "--pieces", "12", "--seed", "99", "--type", "coop",
                                    "--players", "2", "--bind", "127.0.0.1", "--port", port, "--discovery-port",
                                    discovery, "--seconds", "40", "--dump", hostDump},
                                   hostOut, hostErr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::ostringstream outs[2], errs[2];
    int status[2] = {-1, -1};
    std::thread bots[2];
    for (int i = 0; i < 2; ++i)
        bots[i] = std::thread([&, i] {
            status[i] = runNetCommand({"bot", "--join", "127.0.0.1:" + port, "--name", "Bot" + std::to_string(i),
                                       "--seed", std::to_string(i + 3), "--actions", "400", "--rate", "50",
                                       "--seconds", "40", "--discovery-port", discovery, "--dump",
                                       dir + "-flow-bot" + std::to_string(i) + ".gvp"},
                                      outs[i], errs[i]);
        });
    for (auto& b : bots) b.join();
    host.join();
    ASSERT_EQ(hostStatus, 0) << hostErr.str();
    const std::string h = hostOut.str();
    EXPECT_NE(h.find(" pieces, seed 99\n"), std::string::npos) << h;
    EXPECT_NE(h.find("completed"), std::string::npos) << h;
    EXPECT_NE(h.find("player-created 3 Bot"), std::string::npos) << h;
    const auto want = piecesOf(hostDump);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(status[i], 0) << errs[i].str();
        EXPECT_NE(outs[i].str().find("completed"), std::string::npos) << outs[i].str();
        EXPECT_EQ(piecesOf(dir + "-flow-bot" + std::to_string(i) + ".gvp"), want);
    }
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(NetCommand, ABotWithoutThePictureDownloadsItAndPlaysTheSameGame) {
    // A host path too long to announce whole goes out as its file name
    // alone, which the bot's folder does not hold.
    const std::string base = ::testing::TempDir() + "/" + std::to_string(getpid());
    const std::string far = base + "-" + std::string(140, 'd');
    const std::string picture = far + "/far-" + std::to_string(getpid()) + ".jpg";
    const std::string downloads = base + "-dl", hostDump = base + "-dl-host.gvp", botDump = base + "-dl-bot.gvp";
    std::filesystem::create_directories(far);
    std::filesystem::create_directories(downloads);
    std::vector<uint8_t> rgb(200 * 150 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 29 + i / 600);
    ASSERT_TRUE(saveJpeg(picture, 200, 150, 3, rgb));
    const std::string port = std::to_string(freeUdpPort());
    const std::string discovery = std::to_string(test::loopbackSettings().discoveryPort + 7);
    std::ostringstream hostOut, hostErr, botOut, botErr;
    int hostStatus = -1, botStatus = -1;
    std::thread host([&] {
        hostStatus = runNetCommand({"host", "--picture", picture, "--pieces", "12", "--seed", "5", "--type", "coop",
                                    "--players", "1", "--bind", "127.0.0.1", "--port", port, "--discovery-port",
                                    discovery, "--seconds", "30", "--dump", hostDump},
                                   hostOut, hostErr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::thread bot([&] {
        botStatus = runNetCommand({"bot", "--join", "127.0.0.1:" + port, "--name", "Far", "--seed", "8", "--actions",
                                   "400", "--rate", "50", "--seconds", "30", "--discovery-port", discovery,
                                   "--download-to", downloads, "--dump", botDump},
                                  botOut, botErr);
    });
    bot.join();
    host.join();
    ASSERT_EQ(botStatus, 0) << botErr.str() << botOut.str();
    ASSERT_EQ(hostStatus, 0) << hostErr.str();
    const std::string b = botOut.str();
    EXPECT_NE(b.find("downloaded " + downloads + "/downloads/far-"), std::string::npos) << b;
    EXPECT_NE(b.find("completed"), std::string::npos) << b;
    const std::string arrived = downloads + "/downloads/far-" + std::to_string(getpid()) + ".jpg";
    EXPECT_EQ(fileBytes(arrived), fileBytes(picture));
    EXPECT_EQ(piecesOf(botDump), piecesOf(hostDump));
    std::filesystem::remove_all(far);
    std::filesystem::remove_all(downloads);
}

TEST(NetCommand, ABotJoiningAGameUnderWayIsSynchronisedWithTheHost) {
    const std::string dir = ::testing::TempDir() + "/" + std::to_string(getpid());
    const std::string picture = dir + "-late.jpg", hostDump = dir + "-late-host.gvp";
    const std::string firstDump = dir + "-late-first.gvp", lateDump = dir + "-late-bot.gvp";
    std::vector<uint8_t> rgb(240 * 180 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 11);
    ASSERT_TRUE(saveJpeg(picture, 240, 180, 3, rgb));
    const std::string port = std::to_string(freeUdpPort());
    const std::string discovery = std::to_string(test::loopbackSettings().discoveryPort + 8);
    std::ostringstream hostOut, hostErr, firstOut, firstErr, lateOut, lateErr;
    int hostStatus = -1, firstStatus = -1, lateStatus = -1;
    std::thread host([&] {
        hostStatus = runNetCommand({"host", "--picture", picture, "--pieces", "48", "--seed", "31", "--type", "coop",
                                    "--players", "1", "--bind", "127.0.0.1", "--port", port, "--discovery-port",
                                    discovery, "--seconds", "12", "--dump", hostDump},
                                   hostOut, hostErr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The first player moves pieces away from where the cut put them and
    // leaves; the latecomer cuts the same puzzle and must be told the rest.
    firstStatus = runNetCommand({"bot", "--join", "127.0.0.1:" + port, "--name", "First", "--seed", "4",
                                 "--actions", "15", "--rate", "20", "--seconds", "10", "--discovery-port", discovery,
                                 "--dump", firstDump},
                                firstOut, firstErr);
    lateStatus = runNetCommand({"bot", "--join", "127.0.0.1:" + port, "--name", "Late", "--actions", "0",
                                "--seconds", "8", "--discovery-port", discovery, "--dump", lateDump},
                               lateOut, lateErr);
    host.join();
    ASSERT_EQ(hostStatus, 0) << hostErr.str();
    ASSERT_EQ(firstStatus, 0) << firstErr.str();
    ASSERT_EQ(lateStatus, 0) << lateErr.str() << lateOut.str();
    EXPECT_NE(lateOut.str().find("synchronised "), std::string::npos) << lateOut.str();
    const auto want = piecesOf(hostDump);
    EXPECT_EQ(piecesOf(firstDump), want);
    EXPECT_EQ(piecesOf(lateDump), want);
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
    EXPECT_EQ(runNetCommand({"host", "--picture", "p.jpg", "--type", "coop"}, out, err), 2);  // no --pieces
    EXPECT_EQ(runNetCommand({"host", "--picture", "p.jpg", "--pieces", "6"}, out, err), 2);   // no --type
    EXPECT_EQ(runNetCommand({"host", "--picture", "p.jpg", "--pieces", "6", "--type", "team"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"host", "--picture", "p.jpg", "--pieces", "4001", "--type", "coop"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"bot", "--puzzle", "x.gvp"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"bot", "--join", "127.0.0.1", "--puzzle", "x.gvp"}, out, err), 2);
    EXPECT_EQ(runNetCommand({"bot", "--join", "127.0.0.1:1", "--puzzle", "x.gvp", "--rate", "x"}, out, err), 2);
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace pavalo::net
