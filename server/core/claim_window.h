#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "net/claims.h"
#include "rules/table_state.h"
#include "server/core/tiles.h"

namespace qira::server {

// What a player answers to a discard: a row of net/claims.h, whose order is
// the order of precedence, or None before the answer.
using net::ClaimKind;

struct ClaimOptions {
    bool win = false, kong = false, pung = false;
    std::vector<Tile> chows;  // lowest tiles of the possible chows
    bool Any() const { return Best() != ClaimKind::None; }
    // The strongest claim these options allow.
    ClaimKind Best() const;
};

struct Claim {
    ClaimKind kind = ClaimKind::None;
    Tile tile = 0;  // a chow's lowest tile
};

// One discard's claim window: who may claim what, what each claimed, and who
// gets the tile once every claim that could still win has arrived.
class ClaimWindow {
public:
    // The decision: the winners (in turn order from the discarder), or the
    // one chair whose chow, pung or kong goes through, or nobody.
    struct Outcome {
        ClaimKind kind = ClaimKind::Pass;
        std::vector<std::uint8_t> winners;
        int chair = -1;
        Tile chowLowest = 0;
        // Chairs that could have won and did not: barred until their next draw.
        std::vector<int> passedWins;
        // Chairs that could have konged and did not: not offered that kong again.
        std::vector<int> passedKongs;
    };

    void Open(int discarder, Tile tile, std::array<ClaimOptions, rules::kChairCount> options);
    int discarder() const { return discarder_; }
    Tile tile() const { return tile_; }
    const ClaimOptions& OptionsOf(int chair) const { return options_[chair]; }
    bool AnyOptions() const;
    // The chair may claim and has not answered yet.
    bool Awaits(int chair) const;
    void Record(int chair, Claim claim) { claims_[chair] = claim; }
    // Every chair that has not answered passes (the clock ran out).
    void PassForTheSilent();
    // No claim still to come could beat the claims made.
    bool Decided() const;
    Outcome Resolve() const;

    // A client with nothing to claim passes anyway, once per window; such a
    // pass may arrive after its window closed and must not count in the next.
    void ExpectCourtesyPasses();
    bool TakeCourtesyPass(int chair);
    void ForgetCourtesyPasses() { courtesyPasses_ = {}; }

private:
    ClaimKind BestClaimed() const;

    int discarder_ = 0;
    Tile tile_ = 0;
    std::array<ClaimOptions, rules::kChairCount> options_{};
    std::array<Claim, rules::kChairCount> claims_{};
    std::array<int, rules::kChairCount> courtesyPasses_{};
};

// The window in which players who would win with the tile added to a pung
// may rob that kong.
class RobKongWindow {
public:
    void Open(int konger, Tile tile, std::array<bool, rules::kChairCount> mayRob);
    int konger() const { return konger_; }
    Tile tile() const { return tile_; }
    bool AnyRobber() const;
    bool Awaits(int chair) const { return mayRob_[chair] && !answers_[chair]; }
    void Answer(int chair, bool rob) { answers_[chair] = rob; }
    bool AllAnswered() const;
    void DeclineForTheSilent();
    // Robbers in turn order from the konger; the others who could have robbed.
    std::vector<std::uint8_t> Robbers() const;
    std::vector<int> Decliners() const;

private:
    int konger_ = 0;
    Tile tile_ = 0;
    std::array<bool, rules::kChairCount> mayRob_{};
    std::array<std::optional<bool>, rules::kChairCount> answers_{};
};

}  // namespace qira::server
