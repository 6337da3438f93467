#include "launch/play_again.h"

#include <gtest/gtest.h>

#include <deque>

#include "launch/client_exit.h"

namespace qira::launch {
namespace {

// Plays the clients' ends in order and records what the launcher did.
struct Script {
    std::deque<std::optional<int>> clientEnds;
    std::deque<PlayerChoice> choices;
    int clientsStarted = 0;
    int questions = 0;

    int Run() {
        return RunClientsUntilDone(
            [this] {
                ++clientsStarted;
                auto end = clientEnds.front();
                clientEnds.pop_front();
                return end;
            },
            [this] {
                ++questions;
                auto choice = choices.front();
                choices.pop_front();
                return choice;
            });
    }
};

constexpr int kLeft = StatusOf(ClientExit::LeftTable);

TEST(PlayAgain, OnlyAPlayerTheTableSentAwayIsAsked) {
    EXPECT_TRUE(OffersAnotherGame(kLeft));
    EXPECT_FALSE(OffersAnotherGame(StatusOf(ClientExit::ClosedByPlayer)));
    EXPECT_FALSE(OffersAnotherGame(StatusOf(ClientExit::ConnectionLost)));
    EXPECT_FALSE(OffersAnotherGame(1)) << "a launch error";
    EXPECT_FALSE(OffersAnotherGame(std::nullopt)) << "a crashed client";
}

TEST(PlayAgain, AWindowClosedByThePlayerEndsEverythingWithoutAQuestion) {
    Script script{{StatusOf(ClientExit::ClosedByPlayer)}, {}};
    EXPECT_EQ(script.Run(), 0);
    EXPECT_EQ(script.clientsStarted, 1);
    EXPECT_EQ(script.questions, 0);
}

TEST(PlayAgain, PlayingAgainStartsAnotherClientUntilThePlayerQuits) {
    Script script{{kLeft, kLeft, kLeft},
                  {PlayerChoice::PlayAgain, PlayerChoice::PlayAgain, PlayerChoice::Quit}};
    EXPECT_EQ(script.Run(), 0);
    EXPECT_EQ(script.clientsStarted, 3);
    EXPECT_EQ(script.questions, 3);
}

TEST(PlayAgain, TheLastClientsFailureIsTheLaunchersStatus) {
    Script lost{{kLeft, StatusOf(ClientExit::ConnectionLost)}, {PlayerChoice::PlayAgain}};
    EXPECT_EQ(lost.Run(), StatusOf(ClientExit::ConnectionLost));
    EXPECT_EQ(lost.clientsStarted, 2);

    Script crashed{{std::nullopt}, {}};
    EXPECT_NE(crashed.Run(), 0);
    EXPECT_EQ(crashed.questions, 0);
}

}  // namespace
}  // namespace qira::launch
