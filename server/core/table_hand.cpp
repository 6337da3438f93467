// The moves of a hand, from the deal to the win or the drawn game.
#include <algorithm>
#include <chrono>

#include "net/server_messages.h"
#include "rules/claim_options.h"
#include "rules/win_analysis.h"
#include "server/core/lobby.h"
#include "server/core/scoring.h"
#include "server/core/table.h"

namespace qira::server {

void Table::StartHand() {
    CancelTimer();
    ++epoch_;
    seating_.ready = {};
    seating_.readyHeld = {};
    hand_.Start(lobby_.random(), lobby_.config().stackedWall);
    claims_.ForgetCourtesyPasses();

    net::server_messages::HandStart start;
    start.autoPlayLimit = lobby_.config().autoPlayLimit;
    start.dealer = hand_.dealer;
    start.dice = hand_.dice;
    start.headWallChair = hand_.wall.HeadChair();
    start.tailWallChair = hand_.wall.TailChair();
    start.wallBytes = hand_.wall.SegmentBytes();
    // The client adds one to the tail of the tail chair's segment.
    start.wallBytes[start.tailWallChair * 2 + 1] =
        static_cast<std::uint8_t>(start.wallBytes[start.tailWallChair * 2 + 1] - 1);
    start.indicator = hand_.indicator;
    start.wild = hand_.wild;
    std::string names;
    for (const User* player : seating_.players) names += " " + player->name;
    Log("hand " + std::to_string(handsPlayed_ + 1) + " starts, dealer " +
        std::to_string(hand_.dealer) + ", players" + names);
    const auto message = net::server_messages::NewHand(start);
    SendAll(message);
    lobby_.FoldIntoDigest(message);
    ArmTimer(lobby_.config().betTimeout);
    for (int c = 0; c < rules::kChairCount; ++c)
        if (NeedsServerPlay(c)) PlayForAbsentSoon(c);
}

void Table::Deal() {
    CancelTimer();
    for (int c = 0; c < rules::kChairCount; ++c) {
        const bool dealer = c == hand_.dealer;
        const Tile cur = dealer ? hand_.fresh : rules::kFaceDownTile;
        std::vector<Tile> dealt = hand_.seats[c].hand;
        std::sort(dealt.begin(), dealt.end() - (dealer ? 1 : 0));
        const auto chair = static_cast<std::uint8_t>(c);
        const auto real = net::server_messages::Deal(chair, cur, dealt);
        const auto hidden = net::server_messages::Deal(
            chair, rules::kFaceDownTile, std::vector<Tile>(dealt.size(), rules::kFaceDownTile));
        SendTo(*seating_.players[c], real);
        for (const User* o : seating_.onlookers)
            if (seating_.Watches(*o, c)) SendTo(*o, seating_.MaySeeHand(*o) ? real : hidden);
    }
    BeginTurn(hand_.dealer, TurnKind::Draw, net::phase::kDrew, hand_.fresh, hand_.fresh);
}

void Table::BeginTurn(int chair, TurnKind kind, std::uint8_t phase, Tile curTile, Tile fresh) {
    hand_.BeginTurn(chair, kind, phase, curTile, fresh);
    ++epoch_;
    ArmTimer(lobby_.config().turnTimeout);
    if (NeedsServerPlay(chair)) PlayForAbsentSoon(chair);
}

void Table::DrawFor(int chair) {
    const auto tile = hand_.DrawInto(chair);
    if (!tile) return EndDrawn();
    const auto c8 = static_cast<std::uint8_t>(chair);
    SendPrivate(chair, net::server_messages::Draw(c8, *tile),
                net::server_messages::Draw(c8, rules::kFaceDownTile));
    BeginTurn(chair, TurnKind::Draw, net::phase::kDrew, *tile, *tile);
}

ClaimOptions Table::OptionsFor(int chair, int discarder, Tile tile) const {
    ClaimOptions options;
    if (chair == discarder) return options;
    const SeatHand& seat = hand_.seats[chair];
    if (!seat.noWin && !seat.discardWinBarred && MayClaimWinOn(chair, tile))
        options.win = CanWinWith(hand_.InfoOf(chair), tile);
    const rules::HandView view{seat.hand, seat.melds, hand_.wild, seat.noWin};
    const auto kong = rules::KongOption(view, tile, rules::Turn::Other);
    options.kong = kong && hand_.wall.Remaining() > 0 && !Holds(seat.declinedKongs, tile) &&
                   (!seat.ting || rules::KongKeepsReady(view, tile, *kong));
    if (seat.ting) return options;
    options.pung = rules::PungOption(view, tile).has_value();
    if (chair == (discarder + 1) % rules::kChairCount)
        rules::ChowOptions(view, tile, options.chows);
    return options;
}

void Table::OnDiscard(int chair, Tile tile, std::uint8_t tingDeclaration) {
    CancelTimer();
    // A kong offered on this turn and not taken is not offered again.
    if (const auto kong = OwnKongOffer(chair))
        hand_.seats[chair].declinedKongs.push_back(kong->bytTile);
    const std::uint8_t ting = hand_.Discard(chair, tile, tingDeclaration != 0) ? 1 : 0;
    std::array<ClaimOptions, rules::kChairCount> options;
    for (int c = 0; c < rules::kChairCount; ++c) options[c] = OptionsFor(c, chair, tile);
    claims_.Open(chair, tile, std::move(options));
    if (!claims_.AnyOptions() && hand_.wall.Remaining() > 0)
        return DiscardAndDrawNext(chair, tile, ting);
    claims_.ExpectCourtesyPasses();
    SendAll(net::server_messages::Discarded(static_cast<std::uint8_t>(chair), tile, ting,
                                            net::kWireNoChair, 0));
    ResyncHiddenOnlookers(chair);
    if (!claims_.AnyOptions()) {
        hand_.seats[chair].discards.push_back(tile);
        return EndDrawn();
    }
    hand_.stage = Stage::Claim;
    hand_.turn = chair;
    hand_.phase = net::phase::kDiscarded;
    hand_.curTile = tile;
    ++epoch_;
    ArmTimer(lobby_.config().claimTimeout);
    for (int c = 0; c < rules::kChairCount; ++c)
        if (claims_.OptionsOf(c).Any() && NeedsServerPlay(c)) PlayForAbsentSoon(c);
}

// Nobody can claim: the discard goes to the pile and the next chair draws in
// the same message.
void Table::DiscardAndDrawNext(int chair, Tile tile, std::uint8_t ting) {
    const int next = (chair + 1) % rules::kChairCount;
    hand_.seats[chair].discards.push_back(tile);
    const Tile drawn = *hand_.DrawInto(next);
    const auto c8 = static_cast<std::uint8_t>(chair);
    const auto n8 = static_cast<std::uint8_t>(next);
    SendPrivate(next, net::server_messages::Discarded(c8, tile, ting, n8, drawn),
                net::server_messages::Discarded(c8, tile, ting, n8, rules::kFaceDownTile));
    ResyncHiddenOnlookers(chair);
    BeginTurn(next, TurnKind::Draw, net::phase::kDrew, drawn, drawn);
}

void Table::OnClaim(int chair, Claim claim) {
    claims_.Record(chair, claim);
    TryResolveClaims();
}

void Table::TryResolveClaims() {
    if (claims_.Decided()) ResolveClaims();
}

void Table::ResolveClaims() {
    CancelTimer();
    const ClaimWindow::Outcome outcome = claims_.Resolve();
    const int discarder = claims_.discarder();
    for (const int chair : outcome.passedWins) {
        hand_.seats[chair].discardWinBarred = true;
        hand_.PassWin(chair, claims_.tile(), discarder, false);
    }
    for (const int chair : outcome.passedKongs)
        hand_.seats[chair].declinedKongs.push_back(claims_.tile());
    switch (outcome.kind) {
        case ClaimKind::Win:
            hand_.Win(outcome.winners, claims_.tile(), discarder, false);
            return EndWithWin(outcome.winners, discarder, claims_.tile());
        case ClaimKind::Kong:
            return DoKong(outcome.chair, MeldKind::ExposedKong, claims_.tile(), discarder);
        case ClaimKind::Pung:
            return DoPung(outcome.chair);
        case ClaimKind::Chow:
            return DoChow(outcome.chair, outcome.chowLowest);
        case ClaimKind::Pass:
        case ClaimKind::None:
            hand_.seats[discarder].discards.push_back(claims_.tile());
            return DrawFor((discarder + 1) % rules::kChairCount);
    }
}

std::optional<Meld> Table::OwnKongOffer(int chair) const {
    if (hand_.stage != Stage::Turn || hand_.turn != chair || hand_.turnKind == TurnKind::Claimed)
        return std::nullopt;
    const SeatHand& seat = hand_.seats[chair];
    return OfferedOwnKong(hand_.InfoOf(chair), hand_.fresh, seat.declinedKongs);
}

// A client offers a win on a discarded wild tile only to a player who declared
// ready; every chair, whoever plays it, has exactly that right.
bool Table::MayClaimWinOn(int chair, Tile tile) const {
    return tile != hand_.wild || hand_.seats[chair].ting;
}

void Table::DoChow(int chair, Tile lowest) {
    hand_.Chow(chair, lowest, claims_.tile(), claims_.discarder());
    SendAll(net::server_messages::Chowed(static_cast<std::uint8_t>(chair), lowest));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Claimed, net::phase::kChowed, lowest, 0);
}

void Table::DoPung(int chair) {
    const Tile tile = claims_.tile();
    hand_.Pung(chair, tile, claims_.discarder());
    SendAll(net::server_messages::Punged(static_cast<std::uint8_t>(chair), tile));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Claimed, net::phase::kPunged, tile, 0);
}

void Table::DoKong(int chair, MeldKind kind, Tile tile, int source) {
    const bool upgrade = kind == MeldKind::ExposedKong && hand_.stage != Stage::Claim;
    const auto replacement = hand_.Kong(chair, kind, tile, source, upgrade);
    const auto c8 = static_cast<std::uint8_t>(chair);
    const auto kindByte = static_cast<std::uint8_t>(kind);
    const Tile shown = kind == MeldKind::ConcealedKong ? rules::kFaceDownTile : tile;
    if (!replacement) {
        SendAll(net::server_messages::Konged(kindByte, c8, shown, rules::kFaceDownTile));
        return EndDrawn();
    }
    SendPrivate(chair, net::server_messages::Konged(kindByte, c8, tile, *replacement),
                net::server_messages::Konged(kindByte, c8, shown, rules::kFaceDownTile));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Replacement, kindByte, tile, *replacement);
}

void Table::OnOwnKong(int chair, MeldKind kind, Tile tile) {
    CancelTimer();
    if (hand_.wall.Remaining() <= 0) return EndDrawn();
    // Another player who would win with the fourth tile may rob the kong.
    if (kind == MeldKind::ExposedKong && OpenRobWindow(chair, tile)) return;
    DoKong(chair, kind, tile, chair);
}

bool Table::OpenRobWindow(int konger, Tile tile) {
    std::array<bool, rules::kChairCount> mayRob{};
    for (int c = 0; c < rules::kChairCount; ++c) {
        const SeatHand& s = hand_.seats[c];
        mayRob[c] =
            c != konger && !s.noWin && !s.discardWinBarred && CanWinWith(hand_.InfoOf(c), tile);
    }
    rob_.Open(konger, tile, mayRob);
    if (!rob_.AnyRobber()) return false;
    hand_.stage = Stage::RobKong;
    ++epoch_;
    for (int c = 0; c < rules::kChairCount; ++c)
        if (mayRob[c]) {
            SendPrivate(c, net::server_messages::MayRobKong(static_cast<std::uint8_t>(c)), {});
            if (NeedsServerPlay(c)) PlayForAbsentSoon(c);
        }
    ArmTimer(lobby_.config().claimTimeout);
    return true;
}

void Table::OnRobAnswer(int chair, bool rob) {
    rob_.Answer(chair, rob);
    if (rob_.AllAnswered()) FinishRob();
}

void Table::FinishRob() {
    CancelTimer();
    const int konger = rob_.konger();
    for (const int chair : rob_.Decliners()) {
        hand_.seats[chair].discardWinBarred = true;
        hand_.PassWin(chair, rob_.tile(), konger, true);
    }
    const auto robbers = rob_.Robbers();
    if (!robbers.empty()) {
        hand_.Win(robbers, rob_.tile(), konger, true);
        return EndWithWin(robbers, konger, rob_.tile());
    }
    hand_.stage = Stage::Turn;
    DoKong(konger, MeldKind::ExposedKong, rob_.tile(), konger);
}

void Table::OnThreeIndicators(int chair) {
    hand_.ThreeIndicators(chair);
    SendAll(net::server_messages::ThreeIndicators(static_cast<std::uint8_t>(chair)));
    ResyncHiddenOnlookers(chair);
    ++epoch_;
    ArmTimer(lobby_.config().turnTimeout);
    if (NeedsServerPlay(chair)) PlayForAbsentSoon(chair);
}

void Table::OnSelfWin(int chair) {
    const std::vector<Tile>& hand = hand_.seats[chair].hand;
    // A drawn third indicator may have gone into the three-indicator kong: the
    // hand then wins as it stands, and the tile it took in last is the one the
    // record shows as the winning tile.
    const Tile winning = Holds(hand, hand_.fresh) ? hand_.fresh : hand.back();
    const std::vector<std::uint8_t> winner{static_cast<std::uint8_t>(chair)};
    hand_.Win(winner, winning, std::nullopt, false);
    EndWithWin(winner, 4, winning);
}

namespace {

ScoreSeat ScoreSeatOf(const SeatHand& s) {
    ScoreSeat score;
    score.concealed = s.hand;
    score.melds = s.melds;
    score.bets = s.bets == net::kBetsNotChosen ? 0 : s.bets;
    score.indicatorKong = s.indicatorKong;
    score.wildKong = s.wildKong;
    score.concealedKongs = s.concealedKongs;
    score.exposedKongs = s.exposedKongs;
    return score;
}

}  // namespace

void Table::EndWithWin(std::vector<std::uint8_t> winners, int discarder, Tile tile) {
    CancelTimer();
    WinContext context;
    for (int c = 0; c < rules::kChairCount; ++c) {
        context.seats[c] = ScoreSeatOf(hand_.seats[c]);
        context.balance[c] = seating_.players[c] ? seating_.players[c]->stats.points : 0;
    }
    const bool selfDrawn = discarder >= rules::kChairCount;
    context.winners = winners;
    context.discarder = static_cast<std::uint8_t>(discarder);
    context.dealer = hand_.dealer;
    context.winningTile = tile;
    context.wild = hand_.wild;
    context.onKongReplacement = selfDrawn && hand_.turnKind == TurnKind::Replacement;
    context.afterKong = !selfDrawn && hand_.discardAfterKong;
    context.base = settings_[0];
    context.capAtBalance = lobby_.config().scoreMode == ScoreMode::Points;
    const WinOutcome outcome = ScoreWin(context);
    std::vector<std::string> names;
    for (auto w : winners) names.push_back(seating_.players[w] ? seating_.players[w]->name : "?");
    std::string text;
    for (const auto& n : names) text += " " + n;
    const bool wildDiscardWin = !selfDrawn && tile == hand_.wild;
    std::vector<SeatKind> winnerKinds;
    for (auto w : winners) winnerKinds.push_back(KindOfSeat(w));
    FinishHand(winners, outcome.actual, outcome.due,
               "hand ends, won by" + text + (selfDrawn ? " (self-drawn)" : " on a discard"),
               [this, record = outcome.record, names, selfDrawn, wildDiscardWin, winnerKinds,
                winners, discarder, due = outcome.due] {
                   SendAll(record);
                   lobby_.FoldIntoDigest(record);
                   lobby_.CountHand(names, selfDrawn);
                   if (wildDiscardWin)
                       for (const SeatKind kind : winnerKinds) lobby_.CountWildDiscardWin(kind);
                   ReportHand(winners, discarder, due);
               });
}

SeatKind Table::KindOfSeat(int chair) const {
    const User* player = seating_.players[chair];
    if (player && player->isBot) return SeatKind::Computer;
    return player && player->peer ? SeatKind::Person : SeatKind::PlayedByServer;
}

void Table::EndDrawn() {
    CancelTimer();
    FinishHand({}, {}, {}, "hand ends drawn", [this] {
        const auto message = net::server_messages::DrawnGame();
        SendAll(message);
        lobby_.FoldIntoDigest(message);
        lobby_.CountHand({}, false);
        ReportHand({}, -1, {});
    });
}

void Table::ReportHand(const std::vector<std::uint8_t>& winners, int discarder,
                       const std::array<std::int32_t, 4>& due) const {
    Lobby::HandSummary summary;
    for (int c = 0; c < rules::kChairCount; ++c) summary.players[c] = seating_.players[c];
    summary.winners = winners;
    summary.discarder = discarder < rules::kChairCount ? discarder : -1;
    summary.due = due;
    lobby_.ReportHand(summary);
}

// The hand's statistics go to the store first: only once they are stored,
// so that the end of the server's process cannot lose them, is the hand's
// result sent and the hand logged as ended (docs/operating.md). The table
// waits meanwhile; the loop serves the others.
void Table::FinishHand(const std::vector<std::uint8_t>& winners,
                       const std::array<std::int32_t, 4>& actual,
                       const std::array<std::int32_t, 4>& due, const std::string& ending,
                       std::function<void()> announce) {
    hand_.stage = Stage::Storing;
    std::vector<std::string> escaped;
    auto changes = StatisticsChanges(winners, actual, escaped);
    const std::uint64_t epoch = ++epoch_;
    lobby_.stats().RecordThen(
        std::move(changes), HandLog(winners, actual, due), number_,
        [this, alive = std::weak_ptr<int>(alive_), epoch, winners, ending, escaped,
         announce = std::move(announce)](const std::map<std::string, UserStats>& after) {
            if (alive.expired() || epoch != epoch_) return;
            AfterHandStored(winners, ending, escaped, after, announce);
        });
}

void Table::AfterHandStored(const std::vector<std::uint8_t>& winners, const std::string& ending,
                            const std::vector<std::string>& escaped,
                            const std::map<std::string, UserStats>& after,
                            const std::function<void()>& announce) {
    ++handsPlayed_;
    ++epoch_;
    announce();
    hand_.stage = Stage::Idle;
    seating_.ready = {};
    for (User* player : seating_.players)
        if (player)
            if (const auto it = after.find(player->name); it != after.end())
                player->stats = it->second;
    // The log above names this hand's dealer; the next hand's may differ.
    const std::uint8_t dealer = hand_.dealer;
    const bool dealerWon = std::find(winners.begin(), winners.end(), dealer) != winners.end();
    if (!winners.empty() && !dealerWon) hand_.dealer = static_cast<std::uint8_t>((dealer + 1) % 4);
    Log(ending);
    for (const User* player : seating_.players)
        if (player) SendAll(net::server_messages::RefreshUser(RecordOf(*player)));
    // Those who escaped, and those whose connection went while the hand was
    // stored, leave now.
    for (User* player : seating_.players) {
        if (!player) continue;
        const bool counted =
            std::find(escaped.begin(), escaped.end(), player->name) != escaped.end();
        if (!counted && player->peer) continue;
        if (counted) Log(player->name + " counted as escaped");
        RemoveUser(*player, counted);
    }
    if (!HasHuman() && !keepWithoutHumans_) return lobby_.CloseTableIfEmpty(*this);
    ArmTimer(lobby_.config().startTimeout);
}

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string TileList(std::span<const Tile> tiles) {
    std::string out = "[";
    for (const Tile tile : tiles) out += (out.size() > 1 ? "," : "") + std::to_string(tile);
    return out + "]";
}

template <typename Each>
std::string ChairLists(Each each) {
    std::string out = "[";
    for (int c = 0; c < rules::kChairCount; ++c) out += (c ? "," : "") + TileList(each(c));
    return out + "]";
}

template <typename Number>
std::string Joined(const std::array<Number, 4>& numbers) {
    std::string out;
    for (const Number n : numbers) out += (out.empty() ? "" : ",") + std::to_string(n);
    return out;
}

std::int64_t WallClockSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// Everything the payments are computed from besides the tiles and the acts:
// the points each chair held before the hand bound what it pays in points mode.
std::string Table::ScoreLog() const {
    std::array<std::int64_t, rules::kChairCount> bets{}, balance{};
    for (int c = 0; c < rules::kChairCount; ++c) {
        const std::uint8_t chosen = hand_.seats[c].bets;
        bets[c] = chosen == net::kBetsNotChosen ? 0 : chosen;
        balance[c] = seating_.players[c] ? seating_.players[c]->stats.points : 0;
    }
    const bool points = lobby_.config().scoreMode == ScoreMode::Points;
    return std::string("{\"mode\":\"") + (points ? "points" : "experience") +
           "\",\"base\":" + std::to_string(settings_[0]) +
           ",\"escape_penalty\":" + std::to_string(settings_[3]) + ",\"bets\":[" + Joined(bets) +
           "],\"balance\":[" + Joined(balance) + "]}";
}

std::string Table::HandLog(const std::vector<std::uint8_t>& winners,
                           const std::array<std::int32_t, 4>& actual,
                           const std::array<std::int32_t, 4>& due) const {
    std::string players, levels, points, won;
    for (int c = 0; c < rules::kChairCount; ++c) {
        const User* player = seating_.players[c];
        players += (c ? "," : "") + JsonString(player ? player->name : "");
        levels += (c ? "," : "") + std::to_string(player && player->isBot ? player->botLevel : 0);
        points += (c ? "," : "") + std::to_string(actual[c]);
    }
    for (const auto w : winners) won += (won.empty() ? "" : ",") + std::to_string(w);
    std::string escaped;
    for (int c = 0; c < rules::kChairCount; ++c)
        if (seating_.players[c] && !seating_.players[c]->peer)
            escaped += (escaped.empty() ? "" : ",") + std::to_string(c);
    const auto orNull = [](const auto& value) {
        return value ? std::to_string(*value) : std::string("null");
    };
    won += "],\"discarder\":" + orNull(hand_.winDiscarder) + ",\"tile\":" + orNull(hand_.winTile);
    return "{\"table\":" + std::to_string(number_) + ",\"seed\":" + std::to_string(hand_.seed) +
           ",\"dealer\":" + std::to_string(hand_.dealer) +
           ",\"dice\":" + std::to_string(hand_.dice) + ",\"score\":" + ScoreLog() +
           ",\"time\":" + std::to_string(WallClockSeconds()) + ",\"players\":[" + players +
           "],\"levels\":[" + levels + "],\"indicator\":" + std::to_string(hand_.indicator) +
           ",\"wild\":" + std::to_string(hand_.wild) + ",\"result\":{\"winners\":[" + won +
           ",\"points\":[" + points + "],\"due\":[" + Joined(due) + "],\"escaped\":[" + escaped +
           "]},\"wall\":" + TileList(hand_.wall.DrawOrder()) +
           ",\"deal\":" + ChairLists([&](int c) { return std::span(hand_.dealt[c]); }) +
           ",\"events\":" + EventsJson(hand_.events) +
           ",\"final\":" + ChairLists([&](int c) { return std::span(hand_.seats[c].hand); }) + "}";
}

// A win is paid by the discarder alone, or by all three others when self-drawn.
HandResult Table::ResultFor(const std::vector<std::uint8_t>& winners, bool won, int chair) const {
    if (winners.empty()) return HandResult::Draw;
    if (won) return HandResult::Win;
    const bool paid = !hand_.winDiscarder || *hand_.winDiscarder == chair;
    return paid ? HandResult::Loss : HandResult::Spared;
}

std::vector<StatsChange> Table::StatisticsChanges(const std::vector<std::uint8_t>& winners,
                                                  const std::array<std::int32_t, 4>& actual,
                                                  std::vector<std::string>& escaped) const {
    std::vector<StatsChange> changes;
    for (int c = 0; c < rules::kChairCount; ++c) {
        const User* player = seating_.players[c];
        if (!player) continue;
        StatsChange change;
        change.name = player->name;
        const bool won = std::find(winners.begin(), winners.end(), c) != winners.end();
        change.result = ResultFor(winners, won, c);
        change.points = actual[c];
        change.experience = won ? 3 : 1;
        if (!player->peer) {
            change.escaped = true;
            // A player pays at most what it has, the penalty included.
            const std::int64_t left = std::max<std::int64_t>(0, player->stats.points + actual[c]);
            const bool capped = lobby_.config().scoreMode == ScoreMode::Points;
            change.points -= capped ? std::min<std::int64_t>(settings_[3], left) : settings_[3];
            escaped.push_back(player->name);
        }
        changes.push_back(change);
    }
    return changes;
}

}  // namespace qira::server
