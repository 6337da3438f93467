#include "server/core/bot_client.h"

#include <algorithm>

#include "net/byte_reader.h"
#include "net/game_messages.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "rules/claim_options.h"
#include "server/core/lobby.h"
#include "server/core/win_check.h"

namespace qira::server {

BotClient::BotClient(Lobby& lobby, std::string name, BotStyle style, std::uint32_t seed,
                     Milliseconds think)
    : BotClient(lobby.scheduler(), {}, std::move(name), style, seed, think) {
    sink_ = [this, &lobby](const net::Bytes& request) { lobby.OnMessage(*this, request); };
}

BotClient::BotClient(Scheduler& scheduler, RequestSink sink, std::string name, BotStyle style,
                     std::uint32_t seed, Milliseconds think)
    : scheduler_(scheduler),
      sink_(std::move(sink)),
      name_(std::move(name)),
      brain_(style, seed),
      seed_(seed),
      think_(think),
      thinkRandom_(seed) {}

void BotClient::SetThinkSpread(double spread) {
    thinkSpread_ = std::clamp(spread, 0.0, 1.0);
}

void BotClient::AfterThinking(Scheduler::Task task) {
    if (think_.count() == 0) return scheduler_.Post(std::move(task));
    Milliseconds wait = think_;
    if (thinkSpread_ > 0) {
        const double base = static_cast<double>(think_.count());
        std::uniform_real_distribution<double> factor(1 - thinkSpread_, 1 + thinkSpread_);
        wait = Milliseconds{static_cast<Milliseconds::rep>(base * factor(thinkRandom_))};
    }
    scheduler_.StartTimer(wait, std::move(task));
}

void BotClient::Deliver(const net::Bytes& message) {
    if (gone_ || message.empty()) return;
    // Room messages (users coming and going, chat) leave the hand as it is,
    // so a move planned before them still stands.
    if (net::RouteOf(message[0]) == net::MessageRoute::Room) {
        OnRoom(message);
    } else {
        ++version_;
        OnGame(message);
        // Whatever arrived, the player looks at the table again once things
        // settle; a plan made before a later message is dropped.
        if (handRunning_) ActSoon();
    }
}

void BotClient::Send(net::Bytes request) {
    if (!gone_) sink_(request);
}

void BotClient::SendLater(net::Bytes request) {
    AfterThinking([this, alive = std::weak_ptr<int>(alive_), request = std::move(request)] {
        if (!alive.expired()) Send(request);
    });
}

void BotClient::ActSoon() {
    const std::uint64_t version = version_;
    AfterThinking([this, alive = std::weak_ptr<int>(alive_), version] {
        if (!alive.expired() && version == version_ && !gone_) Act();
    });
}

void BotClient::OnRoom(std::span<const std::uint8_t> m) {
    if (m.size() < 2) return;
    const auto fields = net::SplitFields(net::DecodeBody(m, 2));
    namespace record = net::user_record;
    const auto chairFromRecord = [&](const std::vector<std::string>& user) {
        if (user.size() == record::kFieldCount && user[record::kName] == name_ &&
            user[record::kWatched].empty())
            chair_ = std::atoi(user[record::kChair].c_str()) % rules::kChairCount;
    };
    const auto kind = net::ClassifyServerMessage(m);
    if (!kind) return;
    using enum net::ServerMessage;
    switch (*kind) {
        case Identity:
            if (fields.size() == 2) name_ = fields[0];
            return;
        case UserArrived:
            return chairFromRecord(fields);
        case UserList: {
            const std::string text = net::DecodeBody(m, 2);
            std::size_t begin = 0;
            while (begin <= text.size()) {
                const auto end = std::min(text.find('\n', begin), text.size());
                chairFromRecord(
                    net::SplitFields(std::string_view(text).substr(begin, end - begin)));
                begin = end + 1;
            }
            return;
        }
        case Settings:
            // The owner takes the settings offered; no settings to make: raise
            // a hand; the owner's settings: agree.
            if (fields.size() == 13 && fields[3] != "0" && fields[5] != "0") {
                if (auto confirm =
                        net::requests::ConfirmSettings(name_, std::span(fields).subspan(7)))
                    SendLater(std::move(*confirm));
                return;
            }
            if (fields.size() >= 7 && (fields[5] == "0" || (fields[3] == "0" && fields[6] != "0")))
                if (auto raise = net::requests::RaiseHand(name_)) SendLater(std::move(*raise));
            return;
        case HandRaised:
            if (fields.size() > 1 && fields[0] != name_)
                if (auto agree = net::requests::RaiseHand(name_)) SendLater(std::move(*agree));
            return;
        case Snapshot:
            return LoadSnapshot(m);
        default:
            return;
    }
}

void BotClient::RemoveFromHand(Tile tile, int copies) {
    for (int i = 0; i < copies; ++i) {
        const auto it = std::find(hand_.begin(), hand_.end(), tile);
        if (it != hand_.end()) hand_.erase(it);
    }
}

void BotClient::ForgetWhatChairsShowed() {
    discards_ = {};
    exposedMelds_ = {};
    declaredReady_ = {};
    discardLog_.clear();
}

void BotClient::SeeTile(Tile tile, int copies) {
    if (rules::IsTileCode(tile)) seen_[KindIndex(tile)] += copies;
}

void BotClient::OnGame(std::span<const std::uint8_t> m) {
    const auto kind = net::ClassifyServerMessage(m);
    if (!kind) return;
    using enum net::ServerMessage;
    switch (*kind) {
        case NewHand:
            return OnNewHand(m);
        case BetChosen:
            if (m.size() >= 4 && m[2] == chair_) betChosen_ = true;
            return;
        case Deal:
            return OnDeal(m);
        case Draw:
            return OnDraw(m);
        case Discarded:
            return OnDiscarded(m);
        case Chowed:
        case Punged:
            return OnMeld(m, *kind == Chowed);
        case Konged:
            return OnKong(m);
        case ThreeIndicators:
            return OnThreeIndicators(m);
        case MayRobKong:
            if (m.size() == 3 && m[2] == chair_) {
                turnChair_ = chair_;
                phase_ = net::phase::kRobKong;
            }
            return;
        case HandResync:
            if (m.size() < 3 || m.size() < 3u + m[2]) return;
            hand_.assign(m.begin() + 3, m.begin() + 3 + m[2]);
            return;
        case WinRecord:
        case DrawnGame:
            return OnHandOver();
        default:
            return;
    }
}

void BotClient::OnNewHand(std::span<const std::uint8_t> m) {
    if (m.size() < 28) return;
    handRunning_ = true;
    hand_.clear();
    melds_.clear();
    seen_ = {};
    ForgetWhatChairsShowed();
    wild_ = m[27];
    indicator_ = m[26];
    SeeTile(indicator_);
    dealer_ = m[11];
    noWin_ = ting_ = indicatorsAsked_ = false;
    declinedKongs_.clear();
    // The indicator and the deal (13 tiles a chair and the dealer's 14th) are gone.
    wallLeft_ = rules::kTilesInSet - 1 - (13 * rules::kChairCount + 1);
    betChosen_ = false;
    turnChair_ = m[15];
    phase_ = net::phase::kSideBets;
}

void BotClient::OnDeal(std::span<const std::uint8_t> m) {
    if (m.size() < 4 || m[2] != chair_) return;
    hand_.assign(m.begin() + 4, m.end());
    fresh_ = curTile_ = m[3];
    turnChair_ = dealer_;
    phase_ = net::phase::kDrew;
}

void BotClient::OnDraw(std::span<const std::uint8_t> m) {
    const auto draw = net::DecodeChairTile(m);
    if (!draw) return;
    turnChair_ = draw->chair;
    curTile_ = draw->tile;
    phase_ = net::phase::kDrew;
    --wallLeft_;
    if (draw->chair == chair_) {
        hand_.push_back(draw->tile);
        fresh_ = draw->tile;
    }
}

void BotClient::OnDiscarded(std::span<const std::uint8_t> m) {
    const auto discard = net::DecodeDiscard(m);
    if (!discard) return;
    const int chair = discard->chair;
    const Tile tile = discard->tile;
    if (chair == chair_) {
        RemoveFromHand(tile);
        if (tile == wild_) noWin_ = true;
        if (discard->ting) ting_ = true;
    }
    SeeTile(tile);
    if (chair >= 0 && chair < rules::kChairCount) {
        discards_[chair].push_back(tile);
        discardLog_.emplace_back(chair, tile);
        if (discard->ting) declaredReady_[chair] = true;
    }
    if (discard->nextChair < rules::kChairCount) {
        --wallLeft_;
        turnChair_ = discard->nextChair;
        curTile_ = discard->nextTile;
        phase_ = net::phase::kDrew;
        if (discard->nextChair == chair_) {
            hand_.push_back(discard->nextTile);
            fresh_ = discard->nextTile;
        }
        return;
    }
    turnChair_ = chair;
    curTile_ = tile;
    phase_ = net::phase::kDiscarded;
    ++claimWindow_;
    // Like a human's client, the player answers every claim window exactly
    // once, deciding on what it knows right now.
    if (chair != chair_ && chair_ >= 0) AnswerClaimWindowLater(AnswerToDiscard());
}

// A meld or a discard announced while the player was thinking (another
// claim won) closed the window: as on a person's screen, the claim is no
// longer offered, and the player passes (the server still counts on one
// answer per window).
void BotClient::AnswerClaimWindowLater(net::Bytes answer) {
    AfterThinking([this, alive = std::weak_ptr<int>(alive_), window = claimWindow_,
                   answer = std::move(answer)] {
        if (alive.expired()) return;
        const bool open = window == claimWindow_ && phase_ == net::phase::kDiscarded;
        Send(open ? answer : net::requests::Pass(static_cast<std::uint8_t>(chair_)));
    });
}

void BotClient::OnMeld(std::span<const std::uint8_t> m, bool chow) {
    const auto meld = net::DecodeChairTile(m);
    if (!meld) return;
    const int chair = meld->chair;
    const Tile tile = meld->tile;
    const bool mine = chair == chair_;
    if (chow) {
        for (int t = tile; t < tile + 3; ++t)
            if (t != curTile_)
                mine ? RemoveFromHand(static_cast<Tile>(t)) : SeeTile(static_cast<Tile>(t));
    } else {
        mine ? RemoveFromHand(tile, 2) : SeeTile(tile, 2);
    }
    if (mine)
        melds_.push_back(
            {chow ? MeldKind::Chow : MeldKind::Pung, tile, static_cast<std::uint8_t>(turnChair_)});
    if (chair >= 0 && chair < rules::kChairCount) ++exposedMelds_[chair];
    turnChair_ = chair;
    curTile_ = tile;
    phase_ = chow ? net::phase::kChowed : net::phase::kPunged;
}

void BotClient::OnKong(std::span<const std::uint8_t> m) {
    const auto kong = net::DecodeKong(m);
    if (!kong) return;
    const auto kongKind = static_cast<MeldKind>(kong->kind);
    const Tile tile = kong->tile;
    const bool onDiscard = phase_ == net::phase::kDiscarded;
    --wallLeft_;
    if (kong->chair == chair_) {
        LayOwnKong(kongKind, tile, onDiscard);
        hand_.push_back(kong->replacement);
        fresh_ = kong->replacement;
    } else if (kongKind == MeldKind::ExposedKong) {
        SeeTile(tile, onDiscard ? 3 : 1);
    }
    if (onDiscard && kong->chair < rules::kChairCount) ++exposedMelds_[kong->chair];
    turnChair_ = kong->chair;
    curTile_ = tile;
    phase_ = kong->kind;
}

void BotClient::LayOwnKong(MeldKind kind, Tile tile, bool onDiscard) {
    if (onDiscard) {
        RemoveFromHand(tile, 3);
        melds_.push_back({kind, tile, static_cast<std::uint8_t>(turnChair_)});
    } else if (kind == MeldKind::ConcealedKong) {
        RemoveFromHand(tile, 4);
        melds_.push_back({kind, tile, static_cast<std::uint8_t>(chair_)});
    } else {
        RemoveFromHand(tile, 1);
        for (Meld& meld : melds_)
            if (meld.bytKind == MeldKind::Pung && meld.bytTile == tile)
                meld.bytKind = MeldKind::ExposedKong;
    }
}

void BotClient::OnThreeIndicators(std::span<const std::uint8_t> m) {
    if (m.size() > 1 && m[1] == chair_) {
        RemoveFromHand(indicator_, 3);
        melds_.push_back({MeldKind::Pung, indicator_, static_cast<std::uint8_t>(chair_)});
        indicatorsAsked_ = true;
    } else {
        SeeTile(indicator_, 3);
    }
}

void BotClient::OnHandOver() {
    handRunning_ = false;
    phase_ = net::phase::kIdle;
    if (chair_ >= 0) SendLater(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(chair_)));
}

void BotClient::LoadSnapshot(std::span<const std::uint8_t> m) {
    net::ByteReader r(m, 2);
    const auto running = r.Byte();
    if (!running || *running == 0 || !r.Byte()) {
        handRunning_ = false;
        phase_ = net::phase::kIdle;
        // Between hands at a table that has played: get ready for the next.
        if (chair_ >= 0)
            SendLater(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(chair_)));
        return;
    }
    handRunning_ = true;
    ReadSnapshotTable(r);
    ReadSnapshotSeats(r);
    const int n = r.Byte().value_or(0);
    hand_.clear();
    for (int i = 0; i < n; ++i) hand_.push_back(r.Byte().value_or(0));
    dealer_ = r.Byte().value_or(0);
    r.Byte();
    r.Byte();
    turnChair_ = r.Byte().value_or(0);
    phase_ = r.Byte().value_or(0);
    curTile_ = r.Byte().value_or(0);
    fresh_ = curTile_;
    r.Byte();
    indicator_ = r.Byte().value_or(0);
    wild_ = r.Byte().value_or(0);
    SeeTile(indicator_);
    indicatorsAsked_ = true;
    wallLeft_ = rules::kTilesInSet;  // not in the snapshot: assume tiles are left
    ActSoon();
}

// The melds and discards of every chair: the own melds, and every tile seen.
void BotClient::ReadSnapshotTable(net::ByteReader& r) {
    melds_.clear();
    seen_ = {};
    ForgetWhatChairsShowed();
    for (int c = 0; c < rules::kChairCount; ++c) {
        const int n = r.Byte().value_or(0);
        for (int i = 0; i < n; ++i) {
            const auto kind = static_cast<MeldKind>(r.Byte().value_or(1));
            const Tile tile = r.Byte().value_or(0);
            const auto source = r.Byte().value_or(0);
            if (c == chair_) melds_.push_back({kind, tile, source});
            if (kind != MeldKind::ConcealedKong) ++exposedMelds_[c];
            if (kind == MeldKind::Chow)
                for (int t = tile; t < tile + 3; ++t) SeeTile(static_cast<Tile>(t));
            else
                SeeTile(tile, kind == MeldKind::Pung ? 3 : 4);
        }
    }
    for (int c = 0; c < rules::kChairCount; ++c) {
        const int n = r.Byte().value_or(0);
        for (int i = 0; i < n; ++i) {
            const Tile tile = r.Byte().value_or(0);
            SeeTile(tile);
            discards_[c].push_back(tile);
        }
    }
}

// The wall segments and the own ready, no-win and side-bet flags.
void BotClient::ReadSnapshotSeats(net::ByteReader& r) {
    for (int c = 0; c < rules::kChairCount; ++c) {
        r.Byte();
        r.Byte();
        const auto ting = r.Byte().value_or(0);
        declaredReady_[c] = ting != 0;
        if (c == chair_) ting_ = ting != 0;
    }
    for (int c = 0; c < rules::kChairCount; ++c) {
        const auto noWin = r.Byte().value_or(0);
        if (c == chair_) noWin_ = noWin != 0;
    }
    for (int c = 0; c < rules::kChairCount; ++c) {
        const auto bets = r.Byte().value_or(0);
        if (c == chair_) betChosen_ = bets != net::kBetsNotChosen;
    }
}

BotView BotClient::View() const {
    BotView view;
    view.hand = hand_;
    view.melds = melds_;
    view.wild = wild_;
    view.indicator = indicator_;
    view.noWin = noWin_;
    view.ting = ting_;
    view.freshTile = fresh_;
    view.seen = seen_;
    view.self = chair_;
    view.discards = discards_;
    view.exposedMelds = exposedMelds_;
    view.declaredReady = declaredReady_;
    view.discardLog = discardLog_;
    return view;
}

void BotClient::Act() {
    if (!handRunning_ || chair_ < 0) return;
    const auto me = static_cast<std::uint8_t>(chair_);
    if (phase_ == net::phase::kSideBets) {
        if (betChosen_) return;
        betChosen_ = true;
        // Smart players take a side bet now and then; it raises the stakes both ways.
        const std::uint8_t bets =
            brain_.style() != BotStyle::RandomDiscard && brain_.style() != BotStyle::Beginner
                ? static_cast<std::uint8_t>(seed_++ % 5 == 0 ? 1 : (seed_ % 7 == 0 ? 2 : 0))
                : 0;
        return Send(net::requests::SideBets(me, bets));
    }
    if (phase_ == net::phase::kRobKong && turnChair_ == chair_)
        return Send(net::requests::RobKongAnswer(me, true));
    if (turnChair_ == chair_ && phase_ >= net::phase::kChowed && phase_ <= net::phase::kDrew &&
        hand_.size() % 3 == 2)
        return ActOnOwnTurn();
}

void BotClient::ActOnOwnTurn() {
    const auto me = static_cast<std::uint8_t>(chair_);
    if (!indicatorsAsked_ && std::count(hand_.begin(), hand_.end(), indicator_) >= 3) {
        indicatorsAsked_ = true;
        return Send(net::requests::ThreeIndicatorKong(me));
    }
    if (phase_ >= net::phase::kConcealedKong) {
        const HandInfo info{hand_, melds_, wild_, noWin_};
        if (CanWinWith(info, fresh_)) return Send(net::requests::Win(me));
        // Like a person, the player takes or lets pass the one kong its client offers.
        if (const auto offered = OfferedOwnKong(info, fresh_, declinedKongs_)) {
            if (brain_.ChooseOwnKong(View()) == offered)
                return Send(net::requests::Kong(me, static_cast<std::uint8_t>(offered->bytKind),
                                                offered->bytTile));
            declinedKongs_.push_back(offered->bytTile);
        }
    }
    const Tile tile = brain_.ChooseDiscard(View());
    Send(net::requests::Discard(me, tile, 0, 0));
}

net::Bytes BotClient::AnswerToDiscard() {
    const auto me = static_cast<std::uint8_t>(chair_);
    const Tile tile = curTile_;
    const BotView view = View();
    // Like a person's client: no win on a discarded wild tile unless ready.
    if (!noWin_ && (tile != wild_ || ting_) &&
        CanWinWith(HandInfo{hand_, melds_, wild_, noWin_}, tile))
        return net::requests::Win(me);
    const rules::HandView hand{hand_, melds_, wild_, noWin_};
    if (wallLeft_ > 0 && rules::KongOption(hand, tile, rules::Turn::Other) &&
        std::find(declinedKongs_.begin(), declinedKongs_.end(), tile) == declinedKongs_.end()) {
        if (brain_.WantsExposedKong(view, tile))
            return net::requests::Kong(me, net::phase::kExposedKong, tile);
        declinedKongs_.push_back(tile);
    }
    if (brain_.WantsPung(view, tile)) return net::requests::Pung(me, tile);
    if ((turnChair_ + 1) % 4 == chair_)
        if (const auto chow = brain_.ChooseChow(view, tile)) return net::requests::Chow(me, *chow);
    return net::requests::Pass(me);
}

}  // namespace qira::server
