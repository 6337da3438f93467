// What a client's request may do at this moment of the table.
#include <algorithm>
#include <sstream>

#include "net/server_messages.h"
#include "rules/win_analysis.h"
#include "server/core/lobby.h"
#include "server/core/table.h"
#include "server/core/text_rules.h"

namespace qira::server {
namespace {

std::string Shown(std::span<const std::uint8_t> bytes) {
    std::ostringstream out;
    const std::size_t shown = std::min<std::size_t>(bytes.size(), 24);
    for (std::size_t i = 0; i < shown; ++i) out << (i ? " " : "") << int(bytes[i]);
    if (bytes.size() > shown) out << " ...";
    return out.str();
}

// A player's move as the log shows it ("discards 27"), or nothing for a
// request that is no move.
std::string DescribeMove(const ParsedRequest& request) {
    using enum net::Request;
    const std::string tile = std::to_string(request.tile);
    switch (request.kind) {
        case Discard:
            return "discards " + tile;
        case Chow:
            return "chows from " + tile;
        case Pung:
            return "pungs " + tile;
        case Kong:
            return "kongs " + tile;
        case Win:
            return "claims a win";
        case Pass:
            return "passes";
        case SideBets:
            return "bets " + std::to_string(request.detail);
        case ReadyForNextHand:
            return "is ready for the next hand";
        case Entry:
        case HandStarted:
        case ConfirmSettings:
        case RaiseHand:
        case Leave:
        case RobKongAnswer:
        case ThreeIndicatorKong:
        case Resynchronise:
        case AllowWatchCards:
        case Chat:
            return {};
    }
    return {};
}

}  // namespace

void Table::LogAbout(User& user, const std::string& text) const {
    if (!user.requests.MayLog(lobby_.scheduler().Now())) return;
    if (const auto held = user.requests.TakeSuppressed())
        Log(std::to_string(held) + " more lines about " + user.name + "'s requests not logged");
    Log(text);
}

void Table::Refuse(User& user, std::span<const std::uint8_t> message, Refusal why) const {
    lobby_.CountRefusal(why);
    LogAbout(user, "refused from " + user.name + " [" + Shown(message) +
                       "]: " + std::string(TextOf(why)));
    if (!user.isBot && user.requests.RefusedOnceTooOften(lobby_.scheduler().Now()))
        lobby_.CloseFlooding(user);
}

void Table::Late(User& user, std::span<const std::uint8_t> message) const {
    LogAbout(user, "late claim from " + user.name + " [" + Shown(message) +
                       "] ignored: its window has closed");
}

void Table::Conclude(User& user, std::span<const std::uint8_t> message, Outcome outcome) const {
    if (const auto* why = std::get_if<Refusal>(&outcome)) Refuse(user, message, *why);
    if (std::holds_alternative<LateClaim>(outcome)) Late(user, message);
}

void Table::OnRequest(User& user, std::span<const std::uint8_t> message) {
    if (message.empty()) return;
    const auto parsed = ParseRequest(message, user.name);
    if (const auto* why = std::get_if<Refusal>(&parsed)) return Refuse(user, message, *why);
    const auto& request = std::get<ParsedRequest>(parsed);
    if (net::RouteOf(message[0]) == net::MessageRoute::Room)
        HandleRoom(user, request, message);
    else
        HandleGame(user, request, message);
}

void Table::HandleRoom(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m) {
    using enum net::Request;
    if (request.kind == HandStarted || request.kind == Entry) return;  // acknowledgements
    if (request.kind == Leave && user.chair >= 0 && HandRunning())
        return LeaveRunningHand(user, true);
    if (request.kind == Leave) return RemoveUser(user, false);
    if (user.chair < 0) return Refuse(user, m, Refusal::OnlookersHaveNoSay);
    if (request.kind == ConfirmSettings)
        return OnSettingsConfirmed(user, std::span(request.fields).subspan(1));
    if (request.kind == RaiseHand) return OnRaiseHand(user);
    Refuse(user, m, Refusal::UnknownRequest);
}

void Table::HandleGame(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m) {
    using enum net::Request;
    if (request.kind == Chat) return RelayChat(user, request, m);
    if (request.kind == AllowWatchCards) return HandlePreference(user, request);
    if (request.kind == Resynchronise) return HandleResync(user, request, m);
    if (user.chair < 0) return Refuse(user, m, Refusal::OnlookersDoNotPlay);
    if (request.chair != user.chair) return Refuse(user, m, Refusal::NotSendersChair);
    // The people's moves, not the computer players': how a hand was played.
    // The line waits for the move's outcome, which a refusal's line already
    // shows, but goes before anything the move itself logs.
    if (const std::string move = DescribeMove(request); !user.isBot && !move.empty())
        pendingMove_ = {&user, user.name + " " + move};
    const Outcome outcome = HandlePlay(user.chair, request);
    if (std::holds_alternative<Refusal>(outcome)) pendingMove_ = {};
    LogPendingMove();
    Conclude(user, m, outcome);
}

void Table::LogPendingMove() const {
    if (!pendingMove_.user) return;
    const PendingMove move = std::exchange(pendingMove_, {});
    LogAbout(*move.user, move.line);
}

void Table::HandlePreference(User& user, const ParsedRequest& request) {
    user.allowWatch = request.fields[1] == "1";
    if (user.chair < 0) return;
    for (const User* onlooker : seating_.WatchersOf(user.name)) {
        SendTo(*onlooker, net::server_messages::WatchPermission(user.allowWatch));
        if (HandRunning())
            SendTo(*onlooker, net::server_messages::HandResync(
                                  hand_.HandAsSeenBy(user.chair, user.allowWatch)));
    }
}

void Table::HandleResync(User& user, const ParsedRequest& request,
                         std::span<const std::uint8_t> m) {
    // An onlooker's client asks for the watched hand like a player's does.
    const int viewed = user.chair >= 0 ? user.chair : seating_.ChairOf(user.watched);
    if (request.chair != viewed || viewed < 0) return Refuse(user, m, Refusal::NotSendersChair);
    if (!HandRunning()) return;
    const bool visible = user.chair >= 0 || seating_.MaySeeHand(user);
    SendTo(user, net::server_messages::HandResync(hand_.HandAsSeenBy(viewed, visible)));
}

Table::Outcome Table::HandlePlay(int chair, const ParsedRequest& request) {
    using enum net::Request;
    switch (request.kind) {
        case ReadyForNextHand:
            if (hand_.stage != Stage::Idle) return Refusal::NoHandToGetReadyFor;
            OnReadyForNext(*seating_.players[chair]);
            return {};
        case SideBets:
            return HandleSideBets(chair, request);
        case Discard:
            return HandleDiscard(chair, request);
        case Chow:
        case Pung:
            return HandleChowOrPung(chair, request);
        case Kong:
            return HandleKong(chair, request);
        case Win:
            return HandleWin(chair);
        case Pass:
            return HandlePass(chair);
        case RobKongAnswer:
            return HandleRobAnswer(chair, request);
        case ThreeIndicatorKong:
            return HandleThreeIndicators(chair);
        // Not a move in the hand: answered before the hand's moves are.
        case Entry:
        case HandStarted:
        case ConfirmSettings:
        case RaiseHand:
        case Leave:
        case Resynchronise:
        case AllowWatchCards:
        case Chat:
            return Refusal::UnknownRequest;
    }
    return Refusal::UnknownRequest;
}

Table::Outcome Table::HandleSideBets(int chair, const ParsedRequest& request) {
    SeatHand& seat = hand_.seats[chair];
    if (hand_.stage != Stage::Bets || seat.bets != net::kBetsNotChosen)
        return Refusal::NotABetChoiceNow;
    seat.bets = request.detail;
    SendAll(net::server_messages::BetChosen(static_cast<std::uint8_t>(chair), seat.bets));
    if (hand_.AllBetsChosen()) Deal();
    return {};
}

Table::Outcome Table::HandleDiscard(int chair, const ParsedRequest& request) {
    const SeatHand& seat = hand_.seats[chair];
    if (hand_.stage != Stage::Turn || hand_.turn != chair) return Refusal::NotThisChairsTurn;
    if (!Holds(seat.hand, request.tile)) return Refusal::TileNotInHand;
    if (seat.ting && request.tile != hand_.fresh && Holds(seat.hand, hand_.fresh))
        return Refusal::ReadyHandDiscardsDrawnTile;
    OnDiscard(chair, request.tile, request.detail);
    return {};
}

Table::Outcome Table::HandleChowOrPung(int chair, const ParsedRequest& request) {
    if (hand_.stage != Stage::Claim) return LateClaim{};
    const ClaimOptions& options = claims_.OptionsOf(chair);
    const bool chow = request.kind == net::Request::Chow;
    if ((chow && options.chows.empty()) || (!chow && !options.pung) || !claims_.Awaits(chair))
        return Refusal::NoSuchClaimNow;
    if (chow) {
        if (std::find(options.chows.begin(), options.chows.end(), request.tile) ==
            options.chows.end())
            return Refusal::NotAChowOfThisDiscard;
        OnClaim(chair, {ClaimKind::Chow, request.tile});
        return {};
    }
    if (request.tile != claims_.tile()) return Refusal::NotTheDiscard;
    OnClaim(chair, {ClaimKind::Pung, request.tile});
    return {};
}

Table::Outcome Table::HandleKong(int chair, const ParsedRequest& request) {
    const auto kind = static_cast<MeldKind>(request.sub);
    const Tile tile = request.tile;
    if (hand_.stage == Stage::Claim) {
        if (kind != MeldKind::ExposedKong || !claims_.OptionsOf(chair).kong ||
            tile != claims_.tile() || !claims_.Awaits(chair))
            return Refusal::NoSuchKongNow;
        OnClaim(chair, {ClaimKind::Kong, tile});
        return {};
    }
    if (kind == MeldKind::ExposedKong && hand_.turn != chair) return LateClaim{};
    if (hand_.stage != Stage::Turn || hand_.turn != chair || hand_.turnKind == TurnKind::Claimed)
        return Refusal::NoKongNow;
    const SeatHand& seat = hand_.seats[chair];
    const bool concealed = kind == MeldKind::ConcealedKong && Holds(seat.hand, tile, 4);
    const bool addsToPung = kind == MeldKind::ExposedKong && Holds(seat.hand, tile) &&
                            tile != hand_.wild && tile != hand_.indicator &&
                            std::any_of(seat.melds.begin(), seat.melds.end(), [&](const Meld& m) {
                                return m.bytKind == MeldKind::Pung && m.bytTile == tile;
                            });
    if (!concealed && !addsToPung) return Refusal::NoSuchKongInHand;
    const rules::HandView view{seat.hand, seat.melds, hand_.wild, seat.noWin};
    if (seat.ting && !rules::KongKeepsReady(view, tile, kind)) return Refusal::KongBreaksReadyHand;
    const auto offered = OwnKongOffer(chair);
    if (!offered || offered->bytTile != tile || offered->bytKind != kind)
        return Refusal::KongNotOffered;
    OnOwnKong(chair, kind, tile);
    return {};
}

Table::Outcome Table::HandleWin(int chair) {
    if (hand_.stage == Stage::Claim) {
        if (!MayClaimWinOn(chair, claims_.tile())) return Refusal::NoWinOnWildDiscard;
        if (!claims_.OptionsOf(chair).win || !claims_.Awaits(chair))
            return Refusal::NoWinOnThisDiscard;
        OnClaim(chair, {ClaimKind::Win, claims_.tile()});
        return {};
    }
    if (hand_.stage == Stage::Turn && hand_.turn == chair && hand_.turnKind != TurnKind::Claimed) {
        if (!CanWinWith(hand_.InfoOf(chair), hand_.fresh)) return Refusal::HandDoesNotWin;
        OnSelfWin(chair);
        return {};
    }
    if (hand_.turn != chair) return LateClaim{};
    return Refusal::NoWinNow;
}

Table::Outcome Table::HandlePass(int chair) {
    // A pass for a window that has closed changes nothing.
    if (claims_.TakeCourtesyPass(chair)) return {};
    if (hand_.stage != Stage::Claim || chair == claims_.discarder() || !claims_.Awaits(chair))
        return {};
    OnClaim(chair, {ClaimKind::Pass, 0});
    return {};
}

Table::Outcome Table::HandleRobAnswer(int chair, const ParsedRequest& request) {
    if (hand_.stage != Stage::RobKong || !rob_.Awaits(chair)) return Refusal::NoKongToRob;
    OnRobAnswer(chair, request.sub == 1);
    return {};
}

Table::Outcome Table::HandleThreeIndicators(int chair) {
    const SeatHand& seat = hand_.seats[chair];
    if (hand_.stage != Stage::Turn || hand_.turn != chair || seat.indicatorKong != 0 ||
        !Holds(seat.hand, hand_.indicator, 3))
        return Refusal::NoThreeIndicators;
    OnThreeIndicators(chair);
    return {};
}

// ---------------------------------------------------------------- chat

std::optional<Refusal> Table::ChatAllowed(User& user, const std::string& text) const {
    const Limits& limits = lobby_.config().limits;
    if (CharacterCount(text) > limits.chatCharacters) return Refusal::ChatTooLong;
    const Milliseconds now = lobby_.scheduler().Now();
    auto& recent = user.recentChat;
    while (!recent.empty() && now - recent.front() >= limits.chatWindow) recent.pop_front();
    if (recent.size() >= limits.chatLines) return Refusal::ChatTooFast;
    recent.push_back(now);
    return std::nullopt;
}

void Table::RelayChat(User& user, const ParsedRequest& request, std::span<const std::uint8_t> m) {
    if (const auto why = ChatAllowed(user, request.fields[9])) return Refuse(user, m, *why);
    auto fields = request.fields;
    for (std::string& field : fields) field = WithoutControlCharacters(std::move(field));
    // The sender shown to others is always the connection's own name.
    fields[2] = user.name;
    // "/道具 ID NAME" in the text uses an item on another user.
    const std::string& line = fields[9];
    const std::string command = "/道具 ";
    if (line.rfind(command, 0) == 0) {
        if (!UseItem(user, line.substr(command.size())))
            Refuse(user, m, Refusal::UnknownItemOrUser);
        return;
    }
    const auto relay = net::server_messages::ChatRelay(net::JoinFields(fields));
    const std::string& target = fields[0];
    bool found = false;
    if (!target.empty() && target != "所有人")
        for (const User* other : seating_.Everyone())
            if (other->name == target) {
                SendTo(*other, relay);
                found = true;
            }
    if (found) {
        if (target != user.name) SendTo(user, relay);
        return;
    }
    SendAll(relay);
    KeepChatLine(std::move(fields));
}

void Table::KeepChatLine(std::vector<std::string> fields) {
    constexpr std::size_t kEarlierChatLines = 20;
    earlierChat_.push_back(std::move(fields));
    if (earlierChat_.size() > kEarlierChatLines) earlierChat_.pop_front();
}

// Lines said to the whole table, marked as earlier ones so that a returning
// player tells them from what is said now. Whispers are never repeated.
void Table::SendEarlierChat(const User& user) const {
    for (std::vector<std::string> fields : earlierChat_) {
        fields[9] = "（之前）" + fields[9];
        SendTo(user, net::server_messages::ChatRelay(net::JoinFields(fields)));
    }
}

bool Table::UseItem(const User& user, const std::string& arguments) {
    std::istringstream words(arguments);
    int id = 0;
    std::string otherName;
    if (!(words >> id >> otherName) || !lobby_.items().Has(id)) return false;
    const auto everyone = seating_.Everyone();
    const auto other = std::find_if(everyone.rbegin(), everyone.rend(),
                                    [&](const User* u) { return u->name == otherName; });
    if (other == everyone.rend()) return false;
    SendAll(net::server_messages::ItemUsed(static_cast<std::uint8_t>(user.stats.id & 0xFF),
                                           static_cast<std::uint8_t>((*other)->stats.id & 0xFF),
                                           id));
    return true;
}

}  // namespace qira::server
