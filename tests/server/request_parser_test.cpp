#include <gtest/gtest.h>

#include "net/requests.h"
#include "server/core/claim_window.h"
#include "server/core/request_parser.h"

namespace qira::server {
namespace {

Refusal RefusalOf(const RequestOrRefusal& parsed) {
    EXPECT_TRUE(std::holds_alternative<Refusal>(parsed));
    return std::holds_alternative<Refusal>(parsed) ? std::get<Refusal>(parsed)
                                                   : Refusal::UnknownRequest;
}

TEST(RequestParser, EveryByteRequestIsReadWithItsChairAndTile) {
    const auto discard = ParseRequest(net::requests::Discard(2, 17, 1, 0), "me");
    ASSERT_TRUE(std::holds_alternative<ParsedRequest>(discard));
    const auto& d = std::get<ParsedRequest>(discard);
    EXPECT_EQ(d.kind, net::Request::Discard);
    EXPECT_EQ(d.chair, 2);
    EXPECT_EQ(d.tile, 17);
    EXPECT_EQ(d.detail, 1) << "the ready declaration";

    const auto win = std::get<ParsedRequest>(ParseRequest(net::requests::Win(3), "me"));
    EXPECT_EQ(win.chair, 3);
    const auto kong = std::get<ParsedRequest>(ParseRequest(net::requests::Kong(1, 3, 9), "me"));
    EXPECT_EQ(kong.sub, 3);
    EXPECT_EQ(kong.tile, 9);
    const auto rob =
        std::get<ParsedRequest>(ParseRequest(net::requests::RobKongAnswer(0, true), "me"));
    EXPECT_EQ(rob.sub, 1);
}

TEST(RequestParser, EveryRequestCutOneByteShortIsRefusedAsTooShort) {
    // Each request with the fewest bytes it needs.
    const std::vector<std::pair<net::Bytes, std::size_t>> requests{
        {net::requests::ReadyForNextHand(0), 2},
        {net::requests::Discard(0, 1, 0, 0), 8},
        {net::requests::Chow(0, 1), 4},
        {net::requests::Pung(0, 1), 4},
        {net::requests::Kong(0, 4, 1), 4},
        {net::requests::Win(0), 2},
        {net::requests::Pass(0), 3},
        {net::requests::SideBets(0, 1), 4},
        {net::requests::RobKongAnswer(0, 1), 3},
        {net::requests::ThreeIndicatorKong(0), 2},
        {net::requests::Resynchronise(0), 3}};
    for (const auto& [whole, minimum] : requests) {
        const net::Bytes enough(whole.begin(), whole.begin() + static_cast<long>(minimum));
        EXPECT_TRUE(std::holds_alternative<ParsedRequest>(ParseRequest(enough, "me")))
            << int(whole[0]);
        const net::Bytes cut(whole.begin(), whole.begin() + static_cast<long>(minimum) - 1);
        EXPECT_EQ(RefusalOf(ParseRequest(cut, "me")), Refusal::TooShort) << int(whole[0]);
    }
    EXPECT_EQ(RefusalOf(ParseRequest(net::Bytes{}, "me")), Refusal::TooShort);
    EXPECT_EQ(RefusalOf(ParseRequest(net::Bytes{130}, "me")), Refusal::TooShort);
}

TEST(RequestParser, FormsThatCannotMeanAnythingAreRefusedWithTheirReason) {
    EXPECT_EQ(RefusalOf(ParseRequest(net::Bytes{250, 9, 1}, "me")), Refusal::UnknownRequest);
    EXPECT_EQ(RefusalOf(ParseRequest(net::Bytes{130, 7}, "me")), Refusal::UnknownRequest);
    EXPECT_EQ(RefusalOf(ParseRequest(net::requests::SideBets(0, 4), "me")),
              Refusal::MalformedSideBets);
    EXPECT_EQ(RefusalOf(ParseRequest(net::requests::Kong(0, 2, 5), "me")), Refusal::MalformedKong);
    EXPECT_EQ(RefusalOf(ParseRequest(*net::requests::Leave("other"), "me")),
              Refusal::NotSendersName);
    EXPECT_EQ(RefusalOf(ParseRequest(*net::requests::RaiseHand("other"), "me")),
              Refusal::NotSendersName);
    const std::vector<std::string> five{"1", "2", "3", "4", "5"};
    EXPECT_EQ(RefusalOf(ParseRequest(*net::requests::ConfirmSettings("me", five), "me")),
              Refusal::MalformedSettings);
    EXPECT_EQ(RefusalOf(ParseRequest(*net::requests::AllowWatchCards("other", true), "me")),
              Refusal::MalformedPreference);
    const std::vector<std::string> nine(9, "x");
    EXPECT_EQ(RefusalOf(ParseRequest(*net::requests::Chat(nine), "me")), Refusal::ChatFieldCount);
    const std::vector<std::string> eleven(11, "x");
    EXPECT_EQ(RefusalOf(ParseRequest(*net::requests::Chat(eleven), "me")), Refusal::ChatFieldCount);
}

TEST(RequestParser, TextRequestsKeepTheirFields) {
    const std::vector<std::string> six{"10", "100", "1", "50", "500", "0"};
    const auto settings =
        std::get<ParsedRequest>(ParseRequest(*net::requests::ConfirmSettings("me", six), "me"));
    EXPECT_EQ(settings.kind, net::Request::ConfirmSettings);
    ASSERT_EQ(settings.fields.size(), 7u);
    EXPECT_EQ(settings.fields[1], "10");
    const auto entry = std::get<ParsedRequest>(ParseRequest(*net::requests::Entry(true), "me"));
    EXPECT_EQ(entry.kind, net::Request::Entry);
}

ClaimOptions Options(bool win, bool kong, bool pung, std::vector<Tile> chows = {}) {
    ClaimOptions o;
    o.win = win;
    o.kong = kong;
    o.pung = pung;
    o.chows = std::move(chows);
    return o;
}

TEST(ClaimWindow, AChowWaitsForEveryoneWhoCouldClaimMore) {
    ClaimWindow window;
    window.Open(0, 4,
                {ClaimOptions{}, Options(false, false, false, {2}), Options(false, false, true),
                 Options(true, false, false)});
    window.Record(1, {ClaimKind::Chow, 2});
    EXPECT_FALSE(window.Decided());
    window.Record(3, {ClaimKind::Pass, 0});
    EXPECT_FALSE(window.Decided()) << "the pung still beats the chow";
    window.Record(2, {ClaimKind::Pung, 4});
    ASSERT_TRUE(window.Decided());
    const auto outcome = window.Resolve();
    EXPECT_EQ(outcome.kind, ClaimKind::Pung);
    EXPECT_EQ(outcome.chair, 2);
    EXPECT_EQ(outcome.passedWins, std::vector<int>{3}) << "chair 3 passed on a win";
}

TEST(ClaimWindow, AWinDecidesAtOnceAndSeveralWinnersGoInTurnOrder) {
    ClaimWindow window;
    window.Open(2, 9,
                {Options(true, false, false), Options(true, false, false), ClaimOptions{},
                 Options(false, false, false, {7})});
    window.Record(1, {ClaimKind::Win, 9});
    EXPECT_FALSE(window.Decided()) << "chair 0 may still win too";
    window.Record(0, {ClaimKind::Win, 9});
    ASSERT_TRUE(window.Decided()) << "a chow cannot beat a win";
    const auto outcome = window.Resolve();
    EXPECT_EQ(outcome.kind, ClaimKind::Win);
    EXPECT_EQ(outcome.winners, (std::vector<std::uint8_t>{0, 1})) << "from the discarder on";
}

TEST(ClaimWindow, SilenceCountsAsAPassAndCourtesyPassesAreUsedOnce) {
    ClaimWindow window;
    window.Open(0, 4,
                {ClaimOptions{}, ClaimOptions{}, Options(false, false, true), ClaimOptions{}});
    window.ExpectCourtesyPasses();
    EXPECT_TRUE(window.TakeCourtesyPass(1));
    EXPECT_FALSE(window.TakeCourtesyPass(1));
    EXPECT_FALSE(window.TakeCourtesyPass(2)) << "chair 2 has something to claim";
    EXPECT_FALSE(window.TakeCourtesyPass(0)) << "the discarder does not pass";
    window.PassForTheSilent();
    ASSERT_TRUE(window.Decided());
    EXPECT_EQ(window.Resolve().kind, ClaimKind::Pass);
}

TEST(RobKongWindow, RobbersWinInTurnOrderAndDecliningBarsTheWin) {
    RobKongWindow rob;
    rob.Open(1, 4, {true, false, true, true});
    rob.Answer(3, true);
    EXPECT_FALSE(rob.AllAnswered());
    rob.DeclineForTheSilent();
    EXPECT_TRUE(rob.AllAnswered());
    EXPECT_EQ(rob.Robbers(), (std::vector<std::uint8_t>{3}));
    EXPECT_EQ(rob.Decliners(), (std::vector<int>{2, 0}));
}

}  // namespace
}  // namespace qira::server
