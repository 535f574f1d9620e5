// Standings lines, finishing announcements and the end of a game.
#include <gtest/gtest.h>

#include "net/standings.h"
#include "tests/net/fake_roster.h"

namespace pavalo::net {
namespace {

using test::FakeRoster;

class StandingsTest : public ::testing::Test {
protected:
    FakeRoster roster;
    ChatLog chat;
    Standings standings{roster, chat};

    void SetUp() override {
        roster.add(2, "Me");
        roster.add(5, "Bartholomew-Longname");
        roster.add(7, "Cy");
    }
};

TEST_F(StandingsTest, CooperativeListsPiecesLocalPlayerFirst) {
    roster.table[0].data.piecesPlaced = 12;
    roster.table[1].data.piecesPlaced = 3;
    roster.me = 5;
    standings.newPuzzle(kGameCooperative, 100, 0);
    EXPECT_EQ(standings.refresh(0), (std::vector<std::string>{"Bartholomew-Lon  3     ", "Me               12    ",
                                                              "Cy               0     "}));
    EXPECT_EQ(standings.scoreLines()[0], "Player Name      Pieces");
    EXPECT_EQ(standings.scoreLines()[1], "---------------  ------");
    EXPECT_EQ(standings.scoreLines()[3], "Me               12    ");
    EXPECT_FALSE(standings.gameOver(false));
    EXPECT_TRUE(standings.takeGameEnd(true));
    EXPECT_FALSE(standings.takeGameEnd(true));
}

// 999 of 1000 is 99 % in the list; the last piece gives the time instead.
// The score dialog shows the plain share.
TEST_F(StandingsTest, CompetitiveShareNeverReadsHundredBeforeTheEnd) {
    standings.newPuzzle(kGameCompetitive, 1000, 0);
    roster.table[1].data.piecesPlaced = 999;
    roster.table[2].data.piecesPlaced = 1000;
    roster.table[2].data.elapsedMs = 3723000;  // 1:02:03
    const std::vector<std::string> lines = standings.refresh(500);
    EXPECT_EQ(lines[0], "Me                 0  %");
    EXPECT_EQ(lines[1], "Bartholomew-Lon    99 %");
    EXPECT_EQ(lines[2], "Cy                 01:02:03");
    EXPECT_EQ(standings.scoreLines()[0], "Player Name      Complete");
    EXPECT_EQ(standings.scoreLines()[1], "---------------    ----");
    EXPECT_EQ(standings.scoreLines()[4], "Cy                 100%");

    // A count past the pieces (placements counted twice) is not a finish
    // and never reads 100 either.
    roster.table[1].data.piecesPlaced = 1001;
    EXPECT_EQ(standings.refresh(0)[1], "Bartholomew-Lon    99 %");
}

// Each finish is announced once however often the list is refreshed; the
// local time counts across a wrap of the tick counter and stays fixed.
TEST_F(StandingsTest, FinishesAreAnnouncedOnce) {
    standings.newPuzzle(kGameCompetitive, 50, 0xFFFFF000u);
    roster.table[2].data = {0, 50, 4, 61000};
    standings.refresh(0);
    standings.refresh(10);
    roster.table[0].data.piecesPlaced = 50;
    const uint32_t now = 0x1000u + 3600000u;  // an hour and 8192 ms after the start
    EXPECT_EQ(standings.refresh(now)[0], "Me                 01:00:08");
    roster.table[2].data.elapsedMs = 99000;  // a later record is not taken
    for (int i = 0; i < 5; ++i) EXPECT_EQ(standings.refresh(now + 60000 * uint32_t(i))[0], "Me                 01:00:08");
    EXPECT_EQ(standings.refresh(now)[2], "Cy                 00:01:01");
    EXPECT_EQ(chat.lines(), (std::vector<std::string>{"Pavalo: Cy finished the game in 00:01:01",
                                                      "Pavalo: You finished the game in 01:00:08"}));
    EXPECT_EQ(standings.localFinishMs(), 3608192);
    standings.newPuzzle(kGameCompetitive, 50, 0);
    EXPECT_EQ(standings.localFinishMs(), -1);
}

// A Competitive game ends when everybody still here has finished.
TEST_F(StandingsTest, CompetitiveEndsWhenEveryPlayerFinishedOrLeft) {
    standings.newPuzzle(kGameCompetitive, 10, 0);
    roster.table[0].data.piecesPlaced = 10;
    roster.table[1].data.piecesPlaced = 10;
    EXPECT_FALSE(standings.gameOver(true));
    roster.table.pop_back();  // Cy left unfinished
    EXPECT_TRUE(standings.takeGameEnd(false));
    EXPECT_FALSE(standings.takeGameEnd(false));
}

TEST_F(StandingsTest, TeamsSumTheirPlayersPieces) {
    standings.newPuzzle(kGameTeamCompetitive, 100, 0);
    roster.me = 5;
    roster.table[0].data = {1, 4, 4, 0};
    roster.table[1].data = {0, 6, 4, 0};
    roster.table[2].data = {1, 9, 4, 0};
    roster.table[0].data.setTeam(1);
    roster.table[1].data.setTeam(2);
    roster.table[2].data.setTeam(1);
    EXPECT_EQ(standings.refresh(0), (std::vector<std::string>{"Team 2           6     ", "Team 1           13    "}));
    EXPECT_EQ(standings.scoreLines().size(), 4u);
}

TEST_F(StandingsTest, ListsStayEmptyWithoutASession) {
    roster.open = false;
    standings.newPuzzle(kGameCompetitive, 10, 0);
    EXPECT_TRUE(standings.refresh(0).empty());
    EXPECT_TRUE(standings.scoreLines().empty());
    EXPECT_FALSE(standings.gameOver(true));
    EXPECT_TRUE(chat.lines().empty());
}

}  // namespace
}  // namespace pavalo::net
