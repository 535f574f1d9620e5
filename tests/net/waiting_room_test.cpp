// The waiting room's rules on a roster kept in a table.
#include <gtest/gtest.h>

#include "net/waiting_room.h"
#include "platform/scripted_platform.h"
#include "tests/net/fake_roster.h"

namespace pavalo::net {
namespace {

using test::FakeRoster;

NetOptions optionsOfType(uint32_t type) {
    NetOptions o;
    o.sessionName = "Evening";
    o.maxPlayers = 8;
    o.gameType = type;
    o.allowed = {1, 1, 0, 0, 0, 0, 0};
    return o;
}

class WaitingRoomTest : public ::testing::Test {
protected:
    FakeRoster roster;
    ScriptedPlatform platform;
    TeamTable teams;

    WaitingRoom room(uint32_t type) { return WaitingRoom(roster, platform, teams, optionsOfType(type), true); }
};

// A player who is not the host, in a Cooperative game: no Ready box to see
// or tick, and Start Game stays out of reach; opening publishes it ready.
TEST_F(WaitingRoomTest, CooperativePlayerSeesNoReadyBoxesAndCannotStart) {
    roster.host = false;
    roster.me = 5;
    roster.add(5, "Guest");
    roster.add(2, "Host", {1, 0, 2, 0});
    WaitingRoom r = room(kGameCooperative);
    r.open();
    EXPECT_FALSE(r.readyBoxesShown());
    EXPECT_FALSE(r.teamColumnsShown());
    EXPECT_FALSE(r.startEnabled());
    ASSERT_EQ(roster.published.size(), 1u);
    EXPECT_EQ(roster.published[0].ready, 1u);
    EXPECT_TRUE(roster.joinDisabled);  // only the host opens the session
    for (const RoomRow& row : r.rows()) EXPECT_FALSE(row.readyEnabled);
    r.tickReady(0, false);
    EXPECT_EQ(roster.player(5).data.ready, 1u);
    EXPECT_FALSE(r.startGame());
    EXPECT_TRUE(roster.sent.empty());
    EXPECT_EQ(r.result(), RoomResult::Open);
}

// Rows follow the slots: left list first, the local player's box alone
// enabled, empty rows cleared; names from the wire shown safely.
TEST_F(WaitingRoomTest, RowsFollowSlotsAndOnlyTheLocalBoxTicks) {
    roster.me = 2;
    roster.add(2, "Host");
    for (uint32_t id = 3; id < 12; ++id) roster.add(id, "P" + std::to_string(id), {id % 2, 0, 2, 0});
    roster.player(7).name = std::string("Bad\x01\xFFname");
    WaitingRoom r = room(kGameCompetitive);
    r.open();
    EXPECT_TRUE(r.readyBoxesShown());
    EXPECT_FALSE(roster.joinDisabled);
    const auto& rows = r.rows();
    EXPECT_EQ(rows[8].name, "P10");  // the ninth player heads the right list
    EXPECT_EQ(rows[5].name, "Bad \xEF\xBF\xBDname");
    EXPECT_TRUE(rows[0].ready);  // the host is ready by opening
    EXPECT_TRUE(rows[1].ready);  // id 3
    EXPECT_FALSE(rows[2].ready);
    EXPECT_TRUE(rows[0].readyEnabled);
    EXPECT_FALSE(rows[1].readyEnabled);
    EXPECT_FALSE(rows[10].used);
    EXPECT_FALSE(rows[10].ready || rows[10].readyEnabled);

    r.tickReady(3, false);  // another player's box
    EXPECT_TRUE(roster.player(2).data.ready);
    r.tickReady(0, false);
    EXPECT_FALSE(r.rows()[0].ready);
    EXPECT_EQ(roster.published.back().ready, 0u);
}

// Start Game's two refusals, then BEGINGAME from the server player, the
// server player playing, joining closed and the host's ready cleared.
TEST_F(WaitingRoomTest, StartWaitsForReadyBoxesAndDownloadsThenBegins) {
    roster.add(2, "Host", {0, 0, 2, 0});
    roster.add(4, "Ann", {0, 0, 2, 0});
    WaitingRoom r = room(kGameCompetitive);
    r.open();
    EXPECT_FALSE(r.startGame());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, kMsgWaitForReady);

    roster.player(4).data.ready = 1;
    ASSERT_TRUE(r.startGame());
    EXPECT_EQ(r.result(), RoomResult::Start);
    ASSERT_EQ(roster.sent.size(), 1u);
    EXPECT_EQ(roster.sent[0].message.id, kMsgBeginGame);
    EXPECT_EQ(roster.sent[0].from, kServerPlayer);
    EXPECT_EQ(roster.sent[0].to, kAllPlayers);
    ASSERT_EQ(roster.serverPublished.size(), 1u);
    EXPECT_EQ(roster.serverPublished[0].state, uint32_t(PlayerState::Playing));
    EXPECT_TRUE(roster.joinDisabled);
    EXPECT_EQ(roster.player(2).data.ready, 0u);
    EXPECT_FALSE(r.startGame());  // closed
    EXPECT_EQ(roster.sent.size(), 1u);
}

TEST_F(WaitingRoomTest, CooperativeStartWaitsForDownloadsAndExitToo) {
    roster.add(2, "Host");
    roster.add(4, "Ann", {0, 0, uint32_t(PlayerState::Downloading), 0});
    WaitingRoom r = room(kGameCooperative);
    r.open();
    EXPECT_FALSE(r.startGame());
    EXPECT_FALSE(r.exit());
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].text, kMsgWaitForDownload);
    EXPECT_EQ(platform.messages[1].text, kMsgWaitForDownload);
    EXPECT_EQ(r.result(), RoomResult::Open);

    roster.player(4).data = {1, 0, uint32_t(PlayerState::PictureLoaded), 0};
    EXPECT_TRUE(r.exit());
    EXPECT_EQ(r.result(), RoomResult::Exit);
}

// Two players of one name: the second such row kicks the second of them in
// slot order; No, row 0 and a player's machine kick nobody.
TEST_F(WaitingRoomTest, KickingTheSecondRowOfANameKicksTheSecondSuchPlayer) {
    roster.add(2, "Host");
    roster.add(9, "Bob");
    roster.add(4, "Ann");
    roster.add(6, "Bob");
    WaitingRoom r = room(kGameCooperative);
    r.open();
    EXPECT_FALSE(r.kickEnabled(0));
    platform.messageAnswers = {MessageResult::No};
    EXPECT_FALSE(r.kick(3));
    EXPECT_TRUE(roster.sent.empty());
    ASSERT_TRUE(r.kick(3));
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, "Kick Bob from the game?");
    EXPECT_EQ(platform.messages[1].caption, kKickCaption);
    EXPECT_EQ(platform.messages[1].buttons, MessageButtons::YesNo);
    ASSERT_EQ(roster.sent.size(), 1u);
    EXPECT_EQ(roster.sent[0].message.id, kMsgKickPlayer);
    EXPECT_EQ(roster.sent[0].from, kServerPlayer);
    EXPECT_EQ(roster.sent[0].to, 6u);
    ASSERT_TRUE(r.kick(1));
    EXPECT_EQ(roster.sent[1].to, 9u);

    roster.host = false;
    EXPECT_FALSE(r.kick(2));
    EXPECT_EQ(roster.sent.size(), 2u);
}

TEST_F(WaitingRoomTest, BeginGameAndKickCloseAPlayersRoom) {
    roster.host = false;
    roster.me = 4;
    roster.add(4, "Ann", {1, 0, 2, 0});
    WaitingRoom begun = room(kGameCompetitive);
    begun.open();
    begun.beginGameArrived();
    EXPECT_EQ(begun.result(), RoomResult::Start);
    EXPECT_EQ(roster.player(4).data.ready, 0u);
    begun.kicked();  // too late to change the result
    EXPECT_FALSE(begun.wasKicked());

    WaitingRoom kicked = room(kGameCompetitive);
    kicked.open();
    kicked.kicked();
    EXPECT_EQ(kicked.result(), RoomResult::Exit);
    EXPECT_TRUE(kicked.wasKicked());
}

// Refresh triggers: a change noticed on another thread is shown by the
// next poll, a departure frees its row.
TEST_F(WaitingRoomTest, ChangesShowAtTheNextPoll) {
    roster.add(2, "Host");
    roster.add(4, "Ann");
    WaitingRoom r = room(kGameCompetitive);
    r.open();
    EXPECT_FALSE(r.poll());
    roster.table.pop_back();
    EXPECT_TRUE(r.rows()[1].used);
    r.playersChanged();
    EXPECT_TRUE(r.poll());
    EXPECT_FALSE(r.rows()[1].used);
    roster.open = false;
    r.refresh();
    EXPECT_FALSE(r.rows()[0].used);
}

TEST_F(WaitingRoomTest, OptionLinesNameTheAllowedTools) {
    NetOptions o = optionsOfType(0);
    EXPECT_EQ(roomOptionLines(o, false),
              (std::vector<std::string>{"Sorting Boxes: On", "Cheats Allowed: Arrange", "Rotated Pieces:Off"}));
    o.allowed = {0, 0, 1, 1, 0, 1, 1};  // Solve, Nearby, Colour, Outline
    EXPECT_EQ(roomOptionLines(o, true)[1], "Cheats Allowed: Solve, Find by Color, Find Nearby Pieces, Puzzle Outline");
    EXPECT_EQ(roomOptionLines(o, true)[2], "Rotated Pieces:On");
    o.allowed = {0, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(roomOptionLines(o, false)[1], "Cheats Allowed: All");
    EXPECT_EQ(roomOptionLines(o, false)[0], "Sorting Boxes: Off");
    o.allowed = {1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(roomOptionLines(o, false)[1], "Cheats Allowed: None");
}

// Teams: newcomers go to the smaller team; those already placed stay when
// somebody leaves; the team columns show only in Team Competitive.
TEST_F(WaitingRoomTest, NewcomersBalanceTheTeams) {
    TeamTable t;
    t.update({2, 3, 4});
    EXPECT_EQ(t.teamOf(2), 1);
    EXPECT_EQ(t.teamOf(3), 2);
    EXPECT_EQ(t.teamOf(4), 1);
    t.update({3, 4});
    t.update({3, 4, 8, 9});
    EXPECT_EQ(t.teamOf(3), 2);
    EXPECT_EQ(t.teamOf(4), 1);
    EXPECT_EQ(t.teamOf(8), 1);
    EXPECT_EQ(t.teamOf(9), 2);
    EXPECT_EQ(t.teamOf(2), 0);

    roster.add(2, "Host");
    roster.add(4, "Ann");
    WaitingRoom r = room(kGameTeamCompetitive);
    r.open();
    EXPECT_TRUE(r.teamColumnsShown());
    EXPECT_EQ(r.rows()[0].team, 1);
    EXPECT_EQ(r.rows()[1].team, 2);
}

TEST_F(WaitingRoomTest, ChatIsSentCutAndShown) {
    roster.add(2, "Host");
    WaitingRoom r = room(kGameCooperative);
    r.open();
    r.sendChat(std::string(300, 'x'));
    r.sendChat("");
    ASSERT_EQ(roster.sent.size(), 1u);
    EXPECT_EQ(roster.sent[0].message.id, kMsgChat);
    EXPECT_EQ(roster.sent[0].message.text.size(), kChatInputLimit);
    EXPECT_EQ(roster.sent[0].from, 2u);
    ASSERT_EQ(r.chat().lines().size(), 1u);
    EXPECT_EQ(r.chat().lines()[0].substr(0, 7), "Host: x");
}

}  // namespace
}  // namespace pavalo::net
