// The player-name model and the chat texts.
#include <gtest/gtest.h>

#include "net/chat.h"
#include "net/net_dialogs.h"

namespace pavalo::net {
namespace {

TEST(PlayerNameDialog, NamesAreCutToTheFieldAndBlankPlaysAsPlayer) {
    PlayerNameDialog d("Ann");
    d.setName(std::string(62, 'a') + "\xC3\xA9");  // the last character would not fit whole
    EXPECT_EQ(d.name(), std::string(62, 'a'));
    EXPECT_EQ(d.accepted(), std::string(62, 'a'));
    d.setName("  ");
    EXPECT_EQ(d.accepted(), setup_text::kDefaultPlayerName);
}

TEST(ChatText, SentWithinLimitsAndPaddedByCharacters) {
    EXPECT_EQ(padRight("\xC3\xA9", 3), "\xC3\xA9  ");
    EXPECT_EQ(padRight("abcd", 3), "abcd");
    EXPECT_EQ(chatTextToSend(std::string(300, 'y')).size(), 250u);
    std::string accents;
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
    const std::string sent = chatTextToSend(accents);
    EXPECT_EQ(sent.size(), 254u);  // the 128th would not fit the message's field
    EXPECT_EQ(displayableText(sent, 1000), sent);
    EXPECT_EQ(chatTextToSend("\x07hi"), "\xEF\xBF\xBDhi");
}

TEST(ChatRouter, TheWaitingRoomTakesChatWhileOpenAndNoLineIsLostBetweenWindows) {
    ChatLog room, game;
    ChatRouter router;
    router.setWaitingRoom(&room);
    router.chatLine("Ann", "hello");
    router.setWaitingRoom(nullptr);
    // The room has closed, the game's window is not open yet.
    router.chatLine("Cy", "between");
    router.chatLine("Di", "windows");
    router.setGameWindow(&game);
    router.chatLine("Bob", "in game");
    EXPECT_EQ(room.lines(), std::vector<std::string>{"Ann: hello"});
    EXPECT_EQ(game.lines(), (std::vector<std::string>{"Cy: between", "Di: windows", "Bob: in game"}));
    for (size_t i = 0; i < kChatLogLines + 3; ++i) game.chatLine("B", std::to_string(i));
    EXPECT_EQ(game.lines().size(), kChatLogLines);
    EXPECT_EQ(game.lines().front(), "B: 3");
}

}  // namespace
}  // namespace pavalo::net
