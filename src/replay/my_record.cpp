#include "replay/my_record.h"

#include <algorithm>

namespace qira::replay {
namespace {

MyResult ResultFor(const HandLog& hand, Chair seat) {
    const auto& result = hand.result;
    if (result.winners.empty()) return MyResult::Drawn;
    const bool won =
        std::find(result.winners.begin(), result.winners.end(), seat) != result.winners.end();
    if (won) return result.discarder ? MyResult::WonOnDiscard : MyResult::SelfDrawn;
    if (!result.discarder) return MyResult::PaidOnSelfDraw;
    return *result.discarder == seat ? MyResult::PaidAsDiscarder : MyResult::OthersWon;
}

int OpponentsLevel(const HandLog& hand, Chair seat) {
    int level = -1;
    for (Chair c = 0; c < 4; ++c) {
        if (c == seat) continue;
        if (hand.levels[c] == 0 || (level != -1 && level != hand.levels[c])) return 0;
        level = hand.levels[c];
    }
    return std::max(level, 0);
}

void Count(RecordFigures& figures, const MyHand& hand) {
    ++figures.hands;
    const bool won = hand.result == MyResult::WonOnDiscard || hand.result == MyResult::SelfDrawn;
    figures.wins += won;
    figures.selfDrawn += hand.result == MyResult::SelfDrawn;
    figures.dealtIn += hand.result == MyResult::PaidAsDiscarder;
    if (hand.points > 0) {
        figures.pointsWon += hand.points;
        ++figures.handsGaining;
    } else if (hand.points < 0) {
        figures.pointsLost += hand.points;
        ++figures.handsLosing;
    }
}

}  // namespace

std::string_view ResultText(MyResult result) {
    switch (result) {
        case MyResult::WonOnDiscard:
            return "和牌";
        case MyResult::SelfDrawn:
            return "自摸和牌";
        case MyResult::PaidAsDiscarder:
            return "点炮";
        case MyResult::PaidOnSelfDraw:
            return "被自摸";
        case MyResult::OthersWon:
            return "他人和牌";
        case MyResult::Drawn:
            return "流局";
    }
    return "";
}

std::vector<MyHand> MyHands(const std::vector<HandLog>& hands, std::string_view name) {
    std::vector<MyHand> mine;
    for (const auto& hand : hands) {
        const auto seat = std::find(hand.players.begin(), hand.players.end(), name);
        if (name.empty() || seat == hand.players.end()) continue;
        MyHand row;
        row.id = hand.id;
        row.time = hand.time;
        row.table = hand.table;
        row.seat = static_cast<Chair>(seat - hand.players.begin());
        row.players = hand.players;
        row.result = ResultFor(hand, row.seat);
        row.points = hand.result.points[row.seat];
        row.level = OpponentsLevel(hand, row.seat);
        mine.push_back(std::move(row));
    }
    std::stable_sort(mine.begin(), mine.end(),
                     [](const MyHand& a, const MyHand& b) { return a.id > b.id; });
    return mine;
}

MyRecord RecordOf(const std::vector<MyHand>& newestFirst) {
    MyRecord record;
    std::int64_t sum = 0;
    for (auto hand = newestFirst.rbegin(); hand != newestFirst.rend(); ++hand) {
        sum += hand->points;
        record.pointsAfter.push_back(sum);
        Count(record.all, *hand);
        Count(record.byLevel[static_cast<std::size_t>(hand->level)], *hand);
    }
    return record;
}

}  // namespace qira::replay
