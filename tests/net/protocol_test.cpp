#include "net/protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "net/game_messages.h"
#include "net/requests.h"
#include "net/server_messages.h"

namespace qira::net {
namespace {

TEST(ProtocolNames, ExactRowsWinOverTheirMainTypesCatchAll) {
    EXPECT_EQ(ClassifyServerMessage(Bytes{28, 0, 1, 3}), ServerMessage::BetChosen);
    EXPECT_EQ(ClassifyServerMessage(Bytes{28, 1, 1, 3}), ServerMessage::Deal);
    EXPECT_EQ(ClassifyServerMessage(Bytes{28, 7, 1, 3}), ServerMessage::Deal);
    EXPECT_EQ(ClassifyServerMessage(Bytes{22, 3, 1, 100, 100}), ServerMessage::Konged);
    EXPECT_EQ(ClassifyServerMessage(Bytes{22, 4, 1, 5, 9}), ServerMessage::Konged);
}

TEST(ProtocolNames, UnknownMessagesAreNamedNothing) {
    EXPECT_EQ(ClassifyServerMessage(Bytes{}), std::nullopt);
    EXPECT_EQ(ClassifyServerMessage(Bytes{133, 9}), std::nullopt);
    EXPECT_EQ(ClassifyServerMessage(Bytes{130, 6}), std::nullopt);
    EXPECT_EQ(ClassifyServerMessage(Bytes{200, 0}), std::nullopt);
    // An exact row needs its sub byte.
    EXPECT_EQ(ClassifyServerMessage(Bytes{133}), std::nullopt);
    EXPECT_EQ(ClassifyRequest(Bytes{24}), Request::Pass);
}

TEST(ProtocolNames, EveryBuiltMessageIsNamedAsItsBuilder) {
    using namespace server_messages;
    const std::pair<Bytes, ServerMessage> built[] = {
        {TableReset(), ServerMessage::TableReset},
        {Identity("a", "b"), ServerMessage::Identity},
        {PlayerDropped("a"), ServerMessage::PlayerDropped},
        {HandRaised("a", {}, true), ServerMessage::HandRaised},
        {BetChosen(1, 3), ServerMessage::BetChosen},
        {Deal(1, 5, {}), ServerMessage::Deal},
        {Draw(2, 7), ServerMessage::Draw},
        {Discarded(2, 7, 0, kWireNoChair, 0), ServerMessage::Discarded},
        {Konged(phase::kExposedKong, 1, 5, 6), ServerMessage::Konged},
        {MayRobKong(3), ServerMessage::MayRobKong},
        {DrawnGame(), ServerMessage::DrawnGame},
        {WatchPermission(true), ServerMessage::WatchPermission},
        {ItemUsed(1, 2, 3), ServerMessage::ItemUsed},
    };
    for (const auto& [bytes, name] : built) EXPECT_EQ(ClassifyServerMessage(bytes), name);

    EXPECT_EQ(ClassifyRequest(requests::Discard(1, 5, 0, 0)), Request::Discard);
    EXPECT_EQ(ClassifyRequest(requests::Kong(1, phase::kConcealedKong, 5)), Request::Kong);
    EXPECT_EQ(ClassifyRequest(*requests::RaiseHand("a")), Request::RaiseHand);
    EXPECT_EQ(ClassifyRequest(*requests::ConfirmSettings("a", {})), Request::ConfirmSettings);
    EXPECT_EQ(ClassifyRequest(requests::HandStarted()), Request::HandStarted);
}

TEST(GameMessageDecoders, ReadTheFieldsOrNothingWhenShort) {
    const auto discard = DecodeDiscard(server_messages::Discarded(2, 7, 1, 3, 9));
    ASSERT_TRUE(discard);
    EXPECT_EQ(discard->chair, 2);
    EXPECT_EQ(discard->tile, 7);
    EXPECT_EQ(discard->ting, 1);
    EXPECT_EQ(discard->nextChair, 3);
    EXPECT_EQ(discard->nextTile, 9);
    EXPECT_FALSE(DecodeDiscard(Bytes{19, 0, 2, 7, 1, 0, 3}));

    const auto kong = DecodeKong(server_messages::Konged(phase::kConcealedKong, 1, 100, 100));
    ASSERT_TRUE(kong);
    EXPECT_EQ(kong->kind, phase::kConcealedKong);
    EXPECT_EQ(kong->replacement, 100);
    EXPECT_FALSE(DecodeKong(requests::Kong(1, phase::kExposedKong, 5)));
    EXPECT_TRUE(DecodeKongRequest(requests::Kong(1, phase::kExposedKong, 5)));

    const auto draw = DecodeChairTile(server_messages::Draw(2, 7));
    ASSERT_TRUE(draw);
    EXPECT_EQ(draw->chair, 2);
    EXPECT_EQ(draw->tile, 7);
    EXPECT_FALSE(DecodeChairTile(Bytes{25, 0, 2}));
}

// Each decoder: nothing from an empty message or one a byte short, the fields
// from a whole one.
TEST(GameMessageDecoders, DealIndicatorsRobKongAndResync) {
    const std::vector<std::uint8_t> hand{1, 2, 3};
    const Bytes deal = server_messages::Deal(2, 9, hand);
    const auto decoded = DecodeSideBetsOrDeal(deal);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->chair, 2);
    EXPECT_EQ(decoded->tile, 9);
    EXPECT_TRUE(std::ranges::equal(decoded->tiles, hand));
    EXPECT_FALSE(DecodeSideBetsOrDeal(Bytes{}));
    EXPECT_FALSE(DecodeSideBetsOrDeal(Bytes{28, 0, 2}));

    EXPECT_EQ(DecodeThreeIndicators(server_messages::ThreeIndicators(3))->chair, 3);
    EXPECT_FALSE(DecodeThreeIndicators(Bytes{}));
    EXPECT_FALSE(DecodeThreeIndicators(Bytes{30}));

    EXPECT_EQ(DecodeRobKongOffer(server_messages::MayRobKong(1))->chair, 1);
    EXPECT_FALSE(DecodeRobKongOffer(Bytes{}));
    EXPECT_FALSE(DecodeRobKongOffer(Bytes{29, 0}));
    EXPECT_FALSE(DecodeRobKongOffer(Bytes{29, 0, 1, 0}));

    EXPECT_TRUE(
        std::ranges::equal(DecodeHandResync(server_messages::HandResync(hand))->tiles, hand));
    EXPECT_EQ(DecodeHandResync(Bytes{2, 0, 9, 4})->tiles.size(), 1u);  // count past the end
    EXPECT_FALSE(DecodeHandResync(Bytes{}));
    EXPECT_FALSE(DecodeHandResync(Bytes{2, 0}));
}

TEST(GameMessageDecoders, NoticesFlagsAndItems) {
    using namespace server_messages;
    EXPECT_EQ(DecodeReadyForNext(ReadyForNext(2))->chair, 2);
    EXPECT_FALSE(DecodeReadyForNext(Bytes{18}));

    EXPECT_TRUE(DecodeDrawnGame(DrawnGame()));
    EXPECT_FALSE(DecodeDrawnGame(Bytes{27}));
    EXPECT_FALSE(DecodeDrawnGame(Bytes{27, 2}));

    const auto stop = DecodeMustStop(MustStop(3, "断线"));
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->chair, 3);
    EXPECT_EQ(stop->reason, "断线");
    EXPECT_EQ(DecodeMustStop(Bytes{5, 0, 1})->reason, "");
    EXPECT_FALSE(DecodeMustStop(Bytes{5, 0}));

    EXPECT_TRUE(DecodeWatchPermission(WatchPermission(true))->set);
    EXPECT_FALSE(DecodeWatchPermission(WatchPermission(false))->set);
    EXPECT_FALSE(DecodeWatchPermission(Bytes{113, 0, 1, 0}));
    EXPECT_TRUE(DecodeWindowHidden(Bytes{130, 5, 1})->set);
    EXPECT_FALSE(DecodeWindowHidden(Bytes{130, 5}));

    const std::string settings[] = {"1", "2", "3", "4", "5", "6"};
    const auto raised = DecodeHandRaised(HandRaised("甲", settings, true));
    ASSERT_TRUE(raised);
    EXPECT_TRUE(raised->allReady);
    EXPECT_EQ(raised->fields.size(), 7u);
    EXPECT_EQ(raised->fields[0], "甲");
    EXPECT_FALSE(DecodeHandRaised(HandRaised("甲", {}, false))->allReady);

    const auto rob = DecodeSubChair(requests::RobKongAnswer(2, true));
    ASSERT_TRUE(rob);
    EXPECT_EQ(rob->sub, 1);
    EXPECT_EQ(rob->chair, 2);
    EXPECT_FALSE(DecodeSubChair(Bytes{29, 1}));

    const auto used = DecodeItemUsed(ItemUsed(4, 7, -2));
    ASSERT_TRUE(used);
    EXPECT_EQ(used->userA, 4);
    EXPECT_EQ(used->userB, 7);
    EXPECT_EQ(used->item, -2);
    EXPECT_FALSE(DecodeItemUsed(Bytes{133, 3, 4, 7, 0, 0, 0}));
}

}  // namespace
}  // namespace qira::net
