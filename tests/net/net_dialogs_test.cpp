// The set-up dialogs' models and the chat texts.
#include <gtest/gtest.h>

#include "net/chat.h"
#include "net/net_dialogs.h"
#include "net/waiting_room.h"
#include "platform/scripted_platform.h"

namespace pavalo::net {
namespace {

TEST(CreateGameDialog, MaxPlayersStaysWithinTwoToSixteen) {
    PreferencesRecord prefs;
    prefs.maxPlayers = 15;
    CreateGameDialog d(prefs, "Player");
    EXPECT_EQ(d.sessionName, kUnnamedSession);
    for (ScrollAction a : {ScrollAction::LineUp, ScrollAction::PageUp, ScrollAction::Top}) d.scroll(a);
    EXPECT_EQ(d.maxPlayers(), 16);
    EXPECT_EQ(d.maxPlayersText(), "16");
    for (int i = 0; i < 13; ++i) d.scroll(i % 2 ? ScrollAction::PageDown : ScrollAction::Bottom);
    EXPECT_EQ(d.maxPlayers(), 3);
    d.scroll(ScrollAction::LineDown);
    d.scroll(ScrollAction::LineDown);
    EXPECT_EQ(d.maxPlayers(), 2);

    // Typed values outside the range, or no number at all, are refused.
    ScriptedPlatform platform;
    for (const char* typed : {"17", "1", "", "4x", "-3"}) {
        d.typeMaxPlayers(typed);
        EXPECT_FALSE(d.accept(platform, prefs)) << typed;
        EXPECT_EQ(d.focus(), CreateGameDialog::Field::MaxPlayers);
    }
    EXPECT_EQ(platform.messages.back().text, kMsgMaxPlayersRange);
    d.typeMaxPlayers("12");
    d.scroll(ScrollAction::LineUp);  // the bar steps from what was typed
    EXPECT_EQ(d.maxPlayers(), 13);
    EXPECT_EQ(prefs.maxPlayers, 15);
}

// Cheats Yes allows every tool, No none, the custom choice what "Settings"
// left; a cancelled "Settings" changes nothing. OK remembers the choices.
TEST(CreateGameDialog, CheatsAndTheSettingsCopyMakeTheOptions) {
    PreferencesRecord prefs;
    prefs.toolsAllowed = {1, 0, 1, 0, 0, 0};
    prefs.gameType = 1;
    prefs.sortingBoxesAllowed = 1;
    CreateGameDialog d(prefs, "Ann");
    EXPECT_EQ(d.sessionName, "Ann");
    EXPECT_EQ(d.cheats, CheatsChoice::Advanced);
    EXPECT_TRUE(d.competitive);

    std::array<bool, 6> edited = d.settingsCopy();
    edited[5] = true;
    d.settingsClosed(false, edited);
    EXPECT_FALSE(d.tools[5]);
    d.settingsClosed(true, edited);
    ScriptedPlatform platform;
    std::optional<NetOptions> o = d.accept(platform, prefs);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->allowed, (std::array<uint32_t, 7>{1, 1, 0, 1, 0, 0, 1}));
    EXPECT_EQ(o->gameType, kGameCompetitive);
    EXPECT_EQ(o->sessionName, "Ann");
    EXPECT_EQ(prefs.toolsAllowed, (std::array<int32_t, 6>{1, 0, 1, 0, 0, 1}));
    EXPECT_EQ(PreferencesRecord::text(prefs.sessionName), "Ann");

    d.cheats = CheatsChoice::Yes;
    o = d.accept(platform, prefs);
    EXPECT_EQ(roomOptionLines(*o, false)[1], "Cheats Allowed: All");
    EXPECT_EQ(sessionInfoLines(nullptr)[5], "Cheats Allowed: ");
    SessionDesc desc;
    desc.user3 = 0xBE;  // every tool; no boxes, not rotated
    EXPECT_EQ(sessionInfoLines(&desc)[5],
              "Cheats Allowed: Arrange, Solve, Find by Color, Find Edges, Find Nearby Pieces, Puzzle Outline");
    EXPECT_EQ(CreateGameDialog(prefs, "Ann").cheats, CheatsChoice::Yes);

    d.cheats = CheatsChoice::No;
    d.sortingBoxes = false;
    o = d.accept(platform, prefs);
    EXPECT_EQ(o->allowed, (std::array<uint32_t, 7>{}));
    EXPECT_EQ(roomOptionLines(*o, false)[1], "Cheats Allowed: None");
    EXPECT_EQ(CreateGameDialog(prefs, "Ann").cheats, CheatsChoice::No);
    EXPECT_TRUE(platform.messages.empty());

    d.sessionName.clear();
    EXPECT_FALSE(d.accept(platform, prefs));
    EXPECT_EQ(platform.messages.back().text, kMsgNoSessionName);
    EXPECT_EQ(d.focus(), CreateGameDialog::Field::SessionName);
}

TEST(PlayerNameDialog, NamesAreCutToTheFieldAndBlankPlaysAsPlayer) {
    PreferencesRecord prefs;
    PlayerNameDialog d("Ann");
    d.setName(std::string(62, 'a') + "\xC3\xA9");  // the last character would not fit whole
    EXPECT_EQ(d.name(), std::string(62, 'a'));
    EXPECT_EQ(d.accept(prefs), std::string(62, 'a'));
    d.setName("  ");
    EXPECT_EQ(d.accept(prefs), kDefaultPlayerName);
    EXPECT_EQ(PreferencesRecord::text(prefs.playerName), kDefaultPlayerName);
}

TEST(JoinGameDialog, InformationLinesSelectionAndRefusals) {
    FoundSession a, b;
    a.desc.name = "First";
    a.desc.instance[0] = 1;
    a.desc.maxPlayers = 9;
    a.desc.currentPlayers = 3;
    a.desc.user1 = 1;
    a.desc.user3 = 0x41 | 0x20;  // boxes, rotated, Find by Color
    b.desc.name = std::string("Tab\there");
    b.desc.instance[0] = 2;

    JoinGameDialog d;
    ScriptedPlatform platform;
    int joins = 0;
    const auto joiner = [&](const FoundSession& s) {
        ++joins;
        return s.desc.name == "First" ? JoinResult::Ok : JoinResult::Refused;
    };
    d.setSessions({b, a});
    EXPECT_EQ(d.sessionNames(), (std::vector<std::string>{"Tab here", "First"}));
    EXPECT_EQ(d.infoLines()[0], "Max Players: ");
    EXPECT_FALSE(d.join(platform, joiner));
    EXPECT_EQ(platform.messages.back().text, kMsgSelectGameFirst);
    EXPECT_EQ(joins, 0);

    d.select(1);
    d.setSessions({a});  // the chosen session stays chosen where it moved
    EXPECT_EQ(d.selected(), 0);
    EXPECT_EQ(d.infoLines(),
              (std::array<std::string, 6>{"Max Players: 8", "Current Players: 2", "Game Type: Competitive",
                                          "Sorting Boxes: On", "Rotated Pieces: On", "Cheats Allowed: Find by Color"}));
    EXPECT_TRUE(d.join(platform, joiner));
    d.setSessions({b});
    EXPECT_EQ(d.selected(), -1);
    d.select(0);
    EXPECT_FALSE(d.join(platform, joiner));
    EXPECT_EQ(platform.messages.back().text, kMsgUnableToJoin);
    d.select(5);
    EXPECT_EQ(d.selected(), -1);
}

TEST(ChatText, ShownSafelyAndSentWithinLimits) {
    EXPECT_EQ(safeDisplayText("a\x1b[2Jb\x7f", 20), "a [2Jb ");
    EXPECT_EQ(safeDisplayText("\xC0\xAF\xED\xA0\x80ok", 20), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDok");
    EXPECT_EQ(safeDisplayText("\xC2\x85x", 20), " x");
    EXPECT_EQ(safeDisplayText("abcdef", 4), "abc\xE2\x80\xA6");
    EXPECT_EQ(safeDisplayText("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xE2\x80\xA6");
    EXPECT_EQ(padRight("\xC3\xA9", 3), "\xC3\xA9  ");

    const std::string many(300, 'y');
    EXPECT_EQ(chatTextToSend(many).size(), 250u);
    std::string accents;
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
    const std::string sent = chatTextToSend(accents);
    EXPECT_EQ(sent.size(), 254u);  // the 128th would not fit the message's field
    EXPECT_EQ(safeDisplayText(sent, 1000), sent);
    EXPECT_EQ(chatTextToSend("\xFFhi"), "hi");
}

TEST(ChatRouter, TheWaitingRoomTakesChatWhileOpen) {
    ChatLog room, game;
    ChatRouter router;
    router.chatLine("Nobody", "lost quietly");
    router.setGameWindow(&game);
    router.setWaitingRoom(&room);
    router.chatLine("Ann", "hello");
    router.setWaitingRoom(nullptr);
    router.chatLine("Bob", "in game");
    EXPECT_EQ(room.lines(), std::vector<std::string>{"Ann: hello"});
    EXPECT_EQ(game.lines(), std::vector<std::string>{"Bob: in game"});
    for (size_t i = 0; i < kChatLogLines + 3; ++i) game.chatLine("B", std::to_string(i));
    EXPECT_EQ(game.lines().size(), kChatLogLines);
    EXPECT_EQ(game.lines().front(), "B: 3");
}

}  // namespace
}  // namespace pavalo::net
