#include "server/core/claim_window.h"

#include <algorithm>

namespace qira::server {

ClaimKind ClaimOptions::Best() const {
    if (win) return ClaimKind::Win;
    if (kong) return ClaimKind::Kong;
    if (pung) return ClaimKind::Pung;
    if (!chows.empty()) return ClaimKind::Chow;
    return ClaimKind::None;
}

void ClaimWindow::Open(int discarder, Tile tile,
                       std::array<ClaimOptions, rules::kChairCount> options) {
    discarder_ = discarder;
    tile_ = tile;
    options_ = std::move(options);
    claims_ = {};
}

bool ClaimWindow::AnyOptions() const {
    return std::any_of(options_.begin(), options_.end(), [](const auto& o) { return o.Any(); });
}

bool ClaimWindow::Awaits(int chair) const {
    return options_[chair].Any() && claims_[chair].kind == ClaimKind::None;
}

void ClaimWindow::PassForTheSilent() {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (Awaits(c)) claims_[c] = {ClaimKind::Pass, 0};
}

ClaimKind ClaimWindow::BestClaimed() const {
    ClaimKind best = ClaimKind::Pass;
    for (const Claim& claim : claims_) best = std::max(best, claim.kind);
    return best;
}

bool ClaimWindow::Decided() const {
    const ClaimKind best = BestClaimed();
    for (int c = 0; c < rules::kChairCount; ++c)
        if (Awaits(c) && options_[c].Best() >= best) return false;
    return true;
}

ClaimWindow::Outcome ClaimWindow::Resolve() const {
    Outcome outcome;
    outcome.kind = BestClaimed();
    for (int c = 0; c < rules::kChairCount; ++c)
        if (options_[c].win && claims_[c].kind != ClaimKind::Win) outcome.passedWins.push_back(c);
    for (int c = 0; c < rules::kChairCount; ++c)
        if (options_[c].kong && claims_[c].kind != ClaimKind::Kong)
            outcome.passedKongs.push_back(c);
    for (int i = 1; i < rules::kChairCount; ++i) {
        const int c = (discarder_ + i) % rules::kChairCount;
        if (claims_[c].kind == ClaimKind::Win)
            outcome.winners.push_back(static_cast<std::uint8_t>(c));
    }
    for (int c = 0; c < rules::kChairCount && outcome.chair < 0; ++c)
        if (outcome.kind != ClaimKind::Win && claims_[c].kind == outcome.kind &&
            outcome.kind != ClaimKind::Pass) {
            outcome.chair = c;
            outcome.chowLowest = claims_[c].tile;
        }
    return outcome;
}

void ClaimWindow::ExpectCourtesyPasses() {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (c != discarder_ && !options_[c].Any()) ++courtesyPasses_[c];
}

bool ClaimWindow::TakeCourtesyPass(int chair) {
    if (courtesyPasses_[chair] <= 0) return false;
    --courtesyPasses_[chair];
    return true;
}

void RobKongWindow::Open(int konger, Tile tile, std::array<bool, rules::kChairCount> mayRob) {
    konger_ = konger;
    tile_ = tile;
    mayRob_ = mayRob;
    answers_ = {};
}

bool RobKongWindow::AnyRobber() const {
    return std::any_of(mayRob_.begin(), mayRob_.end(), [](bool b) { return b; });
}

bool RobKongWindow::AllAnswered() const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (Awaits(c)) return false;
    return true;
}

void RobKongWindow::DeclineForTheSilent() {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (Awaits(c)) answers_[c] = false;
}

std::vector<std::uint8_t> RobKongWindow::Robbers() const {
    std::vector<std::uint8_t> robbers;
    for (int i = 1; i < rules::kChairCount; ++i) {
        const int c = (konger_ + i) % rules::kChairCount;
        if (mayRob_[c] && answers_[c].value_or(false))
            robbers.push_back(static_cast<std::uint8_t>(c));
    }
    return robbers;
}

std::vector<int> RobKongWindow::Decliners() const {
    std::vector<int> decliners;
    for (int i = 1; i < rules::kChairCount; ++i) {
        const int c = (konger_ + i) % rules::kChairCount;
        if (mayRob_[c] && !answers_[c].value_or(false)) decliners.push_back(c);
    }
    return decliners;
}

}  // namespace qira::server
