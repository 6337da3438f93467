#pragma once

#include <array>
#include <optional>
#include <random>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/table_state.h"

// Decisions of a computer player, from what that player may know: its own
// tiles and melds, the wild tile, and what everybody has seen on the table.
// The server's computer players and the client's hint share them.
namespace qira::bots {

using Tile = rules::TileCode;
using Meld = rules::MeldRecord;

enum class BotStyle {
    Beginner,       // level 1: the shortest way to a ready hand, simple shapes, few claims
    Smart,          // level 2: also counts the tiles that would shorten the way
    Expert,         // level 3: level 2 with care: weighs each discard's danger, folds
    Searcher,       // level 4: plays sampled deals of the unseen tiles out, takes the best points
    RandomDiscard,  // discards a random tile, never claims; declares wins
};

inline constexpr int kLowestLevel = 1;
inline constexpr int kHighestLevel = 4;
inline constexpr int kDefaultLevel = 2;
// The style of a level from 1 to 4; nothing for any other number.
std::optional<BotStyle> StyleOfLevel(int level);
int LevelOf(BotStyle style);  // 0 for the random discarder

// What one seat knows. The per-chair parts are indexed by chair; the own
// chair's entries are the player's own.
struct BotView {
    std::vector<Tile> hand;  // concealed
    std::vector<Meld> melds;
    Tile wild = 0;
    Tile indicator = 0;
    bool noWin = false;
    bool ting = false;
    Tile freshTile = 0;        // the tile just drawn, when the turn began with a draw
    rules::KindCounts seen{};  // tiles visible on the table, own hand excluded
    int self = -1;             // the own chair, when known
    std::array<std::vector<Tile>, rules::kChairCount> discards{};  // oldest first
    std::array<int, rules::kChairCount> exposedMelds{};            // chows, pungs and exposed kongs
    std::array<bool, rules::kChairCount> declaredReady{};
    // Every discard of the hand in the order made: (chair, tile).
    std::vector<std::pair<int, Tile>> discardLog;
    // Every chair's melds (another chair's concealed kong shows no tile that
    // counts), the tiles of the own melds that came from the own hand, the
    // tiles still in the wall, the dealer and the side bets (0-3 each).
    std::array<std::vector<Meld>, rules::kChairCount> tableMelds{};
    rules::KindCounts ownMeldTiles{};
    int wallLeft = 0;
    int dealer = 0;
    std::array<std::uint8_t, rules::kChairCount> bets{};

    friend bool operator==(const BotView&, const BotView&) = default;
};

// The tiles a meld holds: three, or four for a kong.
std::vector<Tile> TilesOfMeld(const Meld& meld);

// Tiles still to go before a ready hand: -1 for a complete hand, 0 for a
// ready one. Wild tiles stand for whatever is missing; seven pairs count too.
int ShantenOf(std::span<const Tile> hand, std::size_t meldCount, Tile wild);

// How likely each chair is to be ready, from 0 to 1, judged from what it has
// shown: a ready declaration, its exposed melds, and how late the hand is.
std::array<double, rules::kChairCount> ThreatOf(const BotView& view);
// How likely `tile`, discarded now, is to give `chair` a win, from 0 to 1,
// leaving out how likely that chair is to be ready at all.
double DangerOf(const BotView& view, int chair, Tile tile);

struct SearchBudget;

class BotBrain {
public:
    BotBrain(BotStyle style, std::uint32_t seed) : style_(style), random_(seed) {}

    Tile ChooseDiscard(const BotView& view);
    // The lowest tile of the best chow with `discard`, when chowing helps.
    std::optional<Tile> ChooseChow(const BotView& view, Tile discard);
    bool WantsPung(const BotView& view, Tile discard);
    bool WantsExposedKong(const BotView& view, Tile discard);
    // A kong to declare on the own turn: concealed (kind 3) or an upgraded pung (4).
    std::optional<Meld> ChooseOwnKong(const BotView& view);
    // Whether to lay three held wild indicators down now.
    bool WantsThreeIndicators(const BotView& view);
    // The answer to `discarder`'s discard `tile` once a win is ruled out: a
    // kong (when `mayKong`), a pung, a chow (only for the next chair), or
    // nothing: pass.
    struct Claim {
        rules::MeldKind kind = rules::MeldKind::Chow;
        Tile tile = 0;  // a chow's lowest tile
        friend bool operator==(const Claim&, const Claim&) = default;
    };
    std::optional<Claim> ChooseClaim(const BotView& view, Tile tile, int discarder, bool mayKong);
    // The discards level 3 would consider, best first.
    std::vector<Tile> RankDiscards(const BotView& view) const;

    BotStyle style() const { return style_; }
    void set_style(BotStyle style) { style_ = style; }
    // Level 4's time for one decision (kDefaultBudgetMs unless set).
    void set_budget(int milliseconds, bool watchClock);

private:
    struct Option {
        Tile tile = 0;
        int shanten = 99;
        int useful = 0;  // unseen tiles that would shorten the way
        int fit = 0;     // how well the tile sits with the rest; low goes first
    };
    Option Evaluate(const BotView& view, Tile discard, bool countUseful) const;
    Tile ChooseDiscardByShape(const BotView& view, bool countUseful) const;
    Tile ChooseDiscardAsExpert(const BotView& view) const;
    std::vector<std::pair<Tile, double>> ScoreDiscardsAsExpert(const BotView& view) const;
    Tile ChooseDiscardBySampling(const BotView& view);
    bool Folding(const BotView& view) const;
    bool ExpertStyle() const { return style_ == BotStyle::Expert || style_ == BotStyle::Searcher; }

    BotStyle style_;
    std::mt19937 random_;
    int budgetMs_ = 100;
    bool watchClock_ = false;
};

}  // namespace qira::bots
