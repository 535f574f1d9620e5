// The waiting room on real sessions over loopback: a host and two players
// of one name set a Competitive game up through the flow; the host's room
// refuses Start until both tick Ready, kicks the second "Sam" it lists, and
// starts with the one left, whose room closes on BEGINGAME.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "media/jpeg_writer.h"
#include "net/headless_setup.h"
#include "net/waiting_room.h"
#include "platform/scripted_platform.h"
#include "tests/net/rig.h"
#include "tests/net/scripted_person.h"

namespace pavalo::net {
namespace {

using test::Person;

struct Machine {
    explicit Machine(const std::string& name) : headless(game), setup(headless, person, prefs) {
        person.name = name;
        headless.attach(setup);
    }
    ~Machine() { setup.leave(); }
    HeadlessGame game{test::loopbackSettings()};
    HeadlessSetup headless;
    Person person;
    Preferences prefs;
    NetGameSetup setup;
    LayerRoster roster{game.layer()};
    SetupRoomActions actions{setup, game.layer()};
    ScriptedPlatform platform;
    bool kickedInRoom = false;

    std::unique_ptr<WaitingRoom> openRoom(NetGameSetup& s) {
        auto room = std::make_unique<WaitingRoom>(roster, actions, platform, s.options(), false);
        room->open();
        return room;
    }
};

TEST(RoomLoopback, HostKicksTheSecondOfTwoNamesakesAndStartsWithTheOther) {
    std::vector<uint8_t> rgb(120 * 90 * 3, 90);
    const std::string picture = ::testing::TempDir() + "/" + std::to_string(getpid()) + "-room.jpg";
    ASSERT_TRUE(saveJpeg(picture, 120, 90, 3, rgb));

    std::atomic<uint16_t> port{0};
    std::atomic<bool> mayTick{false};
    Machine host("Hana"), first("Sam"), second("Sam");
    host.person.picture = picture;
    first.person.hostPort = second.person.hostPort = &port;
    uint32_t secondListed = 0, firstListed = 0;
    std::vector<std::string> hostRows;

    host.person.room = [&](NetGameSetup& s) {
        port = host.game.layer().session()->listenPort();
        const std::unique_ptr<WaitingRoom> opened = host.openRoom(s);
        WaitingRoom& room = *opened;
        const auto pumpUntil = [&](const std::function<bool()>& done) {
            return test::waitUntil([&] {
                s.pump(5);
                room.follow(s);
                room.refresh();
                return done();
            }, 8000);
        };
        EXPECT_TRUE(pumpUntil([&] { return room.rows()[2].used; }));
        for (int r = 0; r < 3; ++r) hostRows.push_back(room.rows()[size_t(r)].name);
        firstListed = room.rows()[1].id;
        secondListed = room.rows()[2].id;
        EXPECT_FALSE(room.startGame());  // nobody ticked Ready yet
        mayTick = true;
        EXPECT_TRUE(room.kick(2));
        EXPECT_TRUE(pumpUntil([&] { return !room.rows()[2].used && room.rows()[1].ready; }));
        EXPECT_TRUE(room.startGame());
        return room.result();
    };
    for (Machine* m : {&first, &second}) {
        m->person.room = [&, m](NetGameSetup& s) {
            const std::unique_ptr<WaitingRoom> opened = m->openRoom(s);
            WaitingRoom& room = *opened;
            EXPECT_TRUE(room.readyBoxesShown());
            EXPECT_FALSE(room.startEnabled());
            test::waitUntil([&] {
                s.pump(5);
                room.follow(s);
                room.poll();
                if (mayTick && !room.rows()[0].ready) room.tickReady(0, true);
                return room.closed();
            }, 8000);
            m->kickedInRoom = room.wasKicked();
            return room.result();
        };
    }

    bool started[3] = {false, false, false};
    std::thread t0([&] { started[0] = host.setup.host(11); });
    std::thread t1([&] { started[1] = first.setup.join(); });
    ASSERT_TRUE(test::waitUntil([&] { return first.setup.step() == NetGameSetup::Step::WaitingRoom; }, 8000));
    std::thread t2([&] { started[2] = second.setup.join(); });
    t0.join();
    t1.join();
    t2.join();

    EXPECT_EQ(hostRows, (std::vector<std::string>{"Hana", "Sam", "Sam"}));
    EXPECT_EQ(firstListed, first.game.layer().localPlayerId());
    EXPECT_EQ(secondListed, second.game.layer().localPlayerId());
    ASSERT_GE(host.platform.messages.size(), 2u);
    EXPECT_EQ(host.platform.messages[0].text, setup_text::kWaitForReady);
    EXPECT_EQ(host.platform.messages[1].text, "Kick Sam from the game?");
    EXPECT_TRUE(started[0]);
    EXPECT_TRUE(started[1]);
    EXPECT_FALSE(started[2]);
    EXPECT_TRUE(second.kickedInRoom);
    EXPECT_FALSE(first.kickedInRoom);
    EXPECT_EQ(second.person.messages, std::vector<std::string>{"Das Boot: The host has kicked you out of the game."});
    std::remove(picture.c_str());
}

}  // namespace
}  // namespace pavalo::net
