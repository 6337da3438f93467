#include "rules/table_state.h"

#include <gtest/gtest.h>

#include <vector>

namespace qira::rules {
namespace {

using Hand = std::vector<TileCode>;

TableState TableWithWild(TileCode wild, Hand hand = {}) {
    TableState table;
    table.bytWildTile = wild;
    table.bytMyHand = std::move(hand);
    return table;
}

TEST(HandOrder, DrawnWildTileGoesToTheFrontNotTheEnd) {
    TableState table = TableWithWild(22, {1, 5, 9});
    table.AppendTile(22);
    EXPECT_EQ(table.bytMyHand, (Hand{22, 1, 5, 9}));
}

TEST(HandOrder, DrawnOrdinaryTileStaysAtTheEndUntilSorted) {
    TableState table = TableWithWild(22, {22, 1, 5, 9});
    table.AppendTile(3);
    EXPECT_EQ(table.bytMyHand, (Hand{22, 1, 5, 9, 3}));
    table.SortHand();
    EXPECT_EQ(table.bytMyHand, (Hand{22, 1, 3, 5, 9}));
}

TEST(HandOrder, HandOfWildTilesOnlyKeepsItsOrder) {
    TableState table = TableWithWild(4);
    table.AppendTile(4);
    table.InsertSorted(4);
    table.AppendTile(4);
    EXPECT_EQ(table.bytMyHand, (Hand{4, 4, 4}));
}

TEST(HandOrder, InsertSortedPlacesBeforeTheFirstGreaterTileAndKeepsWildsFirst) {
    TableState table = TableWithWild(10);
    for (TileCode tile : {30, 2, 10, 2, 0, 36, 10}) table.InsertSorted(tile);
    EXPECT_EQ(table.bytMyHand, (Hand{10, 10, 0, 2, 2, 30, 36}));
}

TEST(HandOrder, InsertSortedBehindAHighWildTileKeepsTheRestAscending) {
    TableState table = TableWithWild(20);
    for (TileCode tile : {20, 1, 2, 8, 5, 0, 20, 26, 19}) table.InsertSorted(tile);
    EXPECT_EQ(table.bytMyHand, (Hand{20, 20, 0, 1, 2, 5, 8, 19, 26}));
}

TEST(HandOrder, WildsToFrontIsStableForBothGroups) {
    TableState table = TableWithWild(7, {9, 7, 3, 7, 1});
    table.WildsToFront();
    EXPECT_EQ(table.bytMyHand, (Hand{7, 7, 9, 3, 1}));
}

TEST(HandOrder, RemovingAnAbsentTileChangesNothing) {
    TableState table = TableWithWild(7, {1, 2, 3});
    table.RemoveTile(5);
    EXPECT_EQ(table.bytMyHand, (Hand{1, 2, 3}));
    table.RemoveTile(2);
    EXPECT_EQ(table.bytMyHand, (Hand{1, 3}));
}

TEST(Melds, LocalPungRemovesTheTwoHeldCopiesAndSorts) {
    TableState table = TableWithWild(30, {30, 1, 5, 5, 8, 12});
    table.bytMyChair = 2;
    table.ApplyMeld(2, MeldKind::Pung, 5, 1);
    EXPECT_EQ(table.bytMyHand, (Hand{30, 1, 8, 12}));
    EXPECT_EQ(table.Seats[2].Melds, (std::vector<MeldRecord>{{MeldKind::Pung, 5, 1}}));
}

TEST(Melds, LocalChowRemovesItsThreeTilesAfterTheClaimedOneWasAppended) {
    TableState table = TableWithWild(30, {1, 3, 3, 8});
    table.bytMyChair = 0;
    table.AppendTile(2);
    table.ApplyMeld(0, MeldKind::Chow, 1, 3);
    EXPECT_EQ(table.bytMyHand, (Hand{3, 8}));
}

TEST(Melds, AnotherChairsMeldLeavesTheLocalHandAlone) {
    TableState table = TableWithWild(30, {5, 5, 7});
    table.bytMyChair = 0;
    table.ApplyMeld(1, MeldKind::Pung, 5, 0);
    EXPECT_EQ(table.bytMyHand, (Hand{5, 5, 7}));
    EXPECT_EQ(table.Seats[1].Melds.size(), 1u);
}

TEST(Melds, ChairsAboveThreeAreIgnored) {
    TableState table = TableWithWild(30, {5, 5, 7});
    table.ApplyMeld(4, MeldKind::Pung, 5, 0);
    table.AddDiscard(7, 5);
    table.ApplyKong(200, MeldKind::ExposedKong, 5, 9, 0);
    for (const SeatState& seat : table.Seats) {
        EXPECT_TRUE(seat.Melds.empty());
        EXPECT_TRUE(seat.Discards.empty());
    }
    EXPECT_EQ(table.bytMyHand, (Hand{5, 5, 7}));
}

TEST(Melds, KongUpgradesThePungAndDrawsTheReplacement) {
    TableState table = TableWithWild(30, {2, 5, 9});
    table.bytMyChair = 3;
    table.Seats[3].Melds = {{MeldKind::Chow, 0, 2}, {MeldKind::Pung, 5, 2}};
    table.ApplyKong(3, MeldKind::ExposedKong, 5, 30, 3);
    EXPECT_EQ(table.Seats[3].Melds,
              (std::vector<MeldRecord>{{MeldKind::Chow, 0, 2}, {MeldKind::ExposedKong, 5, 3}}));
    EXPECT_EQ(table.bytMyHand, (Hand{30, 2, 9}));
}

TEST(Melds, ConcealedKongOfAChowStartTileAddsANewRecord) {
    TableState table = TableWithWild(30, {3, 3, 3, 3, 9});
    table.bytMyChair = 1;
    table.Seats[1].Melds = {{MeldKind::Chow, 3, 0}};
    table.ApplyKong(1, MeldKind::ConcealedKong, 3, 11, 1);
    EXPECT_EQ(table.Seats[1].Melds,
              (std::vector<MeldRecord>{{MeldKind::Chow, 3, 0}, {MeldKind::ConcealedKong, 3, 1}}));
    EXPECT_EQ(table.bytMyHand, (Hand{9, 11}));
}

TEST(Wall, OrdinaryDrawsMoveToThePreviousChairWhenTheSegmentIsUsedUp) {
    TableState table;
    table.bytHeadWallChair = 0;
    table.Seats[0].lngWallHead = 33;
    table.Seats[0].lngWallTail = 34;
    EXPECT_EQ(table.TakeWallTile(WallEnd::Head), 0);
    EXPECT_EQ(table.bytHeadWallChair, 0);
    EXPECT_EQ(table.TakeWallTile(WallEnd::Head), 0);
    EXPECT_EQ(table.bytHeadWallChair, 3);
}

TEST(Wall, ReplacementDrawsMoveToTheNextChair) {
    TableState table;
    table.bytTailWallChair = 3;
    table.Seats[3].lngWallHead = 5;
    table.Seats[3].lngWallTail = 5;
    EXPECT_EQ(table.TakeWallTile(WallEnd::Tail), 3);
    EXPECT_EQ(table.Seats[3].lngWallTail, 4);
    EXPECT_EQ(table.bytTailWallChair, 0);
}

TEST(Wall, AWallChairThatIsNoChairIsIgnored) {
    TableState table;
    table.bytHeadWallChair = 9;
    EXPECT_EQ(table.TakeWallTile(WallEnd::Head), kTableNoChair);
}

TEST(Resets, FullResetClearsSeatsAndHand) {
    TableState table = TableWithWild(3, {1, 2});
    table.Seats[1].strPlayerName = "甲";
    table.Seats[1].lngPlayerKey = 12;
    table.Seats[1].bytNoWin = 1;
    table.bytHandVisible = 0;
    table.blnHandIdle = false;
    table.AddPassedKongTile(5);
    table.ResetTable();
    EXPECT_TRUE(table.Seats[1].strPlayerName.empty());
    EXPECT_EQ(table.Seats[1].lngPlayerKey, -1);
    EXPECT_EQ(table.Seats[1].bytNoWin, 0);
    EXPECT_EQ(table.Seats[1].bytBetChoice, kBetNotChosen);
    EXPECT_EQ(table.Seats[1].lngWallHead, 1);
    EXPECT_TRUE(table.bytMyHand.empty());
    EXPECT_EQ(table.bytHandVisible, 1);
    EXPECT_EQ(table.bytDealerChair, kTableNoChair);
    EXPECT_TRUE(table.blnHandIdle);
    EXPECT_FALSE(table.IsPassedKongTile(5));
}

TEST(Resets, NewHandKeepsOccupantsAndVisibilityAndClearsReadyOnlyWhenAsked) {
    TableState table;
    table.Seats[2].strPlayerName = "乙";
    table.Seats[2].lngPlayerKey = 7;
    table.Seats[2].blnUserFlag = true;
    table.Seats[2].blnReady = true;
    table.Seats[2].Discards = {4};
    table.bytHandVisible = 0;
    table.bytAutoPlayCount = 3;
    table.bytAutoPlayLimit = 9;
    table.ResetForNewHand(ReadyFlags::Keep);
    EXPECT_EQ(table.Seats[2].strPlayerName, "乙");
    EXPECT_EQ(table.Seats[2].lngPlayerKey, 7);
    EXPECT_TRUE(table.Seats[2].blnUserFlag);
    EXPECT_TRUE(table.Seats[2].blnReady);
    EXPECT_TRUE(table.Seats[2].Discards.empty());
    EXPECT_EQ(table.bytHandVisible, 0);
    EXPECT_EQ(table.bytAutoPlayCount, 0);
    EXPECT_EQ(table.bytAutoPlayLimit, kDefaultAutoPlayLimit);
    table.ResetForNewHand(ReadyFlags::Clear);
    EXPECT_FALSE(table.Seats[2].blnReady);
}

TEST(PassedKongs, EachTileIsKeptOnce) {
    TableState table;
    table.AddPassedKongTile(5);
    table.AddPassedKongTile(5);
    table.AddPassedKongTile(36);
    EXPECT_EQ(table.bytPassedKongTiles, (Hand{5, 36}));
    EXPECT_TRUE(table.IsPassedKongTile(36));
    EXPECT_FALSE(table.IsPassedKongTile(6));
}

std::vector<std::uint8_t> NewHandRecord() {
    std::vector<std::uint8_t> record(29, 0);
    record[0] = 17;
    record[3] = 7;   // auto-play limit
    record[11] = 2;  // dealer
    record[12] = 5;  // die
    record[13] = 1;  // head wall chair
    record[14] = 3;  // tail wall chair
    record[15] = 2;
    record[16] = 10;
    record[17] = 0;
    for (int chair = 0; chair < 4; ++chair) {
        record[18 + 2 * chair] = static_cast<std::uint8_t>(1 + chair);
        record[19 + 2 * chair] = 30;
    }
    record[26] = 21;
    record[27] = 22;
    record[28] = 99;
    return record;
}

TEST(HandStartRecord, FieldsAreReadAndTheTailSeatIsCorrectedAfterTheWallBytes) {
    TableState table;
    table.LoadHandStart(*net::DecodeNewHand(NewHandRecord()));
    EXPECT_EQ(table.bytAutoPlayLimit, 7);
    EXPECT_EQ(table.bytDealerChair, 2);
    EXPECT_EQ(table.bytDice, 5);
    EXPECT_EQ(table.bytHeadWallChair, 1);
    EXPECT_EQ(table.bytTailWallChair, 3);
    EXPECT_EQ(table.bytTurnChair, 2);
    EXPECT_EQ(table.bytTurnPhase, 10);
    EXPECT_EQ(table.Seats[1].lngWallHead, 2);
    EXPECT_EQ(table.Seats[1].lngWallTail, 30);
    EXPECT_EQ(table.Seats[3].lngWallTail, 31);  // 30 as sent, plus one
    EXPECT_EQ(table.bytWildIndicator, 21);
    EXPECT_EQ(table.bytWildTile, 22);
    EXPECT_EQ(table.bytReserved, 99);
}

TEST(HandStartRecord, ACutRecordDecodesToNothing) {
    const auto record = NewHandRecord();
    EXPECT_FALSE(net::DecodeNewHand(std::span(record).first(28)));
}

std::vector<std::uint8_t> RunningSnapshot() {
    std::vector<std::uint8_t> record = {109, 0, 1, 0};
    record.insert(record.end(), {1, 2, 5, 3});            // chair 0: one pung of 5 from chair 3
    record.insert(record.end(), {0, 0, 0});               // chairs 1-3: none
    record.insert(record.end(), {2, 7, 8, 0, 1, 30, 0});  // discards
    for (int chair = 0; chair < 4; ++chair) record.insert(record.end(), {3, 28, 0});
    record.insert(record.end(), {0, 1, 0, 0});        // no-win flags
    record.insert(record.end(), {1, 2, 3, 0});        // bets
    record.insert(record.end(), {4, 1, 2, 22, 9});    // the hand, wild 22 third
    record.insert(record.end(), {1, 2, 0, 3, 5, 9});  // dealer, walls, turn, phase, tile
    record.insert(record.end(), {0, 21, 22, 0, 17});  // visible, indicator, wild, reserved, count
    return record;
}

TEST(SnapshotRecord, ARunningHandIsReadInOrderAndTheWildsPutFirst) {
    TableState table;
    table.LoadTableSnapshot(RunningSnapshot(), Viewer::Player);
    EXPECT_FALSE(table.blnHandIdle);
    EXPECT_EQ(table.Seats[0].Melds, (std::vector<MeldRecord>{{MeldKind::Pung, 5, 3}}));
    EXPECT_EQ(table.Seats[0].Discards, (Hand{7, 8}));
    EXPECT_EQ(table.Seats[2].Discards, (Hand{30}));
    EXPECT_EQ(table.Seats[3].lngWallTail, 28);
    EXPECT_EQ(table.Seats[1].bytNoWin, 1);
    EXPECT_EQ(table.Seats[2].bytBetChoice, 3);
    EXPECT_EQ(table.bytMyHand, (Hand{22, 1, 2, 9}));
    EXPECT_EQ(table.bytDealerChair, 1);
    EXPECT_EQ(table.bytTurnPhase, 5);
    EXPECT_EQ(table.bytCurTile, 9);
    EXPECT_EQ(table.bytHandVisible, 1);  // a player always sees his hand
    EXPECT_EQ(table.bytWildIndicator, 21);
    EXPECT_EQ(table.bytDiscardCount, 17);
}

TEST(SnapshotRecord, AnOnlookerMayBeRefusedTheFaces) {
    TableState table;
    table.LoadTableSnapshot(RunningSnapshot(), Viewer::Onlooker);
    EXPECT_EQ(table.bytHandVisible, 0);
}

TEST(SnapshotRecord, AnIdleTableReadsOnlyTheReadyFlagsAndVisibility) {
    TableState table;
    const std::vector<std::uint8_t> record = {109, 0, 0, 0, 1, 0, 1, 0, 0};
    table.LoadTableSnapshot(record, Viewer::Onlooker);
    EXPECT_TRUE(table.Seats[0].blnReady);
    EXPECT_FALSE(table.Seats[1].blnReady);
    EXPECT_TRUE(table.Seats[2].blnReady);
    EXPECT_EQ(table.bytHandVisible, 0);
    EXPECT_EQ(table.bytTurnChair, kIdleTurn);
    EXPECT_EQ(table.bytTurnPhase, kIdleTurn);
    EXPECT_TRUE(table.blnHandIdle);
}

TEST(SnapshotRecord, EveryCutIsReadSafelyAndKeepsWholeEntries) {
    const auto record = RunningSnapshot();
    for (std::size_t length = 0; length < record.size(); ++length) {
        TableState table;
        table.bytWildTile = 22;
        table.LoadTableSnapshot(std::span(record.data(), length), Viewer::Player);
        EXPECT_LE(table.bytMyHand.size(), 4u) << "length " << length;
        EXPECT_LE(table.Seats[0].Melds.size(), 1u) << "length " << length;
    }
    TableState table;
    const std::size_t cutInsideTheMeld = 6;
    table.LoadTableSnapshot(std::span(record.data(), cutInsideTheMeld), Viewer::Player);
    EXPECT_TRUE(table.Seats[0].Melds.empty());
}

}  // namespace
}  // namespace qira::rules
