// Level 4 deals the tiles its seat cannot see consistently with what it has
// seen, and on positions with one clearly right answer it finds it.
#include "bots/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bots/seat_knowledge.h"

namespace qira::bots {
namespace {

using rules::KindIndex;
using rules::MeldKind;

// Chair 0 punged chair 3's east; chair 2 chowed chair 1's 5 of characters
// with its 4 and 6; chair 1 declared a concealed kong. Every 5 of characters
// is known to chair 0: two in its hand, the chowed one and chair 3's discard.
SeatKnowledge MidHand() {
    SeatKnowledge seat;
    seat.self = 0;
    seat.running = true;
    seat.indicator = 37;
    seat.wild = 38;
    seat.wallLeft = 40;
    seat.hand = {4, 4, 9, 10, 11, 18, 19, 28, 29, 36};
    seat.melds[0] = {{MeldKind::Pung, 27, 3}};
    seat.melds[1] = {{MeldKind::ConcealedKong, net::kFaceDownTileCode, 1}};
    seat.melds[2] = {{MeldKind::Chow, 3, 1}};
    seat.discards = {{1, 4, 2}, {3, 27, 0}, {3, 4}, {2, 30}, {1, 30}};
    return seat;
}

TEST(Sampling, DealsOnlyTilesTheSeatCannotSee) {
    const BotView view = ViewOf(MidHand());
    const auto unseen = UnseenOf(view);
    EXPECT_EQ(unseen[KindIndex(4)], 0) << "all four 5s of characters are known";
    EXPECT_EQ(unseen[KindIndex(27)], 1) << "three easts in the own pung";
    EXPECT_EQ(unseen[KindIndex(3)], 3) << "chair 2's 4 came from its hand";
    EXPECT_EQ(unseen[KindIndex(37)], 3) << "the indicator is turned up";
    std::mt19937 random(5);
    for (int i = 0; i < 300; ++i) {
        const SampledDeal deal = SampleDeal(view, random);
        EXPECT_EQ(deal.hands[0], view.hand);
        EXPECT_EQ(deal.hands[1].size(), 10u);
        EXPECT_EQ(deal.hands[2].size(), 10u);
        EXPECT_EQ(deal.hands[3].size(), 13u);
        EXPECT_EQ(deal.wall.size(), 40u);
        rules::KindCounts dealt{};
        for (int c = 1; c < 4; ++c)
            for (Tile t : deal.hands[c]) ++dealt[KindIndex(t)];
        for (Tile t : deal.wall) ++dealt[KindIndex(t)];
        for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
            ASSERT_LE(dealt[kind], unseen[kind]) << "kind " << kind << " in deal " << i;
    }
}

BotView ReadyAfterOneDiscard() {
    BotView view;
    view.self = 0;
    view.indicator = 37;
    view.wild = 38;
    view.wallLeft = 50;
    view.dealer = 0;
    // Characters 1-3 and 4-6, dots 7-9, a pair of 2s of bamboo, the 5 and 6
    // of bamboo and an east: without the east, it waits on the 4 and 7 of
    // bamboo; any other discard leaves it a step further.
    view.hand = {0, 1, 2, 3, 4, 5, 15, 16, 17, 19, 19, 22, 23, 27};
    view.seen[KindIndex(27)] = 2;
    return view;
}

TEST(Sampling, FindsTheDiscardThatMakesTheHandReady) {
    BotBrain brain(BotStyle::Searcher, 3);
    brain.set_budget(20, false);
    EXPECT_EQ(brain.ChooseDiscard(ReadyAfterOneDiscard()), 27);

    std::mt19937 random(3);
    const std::array<Choice, 2> choices{Choice{ChoiceKind::Discard, 0},
                                        Choice{ChoiceKind::Discard, 27}};
    const Appraisal appraisal =
        Appraise(ReadyAfterOneDiscard(), 0, 0, choices, {20, false}, random);
    EXPECT_GT(appraisal.expected[1], appraisal.expected[0] + appraisal.errorAgainstFirst[1])
        << "ready, the hand wins more often";
    EXPECT_GT(appraisal.expected[1], 0.0);
}

TEST(Sampling, ThrowsTheSafeTileAgainstAReadyChairWithNothingToGain) {
    BotView view;
    view.self = 0;
    view.indicator = 37;
    view.wild = 38;
    view.wallLeft = 30;
    view.hand = {0, 4, 8, 10, 13, 16, 20, 24, 28, 29, 36, 30, 31, 37};
    view.declaredReady[1] = true;
    view.discards[1] = {5, 6};
    view.discards[2] = {28};
    // Chair 2 threw a south after chair 1's last discard, and chair 1 did not
    // win on it: the south cannot win for chair 1 now.
    view.discardLog = {{1, 5}, {1, 6}, {2, 28}};
    for (Tile t : {5, 6, 28, 37}) ++view.seen[KindIndex(t)];
    BotBrain brain(BotStyle::Searcher, 4);
    brain.set_budget(20, false);
    EXPECT_EQ(brain.ChooseDiscard(view), 28);
}

TEST(Sampling, FewerDealsInLessTime) {
    EXPECT_LT(DealsFor({10, false}, 4), DealsFor({100, false}, 4));
    EXPECT_LT(DealsFor({100, false}, 6), DealsFor({100, false}, 2));
    EXPECT_GE(DealsFor({0, false}, 6), 1) << "always some";
}

}  // namespace
}  // namespace qira::bots
