// Random, truncated and garbage messages thrown at both handlers, mixed with
// user events, under the sanitizers: the session must neither crash nor read
// past a message's end (ASan would stop the run).
#include <gtest/gtest.h>

#include <random>

#include "session_fakes.h"

namespace qira::play::testing {
namespace {

constexpr std::uint8_t kKnownTypes[] = {1,   2,   5,   17,  18,  19, 20,  21,  22,  23,
                                        25,  26,  27,  28,  29,  30, 105, 108, 109, 110,
                                        111, 112, 113, 130, 133, 0,  94,  95,  200, 255};

Bytes RandomMessage(std::mt19937& random) {
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> type(0, std::size(kKnownTypes) - 1);
    Bytes message(static_cast<std::size_t>(length(random)));
    for (auto& value : message) value = static_cast<std::uint8_t>(byte(random));
    if (!message.empty()) message[0] = kKnownTypes[type(random)];
    // Small values in the chair and sub-type bytes reach deeper into the handlers.
    if (message.size() > 1 && byte(random) < 160)
        message[1] = static_cast<std::uint8_t>(byte(random) % 7);
    if (message.size() > 2 && byte(random) < 160)
        message[2] = static_cast<std::uint8_t>(byte(random) % 5);
    return message;
}

void RandomUserEvent(SessionRig& rig, std::mt19937& random) {
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> index(-1, 15);
    switch (pick(random)) {
        case 0:
            rig.session->OnHandTileClick(index(random), MouseButton::Left);
            break;
        case 1:
            rig.session->OnActionButton(index(random) % 6, MouseButton::Left);
            break;
        case 2:
            rig.session->OnGameButtonClick(index(random) % 4);
            break;
        case 3:
            rig.session->OnClockTimeout();
            break;
        case 4:
            rig.session->OnClockWarning();
            break;
        case 5:
            rig.session->OnStartTimerTick();
            break;
        case 6:
            rig.session->OnNewestDiscardTick();
            break;
        case 7:
            rig.session->OnStartButtonClick();
            break;
        default:
            break;
    }
}

// A realistic opening, so that random messages meet a running hand.
std::vector<Bytes> Opening() {
    NewHand hand;
    hand.wildTile = 4;
    hand.wildIndicator = 3;
    return {hand.Build(), Message({28, 0, 1, 1}),
            Deal(1, 0, {0, 1, 3, 3, 3, 4, 9, 9, 12, 12, 12, 18, 19, 20}), DiscardMsg(0, 2),
            Draw(1, 5)};
}

TEST(SessionFuzz, RandomMessagesAndEventsNeverCrash) {
    std::mt19937 random(20261207);
    int steps = 0;
    for (int run = 0; run < 200; ++run) {
        SessionRig rig;
        rig.messages.answers.clear();
        EnterAsPlayer(rig);
        for (const auto& message : Opening()) rig.Feed(message);
        for (int step = 0; step < 400 && !rig.session->ended(); ++step) {
            rig.messages.answers.push_back(step % 3 == 0);
            rig.Feed(RandomMessage(random));
            if (step % 4 == 0) RandomUserEvent(rig, random);
            ++steps;
        }
    }
    EXPECT_GT(steps, 10000);  // the runs really reach into the hands
}

TEST(SessionFuzz, EveryTruncationOfValidMessagesIsSafe) {
    std::vector<Bytes> valid = Opening();
    valid.push_back(Text(130, 4, UserRecord("late", 2)));
    valid.push_back(Text(130, 0, UserRecord("eye", 0, "me")));
    valid.push_back(Text(111, 0, "a`b`c`1`d`1`1`10`100`1`5`50`0"));
    valid.push_back(Text(112, 2, "east`10`100`1`5`50`0"));
    valid.push_back(Message({22, 4, 1, 12, 38}));
    valid.push_back(Message({2, 0, 3, 5, 6, 7}));
    valid.push_back(Message({133, 3, 1, 2, 0, 0, 0, 9}));
    valid.push_back(Message({109, 0, 1, 0, 1, 2, 12, 0, 0, 0, 0, 2, 30, 31, 0, 0, 0}));
    valid.push_back(Text(133, 2, "中文"));
    for (const auto& message : valid) {
        for (std::size_t cut = 0; cut <= message.size(); ++cut) {
            SessionRig rig;
            EnterAsPlayer(rig);
            for (const auto& opening : Opening()) rig.Feed(opening);
            rig.Feed(Bytes(message.begin(), message.begin() + static_cast<long>(cut)));
            rig.session->OnClockTimeout();
        }
    }
}

TEST(SessionFuzz, SnapshotCutAtEveryByteLoadsWithoutReadingPastTheEnd) {
    Bytes snapshot{109, 0, 1, 0, 1, 0, 0, 0, 2, 12, 1, 4, 0, 0, 0};
    for (int chair = 0; chair < 4; ++chair) snapshot.insert(snapshot.end(), {1, 33, 0});
    snapshot.insert(snapshot.end(), {0, 0, 0, 0, 4, 4, 4, 4, 3, 7, 8, 9});
    snapshot.insert(snapshot.end(), {0, 0, 3, 1, 5, 9, 1, 34, 33, 0, 5});
    for (std::size_t cut = 0; cut <= snapshot.size(); ++cut) {
        SessionRig rig;
        EnterAsPlayer(rig);
        rig.Feed(Bytes(snapshot.begin(), snapshot.begin() + static_cast<long>(cut)));
        rig.session->OnHandTileClick(1, MouseButton::Left);
    }
}

TEST(SessionFuzz, GarbageTextInRecordsIsIgnored) {
    SessionRig rig;
    rig.Feed(Message({130, 3, 0xB0}));  // a lead byte at the very end decodes to nothing
    rig.Feed(Message({130, 2, 0xFF, 0xFF, '\n', '`', '`'}));
    rig.Feed(Text(130, 4, "a`b`c`d``f`g`h`i`j`k`l`m`-7`o`p"));  // negative chair
    rig.Feed(Text(130, 4, "x`b`c`d``f`g`h`i`j`k`l`m`99999999999999`o`p"));
    for (const auto& seat : rig.session->table().Seats) EXPECT_NE(seat.strPlayerName, "a");
    rig.Feed(Message({108, 3}));  // an empty name finds no chair
    for (const auto& seat : rig.session->table().Seats) EXPECT_FALSE(seat.blnUserFlag);
}

}  // namespace
}  // namespace qira::play::testing
