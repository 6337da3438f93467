#include "play/win_record.h"

#include <gtest/gtest.h>

namespace qira::play {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct WinnerSpec {
    std::uint8_t chair = 0;
    std::vector<WinMeld> melds;
    std::vector<std::uint8_t> hand;
    std::array<std::uint8_t, 18> items{};
};

void PutInt(Bytes& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

Bytes Encode(const std::vector<WinnerSpec>& winners,
             std::array<std::array<std::uint8_t, 2>, 4> kongs = {},
             std::array<std::array<std::uint8_t, 6>, 4> payers = {}) {
    Bytes out{23, static_cast<std::uint8_t>(winners.size())};
    for (const auto& winner : winners) {
        out.push_back(winner.chair);
        out.push_back(static_cast<std::uint8_t>(winner.melds.size() * 2));
        for (const auto& meld : winner.melds) out.insert(out.end(), {meld.kind, meld.tile});
        out.push_back(static_cast<std::uint8_t>(winner.hand.size()));
        out.insert(out.end(), winner.hand.begin(), winner.hand.end());
        out.insert(out.end(), winner.items.begin() + 1, winner.items.end());
    }
    for (std::int32_t score : {30, -10, -10, -10}) PutInt(out, score);
    for (std::int32_t score : {32, -12, -10, -10}) PutInt(out, score);
    PutInt(out, 77);
    for (const auto& pair : kongs) out.insert(out.end(), pair.begin(), pair.end());
    out.push_back(8);
    for (const auto& items : payers) out.insert(out.end(), items.begin(), items.end());
    return out;
}

WinnerSpec Winner(std::uint8_t chair, std::uint8_t discarder) {
    WinnerSpec winner;
    winner.chair = chair;
    winner.melds = {{2, 5}, {4, 27}};
    winner.hand = {0, 1, 2, 8};
    winner.items[1] = discarder;
    return winner;
}

const std::array<std::string, 4> kNames{"东家", "南家", "西家", "北家"};

TEST(DecodeWinRecord, ReadsEveryField) {
    auto winner = Winner(2, 0);
    winner.items[3] = 2;
    const auto record = DecodeWinRecord(Encode({winner}, {{{1, 0}, {0, 0}, {0, 2}, {0, 0}}}));
    ASSERT_TRUE(record);
    ASSERT_EQ(record->winners.size(), 1u);
    EXPECT_EQ(record->winners[0].chair, 2);
    EXPECT_EQ(record->winners[0].melds.size(), 2u);
    EXPECT_EQ(record->winners[0].melds[1].tile, 27);
    EXPECT_EQ(record->winners[0].concealedTiles, (std::vector<std::uint8_t>{0, 1, 2, 8}));
    EXPECT_EQ(record->actualScore[1], -10);
    EXPECT_EQ(record->dueScore[0], 32);
    EXPECT_EQ(record->reserved, 77);
    EXPECT_EQ(record->concealedKongs[0], 1);
    EXPECT_EQ(record->exposedKongs[2], 2);
    EXPECT_EQ(record->winningTile, 8);
}

TEST(DecodeWinRecord, RefusesEveryTruncationAndBadCounts) {
    const Bytes whole = Encode({Winner(1, 0), Winner(3, 0)});
    ASSERT_TRUE(DecodeWinRecord(whole));
    for (std::size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(DecodeWinRecord(std::span(whole).first(size))) << "cut at " << size;
    Bytes noWinner = whole;
    noWinner[1] = 0;
    EXPECT_FALSE(DecodeWinRecord(noWinner));
    Bytes fiveWinners = whole;
    fiveWinners[1] = 5;
    EXPECT_FALSE(DecodeWinRecord(fiveWinners));
    Bytes badChair = whole;
    badChair[2] = 9;
    EXPECT_FALSE(DecodeWinRecord(badChair));
}

TEST(DecodeWinRecord, KeepsAtMostFiveMeldsButStaysAligned) {
    auto winner = Winner(0, 4);
    winner.melds.assign(7, WinMeld{2, 9});
    const auto record = DecodeWinRecord(Encode({winner}));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->winners[0].melds.size(), 5u);
    EXPECT_EQ(record->winningTile, 8);
}

TEST(ItemTexts, MultipliersOfOneAreNotListed) {
    auto winner = Winner(0, 4);
    winner.items[2] = 2;   // self-drawn x2
    winner.items[4] = 1;   // dealer win x1: no effect
    winner.items[10] = 2;  // seven pairs
    const auto rows = BuildItemTexts(*DecodeWinRecord(Encode({winner})));
    EXPECT_EQ(rows[0], "自摸Ⅹ2，七对Ⅹ2");
    EXPECT_EQ(rows[1], "");
}

TEST(ItemTexts, ConcealedKongShowsTwiceItsValueAndIndicatorKongIsNamedByValue) {
    auto winner = Winner(1, 4);
    winner.items[8] = 1;
    winner.items[9] = 3;
    winner.items[15] = 2;
    winner.items[16] = 1;
    winner.items[17] = 4;
    auto rows = BuildItemTexts(*DecodeWinRecord(Encode({winner})));
    EXPECT_EQ(rows[1],
              "明杠 ┼ 1倍底分，暗杠 ┼ 6倍底分，漂┼2倍底分，混皮子明杠┼1倍底分，混杠┼4倍底分");
    winner.items = {};
    winner.items[1] = 4;
    winner.items[16] = 2;
    rows = BuildItemTexts(*DecodeWinRecord(Encode({winner})));
    EXPECT_EQ(rows[1], "混皮子暗杠┼2倍底分");
}

TEST(ItemTexts, KongCountsAndPayerItemsFollowWithoutRepeats) {
    auto winner = Winner(0, 2);
    winner.items[3] = 2;
    winner.items[14] = 2;  // "挂档" already listed for the winner
    std::array<std::array<std::uint8_t, 6>, 4> payers{};
    payers[0] = {0, 0, 2, 1, 0, 0};  // winner's own "挂档" repeats; "漂" is new
    payers[2] = {2, 3, 0, 0, 0, 0};  // the discarder pays
    const auto rows = BuildItemTexts(
        *DecodeWinRecord(Encode({winner}, {{{0, 1}, {2, 0}, {0, 0}, {0, 0}}}, payers)));
    EXPECT_EQ(rows[0], "点炮Ⅹ2，挂档Ⅹ2，1个明杠，漂┼1倍底分");
    EXPECT_EQ(rows[1], "2个暗杠");
    EXPECT_EQ(rows[2], "点炮Ⅹ2，庄家输Ⅹ3");
    EXPECT_EQ(rows[3], "") << "no items, no kongs: an empty column";
}

TEST(WinHeader, TwoWinnersOnOneDiscard) {
    const auto record = DecodeWinRecord(Encode({Winner(1, 0), Winner(3, 0)}));
    const auto header = BuildWinHeader(*record, "Qira麻将", kNames);
    EXPECT_EQ(header.caption, "Qira麻将 胡牌提示");
    EXPECT_EQ(header.winnerLine, "南家，北家  同时胡牌");
    EXPECT_EQ(header.discarderLine, "东家  点炮");
}

TEST(WinHeader, SingleDiscardWinAndSelfDrawnWin) {
    EXPECT_EQ(BuildWinHeader(*DecodeWinRecord(Encode({Winner(2, 1)})), "T", kNames).winnerLine,
              "西家  胡牌");
    const auto selfDrawn = BuildWinHeader(*DecodeWinRecord(Encode({Winner(2, 4)})), "T", kNames);
    EXPECT_EQ(selfDrawn.winnerLine, "西家  自摸胡牌");
    EXPECT_EQ(selfDrawn.discarderLine, "");
}

TEST(WinHeader, CloseButtonCountsDown) {
    EXPECT_EQ(CloseButtonCaption(kWinResultSeconds), "关闭 60");
    EXPECT_EQ(CloseButtonCaption(7), "关闭 7");
}

}  // namespace
}  // namespace qira::play

namespace qira::play {
namespace {

WinnerBlock ArrangedWinner(std::vector<std::uint8_t> concealed, std::uint8_t discarder) {
    WinnerBlock winner;
    winner.melds = {{2, 27}, {1, 0}};
    winner.concealedTiles = std::move(concealed);
    winner.items[1] = discarder;
    return winner;
}

TEST(ArrangeWinnerHand, GroupsTheHandWithTheWinningDiscardAndNamesWhatTheWildTileStoodFor) {
    const auto groups = ArrangeWinnerHand(ArrangedWinner({36, 9, 11, 18, 18, 18, 30}, 1), 30, 36);
    EXPECT_EQ(groups, (std::vector<ArrangedGroup>{
                          {{9, ""}, {36, "当二饼"}, {11, ""}},
                          {{18, ""}, {18, ""}, {18, ""}},
                          {{30, ""}, {30, ""}},
                      }));
}

TEST(ArrangeWinnerHand, ASelfDrawnWinningTileIsPartOfTheHandAlready) {
    // The drawn wild tile pairs with the held one, both used as themselves;
    // they are marked all the same.
    const auto groups = ArrangeWinnerHand(ArrangedWinner({38, 9, 10, 11, 18, 18, 18}, 4), 38, 38);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[2], (ArrangedGroup{{38, "当白板"}, {38, "当白板"}}));
}

TEST(ArrangeWinnerHand, NothingWhenTheWildTileIsUnknownOrTheHandDoesNotWin) {
    const auto winner = ArrangedWinner({36, 9, 11, 18, 18, 18, 30}, 1);
    EXPECT_TRUE(ArrangeWinnerHand(winner, 30, std::nullopt).empty());
    EXPECT_TRUE(ArrangeWinnerHand(winner, 29, 36).empty());
}

}  // namespace
}  // namespace qira::play
