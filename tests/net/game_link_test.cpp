// The network game inside a game session: a session hosting a game with a
// headless player joined over loopback sees the player's drag glide and its
// drop land; and remote drags glide over 100 ms, stopping once let go.
#include <gtest/gtest.h>

#include <filesystem>

#include "net/game_link.h"
#include "net/headless_game.h"
#include "platform/scripted_platform.h"
#include "puzzle/saved_puzzle.h"
#include "tests/net/protocol_hub.h"
#include "tests/net/rig.h"

namespace pavalo::net {
namespace {

// Holders the test sets by hand.
struct Holders final : pavalo::HolderTable {
    std::map<int32_t, int> slot;
    int holderOf(int32_t piece) const override {
        auto it = slot.find(piece);
        return it == slot.end() ? pavalo::kNoHolder : it->second;
    }
    void setHolder(int32_t piece, int s) override { slot[piece] = s; }
};

TEST(DragGlides, GroupGlidesOver100MsAndStopsWhenLetGo) {
    PuzzleModel model = test::gridPuzzle(4, 4);
    Holders holders;
    model.setHolderTable(&holders);
    holders.setHolder(5, 2);
    model.moveGroup(ListId::Main, 5, 1900, 1400);
    DragGlides glides;
    // The move arrived: the model already has the new place.
    model.moveGroup(ListId::Main, 5, 2000, 1440);
    glides.start(model, 5, {1900, 1400}, {2000, 1440}, 2, 1000);
    EXPECT_EQ(model.piece(5).x, 1900);
    EXPECT_FALSE(glides.step(model, 1050).empty());
    EXPECT_EQ(model.piece(5).x, 1950);
    EXPECT_EQ(model.piece(5).y, 1420);
    glides.step(model, 1120);
    EXPECT_EQ(model.piece(5).x, 2000);
    EXPECT_FALSE(glides.active());
    // A new glide, then the drop puts the group elsewhere and frees it.
    model.moveGroup(ListId::Main, 5, 2100, 1440);
    glides.start(model, 5, {2000, 1440}, {2100, 1440}, 2, 2000);
    model.moveGroup(ListId::Main, 5, 2150, 1450);
    holders.setHolder(5, pavalo::kNoHolder);
    EXPECT_TRUE(glides.step(model, 2050).empty());
    EXPECT_EQ(model.piece(5).x, 2150);
    EXPECT_FALSE(glides.active());
    model.setHolderTable(nullptr);
}

TEST(GameLink, HostedSessionSeesAJoinedPlayersDragAndDrop) {
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "pavalo-link";
    std::filesystem::create_directories(dir);
    const std::string puzzle = (dir / "link.gvp").string();
    {
        PuzzleModel model = test::gridPuzzle(10, 8);
        SettingsRecord record;
        std::string error;
        ASSERT_TRUE(savePuzzleFile(puzzle, record, model, error)) << error;
    }
    ScriptedPlatform platform;
    Random random(4);
    GameSession session(SessionOptions{"", HeadlessGame::kPlayWidth, HeadlessGame::kPlayHeight}, platform, random);
    ASSERT_TRUE(session.document().open(puzzle));

    std::atomic<NetGameLink*> linked{nullptr};
    NetLayer layer(NetHooks{.postNetMessage = {},
                            .sendNetMessage = {},
                            .dispatch = [&](bool) {
                                if (NetGameLink* l = linked.load()) l->dispatchServer();
                            },
                            .showMessage = {},
                            .playerListChanged = {},
                            .returnSortingBoxPieces = {},
                            .redrawPlayArea = {},
                            .becameHost = {},
                            .lobbyStatus = {},
                            .systemMessage = {}});
    layer.setSettings(test::loopbackSettings());
    ASSERT_TRUE(layer.openSession("Game", "Host", 4, kGameCooperative, 1, 0xFF));
    NetGameLink link(session, layer);
    HeadlessGame bot(test::loopbackSettings());
    std::string error;
    ASSERT_TRUE(bot.open(puzzle, error)) << error;
    ASSERT_EQ(bot.join("127.0.0.1", layer.session()->listenPort(), "Bot"), JoinResult::Ok);
    ASSERT_TRUE(test::waitUntil([&] { return layer.playerTable().inUseCount() == 2; }));
    link.start();
    linked = &link;
    bot.start();

    // The user-interface thread of the window, as a loop.
    std::atomic<bool> stop{false};
    std::thread ui([&] {
        while (!stop) {
            link.dispatch();
            link.idle(layer.clockMs());
            layer.resendPass();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    PuzzleModel& mine = bot.model();
    const int32_t piece = 17;
    ASSERT_EQ(bot.senders().requestPickup(ListId::Main, piece), 1);
    const int32_t x = mine.piece(piece).x + 120, y = mine.piece(piece).y - 60;
    mine.moveGroup(ListId::Main, piece, x, y);
    ASSERT_TRUE(bot.senders().sendMove(ListId::Main, piece, x, y));
    // The window's model follows the drag (gliding there).
    EXPECT_TRUE(test::waitUntil([&] {
        NamedLock lock(NamedMutex::PIECE);
        return session.model().piece(piece).x == x && session.model().piece(piece).y == y;
    }));
    EXPECT_EQ(session.model().holders().holderOf(piece), layer.playerTable().slotOf(bot.layer().localPlayerId(), false));
    mine.moveGroup(ListId::Main, piece, x + 30, y);
    bot.senders().sendDrop(ListId::Main, piece);
    EXPECT_TRUE(test::waitUntil([&] {
        NamedLock lock(NamedMutex::PIECE);
        return session.model().piece(piece).x == x + 30 && session.model().holders().holderOf(piece) == pavalo::kNoHolder;
    }));
    stop = true;
    ui.join();
    linked = nullptr;
    bot.close();
    layer.closeSession();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pavalo::net
