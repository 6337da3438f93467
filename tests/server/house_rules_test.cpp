// One test per house rule of docs/rules.md, each played through the server on
// a stacked wall. Rules that other server tests already play are named at the
// end of the file.
#include <gtest/gtest.h>

#include "net/requests.h"
#include "server/core/win_check.h"
#include "stacked_table.h"

namespace qira::server::testing {
namespace {

constexpr Tile kWild = 38;       // white dragon, after the indicator green dragon
constexpr Tile kIndicator = 37;  // green dragon
constexpr Tile kRed = 36;

// Hands for the chairs a test does not look at: dots and bamboo only, no pair,
// never ready, and no two tiles a character or honour discard could complete.
const std::vector<Tile> kFillerA{9, 10, 11, 13, 14, 15, 17, 18, 19, 20, 22, 24, 26};
const std::vector<Tile> kFillerB{9, 11, 12, 13, 15, 16, 17, 18, 20, 21, 22, 24, 26};
constexpr Tile kFillerDiscard = 30;  // the dealer's fourteenth tile by default (north)

// A deal with chair 0 as the dealer; chairs left empty get a filler hand.
struct Deal {
    std::array<std::vector<Tile>, 4> hands = {};
    Tile dealerExtra = kFillerDiscard;
    std::vector<Tile> draws = {};
    std::vector<Tile> replacements = {};
    Tile indicator = kIndicator;
};

ServerConfig ConfigFor(Deal deal) {
    const std::array<const std::vector<Tile>*, 4> fillers{&kFillerA, &kFillerA, &kFillerB,
                                                          &kFillerB};
    for (std::size_t c = 0; c < 4; ++c)
        if (deal.hands[c].empty()) deal.hands[c] = *fillers[c];
    auto config = FastConfig();
    config.botWait = 60s;
    config.firstDealer = 0;
    config.stackedWall =
        StackWall(0, deal.hands, deal.dealerExtra, deal.indicator, deal.draws, deal.replacements);
    return config;
}

// Message 23 read field by field (docs/protocol.md).
struct Winner {
    int chair = 0;
    std::vector<std::pair<int, Tile>> melds;
    std::vector<Tile> concealed;
    std::array<int, 18> items{};  // 1-17
};

struct Record {
    std::vector<Winner> winners;
    std::array<std::int32_t, 4> actual{};
    std::array<std::int32_t, 4> due{};
    std::int32_t base = 0;
    Tile winningTile = 0;
    std::array<std::array<int, 6>, 4> payer{};
};

std::int32_t Int32At(const Bytes& m, std::size_t& at) {
    const auto value =
        static_cast<std::int32_t>((std::uint32_t(m[at]) << 24) | (std::uint32_t(m[at + 1]) << 16) |
                                  (std::uint32_t(m[at + 2]) << 8) | m[at + 3]);
    at += 4;
    return value;
}

Record ReadRecord(const Bytes& m) {
    Record record;
    std::size_t at = 2;
    for (int w = 0; w < m.at(1); ++w) {
        Winner winner;
        winner.chair = m.at(at++);
        const int meldBytes = m.at(at++);
        for (int i = 0; i < meldBytes / 2; ++i, at += 2)
            winner.melds.push_back({m.at(at), m.at(at + 1)});
        const int tiles = m.at(at++);
        for (int i = 0; i < tiles; ++i) winner.concealed.push_back(m.at(at++));
        for (int item = 1; item <= 17; ++item) winner.items[item] = m.at(at++);
        record.winners.push_back(winner);
    }
    for (auto& a : record.actual) a = Int32At(m, at);
    for (auto& d : record.due) d = Int32At(m, at);
    record.base = Int32At(m, at);
    at += 8;  // concealed and exposed kongs of each chair
    record.winningTile = m.at(at++);
    for (auto& items : record.payer)
        for (auto& item : items) item = m.at(at++);
    EXPECT_EQ(at, m.size()) << "the record has no bytes left over";
    std::size_t blocks = 0;
    for (const Winner& w : record.winners) blocks += 20 + 2 * w.melds.size() + w.concealed.size();
    EXPECT_EQ(m.size(), 2 + blocks + 69);
    return record;
}

// The table driven move by move: every request is sent for the chair and the
// test goes on once its answer reached everybody.
struct Play {
    explicit Play(Deal deal, std::unique_ptr<StatsStore> stats = nullptr,
                  std::array<std::uint8_t, 4> bets = {})
        : t(ConfigFor(std::move(deal)), Transport::InProcess, std::move(stats), bets) {}

    bool AllGot(int type, int count) { return t.AllGot(type, count); }

    // Sends a discard and returns the discarder's copy of the answer (19).
    Bytes Discard(int chair, Tile tile, std::uint8_t ting = 0) {
        const int before = t[chair].Count(19);
        t[chair].Send(net::requests::Discard(static_cast<std::uint8_t>(chair), tile, ting, 0));
        EXPECT_TRUE(AllGot(19, before + 1)) << "chair " << chair << " discards " << int(tile);
        return LastOf(chair, 19);
    }
    // The chair discards the tile it drew last.
    Bytes DiscardDrawn(int chair) { return Discard(chair, t[chair].hand.back()); }

    Bytes LastOf(int chair, int type) const {
        const auto& all = t.clients[chair]->received();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if ((*it)[0] == type) return *it;
        return {};
    }

    Record Win(int chair) {
        t[chair].Send(net::requests::Win(static_cast<std::uint8_t>(chair)));
        EXPECT_TRUE(AllGot(23, 1));
        const auto record = t[0].First(23);
        return record ? ReadRecord(*record) : Record{};
    }

    std::size_t Refused(Refusal why) {
        PumpAll(
            t.all, [] { return false; }, 50ms);
        return t.server->lobby().tally().refusedBy[static_cast<std::size_t>(why)];
    }

    Table4 t;
};

// A discard that nobody may claim goes to the pile with the next chair's
// draw in the same message.
bool NobodyMayClaim(const Bytes& discard) {
    return discard.size() > 7 && discard[6] < 4;
}

int ShownTiles(const Winner& winner) {
    return static_cast<int>(winner.concealed.size() + 1 + 3 * winner.melds.size());
}

// ---------------------------------------------------------------- tiles, wall, dealer

TEST(HouseRules, TheDealGivesThirteenTilesToEachChairAndAFourteenthToTheDealer) {
    const std::vector<Tile> chair1{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 28, 29, 30};
    Play p(Deal{.hands = {{{}, chair1, {}, {}}}});
    EXPECT_EQ(p.t[0].hand.size(), 14u);
    EXPECT_EQ(p.t[0].hand.back(), kFillerDiscard) << "the dealer's fourteenth tile comes last";
    EXPECT_EQ(p.t[1].hand, chair1);
    EXPECT_EQ(p.t[2].hand.size(), 13u);
    EXPECT_EQ(p.t[3].hand.size(), 13u);
}

TEST(HouseRules, TheDieNamesTheHeadSegmentAndReplacementsComeFromTheSegmentAfterIt) {
    Play p(Deal{.hands = {{{1, 1, 1, 1, 27, 28, 29, 30, 36, 0, 2, 4, 6}, {}, {}, {}}},
                .replacements = {8}});
    const Bytes start = *p.t[0].First(17);
    const int die = start[12];
    EXPECT_GE(die, 1);
    EXPECT_LE(die, 6);
    const int head = (0 + die - 1) % 4;  // (dealer + die - 1) mod 4
    // The 53 dealt tiles used up the head segment (34) and went on into the
    // segment of the chair before it; the indicator left the segment after it.
    EXPECT_EQ(start[13], (head + 3) % 4) << "where the wall's front now is";
    EXPECT_EQ(start[14], (head + 1) % 4) << "where the wall's back is";
    p.t[0].Send(net::requests::Kong(0, 3, 1));
    ASSERT_TRUE(p.AllGot(22, 1));
    EXPECT_EQ((*p.t[0].First(22))[4], 8) << "the replacement is the last tile before the indicator";
}

// Hands end by a win of `winner` on the dealer's first turn (chair 0) or on
// the dealer's first discard; the next hand's dealer is read from its 17.
int NextDealerAfterWinBy(int winner) {
    const std::vector<Tile> waitsOnRed{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kRed};
    Deal deal;
    if (winner == 0) {
        deal.hands[0] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6};
        deal.dealerExtra = 6;
    } else {
        deal.hands[winner] = waitsOnRed;
        deal.dealerExtra = kRed;
    }
    Play p(deal);
    if (winner == 0) {
        p.Win(0);
    } else {
        p.Discard(0, kRed);
        p.Win(winner);
    }
    for (int c = 0; c < 4; ++c)
        p.t[c].Send(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(c)));
    EXPECT_TRUE(p.AllGot(17, 2));
    return p.LastOf(0, 17)[11];
}

TEST(HouseRules, ADealerWhoWinsKeepsTheDealOtherwiseItPassesToTheNextChair) {
    EXPECT_EQ(NextDealerAfterWinBy(0), 0);
    EXPECT_EQ(NextDealerAfterWinBy(2), 1);
}

// ---------------------------------------------------------------- the wild tile

TEST(HouseRules, TheWildTileFollowsTheIndicatorInItsCycle) {
    Play green(Deal{});
    EXPECT_EQ((*green.t[0].First(17))[26], 37);
    EXPECT_EQ((*green.t[0].First(17))[27], 38) << "green dragon, then white";
    Play nine(Deal{.indicator = 8});
    EXPECT_EQ((*nine.t[0].First(17))[27], 0) << "9 of characters, then 1";
    Play white(Deal{.indicator = 38});
    EXPECT_EQ((*white.t[0].First(17))[27], 36) << "white dragon, then red";
}

TEST(HouseRules, APlayerWhoDiscardsAWildTileCannotWinForTheRestOfTheHand) {
    // After its wild discard the dealer waits on the red dragon.
    Play p(Deal{.hands = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kRed}, {}, {}, {}}},
                .dealerExtra = kWild,
                .draws = {kRed}});
    p.Discard(0, kWild);
    const Bytes red = p.DiscardDrawn(1);
    EXPECT_EQ(red[3], kRed);
    EXPECT_TRUE(NobodyMayClaim(red)) << "no win offered to the dealer";
}

TEST(HouseRules, ADiscardedWildTileIsNeverChowedPungedOrKonged) {
    // The wild tile is the 5 of characters: chair 1 holds the 3 and 4 and the
    // 6 and 7 of characters around it, chair 2 three copies of it.
    Play p(Deal{.hands = {{{},
                           {2, 3, 5, 6, 27, 28, 29, 30, 36, 37, 38, 0, 8},
                           {4, 4, 4, 27, 28, 29, 30, 36, 37, 38, 1, 7, 8},
                           {}}},
                .dealerExtra = 4,
                .indicator = 3});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, 4)));
}

TEST(HouseRules, AHeldWildTileIsNeverAChowPartner) {
    // Wild 5 of characters; chair 1 could chow the 6 only with the wild tile.
    Play p(Deal{.hands = {{{}, {3, 4, 6, 27, 28, 29, 30, 36, 37, 38, 0, 1, 8}, {}, {}}},
                .dealerExtra = 5,
                .indicator = 3});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, 5)));
}

TEST(HouseRules, ThreeOrFourWildTilesWinOnlyOnTheOwnDraw) {
    Play p(Deal{.hands = {{{}, {0, 1, 2, 3, 4, 5, 6, 7, 8, kRed, kWild, kWild, kWild}, {}, {}}},
                .dealerExtra = kRed,
                .draws = {kRed}});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, kRed))) << "no win on the discarded red dragon";
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].chair, 1);
    EXPECT_EQ(record.winners[0].items[1], 4) << "self-drawn";
}

TEST(HouseRules, OnlyAReadyPlayerWinsOnADiscardedWildTile) {
    // The dealer declares ready on three pungs of winds, a north, a red dragon
    // and two wild tiles; chair 1 throws a wild tile. The dealer wins on it,
    // the wild tiles making a pung of one of north and red and the pair of the
    // other. Chair 2's hand wins on it too, but chair 2 did not declare ready.
    Play p(Deal{.hands = {{{27, 27, 27, 28, 28, 28, 29, 29, 29, 30, kRed, kWild, kWild},
                           {},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 30, 30, 30, kWild},
                           {}}},
                .dealerExtra = kRed,
                .draws = {kWild}});
    EXPECT_EQ(p.Discard(0, kRed, 1)[4], 1) << "the dealer is ready";
    EXPECT_FALSE(NobodyMayClaim(p.Discard(1, kWild)));
    p.t[2].Send(net::requests::Win(2));
    const Record record = p.Win(0);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].chair, 0);
    EXPECT_EQ(record.winningTile, kWild);
    EXPECT_EQ(record.winners[0].items[13], 1) << "not 素胡: the hand holds wild tiles";
    const auto& tally = p.t.server->lobby().tally();
    EXPECT_EQ(tally.refusedBy[static_cast<std::size_t>(Refusal::NoWinOnWildDiscard)], 1u);
    EXPECT_EQ(tally.wildDiscardWins[static_cast<std::size_t>(SeatKind::Person)], 1u);
    EXPECT_EQ(tally.wildDiscardWins[static_cast<std::size_t>(SeatKind::Computer)], 0u);
}

TEST(HouseRules, AWildTileMayNotTurnAnotherPlayersDiscardIntoThePair) {
    // Three chows, a pung and a wild tile: the red dragon would only pair
    // with the wild tile. Drawn, the same tile wins.
    Play p(Deal{.hands = {{{}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kWild}, {}, {}}},
                .dealerExtra = kRed,
                .draws = {kRed}});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, kRed)));
    EXPECT_EQ(p.Win(1).winners.at(0).items[1], 4);
}

TEST(HouseRules, TheServerPlayingForAbsentPlayersWinsOnADiscardedWildTileOnlyWhenReady) {
    // The same hands, with the ready dealer and chair 2 gone before the wild
    // tile comes: the server plays both chairs, and only the dealer wins.
    Play p(Deal{.hands = {{{27, 27, 27, 28, 28, 28, 29, 29, 29, 30, kRed, kWild, kWild},
                           {},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 30, 30, 30, kWild},
                           {}}},
                .dealerExtra = kRed,
                .draws = {kWild}});
    EXPECT_EQ(p.Discard(0, kRed, 1)[4], 1) << "the dealer is ready";
    p.t[0].Close();
    p.t[2].Close();
    p.t[1].Send(net::requests::Discard(1, kWild, 0, 0));
    ASSERT_TRUE(p.t[1].PumpUntil([&] { return p.t[1].Count(23) == 1; }));
    const Record record = ReadRecord(*p.t[1].First(23));
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].chair, 0);
    const auto& wins = p.t.server->lobby().tally().wildDiscardWins;
    EXPECT_EQ(wins[static_cast<std::size_t>(SeatKind::PlayedByServer)], 1u);
    EXPECT_EQ(wins[static_cast<std::size_t>(SeatKind::Person)], 0u);
}

TEST(HouseRules, NoWinOnADiscardedWildTileIsOfferedWithoutAReadyDeclaration) {
    // The analysis lets the discarded wild tile pair the held one as the 1 of
    // characters, but the wait is too wide for the hand ever to be ready.
    const std::vector<Tile> hand{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kWild};
    EXPECT_TRUE(CanWinWith(HandInfo{hand, {}, kWild, false}, kWild));
    Play p(Deal{.hands = {{{}, hand, {}, {}}}, .dealerExtra = kWild});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, kWild)));
}

TEST(HouseRules, AWildTileMayStandForAFifthCopyWhoseFourLieInTheOwnKong) {
    // Four 2s of characters laid down as a kong; the 1 and 3 and a wild tile
    // make a chow only with the wild tile as a fifth 2. Only the concealed
    // tiles and the winning tile are counted, so the hand wins on the 1 of dots.
    const std::vector<Tile> concealed{0, 2, kWild, 9, 10, 11, 12, 13, 14, 18};
    const std::vector<Meld> kong{{MeldKind::ConcealedKong, 1, 1}};
    EXPECT_TRUE(CanWinWith(HandInfo{concealed, kong, kWild, false}, 18));
}

TEST(HouseRules, InSevenPairsAWildTileMayPairAnotherPlayersDiscard) {
    Play p(Deal{.hands = {{{}, {27, 27, 28, 28, 29, 29, 30, 30, kRed, kRed, 0, 0, kWild}, {}, {}}},
                .dealerExtra = 5});
    EXPECT_FALSE(NobodyMayClaim(p.Discard(0, 5)));
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[10], 2) << "七对";
}

TEST(HouseRules, AWaitTooWideCannotWinOnADiscard) {
    // Three pungs, a pair and the 5 of characters with a wild tile: the 3 to
    // the 7 of characters all complete it.
    Play p(Deal{.hands = {{{}, {27, 27, 27, 28, 28, 28, 29, 29, 29, kRed, kRed, 4, kWild}, {}, {}}},
                .dealerExtra = 2,
                .draws = {3}});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, 2)));
    EXPECT_EQ(p.Win(1).winners.at(0).items[1], 4) << "drawn, the 4 of characters wins";
}

// The dealer lays down three concealed kongs and draws wild tiles as the
// replacements: east and four wild tiles.
Deal ThreeKongsThenWilds() {
    return Deal{.hands = {{{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 27}, {}, {}, {}}},
                .dealerExtra = kWild,
                .replacements = {kWild, kWild, kWild}};
}

void LayThreeKongs(Play& p) {
    for (int k = 0; k < 3; ++k) {
        p.t[0].Send(net::requests::Kong(0, 3, static_cast<std::uint8_t>(1 + k)));
        ASSERT_TRUE(p.AllGot(22, k + 1));
    }
}

TEST(HouseRules, MoreWildTilesThanCandidateTilesWinUnconditionally) {
    // East with four wild tiles: only east is a candidate, and no split
    // exists (it would take five easts), yet the hand wins.
    Play p(ThreeKongsThenWilds());
    LayThreeKongs(p);
    const Record record = p.Win(0);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[6], 2) << "杠上开花";
    EXPECT_EQ(record.winners[0].items[9], 3) << "three concealed kongs";
}

TEST(HouseRules, FourWildTilesMayBeDeclaredAConcealedKong) {
    Play p(ThreeKongsThenWilds());
    LayThreeKongs(p);
    p.t[0].Send(net::requests::Kong(0, 3, kWild));
    ASSERT_TRUE(p.AllGot(22, 4));
    EXPECT_EQ(p.LastOf(0, 22)[3], kWild);
    EXPECT_EQ(p.LastOf(1, 22)[3], rules::kFaceDownTile) << "concealed from the others";
}

// ---------------------------------------------------------------- three indicators

// Chair 1 holds two indicators and a complete hand of three chows and a pair;
// it draws the third indicator on its first turn, or later when `firstDraw`
// comes first.
Deal IndicatorsDeal(std::vector<Tile> draws) {
    return Deal{
        .hands = {{{}, {0, 1, 2, 3, 4, 5, 6, 7, 8, kRed, kRed, kIndicator, kIndicator}, {}, {}}},
        .draws = std::move(draws)};
}

TEST(HouseRules, ThreeIndicatorsLaidDownBeforeTheFirstDiscardCountAsAConcealedKong) {
    Play p(IndicatorsDeal({kIndicator}));
    p.Discard(0, kFillerDiscard);
    p.t[1].Send(net::requests::ThreeIndicatorKong(1));
    ASSERT_TRUE(p.AllGot(30, 1));
    EXPECT_EQ(p.t[0].Count(22), 0) << "no replacement";
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[16], 2) << "混皮子暗杠";
}

TEST(HouseRules, AWinAfterLayingDownTheDrawnThirdIndicatorShowsTheHandAsItIs) {
    Play p(IndicatorsDeal({kIndicator}));
    p.Discard(0, kFillerDiscard);
    p.t[1].Send(net::requests::ThreeIndicatorKong(1));
    ASSERT_TRUE(p.AllGot(30, 1));
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 1u);
    const Winner& winner = record.winners[0];
    ASSERT_EQ(winner.melds.size(), 1u);
    EXPECT_EQ(winner.melds[0], (std::pair<int, Tile>{2, kIndicator}));
    EXPECT_EQ(ShownTiles(winner), 14) << "melds, concealed tiles and the winning tile";
    EXPECT_NE(record.winningTile, kIndicator) << "the indicator is in the meld only";
    std::vector<Tile> hand = winner.concealed;
    hand.push_back(record.winningTile);
    std::sort(hand.begin(), hand.end());
    EXPECT_EQ(hand, (std::vector<Tile>{0, 1, 2, 3, 4, 5, 6, 7, 8, kRed, kRed}));
    // The client arranges the shown tiles for the win window: they must win.
    const std::vector<Meld> melds{{MeldKind::Pung, kIndicator, 1}};
    EXPECT_TRUE(CanWinWith(HandInfo{hand, melds, kWild, false}, record.winningTile));
}

TEST(HouseRules, ThreeIndicatorsLaidDownAfterTheFirstDiscardCountAsAnExposedKong) {
    Play p(IndicatorsDeal({28, 29, 30, 28, kIndicator}));
    p.Discard(0, kFillerDiscard);
    for (int c : {1, 2, 3, 0}) p.DiscardDrawn(c);
    p.t[1].Send(net::requests::ThreeIndicatorKong(1));
    ASSERT_TRUE(p.AllGot(30, 1));
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[16], 1) << "混皮子明杠";
}

// ---------------------------------------------------------------- winning shapes

TEST(HouseRules, MeldsCountAmongTheFourSets) {
    Play p(Deal{.hands = {{{}, {0, 1, 2, 3, 4, 5, 6, 7, 8, kRed, kRed, 27, 28}, {}, {}}},
                .dealerExtra = kRed,
                .draws = {27}});
    p.Discard(0, kRed);
    p.t[1].Send(net::requests::Pung(1, kRed));
    ASSERT_TRUE(p.AllGot(21, 1));
    p.Discard(1, 28);
    p.DiscardDrawn(2);
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].melds.size(), 1u);
    EXPECT_EQ(record.winningTile, 27);
}

TEST(HouseRules, SevenPairsWinAndAFourOfAKindCountsAsTwoPairs) {
    Play p(
        Deal{.hands = {{{0, 0, 0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 27}, {}, {}, {}}}, .dealerExtra = 27});
    const Record record = p.Win(0);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[11], 4) << "豪华七对";
}

TEST(HouseRules, APassedWinBarsDiscardWinsUntilTheNextOwnDraw) {
    // Chair 2 waits on the red dragon, passes the first and is not offered
    // the second; after its own draw it wins on the third.
    Play p(Deal{.hands = {{{}, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kRed}, {}}},
                .dealerExtra = kRed,
                .draws = {kRed, 28, kRed}});
    EXPECT_FALSE(NobodyMayClaim(p.Discard(0, kRed)));
    p.t[2].Send(net::requests::Pass(2));
    ASSERT_TRUE(p.t[1].PumpUntil([&] { return p.t[1].hand.size() == 14; }));
    EXPECT_TRUE(NobodyMayClaim(p.DiscardDrawn(1))) << "barred until its own draw";
    p.Discard(2, 28);
    EXPECT_FALSE(NobodyMayClaim(p.DiscardDrawn(3)));
    EXPECT_EQ(p.Win(2).winners.at(0).chair, 2);
}

// ---------------------------------------------------------------- claims

TEST(HouseRules, AWinBeatsAKong) {
    // Chair 1 holds three 5s of characters, chair 2 waits on the 5 between 4 and 6.
    Play p(Deal{.hands = {{{},
                           {4, 4, 4, 27, 28, 29, 30, kRed, kRed, 37, 0, 8, 1},
                           {3, 5, 27, 27, 27, 28, 28, 28, 29, 29, 29, 30, 30},
                           {}}},
                .dealerExtra = 4});
    p.Discard(0, 4);
    p.t[1].Send(net::requests::Kong(1, 4, 4));
    p.t[2].Send(net::requests::Win(2));
    ASSERT_TRUE(p.AllGot(23, 1));
    EXPECT_EQ(ReadRecord(*p.t[0].First(23)).winners.at(0).chair, 2);
    EXPECT_EQ(p.t[0].Count(22), 0);
}

TEST(HouseRules, SeveralPlayersMayWinOnOneDiscard) {
    Play p(Deal{.hands = {{{},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kRed},
                           {},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 28, 28, 28, kRed}}},
                .dealerExtra = kRed});
    p.Discard(0, kRed);
    p.t[3].Send(net::requests::Win(3));
    const Record record = p.Win(1);
    ASSERT_EQ(record.winners.size(), 2u);
    EXPECT_EQ(record.winners[0].chair, 1) << "in turn order from the discarder";
    EXPECT_EQ(record.winners[1].chair, 3);
    EXPECT_EQ(record.payer[0][0], 3) << "the discarder pays both";
}

TEST(HouseRules, AChowIsOnlyForTheNextChair) {
    Play p(Deal{.hands = {{{}, {}, {0, 1, 27, 28, 29, 30, 36, 37, 4, 5, 7, 8, 38}, {}}},
                .dealerExtra = 2});
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, 2)));
}

// Chair 1 declares ready with its first discard (the green dragon), then
// draws the fourth copy of a tile it holds three of, after the dealer
// discarded the 3 of characters, which it could otherwise chow or pung.
Deal ReadyDeal(std::vector<Tile> chair1) {
    return Deal{.hands = {{{}, std::move(chair1), {}, {}}}, .draws = {37, 28, 29, 2, 0}};
}

void DeclareReadyAndDrawTheFourth(Play& p) {
    p.Discard(0, kFillerDiscard);
    const Bytes declared = p.Discard(1, 37, 1);
    EXPECT_EQ(declared[4], 1) << "the ready declaration is relayed";
    p.DiscardDrawn(2);
    p.DiscardDrawn(3);
    EXPECT_TRUE(NobodyMayClaim(p.Discard(0, 2))) << "no chow or pung for a ready player";
    EXPECT_EQ(p.t[1].hand.back(), 0);
}

TEST(HouseRules, AReadyDeclarationCountsOnlyForAReadyHand) {
    Play p(ReadyDeal({0, 0, 0, 1, 2, 2, 4, 8, 8, 8, 27, 27, 27}));
    p.Discard(0, kFillerDiscard);
    EXPECT_EQ(p.Discard(1, 2, 1)[4], 0) << "not ready after this discard";
}

TEST(HouseRules, AReadyPlayerMayNotChowOrPungAndDiscardsEveryDrawnTile) {
    Play p(ReadyDeal({0, 0, 0, 4, 5, 6, 8, 8, 8, 27, 27, 27, kRed}));
    DeclareReadyAndDrawTheFourth(p);
    p.t[1].Send(net::requests::Discard(1, 4, 0, 0));
    EXPECT_EQ(p.Refused(Refusal::ReadyHandDiscardsDrawnTile), 1u);
    EXPECT_EQ(p.Discard(1, 0)[3], 0);
}

TEST(HouseRules, AReadyPlayersKongMustKeepTheHandReady) {
    // Waiting on the 4 of characters with 1 2 3 and the three 1s as a pair
    // and a chow part: without them the hand is not ready.
    Play breaks(ReadyDeal({0, 0, 0, 1, 2, 2, 4, 8, 8, 8, 27, 27, 27}));
    DeclareReadyAndDrawTheFourth(breaks);
    breaks.t[1].Send(net::requests::Kong(1, 3, 0));
    EXPECT_EQ(breaks.Refused(Refusal::KongBreaksReadyHand), 1u);
    EXPECT_EQ(breaks.t[0].Count(22), 0);
    // Waiting on the red dragon, the three 1s a pung of their own: the kong stands.
    Play keeps(ReadyDeal({0, 0, 0, 4, 5, 6, 8, 8, 8, 27, 27, 27, kRed}));
    DeclareReadyAndDrawTheFourth(keeps);
    keeps.t[1].Send(net::requests::Kong(1, 3, 0));
    EXPECT_TRUE(keeps.AllGot(22, 1));
}

// Everybody discards what it draws until the wall is used up; `stopAt` says
// which client stops answering, and where.
void PlayToTheEnd(Play& p, const std::function<bool(int chair, const Bytes&)>& stopAt) {
    for (int c = 0; c < 4; ++c) {
        p.t[c].stopAt = [c, stopAt](const Bytes& m) { return stopAt(c, m); };
        p.t[c].autoPlay = true;
    }
}

// The chair's draw of `tile`, in a draw message or with a discard.
bool Draws(const Bytes& m, int chair, Tile tile) {
    return (m[0] == 25 && m.size() > 3 && m[2] == chair && m[3] == tile) ||
           (m[0] == 19 && m.size() > 7 && m[6] == chair && m[7] == tile);
}

TEST(HouseRules, AKongOnAnEmptyWallEndsTheHandDrawnBeforeAnyoneMayRobIt) {
    // The dealer pungs the 5 of characters and draws the fourth as the last
    // tile of the wall; chair 1 would win with it (4 and 6 held). Chairs 2
    // and 3 hold the wild tiles, so that chair 1 never discards one.
    const std::vector<Tile> keepsWilds{9, 11, 12, 13, 15, 16, 17, 18, 20, 21, 22, kWild, kWild};
    Play p(Deal{.hands = {{{4, 4, 9, 11, 13, 15, 17, 18, 20, 22, 24, 26, 10},
                           {3, 5, 27, 27, 27, 28, 28, 28, 29, 29, 29, 30, 30},
                           keepsWilds,
                           keepsWilds}},
                .dealerExtra = 19,
                .draws = {kRed, 4},
                .replacements = {4}});
    p.Discard(0, 19);
    p.DiscardDrawn(1);
    p.DiscardDrawn(2);
    p.t[1].Send(net::requests::Pass(1));
    p.t[0].Send(net::requests::Pung(0, 4));
    ASSERT_TRUE(p.AllGot(21, 1));
    PlayToTheEnd(p, [](int chair, const Bytes& m) { return chair == 0 && Draws(m, 0, 4); });
    p.t[0].Send(net::requests::Discard(0, 9, 0, 0));
    ASSERT_TRUE(p.t[0].PumpUntil([&] { return !p.t[0].autoPlay; }, 120s));
    p.t[0].Send(net::requests::Kong(0, 4, 4));
    ASSERT_TRUE(p.AllGot(27, 1));
    ASSERT_TRUE(CanWinWith(HandInfo{p.t[1].hand, {}, kWild, false}, 4)) << "chair 1 could rob";
    EXPECT_EQ(p.t[1].Count(29), 0) << "nobody was asked to rob";
    EXPECT_EQ(p.t[0].Count(22), 0);
    EXPECT_EQ(p.t[0].Count(23), 0);
}

TEST(HouseRules, AKongClaimOnADiscardNeedsATileLeftAPungDoesNot) {
    // Chair 2 draws the last tile, the fourth red dragon, and discards it;
    // chair 3 holds the other three.
    Play p(Deal{.hands = {{{}, {}, {}, {kRed, kRed, kRed, 0, 2, 4, 6, 8, 27, 28, 29, 30, 37}}},
                .replacements = {kRed}});
    PlayToTheEnd(p, [](int chair, const Bytes& m) {
        return chair == 3 && m[0] == 19 && m.size() > 6 && m[3] == kRed && m[6] > 3;
    });
    p.t[0].Send(net::requests::Discard(0, kFillerDiscard, 0, 0));
    ASSERT_TRUE(p.t[3].PumpUntil([&] { return !p.t[3].autoPlay; }, 120s));
    p.t[3].Send(net::requests::Kong(3, 4, kRed));
    EXPECT_EQ(p.Refused(Refusal::NoSuchKongNow), 1u);
    p.t[3].Send(net::requests::Pung(3, kRed));
    ASSERT_TRUE(p.AllGot(21, 1));
    p.t[3].Send(net::requests::Discard(3, 0, 0, 0));
    EXPECT_TRUE(p.AllGot(27, 1)) << "no tile left to draw";
}

TEST(HouseRules, TheLastDiscardCanStillBeWon) {
    // Chair 2 draws the last tile, a red dragon, and discards it; chair 3
    // waits on it. The dealer keeps the other two red dragons, chairs 1 and 2
    // the wild tiles (chair 3 would lose the right to win discarding one).
    Play p(Deal{.hands = {{{9, 10, 11, 13, 14, 15, 17, 18, 19, 20, 22, kRed, kRed},
                           {9, 10, 11, 13, 14, 15, 17, 18, 19, 20, 22, kWild, kWild},
                           {9, 11, 12, 13, 15, 16, 17, 18, 20, 21, 22, kWild, kWild},
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kRed}}},
                .replacements = {kRed}});
    PlayToTheEnd(p, [](int chair, const Bytes& m) {
        return chair == 3 && m[0] == 19 && m.size() > 6 && m[3] == kRed && m[6] > 3;
    });
    p.t[0].Send(net::requests::Discard(0, kFillerDiscard, 0, 0));
    ASSERT_TRUE(p.t[3].PumpUntil([&] { return !p.t[3].autoPlay; }, 120s));
    const Record record = p.Win(3);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[1], 2) << "won on chair 2's discard";
}

TEST(HouseRules, NoKongRightAfterAChowOrPung) {
    Play p(Deal{.hands = {{{}, {0, 0, 0, 0, 4, 5, 6, 8, 27, 28, 29, kRed, kRed}, {}, {}}},
                .dealerExtra = kRed});
    p.Discard(0, kRed);
    p.t[1].Send(net::requests::Pung(1, kRed));
    ASSERT_TRUE(p.AllGot(21, 1));
    p.t[1].Send(net::requests::Kong(1, 3, 0));
    EXPECT_EQ(p.Refused(Refusal::NoKongNow), 1u);
    EXPECT_EQ(p.t[0].Count(22), 0);
}

// A client offers a kong once: a kong let pass (on the own turn, or on a
// discard by pung or pass) is not offered again in the hand, and the server
// refuses it from every chair.
TEST(HouseRules, AConcealedKongLetPassOnTheOwnTurnIsNotOfferedAgain) {
    Play p(Deal{.hands = {{{0, 0, 0, 0, 9, 10, 11, 13, 14, 15, 17, 18, 19}, {}, {}, {}}},
                .dealerExtra = 30,
                .draws = {27, 28, 29, kRed}});
    p.Discard(0, 30);
    for (int chair : {1, 2, 3}) p.DiscardDrawn(chair);
    p.t[0].Send(net::requests::Kong(0, 3, 0));
    EXPECT_TRUE(p.t.Quiet(22));
    EXPECT_EQ(p.Refused(Refusal::KongNotOffered), 1u);
}

TEST(HouseRules, AKongLetPassForAPungIsNotOfferedAgain) {
    Play p(Deal{.hands = {{{}, {0, 0, 0, 9, 10, 11, 13, 14, 15, 17, 18, 19, 20}, {}, {}}},
                .dealerExtra = 0,
                .draws = {27, 28, 29, 30}});
    p.Discard(0, 0);
    p.t[1].Send(net::requests::Pung(1, 0));
    ASSERT_TRUE(p.AllGot(21, 1));
    p.Discard(1, 9);
    for (int chair : {2, 3, 0}) p.DiscardDrawn(chair);
    p.t[1].Send(net::requests::Kong(1, 4, 0));
    EXPECT_TRUE(p.t.Quiet(22));
    EXPECT_EQ(p.Refused(Refusal::KongNotOffered), 1u);
}

TEST(HouseRules, TheDealerKeepsTheDealAfterADrawnGame) {
    Play p(Deal{});
    PlayToTheEnd(p, [](int, const Bytes&) { return false; });
    p.t[0].Send(net::requests::Discard(0, kFillerDiscard, 0, 0));
    ASSERT_TRUE(p.AllGot(27, 1));
    for (int c = 0; c < 4; ++c) p.t[c].stopAt = [](const Bytes& m) { return m[0] == 17; };
    for (int c = 0; c < 4; ++c)
        p.t[c].Send(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(c)));
    ASSERT_TRUE(p.AllGot(17, 2));
    EXPECT_EQ(p.LastOf(0, 17)[11], 0);
}

// ---------------------------------------------------------------- scoring and points

TEST(HouseRules, ASelfDrawnWinIsPaidByEachOfTheOthers) {
    // The dealer wins at once: 自摸 x2, 庄家胡牌 x2, 素胡 x2, base 10.
    Play p(Deal{.hands = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, 28}, {}, {}, {}}},
                .dealerExtra = 28});
    const Record record = p.Win(0);
    EXPECT_EQ(record.base, 10);
    for (int c = 1; c < 4; ++c) EXPECT_EQ(record.due[c], -80) << "chair " << c;
    EXPECT_EQ(record.due[0], 240);
    EXPECT_EQ(record.actual, record.due);
}

TEST(HouseRules, ADiscardWinIsPaidByTheDiscarderAlone) {
    // 点炮 x3, 庄家点炮 x2, 素胡 x2.
    Play p(Deal{.hands = {{{}, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, kRed}, {}}},
                .dealerExtra = kRed});
    p.Discard(0, kRed);
    const Record record = p.Win(2);
    EXPECT_EQ(record.due[0], -120);
    EXPECT_EQ(record.due[1], 0);
    EXPECT_EQ(record.due[3], 0);
    EXPECT_EQ(record.due[2], 120);
    EXPECT_EQ(record.payer[0][0], 3);
    EXPECT_EQ(record.payer[0][1], 2);
}

TEST(HouseRules, SideBetsCountBothWays) {
    // The dealer bets 挂档 (x2) and chair 1 漂 (+2 base).
    Play p(Deal{.hands = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, 28}, {}, {}, {}}},
                .dealerExtra = 28},
           nullptr, {1, 2, 0, 0});
    const Record record = p.Win(0);
    EXPECT_EQ(record.winners.at(0).items[14], 2);
    EXPECT_EQ(record.due[1], -(16 + 2) * 10) << "2 x 2 x 2 x 2 + 2";
    EXPECT_EQ(record.due[2], -160);
}

TEST(HouseRules, OnlyANaturalFourOfAKindMakesSevenPairsLuxury) {
    // Three 1s and a wild tile: plain seven pairs.
    Play p(Deal{.hands = {{{0, 0, 0, kWild, 2, 2, 4, 4, 6, 6, 8, 8, 27}, {}, {}, {}}},
                .dealerExtra = 27});
    const Record record = p.Win(0);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[10], 2);
    EXPECT_EQ(record.winners[0].items[11], 1);
}

TEST(HouseRules, FourWildTilesAreNoFourOfAKindForLuxurySevenPairs) {
    Play p(Deal{.hands = {{{kWild, kWild, kWild, kWild, 0, 0, 0, 0, 2, 2, 4, 4, 6}, {}, {}, {}}},
                .dealerExtra = 6});
    const Record record = p.Win(0);
    ASSERT_EQ(record.winners.size(), 1u);
    EXPECT_EQ(record.winners[0].items[11], 4) << "one four of a kind: 豪华七对";
    EXPECT_EQ(record.winners[0].items[12], 1) << "not 超豪华七对";
}

TEST(HouseRules, EveryoneStartsWithAThousandPoints) {
    Play p(Deal{.hands = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, 28}, {}, {}, {}}},
                .dealerExtra = 28});
    const Record record = p.Win(0);
    ASSERT_TRUE(p.AllGot(108, 4));
    for (int c = 0; c < 4; ++c) {
        const auto& all = p.t[0].received();
        const auto refreshed = std::find_if(all.rbegin(), all.rend(), [&](const Bytes& m) {
            if (m[0] != 108 || m.size() < 2 || m[1] != 6) return false;
            const auto fields = FieldsOf(m);
            return fields.size() > 2 && fields[0] == "p" + std::to_string(c);
        });
        ASSERT_NE(refreshed, all.rend());
        EXPECT_EQ(FieldsOf(*refreshed)[2], std::to_string(1000 + record.actual[c]));
    }
}

TEST(HouseRules, APayerPaysAtMostWhatItHasAndTheWinnerGetsWhatWasPaid) {
    auto stats = std::make_unique<MemoryStatsStore>();
    stats->Load("p1");
    const StatsChange loss{.name = "p1", .result = HandResult::Loss, .points = -950};
    stats->Record(std::span(&loss, 1));
    Play p(Deal{.hands = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 27, 27, 27, 28}, {}, {}, {}}},
                .dealerExtra = 28},
           std::move(stats));
    const Record record = p.Win(0);
    EXPECT_EQ(record.due[1], -80);
    EXPECT_EQ(record.actual[1], -50) << "all it had";
    EXPECT_EQ(record.actual[0], 80 + 80 + 50);
}

// Played elsewhere: a win beats a pung which beats a chow
// (Claims.WinBeatsPungAndChowWhateverTheOrderOfArrival,
// Claims.PungBeatsAnEarlierChowOncePassedOnTheWin); adding to a pung can be
// robbed (Claims.AddingToAPungCanBeRobbed); escapes and the escape penalty
// (EscapeRoute.*, ZeroBalance.*, EscapeRouteBack.*).

}  // namespace
}  // namespace qira::server::testing
