// The table's clock, and the server's play for chairs whose player is gone
// or too slow.
#include <algorithm>

#include "net/claims.h"
#include "net/server_messages.h"
#include "server/core/lobby.h"
#include "server/core/table.h"

namespace qira::server {

void Table::ArmTimer(Milliseconds delay) {
    CancelTimer();
    timerDeadline_ = lobby_.scheduler().Now() + delay;
    timer_ = lobby_.scheduler().StartTimer(delay, [this] {
        timer_.reset();
        OnTimeout();
    });
}

void Table::CancelTimer() {
    if (timer_) lobby_.scheduler().CancelTimer(*timer_);
    timer_.reset();
}

void Table::OnTimeout() {
    static const char* const kStageNames[] = {"settings", "start",        "side bets", "turn",
                                              "claims",   "rob-the-kong", "storing"};
    Log(std::string("time is up (") + kStageNames[static_cast<int>(hand_.stage)] + ", chair " +
        std::to_string(hand_.turn) + ")");
    lobby_.CountTimeout();
    switch (hand_.stage) {
        case Stage::Setup:
            return TimeOutSettings();
        case Stage::Idle:
            return TimeOutStart();
        case Stage::Bets:
            return TimeOutBets();
        case Stage::Turn:
            CountAutoPlay(hand_.turn);
            if (hand_.stage == Stage::Turn) ActFor(hand_.turn);
            return;
        case Stage::Claim:
            claims_.PassForTheSilent();
            return ResolveClaims();
        case Stage::RobKong:
            rob_.DeclineForTheSilent();
            return FinishRob();
        case Stage::Storing:
            return;
    }
}

// The owner let the clock run out: the offered settings stand.
void Table::TimeOutSettings() {
    if (!seating_.owner || settingsAgreed_) return;
    std::vector<std::string> fields;
    for (int v : settings_) fields.push_back(std::to_string(v));
    OnSettingsConfirmed(*seating_.owner, fields);
}

// Players who did not press start in time leave the table, when a human
// waits for them or they are no longer connected. A human alone with
// computer players is never hurried.
void Table::TimeOutStart() {
    const bool humanWaits = seating_.HumanWaits();
    std::vector<User*> slow;
    for (int c = 0; c < rules::kChairCount; ++c) {
        User* player = seating_.players[c];
        if (player && !seating_.ready[c] && !player->isBot && (humanWaits || !player->peer))
            slow.push_back(player);
    }
    for (User* user : slow) RemoveUser(*user, false);
}

void Table::TimeOutBets() {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (hand_.seats[c].bets == net::kBetsNotChosen) {
            hand_.seats[c].bets = 0;
            SendAll(net::server_messages::BetChosen(static_cast<std::uint8_t>(c), 0));
        }
    Deal();
}

void Table::CountAutoPlay(int chair) {
    User* player = seating_.players[chair];
    if (!player || player->isBot || !player->peer) return;
    if (++hand_.seats[chair].autoPlays < lobby_.config().autoPlayLimit) return;
    User& user = *player;
    SendAll(net::server_messages::MustStop(static_cast<std::uint8_t>(chair),
                                           "超时次数过多，系统判定为逃跑"));
    Log(user.name + " reached the automatic-play limit; counted as escaped");
    // The timer plays this turn itself, right after this call.
    LeaveRunningHand(user, false);
}

void Table::PlayForAbsentSoon(int chair) {
    const std::uint64_t epoch = epoch_;
    lobby_.scheduler().Post([this, alive = std::weak_ptr<int>(alive_), chair, epoch] {
        if (!alive.expired() && epoch == epoch_ && NeedsServerPlay(chair)) ActFor(chair);
    });
}

bool Table::NeedsServerPlay(int chair) const {
    const User* user = seating_.players[chair];
    return user == nullptr || user->peer == nullptr;
}

namespace {

// A claim that lays a meld takes the discard out of the discarder's pile.
bool TakesADiscard(const HandEvent& event) {
    const auto claim = net::ClaimLoggedAs(event.act);
    return event.from && claim && net::RowOf(*claim).meld != 0;
}

}  // namespace

// What the chair's own client knows, from the hand as the server holds it:
// the server plays an absent player's turn from the same view a computer
// player in that chair would have.
bots::SeatKnowledge Table::KnowledgeOf(int chair) const {
    bots::SeatKnowledge seat;
    seat.self = chair;
    seat.running = hand_.Running();
    // The tiles are dealt once every side bet is chosen.
    const bool betting = hand_.stage == Stage::Bets;
    if (!betting) seat.hand = hand_.seats[chair].hand;
    seat.noWin = hand_.seats[chair].noWin;
    for (int c = 0; c < rules::kChairCount; ++c) {
        seat.melds[c] = hand_.seats[c].melds;
        seat.ready[c] = hand_.seats[c].ting;
        seat.bets[c] = hand_.seats[c].bets;
    }
    for (const HandEvent& event : hand_.events) {
        if (event.act == Act::Discard && event.tile)
            seat.discards.push_back({event.chair, *event.tile});
        else if (TakesADiscard(event) && !seat.discards.empty())
            seat.discards.back().claimedBy = event.chair;
    }
    seat.wild = hand_.wild;
    seat.indicator = hand_.indicator;
    seat.fresh = hand_.fresh;
    seat.turn = hand_.turn;
    seat.phase = betting ? net::phase::kSideBets : hand_.phase;
    seat.current = hand_.curTile;
    seat.dealer = hand_.dealer;
    seat.wallLeft = hand_.wall.Remaining();
    return seat;
}

BotView Table::ViewOf(int chair) const {
    return bots::ViewOf(KnowledgeOf(chair));
}

void Table::ActFor(int chair) {
    // Every play draws the seed of its discard choice, whatever it plays, so
    // that a seed replays the same hands.
    const auto brainSeed = static_cast<std::uint32_t>(lobby_.random()());
    switch (hand_.stage) {
        case Stage::Bets:
            return ChooseNoBetsFor(chair);
        case Stage::Turn:
            return PlayTurnFor(chair, brainSeed);
        case Stage::Claim:
            if (!claims_.Awaits(chair)) return;
            if (claims_.OptionsOf(chair).win && NeedsServerPlay(chair))
                return OnClaim(chair, {ClaimKind::Win, claims_.tile()});
            return OnClaim(chair, {ClaimKind::Pass, 0});
        case Stage::RobKong:
            if (rob_.Awaits(chair)) OnRobAnswer(chair, NeedsServerPlay(chair));
            return;
        default:
            return;
    }
}

void Table::ChooseNoBetsFor(int chair) {
    if (hand_.seats[chair].bets != net::kBetsNotChosen) return;
    hand_.seats[chair].bets = 0;
    SendAll(net::server_messages::BetChosen(static_cast<std::uint8_t>(chair), 0));
    if (hand_.AllBetsChosen()) Deal();
}

void Table::PlayTurnFor(int chair, std::uint32_t brainSeed) {
    if (hand_.turn != chair) return;
    const SeatHand& seat = hand_.seats[chair];
    if (hand_.turnKind != TurnKind::Claimed && CanWinWith(hand_.InfoOf(chair), hand_.fresh))
        return OnSelfWin(chair);
    BotBrain brain(lobby_.config().botStyle, brainSeed);
    brain.set_budget(lobby_.config().botBudgetMs, lobby_.config().botWatchClock);
    Tile tile = brain.ChooseDiscard(ViewOf(chair));
    if (seat.ting && Holds(seat.hand, hand_.fresh)) tile = hand_.fresh;
    OnDiscard(chair, tile, 0);
}

}  // namespace qira::server
