#pragma once

#include <array>
#include <string>
#include <vector>

#include "rules/table_state.h"
#include "server/core/user.h"

namespace qira::server {

// Who sits in which chair, who watches whom, who owns the table and who has
// raised a hand.
struct Seating {
    std::array<User*, rules::kChairCount> players{};
    std::array<bool, rules::kChairCount> ready{};
    // A computer player said it is ready while a human at the table was not
    // yet: it counts as ready once every human is.
    std::array<bool, rules::kChairCount> readyHeld{};
    std::vector<User*> onlookers;
    User* owner = nullptr;

    int FreeChair() const;  // -1 when the four chairs are taken
    int SeatedCount() const;
    bool HasHuman() const;
    bool AllReady() const;
    // Every human in a chair is ready (computer players do not count).
    bool HumansReady() const;
    // A human in a chair is ready and so waits for the others.
    bool HumanWaits() const;
    int ChairOf(const std::string& name) const;  // -1 for nobody seated
    // The onlooker's player allows onlookers to see the hand; a computer
    // player's hand is never shown.
    bool MaySeeHand(const User& onlooker) const;
    bool Watches(const User& onlooker, int chair) const {
        return ChairOf(onlooker.watched) == chair;
    }
    std::vector<User*> WatchersOf(const std::string& name) const;
    // Players first, then onlookers.
    std::vector<User*> Everyone() const;
};

}  // namespace qira::server
