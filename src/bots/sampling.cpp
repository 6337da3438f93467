#include "bots/sampling.h"

#include <algorithm>
#include <cmath>

#include "bots/distance.h"
#include "rules/payment.h"
#include "rules/win_analysis.h"

namespace qira::bots {
namespace {

using rules::IsNumbered;
using rules::KindIndex;
using rules::MeldKind;

// Playouts this machine runs in a millisecond (a release build, measured with
// bench/bots/level4.sh, processor time); a budget buys deals at this rate whatever the clock
// says, which keeps the choices reproducible.
constexpr int kPlayoutsPerMs = 18;
constexpr int kFewestDeals = 4;
// Turns of another chair's play that shape its sampled hand, at most.
constexpr int kTurnsBuilt = 12;
// How many standard errors another option must gain over level 3's to be
// taken: several options are compared, and the best of them gains by chance.
constexpr double kConfidence = 2.0;

int ConcealedCount(const BotView& view, int chair) {
    return std::max(0, 13 - 3 * static_cast<int>(view.tableMelds[chair].size()));
}

// Fisher-Yates by the generator's raw output: the same on every library.
void Shuffle(std::vector<Tile>& tiles, std::mt19937& random) {
    for (std::size_t i = tiles.size(); i > 1; --i) std::swap(tiles[i - 1], tiles[random() % i]);
}

// The kind of tile that keeps the hand closest to ready; of those, the one
// with the fewest neighbours; -1 when only wild tiles are held.
int GreedyDiscardKind(const HandDistance& distance) {
    const auto& counts = distance.counts();
    const auto fitOf = [&counts](int kind) {
        int fit = 2 * (counts[kind] - 1);
        if (kind < 27) {
            const int rank = kind % 9;
            for (int step = -2; step <= 2; ++step)
                if (step != 0 && rank + step >= 0 && rank + step < 9) fit += counts[kind + step];
        }
        return fit;
    };
    // A lone tile is in no block: throwing it keeps the distance, which no
    // discard can shorten, so the first one is the choice the search below
    // would make.
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        if (counts[kind] > 0 && fitOf(kind) == 0) return kind;
    int bestKind = -1;
    int bestScore = 1 << 30;
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind) {
        if (counts[kind] <= 0) continue;
        const int score = 64 * distance.WithoutOne(kind) + fitOf(kind);
        if (score < bestScore) bestScore = score, bestKind = kind;
    }
    return bestKind;
}

// A chair that has played `turns` turns has built its hand: it drew and threw
// that many times. The hand dealt at random gets the same turns, drawing from
// the rest of the pool (from `next` on) and throwing what the playouts would,
// the thrown tile going back where the drawn one was; the pool keeps its
// tiles, so no copy is ever made or lost.
void BuildUp(std::vector<Tile>& hand, std::size_t meldCount, int turns, Tile wild,
             std::vector<Tile>& pool, std::size_t next, std::mt19937& random) {
    if (next >= pool.size()) return;
    rules::KindCounts counts{};
    int wilds = 0;
    for (Tile t : hand) t == wild ? ++wilds : ++counts[KindIndex(t)];
    HandDistance distance(counts, wilds, meldCount);
    for (int turn = 0; turn < turns; ++turn) {
        Tile& slot = pool[next + random() % (pool.size() - next)];
        const Tile drawn = slot;
        hand.push_back(drawn);
        drawn == wild ? distance.ChangeWilds(+1) : distance.Add(KindIndex(drawn));
        const int kind = GreedyDiscardKind(distance);
        const Tile thrown = kind < 0 ? wild : rules::TileOfKind(kind);
        hand.erase(std::find(hand.begin(), hand.end(), thrown));
        thrown == wild ? distance.ChangeWilds(-1) : distance.Remove(KindIndex(thrown));
        slot = thrown;
    }
}

struct Seat {
    std::vector<Tile> hand;
    std::vector<Meld> melds;
    HandDistance distance;
    bool noWin = false;
    bool ready = false;
    std::uint8_t bets = 0;
    std::uint8_t indicatorKong = 0;
};

// One sampled deal played to its end: every chair draws, wins when it can and
// otherwise throws the tile that keeps its hand closest to ready; nobody
// claims a chow, pung or kong. Worth the own chair's points.
class Playout {
public:
    Playout(const BotView& view, const SampledDeal& deal) : view_(view), self_(view.self) {
        for (int c = 0; c < rules::kChairCount; ++c) {
            Seat& seat = seats_[c];
            seat.melds = view.tableMelds[c];
            seat.bets = view.bets[c];
            seat.ready = view.declaredReady[c];
            rules::KindCounts counts{};
            int wilds = 0;
            for (Tile t : deal.hands[c]) {
                if (!rules::IsTileCode(t)) continue;
                seat.hand.push_back(t);
                t == view.wild ? ++wilds : ++counts[KindIndex(t)];
            }
            seat.distance = HandDistance(counts, wilds, seat.melds.size());
            for (const Meld& meld : seat.melds)
                if (meld.bytKind == MeldKind::Pung && meld.bytTile == view.indicator &&
                    meld.bytSource == c)
                    seat.indicatorKong = 1;
        }
        seats_[self_].melds = view.melds;
        seats_[self_].noWin = view.noWin;
        wall_ = deal.wall;
    }

    double Play(const Choice& choice, Tile claimable, int discarder) {
        Seat& me = seats_[self_];
        const Tile tile = choice.tile;
        switch (choice.kind) {
            case ChoiceKind::Discard:
                Drop(self_, tile);
                if (tile == view_.wild) me.noWin = true;
                return Run(self_, Step::Discarded, tile);
            case ChoiceKind::OwnKong:
                if (Count(me.hand, tile) >= 4) {
                    Drop(self_, tile, 4);
                    AddMeld(self_,
                            {MeldKind::ConcealedKong, tile, static_cast<std::uint8_t>(self_)});
                } else {
                    Drop(self_, tile);
                    for (Meld& meld : me.melds)
                        if (meld.bytKind == MeldKind::Pung && meld.bytTile == tile)
                            meld.bytKind = MeldKind::ExposedKong;
                }
                return Run(self_, Step::Replacement, 0);
            case ChoiceKind::ThreeIndicators:
                Drop(self_, view_.indicator, 3);
                AddMeld(self_, {MeldKind::Pung, view_.indicator, static_cast<std::uint8_t>(self_)});
                me.indicatorKong = view_.discards[self_].empty() ? 2 : 1;
                if (!me.hand.empty() && WinsOnDraw(self_, me.hand.back()))
                    return Score({static_cast<std::uint8_t>(self_)}, 4, me.hand.back(), false,
                                 false);
                return Run(self_, Step::Discard, 0);
            case ChoiceKind::NoOwnKong:
            case ChoiceKind::KeepIndicators:
                return Run(self_, Step::Discard, 0);
            case ChoiceKind::Pass:
                return Run((discarder + 1) % rules::kChairCount, Step::Draw, 0);
            case ChoiceKind::Chow:
                for (int t = tile; t < tile + 3; ++t)
                    if (t != claimable) Drop(self_, static_cast<Tile>(t));
                AddMeld(self_, {MeldKind::Chow, tile, static_cast<std::uint8_t>(discarder)});
                return Run(self_, Step::Discard, 0);
            case ChoiceKind::Pung:
                Drop(self_, claimable, 2);
                AddMeld(self_, {MeldKind::Pung, claimable, static_cast<std::uint8_t>(discarder)});
                return Run(self_, Step::Discard, 0);
            case ChoiceKind::ExposedKong:
                Drop(self_, claimable, 3);
                AddMeld(self_,
                        {MeldKind::ExposedKong, claimable, static_cast<std::uint8_t>(discarder)});
                return Run(self_, Step::Replacement, 0);
        }
        return 0;
    }

private:
    enum class Step { Draw, Replacement, Discard, Discarded };

    static int Count(const std::vector<Tile>& tiles, Tile tile) {
        return static_cast<int>(std::count(tiles.begin(), tiles.end(), tile));
    }

    void Take(int chair, Tile tile) {
        Seat& seat = seats_[chair];
        seat.hand.push_back(tile);
        tile == view_.wild ? seat.distance.ChangeWilds(+1) : seat.distance.Add(KindIndex(tile));
    }

    void Drop(int chair, Tile tile, int copies = 1) {
        Seat& seat = seats_[chair];
        for (int i = 0; i < copies; ++i) {
            const auto it = std::find(seat.hand.begin(), seat.hand.end(), tile);
            if (it == seat.hand.end()) return;
            seat.hand.erase(it);
            tile == view_.wild ? seat.distance.ChangeWilds(-1)
                               : seat.distance.Remove(KindIndex(tile));
        }
    }

    void AddMeld(int chair, const Meld& meld) {
        Seat& seat = seats_[chair];
        seat.melds.push_back(meld);
        seat.distance.SetMeldCount(seat.melds.size());
    }

    rules::HandView HandOf(int chair) const {
        const Seat& seat = seats_[chair];
        return rules::HandView{seat.hand, seat.melds, view_.wild, seat.noWin};
    }

    bool WinsOnDraw(int chair, Tile tile) const {
        const Seat& seat = seats_[chair];
        return !seat.noWin && seat.distance.Distance() == -1 &&
               rules::CanWinWith(HandOf(chair), tile);
    }

    bool WinsOnDiscard(int chair, Tile tile) const {
        const Seat& seat = seats_[chair];
        if (seat.noWin || (tile == view_.wild && !seat.ready)) return false;
        const int after = tile == view_.wild ? seat.distance.WithOneWild()
                                             : seat.distance.WithOne(KindIndex(tile));
        return after == -1 && rules::CanWinWith(HandOf(chair), tile);
    }

    Tile FastDiscard(int chair) const {
        const Seat& seat = seats_[chair];
        const int kind = GreedyDiscardKind(seat.distance);
        return kind < 0 ? (seat.hand.empty() ? view_.wild : seat.hand.back())
                        : rules::TileOfKind(kind);
    }

    double Run(int chair, Step step, Tile tile) {
        bool afterKong = false;
        for (;;) {
            switch (step) {
                case Step::Draw:
                case Step::Replacement: {
                    if (wall_.empty()) return 0;  // a drawn game
                    const Tile drawn = wall_.back();
                    wall_.pop_back();
                    Take(chair, drawn);
                    if (WinsOnDraw(chair, drawn))
                        return Score({static_cast<std::uint8_t>(chair)}, 4, drawn,
                                     step == Step::Replacement, false);
                    afterKong = step == Step::Replacement;
                    step = Step::Discard;
                    break;
                }
                case Step::Discard:
                    tile = FastDiscard(chair);
                    Drop(chair, tile);
                    if (tile == view_.wild) seats_[chair].noWin = true;
                    step = Step::Discarded;
                    break;
                case Step::Discarded: {
                    std::vector<std::uint8_t> winners;
                    for (int k = 1; k < rules::kChairCount; ++k) {
                        const int other = (chair + k) % rules::kChairCount;
                        if (WinsOnDiscard(other, tile))
                            winners.push_back(static_cast<std::uint8_t>(other));
                    }
                    if (!winners.empty()) return Score(winners, chair, tile, false, afterKong);
                    chair = (chair + 1) % rules::kChairCount;
                    step = Step::Draw;
                    afterKong = false;
                    break;
                }
            }
        }
    }

    double Score(std::vector<std::uint8_t> winners, int discarder, Tile tile, bool onReplacement,
                 bool afterKong) const {
        rules::WinContext context;
        for (int c = 0; c < rules::kChairCount; ++c) {
            const Seat& seat = seats_[c];
            rules::ScoreSeat& score = context.seats[c];
            score.concealed = seat.hand;
            score.melds = seat.melds;
            score.bets = seat.bets;
            score.indicatorKong = seat.indicatorKong;
            for (const Meld& meld : seat.melds) {
                if (meld.bytKind == MeldKind::ConcealedKong && meld.bytTile == view_.wild)
                    score.wildKong = true;
                else if (meld.bytKind == MeldKind::ConcealedKong)
                    ++score.concealedKongs;
                else if (meld.bytKind == MeldKind::ExposedKong)
                    ++score.exposedKongs;
            }
        }
        const bool selfDrawn = discarder >= rules::kChairCount;
        if (selfDrawn) {
            auto& concealed = context.seats[winners.front()].concealed;
            if (const auto it = std::find(concealed.rbegin(), concealed.rend(), tile);
                it != concealed.rend())
                concealed.erase(std::next(it).base());
        }
        context.winners = std::move(winners);
        context.discarder = static_cast<std::uint8_t>(discarder);
        context.dealer = static_cast<std::uint8_t>(view_.dealer);
        context.winningTile = tile;
        context.wild = view_.wild;
        context.onKongReplacement = selfDrawn && onReplacement;
        context.afterKong = !selfDrawn && afterKong;
        return static_cast<double>(rules::PayWin(context).due[self_]);
    }

    const BotView& view_;
    int self_;
    std::array<Seat, rules::kChairCount> seats_;
    std::vector<Tile> wall_;
};

}  // namespace

rules::KindCounts UnseenOf(const BotView& view) {
    const auto mine = rules::CountKinds(view.hand);
    rules::KindCounts unseen{};
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        unseen[kind] = std::clamp(4 - view.seen[kind] - mine[kind] - view.ownMeldTiles[kind], 0, 4);
    return unseen;
}

SampledDeal SampleDeal(const BotView& view, std::mt19937& random) {
    std::vector<Tile> pool;
    const auto unseen = UnseenOf(view);
    for (int kind = 0; kind < rules::kDistinctTiles; ++kind)
        pool.insert(pool.end(), static_cast<std::size_t>(unseen[kind]), rules::TileOfKind(kind));
    Shuffle(pool, random);
    SampledDeal deal;
    std::size_t next = 0;
    for (int c = 0; c < rules::kChairCount; ++c) {
        if (c == view.self) {
            deal.hands[c] = view.hand;
            continue;
        }
        const std::size_t take =
            std::min(static_cast<std::size_t>(ConcealedCount(view, c)), pool.size() - next);
        deal.hands[c].assign(pool.begin() + static_cast<std::ptrdiff_t>(next),
                             pool.begin() + static_cast<std::ptrdiff_t>(next + take));
        next += take;
        const int turns = std::min(kTurnsBuilt, static_cast<int>(view.discards[c].size()));
        BuildUp(deal.hands[c], view.tableMelds[c].size(), turns, view.wild, pool, next, random);
    }
    const std::size_t wall =
        std::min(static_cast<std::size_t>(std::max(0, view.wallLeft)), pool.size() - next);
    deal.wall.assign(pool.begin() + static_cast<std::ptrdiff_t>(next),
                     pool.begin() + static_cast<std::ptrdiff_t>(next + wall));
    return deal;
}

int DealsFor(const SearchBudget& budget, std::size_t choices) {
    const long playouts = static_cast<long>(std::max(0, budget.milliseconds)) * kPlayoutsPerMs;
    const long perChoice = playouts / static_cast<long>(std::max<std::size_t>(choices, 1));
    return static_cast<int>(std::clamp<long>(perChoice, kFewestDeals, 1'000'000));
}

Appraisal Appraise(const BotView& view, Tile claimable, int discarder,
                   std::span<const Choice> choices, const SearchBudget& budget,
                   std::mt19937& random) {
    Appraisal appraisal;
    appraisal.choices.assign(choices.begin(), choices.end());
    const std::size_t n = choices.size();
    appraisal.expected.assign(n, 0.0);
    appraisal.errorAgainstFirst.assign(n, 0.0);
    if (n == 0 || view.self < 0 || view.self >= rules::kChairCount) return appraisal;
    const int deals = DealsFor(budget, n);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(budget.milliseconds);
    std::vector<double> sum(n, 0.0), diff(n, 0.0), diffSquared(n, 0.0), value(n, 0.0);
    int played = 0;
    for (; played < deals; ++played) {
        if (budget.watchClock && played >= kFewestDeals &&
            std::chrono::steady_clock::now() > deadline)
            break;
        const SampledDeal deal = SampleDeal(view, random);
        for (std::size_t i = 0; i < n; ++i) {
            Playout playout(view, deal);
            value[i] = playout.Play(choices[i], claimable, discarder);
            sum[i] += value[i];
            const double d = value[i] - value[0];
            diff[i] += d;
            diffSquared[i] += d * d;
        }
    }
    appraisal.deals = played;
    if (played == 0) return appraisal;
    const double count = played;
    for (std::size_t i = 0; i < n; ++i) {
        appraisal.expected[i] = sum[i] / count;
        const double mean = diff[i] / count;
        const double variance =
            played > 1 ? std::max(0.0, (diffSquared[i] - count * mean * mean) / (count - 1)) : 0;
        appraisal.errorAgainstFirst[i] = std::sqrt(variance / count);
    }
    return appraisal;
}

std::size_t BestChoice(const Appraisal& appraisal) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < appraisal.expected.size(); ++i) {
        const double gain = appraisal.expected[i] - appraisal.expected[0];
        if (gain > kConfidence * appraisal.errorAgainstFirst[i] &&
            appraisal.expected[i] > appraisal.expected[best])
            best = i;
    }
    return best;
}

}  // namespace qira::bots
