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
    WaitingRoom room(uint32_t type) { return WaitingRoom(roster, roster, platform, optionsOfType(type), true); }
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
    for (const RoomRow& row : r.rows()) EXPECT_FALSE(row.readyEnabled);
    r.tickReady(0, false);
    EXPECT_TRUE(roster.readyCalls.empty());
    EXPECT_FALSE(r.startGame());
    EXPECT_EQ(roster.begins, 0);
    EXPECT_FALSE(r.closed());
}

// Rows follow the slots: left list first, the local player's box alone
// enabled, empty rows cleared; names from the wire shown safely.
TEST_F(WaitingRoomTest, RowsFollowSlotsAndOnlyTheLocalBoxTicks) {
    roster.me = 2;
    roster.add(2, "Host");
    roster.player(2).data.ready = 1;
    for (uint32_t id = 3; id < 12; ++id) roster.add(id, "P" + std::to_string(id), {id % 2, 0, 2, 0});
    roster.player(7).name = std::string("Bad\x01\xFFname");
    WaitingRoom r = room(kGameCompetitive);
    r.open();
    EXPECT_TRUE(r.readyBoxesShown());
    const auto& rows = r.rows();
    EXPECT_EQ(rows[8].name, "P10");  // the ninth player heads the right list
    EXPECT_EQ(rows[5].name, "Bad\xEF\xBF\xBD\xEF\xBF\xBDname");
    EXPECT_TRUE(rows[0].ready);
    EXPECT_TRUE(rows[1].ready);  // id 3
    EXPECT_FALSE(rows[2].ready);
    EXPECT_TRUE(rows[0].readyEnabled);
    EXPECT_FALSE(rows[1].readyEnabled);
    EXPECT_FALSE(rows[10].used);
    EXPECT_FALSE(rows[10].ready || rows[10].readyEnabled);

    r.tickReady(3, false);  // another player's box
    EXPECT_TRUE(roster.readyCalls.empty());
    r.tickReady(0, false);
    EXPECT_FALSE(r.rows()[0].ready);
    EXPECT_EQ(roster.readyCalls, std::vector<bool>{false});
}

// Start Game shows what the set-up refuses with (nothing for an empty
// refusal) and closes the room once the game began; Exit on the host waits
// for the downloads.
TEST_F(WaitingRoomTest, StartShowsRefusalsAndExitWaitsForDownloads) {
    roster.add(2, "Host", {1, 0, 2, 0});
    roster.add(4, "Ann", {0, 0, uint32_t(PlayerState::Downloading), 0});
    roster.refusals = {"Not yet", ""};
    WaitingRoom r = room(kGameCompetitive);
    r.open();
    EXPECT_FALSE(r.startGame());
    EXPECT_FALSE(r.startGame());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "Not yet");
    EXPECT_FALSE(r.exit());
    EXPECT_EQ(platform.messages.back().text, setup_text::kWaitForDownloads);
    EXPECT_FALSE(r.closed());
    EXPECT_EQ(r.result(), RoomResult::Exit);

    ASSERT_TRUE(r.startGame());
    EXPECT_EQ(r.result(), RoomResult::Start);
    EXPECT_FALSE(r.startGame());  // closed
    EXPECT_FALSE(r.exit());
    EXPECT_EQ(roster.begins, 3);

    roster.player(4).data.state = uint32_t(PlayerState::PictureLoaded);
    WaitingRoom second = room(kGameCompetitive);
    second.open();
    EXPECT_TRUE(second.exit());
    EXPECT_EQ(second.result(), RoomResult::Exit);
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
    EXPECT_TRUE(roster.kicks.empty());
    ASSERT_TRUE(r.kick(3));
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, "Kick Bob from the game?");
    EXPECT_EQ(platform.messages[1].caption, setup_text::kKickCaption);
    EXPECT_EQ(platform.messages[1].buttons, MessageButtons::YesNo);
    ASSERT_TRUE(r.kick(1));
    EXPECT_EQ(roster.kicks, (std::vector<uint32_t>{6, 9}));

    roster.host = false;
    EXPECT_FALSE(r.kick(2));
    EXPECT_EQ(roster.kicks.size(), 2u);
}

TEST_F(WaitingRoomTest, BeginGameAndKickCloseAPlayersRoom) {
    roster.host = false;
    roster.me = 4;
    roster.add(4, "Ann", {1, 0, 2, 0});
    WaitingRoom begun = room(kGameCompetitive);
    begun.open();
    begun.beginGameArrived();
    EXPECT_EQ(begun.result(), RoomResult::Start);
    begun.kicked();  // too late to change the result
    EXPECT_FALSE(begun.wasKicked());

    WaitingRoom kicked = room(kGameCompetitive);
    kicked.open();
    kicked.kicked();
    EXPECT_TRUE(kicked.closed());
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

TEST_F(WaitingRoomTest, OptionLinesSayWhatTheHostAllowed) {
    NetOptions o = optionsOfType(0);
    EXPECT_EQ(roomOptionLines(o, false),
              (std::vector<std::string>{"Sorting Boxes: On", "Cheats Allowed: Arrange", "Rotated Pieces:Off"}));
    o.allowed = {0, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(roomOptionLines(o, true),
              (std::vector<std::string>{"Sorting Boxes: Off", "Cheats Allowed: All", "Rotated Pieces:On"}));
}

// Team Competitive: the team column shows the lobby's teams, kept apart
// from the ready flag that shares their field.
TEST_F(WaitingRoomTest, TeamsShowBesideTheReadyFlag) {
    PlayerData teamTwoReady{1, 0, 2, 0}, teamOne{0, 0, 2, 0};
    teamTwoReady.setTeam(2);
    teamOne.setTeam(1);
    roster.add(2, "Host", teamOne);
    roster.add(4, "Ann", teamTwoReady);
    WaitingRoom r = room(kGameTeamCompetitive);
    r.open();
    EXPECT_TRUE(r.teamColumnsShown());
    EXPECT_EQ(r.rows()[0].team, 1);
    EXPECT_EQ(r.rows()[1].team, 2);
    EXPECT_FALSE(r.rows()[0].ready);
    EXPECT_TRUE(r.rows()[1].ready);
    r.tickReady(0, true);
    EXPECT_TRUE(r.rows()[0].ready);
    EXPECT_EQ(r.rows()[0].team, 1);

    // Each player picks its own team, 1 or 2, and nobody else's.
    EXPECT_TRUE(r.rows()[0].teamEnabled);
    EXPECT_FALSE(r.rows()[1].teamEnabled);
    r.chooseTeam(1, 1);
    r.chooseTeam(0, 3);
    r.chooseTeam(0, 0);
    EXPECT_TRUE(roster.teamCalls.empty());
    r.chooseTeam(0, 2);
    EXPECT_EQ(roster.teamCalls, std::vector<int>{2});
    EXPECT_EQ(r.rows()[0].team, 2);
    EXPECT_TRUE(r.rows()[0].ready);  // the team shares the ready field

    // Other game types have no teams to pick.
    WaitingRoom plain = room(kGameCompetitive);
    plain.open();
    EXPECT_FALSE(plain.rows()[0].teamEnabled);
    plain.chooseTeam(0, 1);
    EXPECT_EQ(roster.teamCalls.size(), 1u);
}

TEST_F(WaitingRoomTest, ChatIsSentCutAndShown) {
    roster.add(2, "Host");
    WaitingRoom r = room(kGameCooperative);
    r.open();
    r.sendChat(std::string(300, 'x'));
    r.sendChat("");
    ASSERT_EQ(roster.chats.size(), 1u);
    EXPECT_EQ(roster.chats[0].size(), kChatInputLimit);
    ASSERT_EQ(r.chat().lines().size(), 1u);
    EXPECT_EQ(r.chat().lines()[0].substr(0, 7), "Host: x");
}

}  // namespace
}  // namespace pavalo::net
