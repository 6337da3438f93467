#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/hand_log_names.h"

// One kept hand of the server's hand log (docs/hand-log.md), read from its
// JSON line: who sat where, the wall, the deal, every act in order, the
// result and the final hands. Tiles are the wire's tile codes, chairs 0-3.
namespace qira::replay {

using Tile = std::uint8_t;
using Chair = std::uint8_t;

using net::hand_log::Act;
using net::hand_log::KongKind;

struct LogEvent {
    Chair chair = 0;
    Act act = Act::Draw;
    std::optional<Tile> tile;
    bool fromTail = false;      // a draw: the replacement end of the wall
    std::optional<Chair> from;  // a claim or a discard win: the discarding chair
    std::vector<Tile> meld;     // a chow's three tiles (a pung's or kong's too, when given)
    KongKind kongKind = KongKind::Concealed;
    bool robbed = false;  // a win or passed win on the tile another chair added to its pung
};

struct HandResult {
    std::vector<Chair> winners;  // empty: a drawn hand
    std::optional<Chair> discarder;
    std::optional<Tile> tile;
    std::array<std::int64_t, 4> points{};  // what each chair was paid (the actual points)
    std::optional<std::array<std::int64_t, 4>>
        due;  // before any payer was capped; older logs: none
};

struct HandLog {
    std::int64_t id = 0;
    std::int64_t table = 0;
    Chair dealer = 0;
    std::uint8_t dice = 1;  // the log may leave it out; it only places the wall's start
    std::array<std::string, 4> players;
    std::int64_t time = 0;               // seconds since 1970 (UTC) the hand ended; 0: not logged
    std::array<int, 4> levels{};         // a computer player's level 1-4 by chair; 0: a person
    std::int64_t base = 1;               // the table's base score; older logs leave it out
    std::array<std::uint8_t, 4> bets{};  // side bets by chair: 1 "挂档" + 2 "漂"
    Tile indicator = 0;
    Tile wild = 0;
    std::vector<Tile> wall;  // draw order, the deal first
    std::array<std::vector<Tile>, 4> deal;
    std::vector<LogEvent> events;
    HandResult result;
    std::array<std::vector<Tile>, 4> final;

    bool Drawn() const { return result.winners.empty(); }
};

struct ParsedHand {
    std::optional<HandLog> hand;
    std::string error;  // in words, naming the key at fault
};

// One line of the log.
ParsedHand ParseHandLine(std::string_view line);

struct ParsedLog {
    std::vector<HandLog> hands;
    std::vector<std::string> errors;  // "line N: why", one per refused line
};

// Every line of a log; blank lines are skipped, a bad line is reported and
// the rest still read.
ParsedLog ParseHandLog(std::string_view text);

// The hand with number `id`, or nullptr.
const HandLog* FindHand(const std::vector<HandLog>& hands, std::int64_t id);

std::string_view ActName(Act act);

}  // namespace qira::replay
