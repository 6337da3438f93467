#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bots/brain.h"
#include "replay/hand_log.h"

// One player's hands and record, from the hand log: what the launcher's
// "我的牌局" list and "战绩" charts show.
namespace qira::replay {

// A hand from the player's side.
enum class MyResult {
    WonOnDiscard,
    SelfDrawn,
    PaidAsDiscarder,
    PaidOnSelfDraw,  // another chair drew its winning tile
    OthersWon,       // another chair won on a third one's discard: neither won nor paid
    Drawn,
};

std::string_view ResultText(MyResult result);

struct MyHand {
    std::int64_t id = 0;
    std::int64_t time = 0;  // 0: not logged
    std::int64_t table = 0;
    Chair seat = 0;
    std::array<std::string, 4> players;
    MyResult result = MyResult::Drawn;
    std::int64_t points = 0;
    int level = 0;  // the three others' common computer level 1-4; 0 with a person among them
};

// The hands where `name` sat, newest first.
std::vector<MyHand> MyHands(const std::vector<HandLog>& hands, std::string_view name);

struct RecordFigures {
    int hands = 0;
    int wins = 0;
    int selfDrawn = 0;
    int dealtIn = 0;
    std::int64_t pointsWon = 0;  // sum over the hands that gained points
    int handsGaining = 0;
    std::int64_t pointsLost = 0;  // sum (negative) over the hands that lost points
    int handsLosing = 0;

    double WinRate() const { return hands ? double(wins) / hands : 0; }
    double SelfDrawnShare() const { return wins ? double(selfDrawn) / wins : 0; }
    double DealInRate() const { return hands ? double(dealtIn) / hands : 0; }
    double AverageWon() const { return handsGaining ? double(pointsWon) / handsGaining : 0; }
    double AverageLost() const { return handsLosing ? double(pointsLost) / handsLosing : 0; }
};

struct MyRecord {
    std::vector<std::int64_t> pointsAfter;  // the points summed after each hand, oldest first
    RecordFigures all;
    // [1]-[4] against computers of that level; [0] the rest
    std::array<RecordFigures, bots::kHighestLevel + 1> byLevel;
};

MyRecord RecordOf(const std::vector<MyHand>& newestFirst);

}  // namespace qira::replay
