#include "rules/claim_options.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace qira::rules {
namespace {

using Tiles = std::vector<TileCode>;

struct Player {
    Player(Tiles heldTiles, std::vector<MeldRecord> laidDown = {}, TileCode wildTile = 33)
        : hand(std::move(heldTiles)), melds(std::move(laidDown)), wild(wildTile) {}

    Tiles hand;
    std::vector<MeldRecord> melds;
    TileCode wild = 33;

    HandView View() const { return {hand, melds, wild, false}; }
};

Tiles Chows(const Player& player, TileCode discard, ClaimOption* result = nullptr) {
    Tiles starts;
    const ClaimOption answer = ChowOptions(player.View(), discard, starts);
    if (result) *result = answer;
    return starts;
}

TEST(Chow, DiscardInTheMiddleOfFourHeldTilesGivesThreeChoicesInOrder) {
    ClaimOption result;
    EXPECT_EQ(Chows({{0, 1, 3, 4}}, 2, &result), (Tiles{0, 1, 2}));
    EXPECT_EQ(result, MeldKind::Chow);
}

TEST(Chow, SequencesNeverCrossASuitBorder) {
    ClaimOption result;
    EXPECT_TRUE(Chows({{18, 19}}, 17, &result).empty());
    EXPECT_EQ(result, std::nullopt);
    EXPECT_TRUE(Chows({{7, 8}}, 9).empty());
    EXPECT_TRUE(Chows({{9, 10}}, 8).empty());
    EXPECT_EQ(Chows({{24, 25}}, 26), (Tiles{24}));
}

TEST(Chow, AHeldWildTileIsNeverAPartnerEvenByItsFace) {
    Player player{{3, 0, 1}, {}, 3};  // wild 4 of characters held, with 1 and 2
    EXPECT_EQ(Chows(player, 2), (Tiles{0}));
    player.hand = {3, 1};
    EXPECT_TRUE(Chows(player, 2).empty());
}

TEST(Chow, HonoursAndTheWildTileAreNeverChowed) {
    EXPECT_TRUE(Chows({{27, 28}}, 29).empty());
    EXPECT_TRUE(Chows({{36, 37}}, 38).empty());
    EXPECT_TRUE(Chows({{3, 5}, {}, 4}, 4).empty());
}

TEST(Chow, ResultsAreAppendedToTheCallersList) {
    Player player{{0, 1}};
    Tiles starts{9};
    EXPECT_EQ(ChowOptions(player.View(), 2, starts), MeldKind::Chow);
    EXPECT_EQ(starts, (Tiles{9, 0}));
}

TEST(Pung, NeedsTwoHeldCopiesOfANonWildTile) {
    EXPECT_EQ(PungOption(Player{{5, 5, 7}}.View(), 5), MeldKind::Pung);
    EXPECT_EQ(PungOption(Player{{5, 7}}.View(), 5), std::nullopt);
    EXPECT_EQ(PungOption(Player{{5, 5}, {}, 5}.View(), 5), std::nullopt);
}

TEST(Kong, OnADiscardNeedsExactlyThreeHeldCopies) {
    EXPECT_EQ(KongOption(Player{{5, 5, 5}}.View(), 5, Turn::Other), MeldKind::ExposedKong);
    EXPECT_EQ(KongOption(Player{{5, 5}}.View(), 5, Turn::Other), std::nullopt);
    EXPECT_EQ(KongOption(Player{{5, 5, 5}, {}, 5}.View(), 5, Turn::Other), std::nullopt);
}

TEST(Kong, OnTheOwnTurnFourCopiesOrAPungOnTheTable) {
    Player player{{5, 5, 5, 5, 8}, {{MeldKind::Pung, 8, 1}}};
    EXPECT_EQ(KongOption(player.View(), 5, Turn::Own), MeldKind::ConcealedKong);
    EXPECT_EQ(KongOption(player.View(), 8, Turn::Own), MeldKind::ExposedKong);
    player.melds = {{MeldKind::Chow, 8, 1}};
    EXPECT_EQ(KongOption(player.View(), 8, Turn::Own), std::nullopt);
}

TEST(OwnKong, FourWildTilesMakeAConcealedKongFoundByTheWholeHandSearch) {
    Player player{{22, 22, 22, 22, 1, 2, 3}, {}, 22};
    EXPECT_EQ(KongOption(player.View(), 3, Turn::Own), std::nullopt);
    TileCode tile = 0;
    EXPECT_EQ(FindOwnKong(player.View(), tile), MeldKind::ConcealedKong);
    EXPECT_EQ(tile, 22);
}

TEST(OwnKong, FourCopiesComeBeforeAnUpgradeAndTheFirstInHandOrderWins) {
    Player player{{1, 7, 9, 9, 9, 9}, {{MeldKind::Pung, 7, 0}, {MeldKind::Pung, 1, 0}}};
    TileCode tile = 0;
    EXPECT_EQ(FindOwnKong(player.View(), tile), MeldKind::ConcealedKong);
    EXPECT_EQ(tile, 9);
    player.hand = {1, 7, 9};
    EXPECT_EQ(FindOwnKong(player.View(), tile), MeldKind::ExposedKong);
    EXPECT_EQ(tile, 1);
}

TEST(OwnKong, AWildTileIsNeverAddedToAPung) {
    Player player{{22, 3}, {{MeldKind::Pung, 22, 0}}, 22};
    TileCode tile = 99;
    EXPECT_EQ(FindOwnKong(player.View(), tile), std::nullopt);
    EXPECT_EQ(tile, 99);
}

TEST(LocalPlayer, WrappersUseTheLocalChairsHandAndMelds) {
    TableState table;
    table.bytMyChair = 2;
    table.bytWildTile = 30;
    table.bytMyHand = {4, 8};
    table.Seats[2].Melds = {{MeldKind::Pung, 8, 1}};
    table.Seats[0].Melds = {{MeldKind::Pung, 4, 1}};
    TileCode tile = 0;
    EXPECT_EQ(FindOwnKong(table, tile), MeldKind::ExposedKong);
    EXPECT_EQ(tile, 8);
    table.bytMyChair = 9;
    EXPECT_EQ(FindOwnKong(table, tile), std::nullopt);
}

TEST(LocalPlayer, ADeclinedKongIsNotOfferedAgainThisHand) {
    TableState table;
    table.AddPassedKongTile(5);
    EXPECT_TRUE(table.IsPassedKongTile(5));
    table.ResetForNewHand(ReadyFlags::Keep);
    EXPECT_FALSE(table.IsPassedKongTile(5));
}

}  // namespace
}  // namespace qira::rules
