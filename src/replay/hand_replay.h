#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "net/packet.h"
#include "replay/hand_log.h"
#include "rules/table_state.h"

// A logged hand turned into what the room server would have sent a viewer
// who sees every hand: the opening (the table, the new hand and the deal),
// then for every logged act the messages of that act. A client session fed
// these messages shows the hand as it was played; stepping back means
// feeding it again from the opening. Alongside, every chair's concealed
// tiles after each step, which the session does not keep for other chairs.
namespace qira::replay {

// Every chair's concealed tiles, sorted with the wild tiles first; a tile just
// drawn stays last until the chair's next act.
using OpenHands = std::array<std::vector<Tile>, 4>;

struct ReplayStep {
    const LogEvent* event = nullptr;  // nullptr for the opening
    std::vector<net::Bytes> messages;
    OpenHands hands;
    std::array<std::vector<rules::MeldRecord>, 4> melds;
};

class HandReplay {
public:
    // The onlooker's name in the session's user list.
    static constexpr const char* kViewerName = "回放";

    // Checks every act against the hand as it stands (a discard must be held,
    // a draw must be the wall's next tile, a claim must take the last discard)
    // and returns nothing, with the reason in `error`, when one does not fit.
    // `viewChair` is the chair shown at the bottom of the table.
    static std::optional<HandReplay> Build(const HandLog& hand, Chair viewChair,
                                           std::string* error = nullptr);

    const HandLog& hand() const { return hand_; }
    Chair viewChair() const { return viewChair_; }
    // The names shown for the four chairs (an empty chair gets a name).
    const std::array<std::string, 4>& names() const { return names_; }

    // Step 0 is the opening; step n (1 ... StepCount()) is the n-th act.
    std::size_t StepCount() const { return steps_.size() - 1; }
    const ReplayStep& Step(std::size_t n) const { return steps_.at(n); }

    // A line saying what step n shows, in the players' words.
    std::string Describe(std::size_t n) const;

private:
    HandReplay(const HandLog& hand, Chair viewChair);

    HandLog hand_;
    Chair viewChair_ = 0;
    std::array<std::string, 4> names_;
    std::vector<ReplayStep> steps_;
};

// The win record (message 23) of a won hand as the table's scoring would
// have written it, rebuilt from the log: the points are the log's, the items
// are those the log can tell (side bets are not logged and count as none).
struct WinFacts {
    const HandLog* hand = nullptr;
    std::array<std::vector<Tile>, 4> concealed;  // each winner's without the winning tile
    std::array<std::vector<rules::MeldRecord>, 4> melds;
    std::array<std::uint8_t, 4> indicatorKong{};  // 0 none, 1 after a discard, 2 before any
    std::vector<Chair> winners;                   // in the log's order
    std::optional<Chair> discarder;               // none: self-drawn
    Tile winningTile = 0;
    bool onKongReplacement = false;
    bool afterKong = false;
};
net::Bytes BuildWinRecord(const WinFacts& facts);

}  // namespace qira::replay
