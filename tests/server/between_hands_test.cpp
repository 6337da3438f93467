#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "in_process_player.h"
#include "net/protocol.h"
#include "server/core/room.h"

namespace qira::server {
namespace {

using testing::HumanAtTable;

using namespace std::chrono_literals;

class BetweenHands : public ::testing::Test {
protected:
    BetweenHands() {
        config_.log = false;
        config_.seed = 5;
        config_.botThink = Milliseconds{0};
    }
    void OpenLobby() { lobby_ = std::make_unique<Lobby>(scheduler_, stats_, config_); }
    bool PlayUntilHands(std::uint64_t hands) {
        return scheduler_.RunUntil([&] { return lobby_->tally().hands >= hands; }, 20'000'000);
    }
    // Lets virtual time run on for `span`, or until nothing is left to do.
    void Idle(Milliseconds span) {
        const auto until = scheduler_.Now() + span;
        scheduler_.RunUntil([&] { return scheduler_.Now() >= until; });
    }

    ManualScheduler scheduler_;
    MemoryStatsStore stats_;
    ServerConfig config_;
    std::unique_ptr<Lobby> lobby_;
};

TEST_F(BetweenHands, ComputerPlayersWaitForAHumanWhoIsSlowToStart) {
    OpenLobby();
    HumanAtTable human(*lobby_, scheduler_, "alice", /*slowToStart=*/true);
    ASSERT_TRUE(PlayUntilHands(1));
    scheduler_.RunUntil([&] { return human.WaitsToStart(); });
    ASSERT_TRUE(human.WaitsToStart());
    const std::size_t handEnd = human.received.size();

    // Ten minutes of reading the win window: no computer player gets ready
    // (so the human's start clock never runs), and nobody is removed.
    Idle(std::chrono::duration_cast<Milliseconds>(10min));
    EXPECT_TRUE(human.ReadyChairs(handEnd).empty());
    EXPECT_FALSE(human.disconnected);
    EXPECT_EQ(lobby_->tally().hands, 1u);
    EXPECT_EQ(lobby_->UserCount(), 4u);

    // Once the human presses start, the computer players follow at once.
    human.PressStart();
    EXPECT_TRUE(scheduler_.RunUntil([&] { return human.ReadyChairs(handEnd).size() == 4; }));
    EXPECT_EQ(human.ReadyChairs(handEnd).front(), human.chair());
    EXPECT_TRUE(PlayUntilHands(2));
    EXPECT_FALSE(human.disconnected);
}

TEST_F(BetweenHands, AHumanWhoKeepsAnotherHumanWaitingLeavesAtTheStartClock) {
    config_.botWait = Milliseconds{1000};  // both humans sit down before the computer players
    OpenLobby();
    HumanAtTable quick(*lobby_, scheduler_, "quick", /*slowToStart=*/false);
    HumanAtTable slow(*lobby_, scheduler_, "slow", /*slowToStart=*/true);
    ASSERT_TRUE(PlayUntilHands(1));
    const std::size_t handEnd = quick.received.size();

    ASSERT_TRUE(scheduler_.RunUntil([&] { return slow.disconnected; }));
    // Only the quick human was ready while the slow one sat; the computer
    // players got ready once he had left.
    std::size_t left = handEnd;
    while (left < quick.received.size() &&
           net::ClassifyServerMessage(quick.received[left]) != net::ServerMessage::UserLeft)
        ++left;
    ASSERT_LT(left, quick.received.size());
    EXPECT_EQ(quick.ReadyChairs(handEnd).front(), quick.chair());
    EXPECT_EQ(quick.ReadyChairs(handEnd).size() - quick.ReadyChairs(left).size(), 1u);
    EXPECT_EQ(quick.ReadyChairs(left).size(), 2u) << "the two computer players";
    EXPECT_FALSE(quick.disconnected);
    EXPECT_TRUE(PlayUntilHands(2)) << "a computer player takes the free chair and play goes on";
}

}  // namespace
}  // namespace qira::server
