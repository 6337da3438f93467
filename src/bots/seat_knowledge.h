#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "bots/brain.h"
#include "net/protocol.h"

// What one seat knows of the running hand, learnt from the server's messages
// to that seat and nothing else. The computer players keep one, the client
// keeps one beside its table state for the hint, and the server builds one
// for a chair whose player is gone; every BotView is made from it by ViewOf.
namespace qira::bots {

struct SeatKnowledge {
    int self = -1;           // the own chair, when known
    std::vector<Tile> hand;  // concealed, in the order the tiles came
    // Every chair's melds in the order made; another chair's concealed kong
    // shows no tile that counts.
    std::array<std::vector<Meld>, rules::kChairCount> melds{};
    // Every discard of the hand in the order made, claimed ones too.
    struct Discard {
        int chair = 0;
        Tile tile = 0;
        int claimedBy = -1;  // the chair whose meld took it
        friend bool operator==(const Discard&, const Discard&) = default;
    };
    std::vector<Discard> discards;
    std::array<bool, rules::kChairCount> ready{};         // declared a ready hand
    std::array<std::uint8_t, rules::kChairCount> bets{};  // net::kBetsNotChosen until chosen
    bool noWin = false;                                   // the own chair threw a wild tile
    Tile wild = 0;
    Tile indicator = 0;
    Tile fresh = 0;  // the own chair's last drawn tile; 0 once a claim began the turn
    // Whose turn it is, its phase (net::phase) and the tile it is about.
    int turn = -1;
    std::uint8_t phase = net::phase::kIdle;
    Tile current = 0;
    int dealer = 0;
    bool running = false;
    int wallLeft = 0;  // tiles still in the wall, as counted from the draws

    std::span<const Meld> OwnMelds() const {
        if (self < 0 || self >= rules::kChairCount) return {};
        return melds[self];
    }
};

// Takes in one message from the server; a message that tells nothing of the
// hand, or is cut short, changes nothing.
void Learn(SeatKnowledge& seat, std::span<const std::uint8_t> message);

// The view the computer players decide from. The tiles seen count the wild
// indicator, every discard, and the tiles another chair's melds took from its
// own hand (a claimed tile counts once, as a discard).
BotView ViewOf(const SeatKnowledge& seat);

}  // namespace qira::bots
