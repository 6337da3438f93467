#include "server/core/seating.h"

#include <algorithm>

namespace qira::server {

int Seating::FreeChair() const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (!players[c]) return c;
    return -1;
}

int Seating::SeatedCount() const {
    return static_cast<int>(
        std::count_if(players.begin(), players.end(), [](User* u) { return u; }));
}

bool Seating::HasHuman() const {
    return std::any_of(players.begin(), players.end(), [](User* u) { return u && !u->isBot; });
}

bool Seating::AllReady() const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (!players[c] || !ready[c]) return false;
    return true;
}

bool Seating::HumansReady() const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (players[c] && !players[c]->isBot && !ready[c]) return false;
    return true;
}

bool Seating::HumanWaits() const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (players[c] && !players[c]->isBot && ready[c]) return true;
    return false;
}

int Seating::ChairOf(const std::string& name) const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (players[c] && players[c]->name == name) return c;
    return -1;
}

bool Seating::MaySeeHand(const User& onlooker) const {
    const int chair = ChairOf(onlooker.watched);
    return chair >= 0 && !players[chair]->isBot && players[chair]->allowWatch;
}

std::vector<User*> Seating::WatchersOf(const std::string& name) const {
    std::vector<User*> watchers;
    for (User* o : onlookers)
        if (o->watched == name) watchers.push_back(o);
    return watchers;
}

std::vector<User*> Seating::Everyone() const {
    std::vector<User*> everyone;
    for (User* u : players)
        if (u) everyone.push_back(u);
    everyone.insert(everyone.end(), onlookers.begin(), onlookers.end());
    return everyone;
}

}  // namespace qira::server
