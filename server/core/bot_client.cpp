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
        if (message.size() >= 2) net::DispatchServerMessage(*this, message);
    } else {
        ++version_;
        knowledge_.self = chair_;
        bots::Learn(knowledge_, message);
        net::DispatchServerMessage(*this, message);
        // Whatever arrived, the player looks at the table again once things
        // settle; a plan made before a later message is dropped.
        if (knowledge_.running) ActSoon();
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

namespace {

std::vector<std::string> RoomFields(std::span<const std::uint8_t> m) {
    return net::SplitFields(net::DecodeBody(m, 2));
}

}  // namespace

void BotClient::TakeChairFromRecord(std::span<const std::string> user) {
    namespace record = net::user_record;
    if (user.size() == record::kFieldCount && user[record::kName] == name_ &&
        user[record::kWatched].empty())
        chair_ = std::atoi(user[record::kChair].c_str()) % rules::kChairCount;
}

void BotClient::ReceiveIdentity(Message m) {
    const auto fields = RoomFields(m);
    if (fields.size() == 2) name_ = fields[0];
}

void BotClient::ReceiveUserArrived(Message m) {
    TakeChairFromRecord(RoomFields(m));
}

void BotClient::ReceiveUserList(Message m) {
    const std::string text = net::DecodeBody(m, 2);
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const auto end = std::min(text.find('\n', begin), text.size());
        TakeChairFromRecord(net::SplitFields(std::string_view(text).substr(begin, end - begin)));
        begin = end + 1;
    }
}

// The owner takes the settings offered; no settings to make: raise a hand;
// the owner's settings: agree.
void BotClient::ReceiveSettings(Message m) {
    const auto fields = RoomFields(m);
    if (fields.size() == 13 && fields[3] != "0" && fields[5] != "0") {
        if (auto confirm = net::requests::ConfirmSettings(name_, std::span(fields).subspan(7)))
            SendLater(std::move(*confirm));
        return;
    }
    if (fields.size() >= 7 && (fields[5] == "0" || (fields[3] == "0" && fields[6] != "0")))
        if (auto raise = net::requests::RaiseHand(name_)) SendLater(std::move(*raise));
}

void BotClient::ReceiveHandRaised(Message m) {
    const auto fields = RoomFields(m);
    if (fields.size() > 1 && fields[0] != name_)
        if (auto agree = net::requests::RaiseHand(name_)) SendLater(std::move(*agree));
}

void BotClient::ReceiveNewHand(Message m) {
    if (m.size() < 28) return;
    betChosen_ = indicatorsAsked_ = false;
    declinedKongs_.clear();
}

void BotClient::ReceiveBetChosen(Message m) {
    if (const auto bet = net::DecodeSideBetsOrDeal(m); bet && bet->chair == chair_)
        betChosen_ = true;
}

void BotClient::ReceiveThreeIndicators(Message m) {
    const auto indicators = net::DecodeThreeIndicators(m);
    if (indicators && indicators->chair == chair_) indicatorsAsked_ = true;
}

void BotClient::ReceiveWinRecord(Message) {
    OnHandOver();
}

void BotClient::ReceiveDrawnGame(Message) {
    OnHandOver();
}

void BotClient::ReceiveDiscarded(Message m) {
    const auto discard = net::DecodeDiscard(m);
    if (!discard || discard->nextChair < rules::kChairCount) return;
    ++claimWindow_;
    // Like a human's client, the player answers every claim window exactly
    // once, deciding on what it knows right now.
    if (discard->chair != chair_ && chair_ >= 0) AnswerClaimWindowLater(AnswerToDiscard());
}

// A meld or a discard announced while the player was thinking (another
// claim won) closed the window: as on a person's screen, the claim is no
// longer offered, and the player passes (the server still counts on one
// answer per window).
void BotClient::AnswerClaimWindowLater(net::Bytes answer) {
    AfterThinking([this, alive = std::weak_ptr<int>(alive_), window = claimWindow_,
                   answer = std::move(answer)] {
        if (alive.expired()) return;
        const bool open = window == claimWindow_ && knowledge_.phase == net::phase::kDiscarded;
        Send(open ? answer : net::requests::Pass(static_cast<std::uint8_t>(chair_)));
    });
}

void BotClient::OnHandOver() {
    if (chair_ >= 0) SendLater(net::requests::ReadyForNextHand(static_cast<std::uint8_t>(chair_)));
}

void BotClient::ReceiveSnapshot(Message m) {
    knowledge_.self = chair_;
    bots::Learn(knowledge_, m);
    if (!knowledge_.running) {
        // Between hands at a table that has played: get ready for the next.
        return OnHandOver();
    }
    if (chair_ >= 0) betChosen_ = knowledge_.bets[chair_] != net::kBetsNotChosen;
    indicatorsAsked_ = true;
    ActSoon();
}

HandInfo BotClient::OwnHand() const {
    return HandInfo{knowledge_.hand, knowledge_.OwnMelds(), knowledge_.wild, knowledge_.noWin};
}

void BotClient::Act() {
    if (!knowledge_.running || chair_ < 0) return;
    const auto me = static_cast<std::uint8_t>(chair_);
    const int turn = knowledge_.turn;
    const std::uint8_t phase = knowledge_.phase;
    if (phase == net::phase::kSideBets) {
        if (betChosen_) return;
        betChosen_ = true;
        // Smart players take a side bet now and then; it raises the stakes both ways.
        const std::uint8_t bets =
            brain_.style() != BotStyle::RandomDiscard && brain_.style() != BotStyle::Beginner
                ? static_cast<std::uint8_t>(seed_++ % 5 == 0 ? 1 : (seed_ % 7 == 0 ? 2 : 0))
                : 0;
        return Send(net::requests::SideBets(me, bets));
    }
    if (phase == net::phase::kRobKong && turn == chair_)
        return Send(net::requests::RobKongAnswer(me, true));
    if (turn == chair_ && phase >= net::phase::kChowed && phase <= net::phase::kDrew &&
        knowledge_.hand.size() % 3 == 2)
        return ActOnOwnTurn();
}

void BotClient::ActOnOwnTurn() {
    const auto me = static_cast<std::uint8_t>(chair_);
    const auto& hand = knowledge_.hand;
    if (!indicatorsAsked_ && std::count(hand.begin(), hand.end(), knowledge_.indicator) >= 3) {
        indicatorsAsked_ = true;
        if (brain_.WantsThreeIndicators(View())) return Send(net::requests::ThreeIndicatorKong(me));
    }
    if (knowledge_.phase >= net::phase::kConcealedKong) {
        const HandInfo info = OwnHand();
        if (CanWinWith(info, knowledge_.fresh)) return Send(net::requests::Win(me));
        // Like a person, the player takes or lets pass the one kong its client offers.
        if (const auto offered = OfferedOwnKong(info, knowledge_.fresh, declinedKongs_)) {
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
    const Tile tile = knowledge_.current;
    const BotView view = View();
    const bool ready = chair_ >= 0 && knowledge_.ready[chair_];
    // Like a person's client: no win on a discarded wild tile unless ready.
    if (!knowledge_.noWin && (tile != knowledge_.wild || ready) && CanWinWith(OwnHand(), tile))
        return net::requests::Win(me);
    const rules::HandView hand{knowledge_.hand, knowledge_.OwnMelds(), knowledge_.wild,
                               knowledge_.noWin};
    const bool mayKong =
        knowledge_.wallLeft > 0 && rules::KongOption(hand, tile, rules::Turn::Other) &&
        std::find(declinedKongs_.begin(), declinedKongs_.end(), tile) == declinedKongs_.end();
    if (brain_.style() == BotStyle::Searcher) return AnswerBySampling(view, tile, mayKong);
    if (mayKong) {
        if (brain_.WantsExposedKong(view, tile))
            return net::requests::Kong(me, net::phase::kExposedKong, tile);
        declinedKongs_.push_back(tile);
    }
    if (brain_.WantsPung(view, tile)) return net::requests::Pung(me, tile);
    if ((knowledge_.turn + 1) % 4 == chair_)
        if (const auto chow = brain_.ChooseChow(view, tile)) return net::requests::Chow(me, *chow);
    return net::requests::Pass(me);
}

net::Bytes BotClient::AnswerBySampling(const BotView& view, Tile tile, bool mayKong) {
    const auto me = static_cast<std::uint8_t>(chair_);
    const auto claim = brain_.ChooseClaim(view, tile, knowledge_.turn, mayKong);
    if (mayKong && !(claim && claim->kind == rules::MeldKind::ExposedKong))
        declinedKongs_.push_back(tile);
    if (!claim) return net::requests::Pass(me);
    switch (claim->kind) {
        case rules::MeldKind::ExposedKong:
            return net::requests::Kong(me, net::phase::kExposedKong, tile);
        case rules::MeldKind::Pung:
            return net::requests::Pung(me, tile);
        default:
            return net::requests::Chow(me, claim->tile);
    }
}

}  // namespace qira::server
