#include "replay/hand_replay.h"

#include <algorithm>

#include "net/protocol.h"
#include "net/server_messages.h"
#include "play/table_words.h"

namespace qira::replay {
namespace {

namespace sm = net::server_messages;
using rules::MeldKind;
using rules::MeldRecord;

constexpr int kDealtTiles = 53;  // thirteen rounds of four, and the dealer's fourteenth
constexpr std::size_t kIndicatorIndex = rules::kTilesInSet - 1;

struct Fault {
    std::string why;
};

[[noreturn]] void Refuse(std::size_t index, std::string why) {
    throw Fault{"event " + std::to_string(index + 1) + ": " + std::move(why)};
}

void SortWildFirst(std::vector<Tile>& tiles, Tile wild) {
    std::sort(tiles.begin(), tiles.end(), [wild](Tile a, Tile b) {
        if ((a == wild) != (b == wild)) return a == wild;
        return a < b;
    });
}

bool RemoveOne(std::vector<Tile>& tiles, Tile tile) {
    const auto found = std::find(tiles.begin(), tiles.end(), tile);
    if (found == tiles.end()) return false;
    tiles.erase(found);
    return true;
}

// Kong kinds on the wire: 3 concealed, 4 exposed (an added kong too).
std::uint8_t WireKongKind(KongKind kind) {
    return kind == KongKind::Concealed ? net::phase::kConcealedKong : net::phase::kExposedKong;
}

std::string Record(const std::string& name, int number, const std::string& watched, int chair) {
    return net::JoinFields({name, std::to_string(1000 + number), "0", "0", watched, "0", "0", "0",
                            "0", "0", "0", "0", std::to_string(number * 7 + 3),
                            std::to_string(chair), "0", "0"});
}

std::array<std::string, 4> SeatNames(const HandLog& hand) {
    std::array<std::string, 4> names;
    for (std::size_t c = 0; c < 4; ++c) {
        names[c] = hand.players[c].empty() ? "空位" + std::to_string(c + 1) : hand.players[c];
        for (std::size_t other = 0; other < c; ++other)
            if (names[other] == names[c]) names[c] += "(" + std::to_string(c + 1) + ")";
        if (names[c] == HandReplay::kViewerName) names[c] += "(" + std::to_string(c + 1) + ")";
    }
    return names;
}

sm::HandStart HandStartOf(const HandLog& hand) {
    sm::HandStart start;
    start.dealer = hand.dealer;
    start.dice = hand.dice;
    const int head = (hand.dealer + hand.dice - 1) % 4;
    std::array<std::uint8_t, 4> order{};
    for (int s = 0; s < 4; ++s) order[s] = static_cast<std::uint8_t>((head + 3 * s) % 4);
    const int front = kDealtTiles;
    const int back = static_cast<int>(kIndicatorIndex) - 1;
    constexpr int kSegment = 34;
    for (int s = 0; s < 4; ++s) {
        const int first = s * kSegment;
        const int lo = std::max(front, first);
        const int hi = std::min(back, first + kSegment - 1);
        const std::size_t chair = order[s];
        start.wallBytes[chair * 2] = static_cast<std::uint8_t>(lo > hi ? kSegment : lo - first);
        start.wallBytes[chair * 2 + 1] =
            static_cast<std::uint8_t>(lo > hi ? kSegment - 1 : hi - first);
    }
    start.headWallChair = order[front / kSegment];
    start.tailWallChair = order[back / kSegment];
    // The client counts the tail chair's last position one further.
    start.wallBytes[start.tailWallChair * 2 + 1] -= 1;
    start.indicator = hand.indicator;
    start.wild = hand.wild;
    return start;
}

// The hand as it stands while the acts are applied one by one.
class Table {
public:
    explicit Table(const HandLog& hand) : hand_(hand) {
        for (std::size_t c = 0; c < 4; ++c) {
            hands_[c] = hand.deal[c];
            SortWildFirst(hands_[c], hand.wild);
        }
        // The dealer's fourteenth tile counts as drawn.
        RemoveOne(hands_[hand.dealer], hand.deal[hand.dealer].back());
        hands_[hand.dealer].push_back(hand.deal[hand.dealer].back());
        lastDrawTail_.fill(false);
    }

    const OpenHands& hands() const { return hands_; }
    const std::array<std::vector<MeldRecord>, 4>& melds() const { return melds_; }

    std::vector<net::Bytes> Apply(std::size_t index) {
        const LogEvent& e = hand_.events[index];
        const Chair c = e.chair;
        switch (e.act) {
            case Act::Draw:
                if (replacementTaken_ == index) return {};
                return Draw(index, e);
            case Act::Discard:
                return Discard(index, e);
            case Act::Chow:
            case Act::Pung:
                return ChowOrPung(index, e);
            case Act::Kong:
                return Kong(index, e);
            case Act::IndicatorKong:
                for (int i = 0; i < 3; ++i)
                    if (!RemoveOne(hands_[c], hand_.indicator))
                        Refuse(index, "the indicator kong needs three indicator tiles");
                melds_[c].push_back({MeldKind::Pung, hand_.indicator, c});
                indicatorKong_[c] = discardedBefore_[c] ? 1 : 2;
                Sort(c);
                return {sm::ThreeIndicators(c)};
            case Act::Win:
                return Win(index, e);
            case Act::Ting:
            case Act::PassWin:
                return {};
        }
        return {};
    }

private:
    std::vector<net::Bytes> Draw(std::size_t index, const LogEvent& e) {
        if (head_ > tail_) Refuse(index, "a draw from a wall that is used up");
        const Tile expected = e.fromTail ? hand_.wall[tail_] : hand_.wall[head_];
        if (*e.tile != expected)
            Refuse(index, "drew " + std::to_string(*e.tile) + " but the wall's " +
                              (e.fromTail ? "end" : "next") + " tile is " +
                              std::to_string(expected));
        e.fromTail ? --tail_ : ++head_;
        hands_[e.chair].push_back(*e.tile);
        lastDrawTail_[e.chair] = e.fromTail;
        // A replacement draw arrives with its kong.
        if (e.fromTail) return {};
        return {sm::Draw(e.chair, *e.tile)};
    }

    // The replacement draw that follows a kong, taken with the kong as the
    // kong message brings it; nothing when the kong is the hand's last act.
    Tile TakeReplacement(std::size_t index, Chair c) {
        const auto& events = hand_.events;
        const std::size_t next = index + 1;
        if (next >= events.size() || events[next].act != Act::Draw || !events[next].fromTail ||
            events[next].chair != c)
            return net::kFaceDownTileCode;
        Draw(next, events[next]);
        replacementTaken_ = next;
        return *events[next].tile;
    }

    std::vector<net::Bytes> Discard(std::size_t index, const LogEvent& e) {
        const Chair c = e.chair;
        if (!RemoveOne(hands_[c], *e.tile))
            Refuse(index,
                   "discards " + std::to_string(*e.tile) + ", which the chair does not hold");
        Sort(c);
        discardedBefore_[c] = true;
        afterKong_ = lastDrawTail_[c];
        lastDrawTail_[c] = false;
        lastDiscard_ = {c, *e.tile};
        const bool ting = IsTingBeside(index, c);
        return {sm::Discarded(c, *e.tile, ting ? 1 : 0, net::kWireNoChair, 0)};
    }

    bool IsTingBeside(std::size_t index, Chair c) const {
        const auto& events = hand_.events;
        auto ting = [&](std::size_t i) {
            return i < events.size() && events[i].act == Act::Ting && events[i].chair == c;
        };
        return (index > 0 && ting(index - 1)) || ting(index + 1);
    }

    // The discard a claim takes; it leaves the discarder's pile for the claimer.
    Chair TakeLastDiscard(std::size_t index, const LogEvent& e) {
        if (!lastDiscard_) Refuse(index, "a claim with no discard to take");
        const auto [discarder, tile] = *lastDiscard_;
        if (tile != *e.tile)
            Refuse(index, "claims " + std::to_string(*e.tile) + " but the last discard is " +
                              std::to_string(tile));
        if (e.from && *e.from != discarder)
            Refuse(index, "claims from chair " + std::to_string(*e.from) +
                              " but the last discard is chair " + std::to_string(discarder) + "'s");
        if (discarder == e.chair) Refuse(index, "claims the chair's own discard");
        lastDiscard_.reset();
        return discarder;
    }

    void RemoveFromHand(std::size_t index, Chair c, Tile tile, int copies) {
        for (int i = 0; i < copies; ++i)
            if (!RemoveOne(hands_[c], tile))
                Refuse(index, "the chair does not hold the tiles of its meld (" +
                                  std::to_string(tile) + ")");
    }

    std::vector<net::Bytes> ChowOrPung(std::size_t index, const LogEvent& e) {
        const Chair c = e.chair;
        const Chair discarder = TakeLastDiscard(index, e);
        const Tile claimed = *e.tile;
        if (e.act == Act::Pung) {
            RemoveFromHand(index, c, claimed, 2);
            melds_[c].push_back({MeldKind::Pung, claimed, discarder});
            Sort(c);
            return {sm::Punged(c, claimed)};
        }
        std::vector<Tile> meld = e.meld;
        std::sort(meld.begin(), meld.end());
        const bool run = rules::IsNumbered(meld[0]) && meld[1] == meld[0] + 1 &&
                         meld[2] == meld[0] + 2 && rules::SuitOf(meld[0]) == rules::SuitOf(meld[2]);
        if (!run) Refuse(index, "a chow's meld is not three tiles in a row of one suit");
        if (!RemoveOne(meld, claimed))
            Refuse(index, "a chow's meld does not hold the claimed tile");
        for (Tile tile : meld) RemoveFromHand(index, c, tile, 1);
        const Tile lowest = std::min({meld[0], meld[1], claimed});
        melds_[c].push_back({MeldKind::Chow, lowest, discarder});
        Sort(c);
        return {sm::Chowed(c, lowest)};
    }

    std::vector<net::Bytes> Kong(std::size_t index, const LogEvent& e) {
        const Chair c = e.chair;
        const Tile tile = *e.tile;
        switch (e.kongKind) {
            case KongKind::Concealed:
                RemoveFromHand(index, c, tile, 4);
                melds_[c].push_back({MeldKind::ConcealedKong, tile, c});
                break;
            case KongKind::Exposed: {
                const Chair discarder = TakeLastDiscard(index, e);
                RemoveFromHand(index, c, tile, 3);
                melds_[c].push_back({MeldKind::ExposedKong, tile, discarder});
                break;
            }
            case KongKind::Added: {
                RemoveFromHand(index, c, tile, 1);
                auto pung = std::find_if(melds_[c].begin(), melds_[c].end(), [tile](auto& m) {
                    return m.bytKind == MeldKind::Pung && m.bytTile == tile;
                });
                if (pung == melds_[c].end()) Refuse(index, "an added kong without its pung");
                pung->bytKind = MeldKind::ExposedKong;
                break;
            }
        }
        Sort(c);
        const Tile replacement = TakeReplacement(index, c);
        return {sm::Konged(WireKongKind(e.kongKind), c, tile, replacement)};
    }

    std::vector<net::Bytes> Win(std::size_t index, const LogEvent& e) {
        winners_.push_back(e.chair);
        winningTile_ = *e.tile;
        if (e.robbed) RobKongTile(index, e);
        const auto& events = hand_.events;
        for (std::size_t i = index + 1; i < events.size(); ++i)
            if (events[i].act == Act::Win) return {};  // the record comes with the last winner
        WinFacts facts;
        facts.hand = &hand_;
        facts.melds = melds_;
        facts.indicatorKong = indicatorKong_;
        const bool selfDrawn = !e.from && !hand_.result.discarder;
        for (const Chair w : winners_) {
            facts.concealed[w] = hands_[w];
            if (selfDrawn) RemoveOne(facts.concealed[w], winningTile_);
        }
        facts.winners = winners_;
        facts.discarder = selfDrawn ? std::nullopt : (e.from ? e.from : hand_.result.discarder);
        facts.winningTile = winningTile_;
        facts.onKongReplacement = selfDrawn && lastDrawTail_[e.chair];
        facts.afterKong = !selfDrawn && afterKong_;
        return {BuildWinRecord(facts)};
    }

    // The tile a chair was adding to its pung leaves its hand for the robber
    // (once, however many rob it); the kong itself was never laid.
    void RobKongTile(std::size_t index, const LogEvent& e) {
        if (!e.from) Refuse(index, "a robbed kong names no konger");
        if (kongRobbed_) return;
        if (!RemoveOne(hands_[*e.from], *e.tile))
            Refuse(index, "the konger does not hold the robbed tile");
        kongRobbed_ = true;
        afterKong_ = true;
    }

    void Sort(Chair c) { SortWildFirst(hands_[c], hand_.wild); }

    const HandLog& hand_;
    OpenHands hands_;
    std::array<std::vector<MeldRecord>, 4> melds_;
    std::size_t head_ = kDealtTiles;
    std::size_t tail_ = kIndicatorIndex - 1;
    std::optional<std::pair<Chair, Tile>> lastDiscard_;
    std::array<bool, 4> lastDrawTail_{};
    std::array<bool, 4> discardedBefore_{};
    std::array<std::uint8_t, 4> indicatorKong_{};
    bool afterKong_ = false;
    bool kongRobbed_ = false;
    std::optional<std::size_t> replacementTaken_;
    std::vector<Chair> winners_;
    Tile winningTile_ = 0;
};

void CheckDealAgainstWall(const HandLog& hand) {
    if (hand.dealer > 3) throw Fault{"the dealer is no chair"};
    if (hand.wall.size() != rules::kTilesInSet) throw Fault{"the wall does not have 136 tiles"};
    for (const Tile tile : hand.wall)
        if (!rules::IsTileCode(tile)) throw Fault{"the wall holds a code that is no tile"};
    for (std::size_t c = 0; c < 4; ++c)
        if (hand.deal[c].size() != (c == hand.dealer ? 14u : 13u))
            throw Fault{"chair " + std::to_string(c) + " was not dealt 13 tiles (the dealer 14)"};
    for (const LogEvent& e : hand.events) {
        if (e.chair > 3) throw Fault{"an act names no chair"};
        if (e.tile && !rules::IsTileCode(*e.tile)) throw Fault{"an act names no tile"};
    }
    for (int round = 0; round < 13; ++round)
        for (int i = 0; i < 4; ++i) {
            const std::size_t chair = static_cast<std::size_t>((hand.dealer + i) % 4);
            if (hand.deal[chair][static_cast<std::size_t>(round)] != hand.wall[round * 4 + i])
                throw Fault{"the deal of chair " + std::to_string(chair) +
                            " is not the wall's front"};
        }
    if (hand.deal[hand.dealer][13] != hand.wall[kDealtTiles - 1])
        throw Fault{"the dealer's fourteenth tile is not the wall's 53rd"};
    if (hand.wall[kIndicatorIndex] != hand.indicator)
        throw Fault{"the indicator is not the wall's last tile"};
}

}  // namespace

HandReplay::HandReplay(const HandLog& hand, Chair viewChair)
    : hand_(hand), viewChair_(viewChair), names_(SeatNames(hand)) {}

std::optional<HandReplay> HandReplay::Build(const HandLog& hand, Chair viewChair,
                                            std::string* error) {
    HandReplay replay(hand, static_cast<Chair>(viewChair % 4));
    try {
        CheckDealAgainstWall(replay.hand_);
        Table table(replay.hand_);
        ReplayStep opening;
        const auto& names = replay.names_;
        const Chair view = replay.viewChair_;
        opening.messages.push_back(sm::Identity(kViewerName, names[view]));
        std::vector<std::string> records;
        for (int c = 0; c < 4; ++c) records.push_back(Record(names[c], c + 1, "", c));
        records.push_back(Record(kViewerName, 5, names[view], view));
        opening.messages.push_back(sm::UserList(records));
        opening.messages.push_back(sm::NewHand(HandStartOf(replay.hand_)));
        opening.messages.push_back(sm::WatchPermission(true));
        for (Chair c = 0; c < 4; ++c) opening.messages.push_back(sm::BetChosen(c, 0));
        std::vector<Tile> dealt = replay.hand_.deal[view];
        const bool dealer = view == replay.hand_.dealer;
        std::sort(dealt.begin(), dealt.end() - (dealer ? 1 : 0));
        opening.messages.push_back(
            sm::Deal(view, dealer ? dealt.back() : net::kFaceDownTileCode, dealt));
        opening.hands = table.hands();
        replay.steps_.push_back(std::move(opening));
        for (std::size_t i = 0; i < replay.hand_.events.size(); ++i) {
            ReplayStep step;
            step.event = &replay.hand_.events[i];
            step.messages = table.Apply(i);
            step.hands = table.hands();
            step.melds = table.melds();
            replay.steps_.push_back(std::move(step));
        }
        if (replay.hand_.Drawn()) replay.steps_.back().messages.push_back(sm::DrawnGame());
    } catch (const Fault& fault) {
        if (error) *error = fault.why;
        return std::nullopt;
    }
    return replay;
}

std::string HandReplay::Describe(std::size_t n) const {
    const std::string count =
        "第 " + std::to_string(n) + " / " + std::to_string(StepCount()) + " 步";
    if (n == 0 || n > StepCount()) return count + "：发牌";
    const LogEvent& e = *steps_[n].event;
    const std::string who = names_[e.chair];
    const std::string tile = e.tile ? play::TileName(*e.tile) : std::string();
    std::string what;
    switch (e.act) {
        case Act::Draw:
            what = e.fromTail ? " 补牌 " + tile : " 摸牌 " + tile;
            break;
        case Act::Discard:
            what = " 打出 " + tile;
            break;
        case Act::Chow:
            what = " 吃 " + tile;
            break;
        case Act::Pung:
            what = " 碰 " + tile;
            break;
        case Act::Kong:
            what = e.kongKind == KongKind::Concealed ? " 暗杠 " + tile
                   : e.kongKind == KongKind::Added   ? " 补杠 " + tile
                                                     : " 明杠 " + tile;
            break;
        case Act::IndicatorKong:
            what = " 混皮子杠";
            break;
        case Act::Ting:
            what = " 听牌";
            break;
        case Act::PassWin:
            what = " 放弃胡 " + tile;
            break;
        case Act::Win:
            what = (e.robbed ? " 抢杠胡 " : " 胡 ") + tile;
            break;
    }
    std::string line = count + "：" + who + what;
    if (n == StepCount() && hand_.Drawn()) line += "，荒牌";
    return line;
}

// --- the win record ---------------------------------------------------------

namespace {

bool IsSevenPairs(const std::vector<Tile>& full, bool hasMelds, Tile wild) {
    if (hasMelds || full.size() != 14) return false;
    int wilds = 0;
    std::array<int, 39> counts{};
    for (Tile t : full) t == wild ? ++wilds : ++counts[t];
    int odd = 0;
    for (int count : counts) odd += count % 2;
    return odd <= wilds && (wilds - odd) % 2 == 0;
}

struct SeatKongs {
    int concealed = 0;
    int exposed = 0;
    bool wild = false;
};

SeatKongs KongsOf(const std::vector<MeldRecord>& melds, Tile wild) {
    SeatKongs kongs;
    for (const MeldRecord& m : melds) {
        if (m.bytKind == MeldKind::ConcealedKong && m.bytTile == wild)
            kongs.wild = true;
        else if (m.bytKind == MeldKind::ConcealedKong)
            ++kongs.concealed;
        else if (m.bytKind == MeldKind::ExposedKong)
            ++kongs.exposed;
    }
    return kongs;
}

void AppendInt(net::Bytes& out, std::int64_t value) {
    sm::AppendInt32BE(out, static_cast<std::int32_t>(value));
}

}  // namespace

net::Bytes BuildWinRecord(const WinFacts& f) {
    const HandLog& hand = *f.hand;
    const Tile wild = hand.wild;
    const bool selfDrawn = !f.discarder;
    const std::uint8_t discarder = selfDrawn ? 4 : *f.discarder;
    net::Bytes out{net::MainOf(net::ServerMessage::WinRecord),
                   static_cast<std::uint8_t>(f.winners.size())};
    for (const Chair w : f.winners) {
        const auto& melds = f.melds[w];
        out.push_back(w);
        out.push_back(static_cast<std::uint8_t>(2 * melds.size()));
        for (const MeldRecord& m : melds) {
            out.push_back(static_cast<std::uint8_t>(m.bytKind));
            out.push_back(m.bytTile);
        }
        const auto& concealed = f.concealed[w];
        out.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(concealed.size(), 15)));
        for (std::size_t i = 0; i < concealed.size() && i < 15; ++i) out.push_back(concealed[i]);

        std::vector<Tile> full = concealed;
        full.push_back(f.winningTile);
        const auto kongs = KongsOf(melds, wild);
        const auto wilds = std::count(full.begin(), full.end(), wild);
        std::array<std::uint8_t, 18> items{};
        items.fill(1);
        items[1] = discarder;
        items[2] = selfDrawn ? 2 : 1;
        items[3] = selfDrawn ? 1 : 3;
        items[4] = w == hand.dealer ? 2 : 1;
        items[5] = !selfDrawn && discarder == hand.dealer ? 2 : 1;
        items[6] = selfDrawn && f.onKongReplacement ? 2 : 1;
        items[7] = !selfDrawn && f.afterKong ? 2 : 1;
        items[8] = static_cast<std::uint8_t>(kongs.exposed);
        items[9] = static_cast<std::uint8_t>(kongs.concealed);
        if (IsSevenPairs(full, !melds.empty(), wild)) {
            int quads = 0;
            for (int count : rules::CountKinds(full))
                if (count == 4) ++quads;
            if (wilds == 4) --quads;
            (quads <= 0   ? items[10]
             : quads == 1 ? items[11]
                          : items[12]) = quads <= 0   ? 2
                                         : quads == 1 ? 4
                                                      : 8;
        }
        items[13] = wilds == 0 && !kongs.wild ? 2 : 1;
        items[14] = (hand.bets[w] & 1) ? 2 : 1;
        items[15] = (hand.bets[w] & 2) ? 2 : 0;
        items[16] = f.indicatorKong[w];
        items[17] = kongs.wild ? 4 : 0;
        for (int i = 1; i <= 17; ++i) out.push_back(items[static_cast<std::size_t>(i)]);
    }
    // An older log keeps no due points: they are shown as the actual ones.
    const auto& due = hand.result.due ? *hand.result.due : hand.result.points;
    for (std::size_t c = 0; c < 4; ++c) AppendInt(out, hand.result.points[c]);
    for (std::size_t c = 0; c < 4; ++c) AppendInt(out, due[c]);
    AppendInt(out, hand.base);
    for (std::size_t c = 0; c < 4; ++c) {
        const auto kongs = KongsOf(f.melds[c], wild);
        out.push_back(static_cast<std::uint8_t>(kongs.concealed));
        out.push_back(static_cast<std::uint8_t>(kongs.exposed));
    }
    out.push_back(f.winningTile);
    for (Chair c = 0; c < 4; ++c) {
        const bool winner = std::find(f.winners.begin(), f.winners.end(), c) != f.winners.end();
        const bool pays = !winner && (selfDrawn || c == discarder);
        const auto kongs = KongsOf(f.melds[c], wild);
        const std::array<std::uint8_t, 6> items = {
            static_cast<std::uint8_t>(c == discarder ? 3 : 1),
            static_cast<std::uint8_t>(c == hand.dealer ? 2 : 1),
            static_cast<std::uint8_t>((hand.bets[c] & 1) ? 2 : 1),
            static_cast<std::uint8_t>((hand.bets[c] & 2) ? 2 : 0),
            f.indicatorKong[c],
            static_cast<std::uint8_t>(kongs.wild ? 4 : 0)};
        for (std::uint8_t item : items) out.push_back(pays ? item : 0);
    }
    return out;
}

}  // namespace qira::replay
