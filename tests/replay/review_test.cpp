// qira-review on a scripted hand: the seat's decisions, level 4's choices,
// their expected points and the costly one, as JSON and as a page.
#include "replay/review.h"

#include <gtest/gtest.h>

#include "replay/hand_log.h"
#include "rules/win_analysis.h"
#include "scripted_hand.h"

namespace qira::replay {
namespace {

// Chair 0 deals itself a hand one east away from ready and throws the 1 of
// characters instead; later it throws the north it drew.
replay::HandLog ThrowsAwayTheReadyHand() {
    replay::testing::ScriptedHand h;
    h.hands[0] = {0, 1, 2, 3, 4, 5, 15, 16, 17, 19, 19, 22, 23, 27};
    h.hands[1] = {6, 6, 7, 7, 8, 8, 9, 10, 11, 28, 28, 29, 29};
    h.hands[2] = {12, 13, 14, 18, 18, 20, 20, 24, 24, 25, 25, 26, 26};
    h.hands[3] = {30, 30, 30, 36, 36, 36, 38, 38, 38, 9, 9, 10, 10};
    h.draws = {14, 27, 28, 29};
    h.events = {
        R"({"chair":0,"act":"discard","tile":0})",
        R"({"chair":1,"act":"draw","tile":14,"from":"head"})",
        R"({"chair":1,"act":"discard","tile":14})",
        R"({"chair":2,"act":"draw","tile":27,"from":"head"})",
        R"({"chair":2,"act":"discard","tile":27})",
        R"({"chair":3,"act":"draw","tile":28,"from":"head"})",
        R"({"chair":3,"act":"discard","tile":28})",
        R"({"chair":0,"act":"draw","tile":29,"from":"head"})",
        R"({"chair":0,"act":"discard","tile":29})",
    };
    const auto parsed = replay::ParseHandLine(h.Line());
    EXPECT_TRUE(parsed.hand) << parsed.error;
    return *parsed.hand;
}

TEST(Review, MarksTheDiscardThatThrewTheReadyHandAway) {
    rules::PrepareWinAnalysis(rules::AnswerCache::Large);
    const replay::HandLog hand = ThrowsAwayTheReadyHand();
    ASSERT_EQ(SeatOf(hand, "东东"), 0);
    ASSERT_EQ(SeatOf(hand, "2"), 2);
    EXPECT_FALSE(SeatOf(hand, "nobody"));
    std::string error;
    const auto review = ReviewHand(hand, 0, {.budgetMs = 60}, &error);
    ASSERT_TRUE(review) << error;
    ASSERT_EQ(review->rows.size(), 2u) << "two discards; no claim was open to chair 0";
    const ReviewRow& first = review->rows[0];
    EXPECT_EQ(ChoiceText(first.played), "打一萬");
    EXPECT_EQ(ChoiceText(first.suggested), "打东");
    EXPECT_GT(first.Cost(), review->threshold)
        << first.playedPoints << " " << first.suggestedPoints;
    EXPECT_TRUE(review->Costly(first));
    EXPECT_EQ(first.hand.size(), 14u);
    EXPECT_EQ(review->rows[1].discards[3], (std::vector<replay::Tile>{28}));
    EXPECT_NEAR(review->TotalCost(), first.Cost() + review->rows[1].Cost(), 1e-9);

    EXPECT_EQ(ReviewLineAt(*review, 1), "") << "no decision of chair 0 after the first act";
    EXPECT_TRUE(ReviewLineAt(*review, 0).starts_with("复盘：这里东东打一萬；高级电脑会打东"));
    EXPECT_TRUE(ReviewLineAt(*review, 0).ends_with("代价大"));

    const std::string json = ReviewJson(*review);
    EXPECT_NE(json.find("\"summary\":{\"decisions\":2,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"costly\":true"), std::string::npos);
    const std::string page = ReviewHtml(*review, {{0, "\x89PNG"}});
    EXPECT_NE(page.find("<tr class=\"costly\">"), std::string::npos);
    EXPECT_NE(page.find("data:image/png;base64,iVBORw=="), std::string::npos) << "embedded";
    EXPECT_NE(page.find("<span class=\"text-tile\">东</span>"), std::string::npos)
        << "a tile without a picture is written";
}

}  // namespace
}  // namespace qira::replay
