#include "server/core/selfplay.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "server/core/room.h"

namespace qira::server {

SelfPlayReport RunSelfPlay(std::uint64_t hands, std::uint32_t seed, Opponents opponents) {
    ManualScheduler scheduler;
    MemoryStatsStore stats;
    ServerConfig config;
    config.seed = seed;
    config.log = std::getenv("QIRA_SELFPLAY_LOG") != nullptr;
    config.scoreMode = ScoreMode::Experience;
    Lobby lobby(scheduler, stats, config);
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
    out << "clocks that ran out: " << r.timeouts << "\n";
    if (r.stuck) out << "STUCK: the table stopped before the last hand\n";
    return out.str();
}

}  // namespace qira::server
