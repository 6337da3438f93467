#include "server/web/site_json.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "net/numeric_text.h"
#include "net/protocol.h"
#include "play/table_words.h"
#include "play/win_record.h"
#include "replay/hand_replay.h"
#include "server/web/onlooker_sight.h"

namespace qira::server::web {
namespace {

using nlohmann::json;
constexpr int kChairs = rules::kChairCount;
constexpr std::size_t kRecentHands = 50;

// Names come from players: bytes that are not UTF-8 are replaced, never refused.
std::string Text(const json& document) {
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string PictureName(int code) {
    if (code < 27) return std::to_string(code % 9 + 1) + "mps"[code / 9];
    return std::to_string(code < 31 ? code - 26 : code - 31) + "z";
}

const char* MeldKindName(rules::MeldKind kind) {
    switch (kind) {
        case rules::MeldKind::Chow:
            return "chow";
        case rules::MeldKind::Pung:
            return "pung";
        case rules::MeldKind::ConcealedKong:
            return "concealedKong";
        case rules::MeldKind::ExposedKong:
            return "exposedKong";
    }
    return "";
}

json MeldJson(const MeldSight& meld) {
    return {{"kind", MeldKindName(meld.kind)}, {"tiles", MeldTiles(meld)}, {"from", meld.source}};
}

json SightJson(const TableSight& sight) {
    json seats = json::array();
    for (const SeatSight& seat : sight.seats) {
        json melds = json::array();
        for (const MeldSight& meld : seat.melds) melds.push_back(MeldJson(meld));
        seats.push_back({{"melds", melds},
                         {"discards", seat.discards},
                         {"concealed", seat.concealedCount},
                         {"wall", seat.wallLeft},
                         {"ting", seat.ting},
                         {"ready", seat.ready}});
    }
    json view = {{"running", sight.running}, {"seats", seats}};
    if (!sight.running) return view;
    view.update({{"dealer", sight.dealer},
                 {"turn", sight.turn},
                 {"phase", sight.phase},
                 {"wild", sight.wild},
                 {"indicator", sight.indicator},
                 {"wallLeft", sight.wallLeft}});
    // The discard the others may still claim; in other phases the tile is in
    // a meld already, or a draw nobody else may see.
    if (sight.phase == net::phase::kDiscarded && sight.current != kFaceDown)
        view["current"] = sight.current;
    return view;
}

json LiveTableJson(const LiveTable& table) {
    json players = json::array();
    for (const auto& seat : table.seats)
        players.push_back(seat ? json{{"name", seat->name},
                                      {"points", seat->points},
                                      {"computer", seat->computer},
                                      {"connected", seat->connected}}
                               : json(nullptr));
    json view = {{"number", table.number},
                 {"hand", table.handsPlayed + (table.running ? 1 : 0)},
                 {"handsPlayed", table.handsPlayed},
                 {"players", players},
                 {"onlookers", table.onlookers}};
    if (table.clockMs) view["clockSeconds"] = (*table.clockMs + 999) / 1000;
    if (const auto sight = ReadSight(table.onlookerSnapshots)) {
        view["table"] = SightJson(*sight);
        if (sight->running) view["turn"] = sight->turn;
    }
    return view;
}

json FiguresJson(const replay::RecordFigures& f) {
    return {{"hands", f.hands},
            {"wins", f.wins},
            {"selfDrawn", f.selfDrawn},
            {"dealtIn", f.dealtIn},
            {"winRate", f.WinRate()},
            {"selfDrawnShare", f.SelfDrawnShare()},
            {"dealInRate", f.DealInRate()}};
}

double SortValue(const PlayerEntry& p, const std::string& key) {
    if (key == "hands") return p.figures.hands;
    if (key == "winRate") return p.figures.WinRate();
    if (key == "selfDrawnShare") return p.figures.SelfDrawnShare();
    if (key == "dealInRate") return p.figures.DealInRate();
    return static_cast<double>(p.points);
}

std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// --- a hand step by step ---

json MeldRecordJson(const rules::MeldRecord& meld) {
    return MeldJson({meld.bytKind, meld.bytTile, meld.bytSource});
}

// Discards are not in the replay's steps: a discard lies until claimed.
void ApplyDiscards(const replay::LogEvent& e, std::array<std::vector<replay::Tile>, 4>& discards) {
    using replay::Act;
    if (e.act == Act::Discard && e.tile) discards[e.chair % kChairs].push_back(*e.tile);
    const bool claim = e.act == Act::Chow || e.act == Act::Pung ||
                       (e.act == Act::Kong && e.kongKind == replay::KongKind::Exposed);
    if (claim && e.from && !discards[*e.from % kChairs].empty())
        discards[*e.from % kChairs].pop_back();
}

json StepJson(const replay::HandReplay& replay, std::size_t n,
              const std::array<std::vector<replay::Tile>, 4>& discards) {
    const replay::ReplayStep& step = replay.Step(n);
    json melds = json::array();
    for (const auto& chairMelds : step.melds) {
        json list = json::array();
        for (const auto& meld : chairMelds) list.push_back(MeldRecordJson(meld));
        melds.push_back(list);
    }
    json view = {{"text", replay.Describe(n)},
                 {"hands", step.hands},
                 {"melds", melds},
                 {"discards", discards}};
    if (step.event) {
        view["act"] = replay::ActName(step.event->act);
        view["chair"] = step.event->chair;
        if (step.event->tile) view["tile"] = *step.event->tile;
    }
    return view;
}

std::optional<json> WinJson(const replay::HandReplay& replay) {
    const auto& last = replay.Step(replay.StepCount());
    for (const net::Bytes& message : last.messages) {
        if (message.empty() || message[0] != 23) continue;
        const auto record = play::DecodeWinRecord(message);
        if (!record) continue;
        const replay::HandLog& hand = replay.hand();
        const auto header = play::BuildWinHeader(*record, "", replay.names());
        json winners = json::array();
        for (const play::WinnerBlock& winner : record->winners) {
            json groups = json::array();
            for (const auto& group :
                 play::ArrangeWinnerHand(winner, record->winningTile, hand.wild)) {
                json tiles = json::array();
                for (const auto& tile : group)
                    tiles.push_back({{"tile", tile.tile}, {"label", tile.label}});
                groups.push_back(tiles);
            }
            json melds = json::array();
            for (const auto& meld : winner.melds)
                melds.push_back(
                    MeldJson({static_cast<rules::MeldKind>(std::clamp<int>(meld.kind, 1, 4)),
                              meld.tile, 0}));
            winners.push_back({{"chair", winner.chair},
                               {"groups", groups},
                               {"melds", melds},
                               {"concealed", winner.concealedTiles}});
        }
        return json{
            {"winnerLine", header.winnerLine},       {"discarderLine", header.discarderLine},
            {"winningTile", record->winningTile},    {"winners", winners},
            {"actual", record->actualScore},         {"due", record->dueScore},
            {"items", play::BuildItemTexts(*record)}};
    }
    return std::nullopt;
}

}  // namespace

std::string TilesJson() {
    json tiles = json::object();
    for (int code = 0; code <= 38; ++code) {
        const std::string name = play::TileName(static_cast<rules::TileCode>(code));
        if (name.empty()) continue;
        tiles[std::to_string(code)] = {{"name", name}, {"picture", PictureName(code)}};
    }
    tiles[std::to_string(kFaceDown)] = {{"name", "背面"}, {"picture", "back"}};
    return Text(tiles);
}

std::string TablesJson(const std::vector<LiveTable>& tables) {
    json list = json::array();
    for (const LiveTable& table : tables) list.push_back(LiveTableJson(table));
    return Text({{"tables", list}});
}

std::optional<std::string> TableJson(const std::vector<LiveTable>& tables, int number) {
    for (const LiveTable& table : tables)
        if (table.number == number) return Text(LiveTableJson(table));
    return std::nullopt;
}

LeaderboardQuery ReadLeaderboardQuery(std::string_view query) {
    static const std::array<std::string_view, 6> kSorts = {
        "points", "hands", "winRate", "selfDrawnShare", "dealInRate", "name"};
    LeaderboardQuery result;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const auto eq = pair.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = pair.substr(0, eq), value = pair.substr(eq + 1);
        if (key == "sort" && std::find(kSorts.begin(), kSorts.end(), value) != kSorts.end())
            result.sort = std::string(value);
        if (key == "order") result.ascending = value == "asc";
        if (key == "page")
            if (const auto page = WholeNumber(value); page && *page >= 1) result.page = *page;
        if (key == "size")
            if (const auto size = WholeNumber(value); size && *size >= 1 && *size <= 100)
                result.pageSize = *size;
    }
    return result;
}

std::string LeaderboardJson(const HandArchive& archive, const LeaderboardQuery& query) {
    std::vector<const PlayerEntry*> players;
    for (const auto& [name, player] : archive.Players()) players.push_back(&player);
    const auto before = [&](const PlayerEntry* a, const PlayerEntry* b) {
        if (query.sort != "name") {
            const double x = SortValue(*a, query.sort), y = SortValue(*b, query.sort);
            if (x != y) return query.ascending ? x < y : x > y;
        } else if (a->name != b->name) {
            return query.ascending == (a->name < b->name);
        }
        return a->name < b->name;
    };
    std::stable_sort(players.begin(), players.end(), before);
    const int total = static_cast<int>(players.size());
    const int pages = std::max(1, (total + query.pageSize - 1) / query.pageSize);
    const int page = std::min(query.page, pages);
    json rows = json::array();
    for (int i = (page - 1) * query.pageSize; i < std::min(total, page * query.pageSize); ++i) {
        json row = FiguresJson(players[i]->figures);
        row.update({{"rank", i + 1},
                    {"name", players[i]->name},
                    {"points", players[i]->points},
                    {"computer", players[i]->computer}});
        rows.push_back(row);
    }
    return Text({{"sort", query.sort},
                 {"order", query.ascending ? "asc" : "desc"},
                 {"page", page},
                 {"pages", pages},
                 {"total", total},
                 {"rows", rows}});
}

std::optional<std::string> PlayerJson(const HandArchive& archive, std::string_view name) {
    const auto it = archive.Players().find(name);
    if (it == archive.Players().end()) return std::nullopt;
    const PlayerEntry& player = it->second;
    const std::vector<replay::MyHand> newestFirst(player.hands.rbegin(), player.hands.rend());
    const replay::MyRecord record = replay::RecordOf(newestFirst);
    json recent = json::array();
    for (std::size_t i = 0; i < std::min(kRecentHands, newestFirst.size()); ++i) {
        const replay::MyHand& hand = newestFirst[i];
        recent.push_back({{"id", hand.id},
                          {"time", hand.time},
                          {"table", hand.table},
                          {"seat", hand.seat},
                          {"players", hand.players},
                          {"result", replay::ResultText(hand.result)},
                          {"points", hand.points}});
    }
    return Text({{"name", player.name},
                 {"points", player.points},
                 {"computer", player.computer},
                 {"record", FiguresJson(record.all)},
                 {"pointsAfter", record.pointsAfter},
                 {"hands", recent}});
}

std::optional<std::string> HandJson(const HandArchive& archive, std::int64_t id) {
    const auto hand = archive.ReadHand(id);
    if (!hand) return std::nullopt;
    const auto replay = replay::HandReplay::Build(*hand, 0);
    if (!replay) return std::nullopt;
    json steps = json::array();
    std::array<std::vector<replay::Tile>, 4> discards;
    for (std::size_t n = 0; n <= replay->StepCount(); ++n) {
        if (const auto* event = replay->Step(n).event) ApplyDiscards(*event, discards);
        steps.push_back(StepJson(*replay, n, discards));
    }
    json document = {
        {"id", hand->id},         {"table", hand->table},          {"time", hand->time},
        {"dealer", hand->dealer}, {"players", replay->names()},    {"indicator", hand->indicator},
        {"wild", hand->wild},     {"points", hand->result.points}, {"drawn", hand->Drawn()},
        {"steps", steps}};
    if (const auto win = WinJson(*replay)) document["win"] = *win;
    return Text(document);
}

std::string ErrorJson(std::string_view text) {
    return Text({{"error", text}});
}

}  // namespace qira::server::web
