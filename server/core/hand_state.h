#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "net/protocol.h"
#include "server/core/hand_events.h"
#include "server/core/tiles.h"
#include "server/core/wall.h"
#include "server/core/win_check.h"

namespace qira::server {

// Where a table stands between and during hands.
// Storing: the hand is over and waits for its statistics to be stored
// before anyone is told.
enum class Stage { Setup, Idle, Bets, Turn, Claim, RobKong, Storing };
// How the turn's player came to hold 3k+2 tiles.
enum class TurnKind { Draw, Replacement, Claimed };

// One chair's share of a hand.
struct SeatHand {
    std::vector<Tile> hand;
    std::vector<Meld> melds;
    std::vector<Tile> discards;
    std::uint8_t bets = net::kBetsNotChosen;
    bool ting = false;
    bool noWin = false;
    bool discardWinBarred = false;    // passed a win since the last own draw
    std::vector<Tile> declinedKongs;  // offered kongs let pass: never offered again
    int autoPlays = 0;
    int concealedKongs = 0;
    int exposedKongs = 0;
    std::uint8_t indicatorKong = 0;
    bool wildKong = false;
    bool hasDiscarded = false;
};

bool Holds(std::span<const Tile> tiles, Tile tile, int copies = 1);
void RemoveOne(std::vector<Tile>& tiles, Tile tile);

// The tiles of a hand and whose turn it is: plain data with the operations
// that change it. Nothing here sends or decides who may do what.
struct HandState {
    Stage stage = Stage::Setup;
    std::array<SeatHand, rules::kChairCount> seats{};
    Wall wall;
    std::uint8_t dealer = 0;
    std::uint8_t dice = 1;
    std::uint64_t seed = 0;  // the wall was shuffled with it
    Tile indicator = 0;
    Tile wild = 0;
    int turn = 0;
    TurnKind turnKind = TurnKind::Draw;
    std::uint8_t phase = net::phase::kDrew;
    Tile curTile = 0;
    Tile fresh = 0;
    int discardCount = 0;
    bool discardAfterKong = false;
    std::array<std::vector<Tile>, rules::kChairCount> dealt{};  // for the hand log
    std::optional<Tile> winTile;                                // for the hand log
    std::optional<int> winDiscarder;                            // for the hand log
    std::vector<HandEvent> events;                              // for the hand log

    bool Running() const { return stage != Stage::Setup && stage != Stage::Idle; }
    HandInfo InfoOf(int chair) const;
    // The chair's hand in the order its client keeps it: wild tiles first,
    // then ascending codes, except that a tile just drawn (or a kong's
    // replacement) stays last until the discard.
    std::vector<Tile> HandAsKept(int chair) const;
    // The hand as kept, or face down when the viewer may not see it.
    std::vector<Tile> HandAsSeenBy(int chair, bool visible) const;
    bool AllBetsChosen() const;

    // Draws the hand's wall seed, shuffles (or lays out `stacked`), rolls the
    // dice and deals; the dealer holds 14 tiles and the side bets come first.
    void Start(std::mt19937& random, std::span<const Tile> stacked);
    void BeginTurn(int chair, TurnKind kind, std::uint8_t turnPhase, Tile current, Tile freshTile);
    // The next tile from the wall's front into the chair's hand; nullopt when
    // the wall is used up.
    std::optional<Tile> DrawInto(int chair);
    // Takes the tile out of the hand; true when the player declared a ready
    // hand and the hand is ready.
    bool Discard(int chair, Tile tile, bool declaresReady);
    void Chow(int chair, Tile lowest, Tile discard, int discarder);
    void Pung(int chair, Tile tile, int discarder);
    // Lays the kong (an upgrade of an own pung when `upgrade`) and draws the
    // replacement from the back of the wall; nullopt when the wall is used up.
    std::optional<Tile> Kong(int chair, MeldKind kind, Tile tile, int source, bool upgrade);
    void ThreeIndicators(int chair);
    // The chair could have won with `tile` from `from` and let it go (a kong
    // not robbed when `robbing`): no win on a discard until its next draw.
    void PassWin(int chair, Tile tile, int from, bool robbing);
    // The winners take `tile`: the turn player's own draw when `from` is
    // empty, otherwise the discard of `from`, or the tile `from` added to a
    // pung when `robbed` (it leaves that player's hand).
    void Win(std::span<const std::uint8_t> winners, Tile tile, std::optional<int> from,
             bool robbed);

private:
    // Appends the event to the hand's record; the caller fills in the rest.
    HandEvent& Note(int chair, Act act, Tile tile);
};

}  // namespace qira::server
