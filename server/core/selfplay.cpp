#include "server/core/selfplay.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "server/core/room.h"

namespace qira::server {
namespace {

ServerConfig SelfPlayConfig(std::uint32_t seed, ScoreMode mode,
                            int budgetMs = bots::kDefaultBudgetMs) {
    ServerConfig config;
    config.seed = seed;
    config.botBudgetMs = budgetMs;
    config.log = std::getenv("QIRA_SELFPLAY_LOG") != nullptr;
    config.scoreMode = mode;
    return config;
}

}  // namespace

SelfPlayReport RunSelfPlay(std::uint64_t hands, std::uint32_t seed, Opponents opponents,
                           StatsStore* store) {
    ManualScheduler scheduler;
    MemoryStatsStore memory;
    Lobby lobby(scheduler, store ? *store : memory, SelfPlayConfig(seed, ScoreMode::Experience));
    const BotStyle other =
        opponents == Opponents::Smart ? BotStyle::Smart : BotStyle::RandomDiscard;
    const std::array<BotStyle, 4> styles{BotStyle::Smart, other, other, other};
    Table& table = lobby.OpenBotTable(styles);
    const std::string first = table.PlayerAt(0)->name;

    const auto start = std::chrono::steady_clock::now();
    SelfPlayReport report;
    report.stuck = !scheduler.RunUntil([&] { return lobby.tally().hands >= hands; });
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto& tally = lobby.tally();
    report.hands = tally.hands;
    report.drawn = tally.drawn;
    report.selfDrawn = tally.selfDrawn;
    report.onDiscard = tally.onDiscard;
    report.timeouts = tally.timeouts;
    report.digest = tally.digest;
    report.wildDiscardWins = tally.wildDiscardWins;
    if (const auto it = tally.winsByName.find(first); it != tally.winsByName.end())
        report.firstChairWins = it->second;
    return report;
}

std::string FormatReport(const SelfPlayReport& r, Opponents opponents) {
    std::ostringstream out;
    const double hands = r.hands ? static_cast<double>(r.hands) : 1.0;
    out.setf(std::ios::fixed);
    out.precision(1);
    out << "hands: " << r.hands << " in " << r.seconds << " s ("
        << (r.seconds > 0 ? r.hands / r.seconds : 0) << " hands/s)\n";
    out << "self-drawn wins: " << r.selfDrawn << " (" << 100.0 * r.selfDrawn / hands << "%)\n";
    out << "wins on a discard: " << r.onDiscard << " (" << 100.0 * r.onDiscard / hands << "%)\n";
    out << "drawn games: " << r.drawn << " (" << 100.0 * r.drawn / hands << "%)\n";
    out << "chair 0 (our player) won " << r.firstChairWins << " hands ("
        << 100.0 * r.firstChairWins / hands << "%) against "
        << (opponents == Opponents::Smart ? "three of its kind" : "three random discarders")
        << "\n";
    out << "wins on a discarded wild tile: computer players " << r.wildDiscardWins[0] << ", people "
        << r.wildDiscardWins[1] << ", played by the server " << r.wildDiscardWins[2] << "\n";
    out << "clocks that ran out: " << r.timeouts << "\n";
    out << "digest of the hands: " << std::hex << r.digest << std::dec << "\n";
    if (r.stuck) out << "STUCK: the table stopped before the last hand\n";
    return out.str();
}

double LevelMatchReport::MeanPoints(int slot) const {
    return hands ? static_cast<double>(points[slot]) / static_cast<double>(hands) : 0.0;
}

double LevelMatchReport::Interval95(int slot) const {
    if (hands < 2) return 0.0;
    const double n = static_cast<double>(hands);
    const double mean = MeanPoints(slot);
    const double variance = std::max(0.0, (pointsSquared[slot] - n * mean * mean) / (n - 1));
    return 1.96 * std::sqrt(variance / n);
}

std::optional<std::array<int, 4>> ParseBotLevels(std::string_view text) {
    std::array<int, 4> levels{};
    std::size_t slot = 0;
    for (std::size_t at = 0; at <= text.size(); ++slot) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const auto part = text.substr(at, comma - at);
        if (slot >= levels.size() || part.size() != 1 || !bots::StyleOfLevel(part[0] - '0'))
            return std::nullopt;
        levels[slot] = part[0] - '0';
        at = comma + 1;
    }
    if (slot != levels.size()) return std::nullopt;
    return levels;
}

LevelMatchReport RunLevelMatch(std::uint64_t hands, std::uint32_t seed,
                               const std::array<int, 4>& levels, StatsStore* store, int budgetMs) {
    ManualScheduler scheduler;
    MemoryStatsStore memory;
    Lobby lobby(scheduler, store ? *store : memory,
                SelfPlayConfig(seed, ScoreMode::Points, budgetMs));
    std::array<BotStyle, 4> styles{};
    for (int slot = 0; slot < 4; ++slot)
        styles[slot] = bots::StyleOfLevel(levels[slot]).value_or(BotStyle::Smart);
    Table& table = lobby.OpenBotTable(styles);

    LevelMatchReport report;
    report.levels = levels;
    std::uint64_t played = 0;
    // In hand h the player in chair c plays the level of slot (c + h) % 4.
    const auto slotOf = [&](int chair) { return static_cast<int>((chair + played) % 4); };
    lobby.SetHandObserver([&](const Lobby::HandSummary& hand) {
        for (int c = 0; c < 4; ++c) {
            report.points[slotOf(c)] += hand.due[c];
            report.pointsSquared[slotOf(c)] += double(hand.due[c]) * double(hand.due[c]);
        }
        for (auto w : hand.winners) ++report.wins[slotOf(w)];
        if (hand.winners.empty()) ++report.draws;
        if (!hand.winners.empty() && hand.discarder >= 0) ++report.dealtIn[slotOf(hand.discarder)];
        ++played;
        for (int c = 0; c < 4; ++c)
            if (const User* player = table.PlayerAt(c))
                lobby.SetBotStyle(*player, styles[slotOf(c)]);
    });

    const auto start = std::chrono::steady_clock::now();
    report.stuck = !scheduler.RunUntil([&] { return played >= hands; });
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report.hands = played;
    report.wildDiscardWins = lobby.tally().wildDiscardWins;
    report.digest = lobby.tally().digest;
    return report;
}

std::string FormatJson(const LevelMatchReport& r) {
    std::ostringstream out;
    const auto list = [&](const auto& values) {
        out << '[';
        for (std::size_t i = 0; i < values.size(); ++i) out << (i ? "," : "") << values[i];
        out << ']';
    };
    out << "{\"hands\":" << r.hands << ",\"levels\":";
    list(r.levels);
    out << ",\"points\":";
    list(r.points);
    out << ",\"wins\":";
    list(r.wins);
    out << ",\"dealt_in\":";
    list(r.dealtIn);
    out << ",\"draws\":" << r.draws;
    std::array<double, 4> means{}, intervals{};
    for (int slot = 0; slot < 4; ++slot) {
        means[slot] = std::round(r.MeanPoints(slot) * 1000) / 1000;
        intervals[slot] = std::round(r.Interval95(slot) * 1000) / 1000;
    }
    out << ",\"mean_points\":";
    list(means);
    out << ",\"ci95\":";
    list(intervals);
    // By who played the winning chair: computer player, person, the server.
    out << ",\"wild_discard_wins\":";
    list(r.wildDiscardWins);
    out << ",\"digest\":\"" << std::hex << r.digest << std::dec << "\"}";
    return out.str();
}

namespace {

// One hand on wall `seed` with `styles` in the chairs.
Lobby::HandSummary PlayOneHand(std::uint32_t seed, const std::array<BotStyle, 4>& styles,
                               int budgetMs) {
    ManualScheduler scheduler;
    MemoryStatsStore memory;
    ServerConfig config = SelfPlayConfig(seed, ScoreMode::Points, budgetMs);
    config.log = false;
    Lobby lobby(scheduler, memory, config);
    lobby.OpenBotTable(styles);
    Lobby::HandSummary summary;
    bool over = false;
    lobby.SetHandObserver([&](const Lobby::HandSummary& hand) {
        if (!over) summary = hand;
        over = true;
    });
    scheduler.RunUntil([&] { return over; });
    return summary;
}

void Count(DuplicateReport::Side& side, const Lobby::HandSummary& hand, int chair) {
    side.points += hand.due[chair];
    if (std::find(hand.winners.begin(), hand.winners.end(), chair) != hand.winners.end()) {
        ++side.wins;
        side.winPoints += hand.due[chair];
    }
    if (!hand.winners.empty() && hand.discarder == chair) ++side.dealtIn;
}

}  // namespace

double DuplicateReport::MeanDifference() const {
    return walls ? difference / static_cast<double>(walls) : 0.0;
}

double DuplicateReport::Interval95() const {
    if (walls < 2) return 0.0;
    const double n = static_cast<double>(walls);
    const double mean = MeanDifference();
    const double variance = std::max(0.0, (differenceSquared - n * mean * mean) / (n - 1));
    return 1.96 * std::sqrt(variance / n);
}

DuplicateReport RunDuplicate(std::uint64_t walls, std::uint32_t seed, int tested, int baseline,
                             int budgetMs) {
    DuplicateReport report;
    report.tested = tested;
    report.baseline = baseline;
    report.budgetMs = budgetMs;
    const BotStyle testedStyle = bots::StyleOfLevel(tested).value_or(BotStyle::Searcher);
    const BotStyle baselineStyle = bots::StyleOfLevel(baseline).value_or(BotStyle::Expert);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t wall = 0; wall < walls; ++wall) {
        const auto wallSeed = static_cast<std::uint32_t>(seed + wall);
        const int chair = static_cast<int>(wall % 4);
        std::array<BotStyle, 4> styles;
        styles.fill(baselineStyle);
        const auto withBaseline = PlayOneHand(wallSeed, styles, budgetMs);
        styles[chair] = testedStyle;
        const auto withTested = PlayOneHand(wallSeed, styles, budgetMs);
        Count(report.withTested, withTested, chair);
        Count(report.withBaseline, withBaseline, chair);
        const double d = double(withTested.due[chair]) - double(withBaseline.due[chair]);
        report.difference += d;
        report.differenceSquared += d * d;
        ++report.walls;
    }
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

std::string FormatJson(const DuplicateReport& r) {
    std::ostringstream out;
    const double n = r.walls ? static_cast<double>(r.walls) : 1.0;
    const auto rounded = [](double x) { return std::round(x * 1000) / 1000; };
    const auto side = [&](const char* name, const DuplicateReport::Side& s) {
        out << ",\"" << name << "\":{\"mean_points\":" << rounded(s.points / n)
            << ",\"win_rate\":" << rounded(s.wins / n)
            << ",\"deal_in_rate\":" << rounded(s.dealtIn / n) << ",\"average_win\":"
            << rounded(s.wins ? s.winPoints / static_cast<double>(s.wins) : 0.0) << "}";
    };
    out << "{\"walls\":" << r.walls << ",\"tested_level\":" << r.tested
        << ",\"baseline_level\":" << r.baseline << ",\"budget_ms\":" << r.budgetMs
        << ",\"mean_difference\":" << rounded(r.MeanDifference())
        << ",\"ci95\":" << rounded(r.Interval95());
    side("tested", r.withTested);
    side("baseline", r.withBaseline);
    out << ",\"seconds\":" << rounded(r.seconds) << "}";
    return out.str();
}

std::optional<std::pair<int, int>> ParseDuplicateLevels(std::string_view text) {
    if (text.size() != 3 || text[1] != ',') return std::nullopt;
    const int tested = text[0] - '0', baseline = text[2] - '0';
    if (!bots::StyleOfLevel(tested) || !bots::StyleOfLevel(baseline)) return std::nullopt;
    return std::pair{tested, baseline};
}

}  // namespace qira::server
