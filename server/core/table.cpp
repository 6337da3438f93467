#include <algorithm>
#include <sstream>

#include "net/byte_reader.h"
#include "net/server_messages.h"
#include "rules/claim_options.h"
#include "server/core/room.h"
#include "server/core/scoring.h"
#include "server/core/win_check.h"

namespace qira::server {
namespace {

std::string Percent(std::int64_t part, std::int64_t whole) {
    return whole <= 0 ? "0" : std::to_string(part * 100 / whole);
}

void RemoveOne(std::vector<Tile>& tiles, Tile tile) {
    const auto it = std::find(tiles.begin(), tiles.end(), tile);
    if (it != tiles.end()) tiles.erase(it);
}

bool Holds(const std::vector<Tile>& tiles, Tile tile, int copies = 1) {
    return std::count(tiles.begin(), tiles.end(), tile) >= copies;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::ostringstream out;
    const std::size_t shown = std::min<std::size_t>(bytes.size(), 24);
    for (std::size_t i = 0; i < shown; ++i) out << (i ? " " : "") << int(bytes[i]);
    if (bytes.size() > shown) out << " ...";
    return out.str();
}

}  // namespace

Table::Table(Lobby& lobby, int number) : lobby_(lobby), number_(number) {
    settings_ = lobby.config().defaultSettings;
    const int first = lobby.config().firstDealer;
    dealer_ =
        static_cast<std::uint8_t>(first >= 0 ? first % 4 : static_cast<int>(lobby.random()() % 4));
}

Table::~Table() {
    CancelTimer();
    if (botFillTimer_) lobby_.scheduler().CancelTimer(*botFillTimer_);
}

int Table::FreeChair() const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (!seats_[c].user) return c;
    return -1;
}

bool Table::HasHuman() const {
    return std::any_of(seats_.begin(), seats_.end(),
                       [](const Seat& s) { return s.user && !s.user->isBot; });
}

// ---------------------------------------------------------------- sending

void Table::SendTo(const User& user, const net::Bytes& message) const {
    if (user.peer) user.peer->Deliver(message);
}

void Table::SendAll(const net::Bytes& message) const {
    for (const Seat& seat : seats_)
        if (seat.user) SendTo(*seat.user, message);
    for (const User* onlooker : onlookers_) SendTo(*onlooker, message);
}

void Table::SendAllExcept(const User& except, const net::Bytes& message) const {
    for (const Seat& seat : seats_)
        if (seat.user && seat.user != &except) SendTo(*seat.user, message);
    for (const User* onlooker : onlookers_)
        if (onlooker != &except) SendTo(*onlooker, message);
}

bool Table::MaySeeHand(const User& onlooker) const {
    const int chair = ChairOf(onlooker.watched);
    return chair >= 0 && seats_[chair].user->allowWatch;
}

void Table::SendPrivate(int chair, const net::Bytes& real, const net::Bytes& hidden) const {
    for (int c = 0; c < rules::kChairCount; ++c) {
        if (!seats_[c].user) continue;
        if (c == chair)
            SendTo(*seats_[c].user, real);
        else if (!hidden.empty())
            SendTo(*seats_[c].user, hidden);
    }
    for (const User* onlooker : onlookers_) {
        const bool watching = ChairOf(onlooker->watched) == chair;
        if (watching && MaySeeHand(*onlooker))
            SendTo(*onlooker, real);
        else if (!hidden.empty())
            SendTo(*onlooker, hidden);
    }
}

int Table::ChairOf(const std::string& name) const {
    for (int c = 0; c < rules::kChairCount; ++c)
        if (seats_[c].user && seats_[c].user->name == name) return c;
    return -1;
}

std::vector<Tile> Table::HandAsSeenBy(int chair, bool visible) const {
    if (visible) return seats_[chair].hand;
    return std::vector<Tile>(seats_[chair].hand.size(), rules::kFaceDownTile);
}

void Table::ResyncHiddenOnlookers(int chair) const {
    for (const User* onlooker : onlookers_)
        if (ChairOf(onlooker->watched) == chair && !MaySeeHand(*onlooker))
            SendTo(*onlooker, net::server_messages::HandResync(HandAsSeenBy(chair, false)));
}

std::string Table::RecordOf(const User& user) const {
    const UserStats& s = user.stats;
    const std::int64_t score =
        lobby_.config().scoreMode == ScoreMode::Points ? s.points : s.experience;
    int chair = user.chair;
    if (chair < 0) chair = std::max(0, ChairOf(user.watched));
    const bool ready = user.chair >= 0 && seats_[user.chair].ready;
    const bool dropped = user.chair >= 0 && user.peer == nullptr;
    return net::JoinFields({user.name, std::to_string(s.id), std::to_string(score),
                            std::to_string(score), user.watched, std::to_string(s.hands),
                            Percent(s.wins, s.hands), Percent(s.escapes, s.hands),
                            std::to_string(s.wins), std::to_string(s.losses),
                            std::to_string(s.draws), "0", std::to_string(user.portrait),
                            std::to_string(chair), ready ? "1" : "0", dropped ? "1" : "0"});
}

// ---------------------------------------------------------------- joining

void Table::SendWelcome(User& user) {
    const std::string view = user.chair >= 0 ? user.name : user.watched;
    SendTo(user, net::server_messages::Identity(user.name, view));
    std::vector<std::string> records;
    for (const Seat& seat : seats_)
        if (seat.user) records.push_back(RecordOf(*seat.user));
    for (const User* onlooker : onlookers_) records.push_back(RecordOf(*onlooker));
    SendTo(user, net::server_messages::UserList(records));
    SendSettingsOffer(user);
    if (handsPlayed_ > 0 || HandRunning()) {
        const int viewed = user.chair >= 0 ? user.chair : ChairOf(user.watched);
        const bool visible = user.chair >= 0 || MaySeeHand(user);
        SendTo(user, net::server_messages::Snapshot(BuildSnapshot(std::max(0, viewed), visible)));
    }
    SendTo(user, net::server_messages::ItemCatalogue(lobby_.items().catalogue));
    SendTo(user, net::server_messages::OwnItems(lobby_.items().ownItems));
}

void Table::SendSettingsOffer(User& user) {
    net::server_messages::SettingsOffer offer;
    offer.table = number_;
    offer.chair = std::max(0, user.chair);
    offer.ownerName = owner_ ? owner_->name : "";
    offer.seated = static_cast<int>(
        std::count_if(seats_.begin(), seats_.end(), [](const Seat& s) { return s.user; }));
    for (int i = 0; i < 6; ++i) offer.settings[i] = std::to_string(settings_[i]);
    const bool beforeFirstHand = handsPlayed_ == 0 && !HandRunning();
    offer.settingsToMake = beforeFirstHand && owner_ != nullptr && user.chair >= 0;
    offer.youAreOwner = offer.settingsToMake && &user == owner_ && !settingsAgreed_;
    offer.readyForApproval = offer.settingsToMake && settingsAgreed_ && &user != owner_;
    if (offer.settingsToMake && &user == owner_ && settingsAgreed_) offer.settingsToMake = false;
    SendTo(user, net::server_messages::Settings(offer));
}

void Table::SeatPlayer(User& user, int chair) {
    user.table = this;
    user.chair = chair;
    user.watched.clear();
    // A player who takes over a chair during a hand takes over its tiles.
    if (!HandRunning()) seats_[chair] = Seat{};
    seats_[chair].user = &user;
    if (!owner_ && !user.isBot && handsPlayed_ == 0) owner_ = &user;
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " sits in chair " +
                      std::to_string(chair) + (user.isBot ? " (computer)" : ""));
    SendAllExcept(user, net::server_messages::UserArrived(RecordOf(user)));
    SendWelcome(user);
    if (!user.isBot)
        SendTo(user, net::server_messages::ChatLine("欢迎来到第 " + std::to_string(number_) +
                                                    " 桌，祝你玩得开心！"));
    if (owner_ == &user && !settingsAgreed_) {
        ArmTimer(lobby_.config().settingsTimeout);
    }
    if (!user.isBot && FreeChair() >= 0) ArmBotFill();
    if (FreeChair() < 0) MaybeStartHand();
}

void Table::AddOnlooker(User& user) {
    user.table = this;
    user.chair = -1;
    onlookers_.push_back(&user);
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " watches " +
                      user.watched);
    SendAllExcept(user, net::server_messages::OnlookerArrived(RecordOf(user)));
    SendWelcome(user);
}

void Table::OnConnectionLost(User& user) {
    user.peer = nullptr;
    if (user.chair < 0 || !HandRunning()) {
        RemoveUser(user, false);
        return;
    }
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name +
                      " dropped; playing for the chair");
    SendAll(net::server_messages::PlayerDropped(user.name));
    PlayForAbsentSoon(user.chair);
}

void Table::OnReconnected(User& user) {
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " is back");
    SendAllExcept(user, net::server_messages::PlayerBack(user.name));
    SendWelcome(user);
}

void Table::RemoveUser(User& user, bool escaped) {
    (void)escaped;
    if (user.chair < 0) {
        std::erase(onlookers_, &user);
        SendAll(net::server_messages::OnlookerLeft(user.name));
        lobby_.log().Line("table " + std::to_string(number_) + ": onlooker " + user.name + " left");
        lobby_.ForgetUser(user);
        return;
    }
    const int chair = user.chair;
    // Onlookers of a leaving player leave with the player.
    std::vector<User*> watchers;
    for (User* o : onlookers_)
        if (o->watched == user.name) watchers.push_back(o);
    for (User* o : watchers) {
        if (o->peer) o->peer->Disconnect();
        RemoveUser(*o, false);
    }
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " left chair " +
                      std::to_string(chair));
    SendAllExcept(user, net::server_messages::UserLeft(user.name));
    if (user.peer && !user.isBot) user.peer->Disconnect();
    const bool running = HandRunning();
    Seat kept = seats_[chair];
    seats_[chair] = Seat{};
    if (running) {
        // The hand goes on: the chair's tiles stay and a computer player
        // takes them over.
        kept.user = nullptr;
        seats_[chair] = kept;
    }
    if (owner_ == &user) {
        owner_ = nullptr;
        ChooseOwner();
    }
    const std::string name = user.name;
    lobby_.ForgetUser(user);
    if (running) {
        ReplaceWithBot(chair);
        if (seats_[chair].user)
            SendAll(net::server_messages::ChatLine(seats_[chair].user->name + " 接替 " + name +
                                                   " 继续本局"));
    } else if (!HasHuman()) {
        lobby_.CloseTableIfEmpty(*this);
    } else {
        ArmBotFill();
        ReleaseHeldReadiness();
    }
}

void Table::ChooseOwner() {
    if (handsPlayed_ > 0 || HandRunning()) return;
    for (Seat& seat : seats_)
        if (seat.user && !seat.user->isBot) {
            owner_ = seat.user;
            if (!settingsAgreed_) {
                SendSettingsOffer(*owner_);
                ArmTimer(lobby_.config().settingsTimeout);
            }
            return;
        }
}

void Table::ArmBotFill() {
    if (botFillTimer_ || FreeChair() < 0) return;
    botFillTimer_ = lobby_.scheduler().StartTimer(lobby_.config().botWait, [this] {
        botFillTimer_.reset();
        FillWithBots();
    });
}

void Table::FillWithBots() {
    for (int chair = FreeChair(); chair >= 0; chair = FreeChair())
        lobby_.AddBot(*this, chair, lobby_.config().botStyle);
}

void Table::ReplaceWithBot(int chair) {
    lobby_.AddBot(*this, chair, lobby_.config().botStyle);
}

// ---------------------------------------------------------------- requests

void Table::Refuse(const User& user, std::span<const std::uint8_t> message,
                   const std::string& why) const {
    lobby_.CountRefusal();
    lobby_.log().Line("table " + std::to_string(number_) + ": refused from " + user.name + " [" +
                      Hex(message) + "]: " + why);
}

void Table::Late(const User& user, std::span<const std::uint8_t> message) const {
    lobby_.log().Line("table " + std::to_string(number_) + ": late claim from " + user.name + " [" +
                      Hex(message) + "] ignored: its window has closed");
}

void Table::OnRequest(User& user, std::span<const std::uint8_t> message) {
    if (message.empty()) return;
    if (net::RouteOf(message[0]) == net::MessageRoute::Room)
        HandleRoom(user, message);
    else
        HandleGame(user, message);
}

void Table::HandleRoom(User& user, std::span<const std::uint8_t> message) {
    if (message.size() < 2) return Refuse(user, message, "too short");
    const auto request = net::ClassifyRequest(message);
    const auto fields = net::SplitFields(net::DecodeBody(message, 2));
    if (request == net::Request::HandStarted || request == net::Request::Entry)
        return;  // hand-start acknowledgement, repeated entry
    if (request == net::Request::Leave) {
        if (fields.empty() || fields[0] != user.name)
            return Refuse(user, message, "not the sender's name");
        return RemoveUser(user, HandRunning());
    }
    if (user.chair < 0) return Refuse(user, message, "onlookers have no say");
    if (request == net::Request::ConfirmSettings) {
        if (fields.size() != 7 || fields[0] != user.name)
            return Refuse(user, message, "malformed settings");
        return OnSettingsConfirmed(user, std::span(fields).subspan(1));
    }
    if (request == net::Request::RaiseHand) {
        if (fields.empty() || fields[0] != user.name)
            return Refuse(user, message, "not the sender's name");
        return OnRaiseHand(user);
    }
    Refuse(user, message, "unknown request");
}

namespace {

// Where a game request names its chair, and the fewest bytes it may have.
struct RequestLayout {
    std::size_t chairAt = 2;
    std::size_t minimum = 3;
};

std::optional<RequestLayout> LayoutOf(net::Request request) {
    using enum net::Request;
    switch (request) {
        case ReadyForNextHand:
        case Win:
        case ThreeIndicatorKong:
            return RequestLayout{1, 2};
        case Discard:
            return RequestLayout{2, 8};
        case Chow:
        case Pung:
        case Kong:
        case SideBets:
            return RequestLayout{2, 4};
        case Pass:
        case RobKongAnswer:
        case Resynchronise:
            return RequestLayout{2, 3};
        default:
            return std::nullopt;
    }
}

}  // namespace

namespace {
// A player's move as the log shows it ("discards 27"), or nothing for a
// request that is no move. The tile is the byte after the chair.
std::string DescribeMove(net::Request request, std::span<const std::uint8_t> message) {
    using enum net::Request;
    const auto tile = [&] { return message.size() > 3 ? std::to_string(message[3]) : "?"; };
    switch (request) {
        case Discard:
            return "discards " + tile();
        case Chow:
            return "chows from " + tile();
        case Pung:
            return "pungs " + tile();
        case Kong:
            return "kongs " + tile();
        case Win:
            return "claims a win";
        case Pass:
            return "passes";
        case SideBets:
            return "bets " + tile();
        case ReadyForNextHand:
            return "is ready for the next hand";
        default:
            return {};
    }
}
}  // namespace

void Table::HandleGame(User& user, std::span<const std::uint8_t> message) {
    const auto request = net::ClassifyRequest(message);
    if (request == net::Request::Chat) return RelayChat(user, message);
    if (request == net::Request::AllowWatchCards) {
        const auto fields = net::SplitFields(net::DecodeBody(message, 2));
        if (message.size() < 2 || message[1] != net::IdOf(*request).sub || fields.size() != 2 ||
            fields[0] != user.name || (fields[1] != "0" && fields[1] != "1"))
            return Refuse(user, message, "malformed preference");
        user.allowWatch = fields[1] == "1";
        if (user.chair < 0) return;
        for (const User* o : onlookers_)
            if (o->watched == user.name) {
                SendTo(*o, net::server_messages::WatchPermission(user.allowWatch));
                if (HandRunning())
                    SendTo(*o, net::server_messages::HandResync(
                                   HandAsSeenBy(user.chair, user.allowWatch)));
            }
        return;
    }
    const auto layout = request ? LayoutOf(*request) : std::nullopt;
    if (!layout) return Refuse(user, message, "unknown request");
    const std::size_t chairAt = layout->chairAt;
    const std::size_t minimum = layout->minimum;
    if (message.size() < minimum) return Refuse(user, message, "too short");
    const int chair = message[chairAt];
    if (request == net::Request::Resynchronise) {
        // An onlooker's client asks for the watched hand like a player's does.
        const int viewed = user.chair >= 0 ? user.chair : ChairOf(user.watched);
        if (chair != viewed || viewed < 0) return Refuse(user, message, "not the sender's chair");
        if (!HandRunning()) return;
        const bool visible = user.chair >= 0 || MaySeeHand(user);
        return SendTo(user, net::server_messages::HandResync(HandAsSeenBy(viewed, visible)));
    }
    if (user.chair < 0) return Refuse(user, message, "onlookers do not play");
    if (chair != user.chair) return Refuse(user, message, "not the sender's chair");
    // The people's moves, not the computer players': how a hand was played.
    if (const std::string move = DescribeMove(*request, message); !user.isBot && !move.empty())
        lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " " + move);
    Seat& seat = seats_[chair];
    using enum net::Request;
    switch (*request) {
        case ReadyForNextHand:
            if (stage_ != Stage::Idle) return Refuse(user, message, "no hand to get ready for");
            return OnReadyForNext(user);
        case SideBets:
            if (stage_ != Stage::Bets || message[1] != net::IdOf(SideBets).sub ||
                seat.bets != net::kBetsNotChosen || message[3] > 3)
                return Refuse(user, message, "not a side-bet choice now");
            seat.bets = message[3];
            SendAll(net::server_messages::BetChosen(static_cast<std::uint8_t>(chair), seat.bets));
            if (std::all_of(seats_.begin(), seats_.end(),
                            [](const Seat& s) { return s.bets != net::kBetsNotChosen; }))
                Deal();
            return;
        case Discard:
            if (stage_ != Stage::Turn || turn_ != chair)
                return Refuse(user, message, "not this chair's turn");
            if (!Holds(seat.hand, message[3])) return Refuse(user, message, "tile not in hand");
            if (seat.ting && message[3] != fresh_ && Holds(seat.hand, fresh_))
                return Refuse(user, message, "a ready hand discards the drawn tile");
            return OnDiscard(chair, message[3], message[4]);
        case Chow:
        case Pung:
            if (stage_ != Stage::Claim) return Late(user, message);
            if ((options_[chair].chows.empty() && *request == Chow) ||
                (!options_[chair].pung && *request == Pung) ||
                claims_[chair].type != ClaimType::None)
                return Refuse(user, message, "no such claim now");
            if (*request == Chow) {
                const auto& chows = options_[chair].chows;
                if (std::find(chows.begin(), chows.end(), message[3]) == chows.end())
                    return Refuse(user, message, "not a chow of this discard");
                return OnClaim(chair, {ClaimType::Chow, message[3]});
            }
            if (message[3] != discard_) return Refuse(user, message, "not the discard");
            return OnClaim(chair, {ClaimType::Pung, message[3]});
        case Kong: {
            const auto kind = static_cast<MeldKind>(message[1]);
            if (stage_ == Stage::Claim) {
                if (kind != MeldKind::ExposedKong || !options_[chair].kong ||
                    message[3] != discard_ || claims_[chair].type != ClaimType::None)
                    return Refuse(user, message, "no such kong now");
                return OnClaim(chair, {ClaimType::Kong, discard_});
            }
            if (kind == MeldKind::ExposedKong && stage_ != Stage::Claim && turn_ != chair)
                return Late(user, message);
            if (stage_ != Stage::Turn || turn_ != chair || turnKind_ == TurnKind::Claimed)
                return Refuse(user, message, "no kong now");
            if (kind == MeldKind::ConcealedKong && Holds(seat.hand, message[3], 4))
                return OnOwnKong(chair, kind, message[3]);
            if (kind == MeldKind::ExposedKong && Holds(seat.hand, message[3]) &&
                message[3] != wild_ &&
                std::any_of(seat.melds.begin(), seat.melds.end(), [&](const Meld& m) {
                    return m.bytKind == MeldKind::Pung && m.bytTile == message[3] &&
                           message[3] != indicator_;
                }))
                return OnOwnKong(chair, kind, message[3]);
            return Refuse(user, message, "no such kong in hand");
        }
        case Win:
            if (stage_ == Stage::Claim) {
                if (!options_[chair].win || claims_[chair].type != ClaimType::None)
                    return Refuse(user, message, "no win on this discard");
                return OnClaim(chair, {ClaimType::Win, discard_});
            }
            if (stage_ == Stage::Turn && turn_ == chair && turnKind_ != TurnKind::Claimed)
                return OnSelfWin(chair);
            if (stage_ != Stage::Claim && turn_ != chair) return Late(user, message);
            return Refuse(user, message, "no win now");
        case Pass:
            // A client that has nothing to claim passes at once, one pass per
            // claim window; such a pass may arrive after its window closed,
            // even during the next one, and must not count there.
            if (courtesyPasses_[chair] > 0) {
                --courtesyPasses_[chair];
                return;
            }
            if (stage_ != Stage::Claim || chair == discarder_ || !options_[chair].Any() ||
                claims_[chair].type != ClaimType::None)
                return;  // a pass for a window that has closed changes nothing
            return OnClaim(chair, {ClaimType::Pass, 0});
        case RobKongAnswer:
            if (stage_ != Stage::RobKong || !robPending_[chair] || robAnswer_[chair] >= 0)
                return Refuse(user, message, "no kong to rob");
            return OnRobAnswer(chair, message[1] == 1);
        case ThreeIndicatorKong:
            if (stage_ != Stage::Turn || turn_ != chair || seat.indicatorKong != 0 ||
                !Holds(seat.hand, indicator_, 3))
                return Refuse(user, message, "no three indicators");
            return OnThreeIndicators(chair);
        default:
            return;  // no layout, refused above
    }
}

void Table::RelayChat(User& user, std::span<const std::uint8_t> message) {
    auto fields = net::SplitFields(net::DecodeBody(message, 1));
    if (fields.size() < net::kChatFieldCount) return Refuse(user, message, "chat needs ten fields");
    // The sender shown to others is always the connection's own name.
    fields[2] = user.name;
    const std::string text = net::JoinFields(fields);
    const std::string& target = fields[0];
    // "/道具 ID NAME" in the text uses an item on another user.
    const std::string& line = fields[9];
    const std::string command = "/道具 ";
    if (line.rfind(command, 0) == 0) {
        std::istringstream words(line.substr(command.size()));
        int id = 0;
        std::string otherName;
        if (words >> id >> otherName && lobby_.items().Has(id)) {
            const User* other = nullptr;
            for (const Seat& s : seats_)
                if (s.user && s.user->name == otherName) other = s.user;
            for (const User* o : onlookers_)
                if (o->name == otherName) other = o;
            if (other) {
                SendAll(net::server_messages::ItemUsed(
                    static_cast<std::uint8_t>(user.stats.id & 0xFF),
                    static_cast<std::uint8_t>(other->stats.id & 0xFF), id));
                return;
            }
        }
        return Refuse(user, message, "unknown item or user");
    }
    const auto relay = net::server_messages::ChatRelay(text);
    if (target.empty() || target == "所有人") return SendAll(relay);
    bool found = false;
    auto sendIf = [&](const User* u) {
        if (u && u->name == target) {
            SendTo(*u, relay);
            found = true;
        }
    };
    for (const Seat& s : seats_) sendIf(s.user);
    for (const User* o : onlookers_) sendIf(o);
    if (found && target != user.name) SendTo(user, relay);
    if (!found) SendAll(relay);
}

// ---------------------------------------------------------------- settings, readiness

void Table::OnSettingsConfirmed(User& user, std::span<const std::string> fields) {
    if (&user != owner_ || settingsAgreed_ || handsPlayed_ > 0)
        return Refuse(user, {}, "settings from someone who is not the owner");
    const auto number = [](const std::string& s) -> std::optional<int> {
        if (s.empty() || s.size() > 7 ||
            !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return std::stoi(s);
    };
    const auto stake = number(fields[0]);
    const auto penalty = number(fields[3]);
    const auto& limits = lobby_.config().defaultSettings;
    if (!stake || !penalty || *stake > limits[1] || *stake < limits[2] || *penalty > limits[4] ||
        *penalty < limits[5]) {
        Refuse(user, {}, "settings outside the limits");
        return SendSettingsOffer(user);
    }
    settings_[0] = *stake;
    settings_[3] = *penalty;
    settingsAgreed_ = true;
    seats_[user.chair].ready = true;
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " set stake " +
                      std::to_string(*stake) + ", escape penalty " + std::to_string(*penalty));
    CancelTimer();
    std::vector<std::string> settingsText;
    for (int v : settings_) settingsText.push_back(std::to_string(v));
    SendAll(net::server_messages::HandRaised(user.name, settingsText, false));
    ReleaseHeldReadiness();
    MaybeStartHand();
}

void Table::OnRaiseHand(User& user) {
    if (handsPlayed_ > 0 || HandRunning()) return Refuse(user, {}, "hands have started; use 18");
    if (owner_ && !settingsAgreed_) return Refuse(user, {}, "the owner has not set the table yet");
    Seat& seat = seats_[user.chair];
    if (seat.ready || HoldUntilHumansReady(user)) return;
    seat.ready = true;
    if (AllReady() && FreeChair() < 0) {
        SendAll(net::server_messages::HandRaised(user.name, {}, true));
        return MaybeStartHand();
    }
    SendAll(net::server_messages::HandRaised(user.name, {}, false));
    if (!user.isBot) ReleaseHeldReadiness();
}

void Table::OnReadyForNext(User& user) {
    Seat& seat = seats_[user.chair];
    if (seat.ready || HoldUntilHumansReady(user)) return;
    seat.ready = true;
    SendAll(net::server_messages::ReadyForNext(static_cast<std::uint8_t>(user.chair)));
    if (user.isBot) return MaybeStartHand();
    // The clock for those still to press start runs again whenever a human
    // waits for them.
    if (!timer_ && handsPlayed_ > 0) ArmTimer(lobby_.config().startTimeout);
    ReleaseHeldReadiness();
    MaybeStartHand();
}

bool Table::AllReady() const {
    return std::all_of(seats_.begin(), seats_.end(),
                       [](const Seat& s) { return s.user && s.ready; });
}

// At a table with humans the computer players get ready only once every
// human is, so that a human's start clock (which runs as soon as another
// chair is ready) only runs while another human waits for him. Tables of
// computer players alone never wait.
bool Table::HumansReady() const {
    return std::all_of(seats_.begin(), seats_.end(),
                       [](const Seat& s) { return !s.user || s.user->isBot || s.ready; });
}

bool Table::HoldUntilHumansReady(const User& user) {
    if (!user.isBot || HumansReady()) return false;
    seats_[user.chair].readyHeld = true;
    return true;
}

void Table::ReleaseHeldReadiness() {
    if (!HumansReady()) return;
    for (Seat& seat : seats_) {
        if (!seat.readyHeld || !seat.user) continue;
        seat.readyHeld = false;
        if (handsPlayed_ == 0)
            OnRaiseHand(*seat.user);
        else
            OnReadyForNext(*seat.user);
    }
}

void Table::MaybeStartHand() {
    if (HandRunning() || !AllReady()) return;
    if (handsPlayed_ == 0 && owner_ && !settingsAgreed_) return;
    const std::uint64_t epoch = ++epoch_;
    lobby_.scheduler().Post([this, alive = std::weak_ptr<int>(alive_), epoch] {
        if (!alive.expired() && epoch == epoch_ && !HandRunning() && AllReady()) StartHand();
    });
}

// ---------------------------------------------------------------- a hand

void Table::StartHand() {
    CancelTimer();
    ++epoch_;
    auto& random = lobby_.random();
    for (Seat& seat : seats_) {
        User* user = seat.user;
        seat = Seat{};
        seat.user = user;
    }
    dice_ = static_cast<std::uint8_t>(random() % 6 + 1);
    const auto head = static_cast<std::uint8_t>((dealer_ + dice_ - 1) % 4);
    wall_.Build(random, head, lobby_.config().stackedWall);
    indicator_ = *wall_.DrawBack();
    wild_ = WildAfterIndicator(indicator_);
    for (int round = 0; round < 13; ++round)
        for (int i = 0; i < rules::kChairCount; ++i)
            seats_[(dealer_ + i) % 4].hand.push_back(*wall_.DrawFront());
    fresh_ = *wall_.DrawFront();
    seats_[dealer_].hand.push_back(fresh_);
    discardCount_ = 0;
    discardAfterKong_ = false;
    courtesyPasses_ = {};
    stage_ = Stage::Bets;

    net::server_messages::HandStart start;
    start.autoPlayLimit = lobby_.config().autoPlayLimit;
    start.dealer = dealer_;
    start.dice = dice_;
    start.headWallChair = wall_.HeadChair();
    start.tailWallChair = wall_.TailChair();
    start.wallBytes = wall_.SegmentBytes();
    // The client adds one to the tail of the tail chair's segment.
    start.wallBytes[start.tailWallChair * 2 + 1] =
        static_cast<std::uint8_t>(start.wallBytes[start.tailWallChair * 2 + 1] - 1);
    start.indicator = indicator_;
    start.wild = wild_;
    std::string names;
    for (const Seat& s : seats_) names += " " + s.user->name;
    lobby_.log().Line("table " + std::to_string(number_) + ": hand " +
                      std::to_string(handsPlayed_ + 1) + " starts, dealer " +
                      std::to_string(dealer_) + ", players" + names);
    SendAll(net::server_messages::NewHand(start));
    lobby_.FoldIntoDigest(net::server_messages::NewHand(start));
    ArmTimer(lobby_.config().betTimeout);
    for (int c = 0; c < rules::kChairCount; ++c)
        if (NeedsServerPlay(c)) PlayForAbsentSoon(c);
}

void Table::Deal() {
    CancelTimer();
    for (int c = 0; c < rules::kChairCount; ++c) {
        const Seat& seat = seats_[c];
        const Tile cur = c == dealer_ ? fresh_ : rules::kFaceDownTile;
        std::vector<Tile> dealt = seat.hand;
        std::sort(dealt.begin(), dealt.end() - (c == dealer_ ? 1 : 0));
        const auto real = net::server_messages::Deal(static_cast<std::uint8_t>(c), cur, dealt);
        const auto hidden =
            net::server_messages::Deal(static_cast<std::uint8_t>(c), rules::kFaceDownTile,
                                       std::vector<Tile>(dealt.size(), rules::kFaceDownTile));
        SendTo(*seat.user, real);
        for (const User* o : onlookers_)
            if (ChairOf(o->watched) == c) SendTo(*o, MaySeeHand(*o) ? real : hidden);
    }
    BeginTurn(dealer_, TurnKind::Draw, net::phase::kDrew, fresh_, fresh_);
}

bool Table::NeedsServerPlay(int chair) const {
    const User* user = seats_[chair].user;
    return user == nullptr || user->peer == nullptr;
}

void Table::BeginTurn(int chair, TurnKind kind, std::uint8_t phase, Tile curTile, Tile fresh) {
    stage_ = Stage::Turn;
    turn_ = chair;
    turnKind_ = kind;
    phase_ = phase;
    curTile_ = curTile;
    fresh_ = fresh;
    ++epoch_;
    ArmTimer(lobby_.config().turnTimeout);
    if (NeedsServerPlay(chair)) PlayForAbsentSoon(chair);
}

void Table::DrawFor(int chair) {
    const auto tile = wall_.DrawFront();
    if (!tile) return EndDrawn();
    Seat& seat = seats_[chair];
    seat.hand.push_back(*tile);
    seat.discardWinBarred = false;
    SendPrivate(chair, net::server_messages::Draw(static_cast<std::uint8_t>(chair), *tile),
                net::server_messages::Draw(static_cast<std::uint8_t>(chair), rules::kFaceDownTile));
    BeginTurn(chair, TurnKind::Draw, net::phase::kDrew, *tile, *tile);
}

Table::ClaimOptions Table::OptionsFor(int chair, Tile tile) const {
    ClaimOptions options;
    const Seat& seat = seats_[chair];
    if (!seat.noWin && !seat.discardWinBarred)
        options.win = CanWinWith(HandInfo{seat.hand, seat.melds, wild_, seat.noWin}, tile);
    const rules::HandView view{seat.hand, seat.melds, wild_, seat.noWin};
    options.kong = rules::KongOption(view, tile, rules::Turn::Other) && wall_.Remaining() > 0;
    if (seat.ting) return options;
    options.pung = rules::PungOption(view, tile).has_value();
    if (chair == (discarder_ + 1) % rules::kChairCount)
        rules::ChowOptions(view, tile, options.chows);
    return options;
}

void Table::OnDiscard(int chair, Tile tile, std::uint8_t tingDeclaration) {
    CancelTimer();
    Seat& seat = seats_[chair];
    RemoveOne(seat.hand, tile);
    seat.hasDiscarded = true;
    if (tile == wild_) seat.noWin = true;
    std::uint8_t ting = 0;
    if (tingDeclaration != 0 && !seat.ting &&
        FirstWinningTile(HandInfo{seat.hand, seat.melds, wild_, seat.noWin})) {
        seat.ting = true;
        ting = 1;
    }
    ++discardCount_;
    discardAfterKong_ = turnKind_ == TurnKind::Replacement;
    discarder_ = chair;
    discard_ = tile;
    bool anyClaim = false;
    for (int c = 0; c < rules::kChairCount; ++c) {
        options_[c] = c == chair ? ClaimOptions{} : OptionsFor(c, tile);
        claims_[c] = Claim{};
        anyClaim = anyClaim || options_[c].Any();
    }
    const auto c8 = static_cast<std::uint8_t>(chair);
    if (!anyClaim && wall_.Remaining() > 0) {
        // Nobody can claim: the discard goes to the pile and the next chair
        // draws in the same message.
        const int next = (chair + 1) % 4;
        seat.discards.push_back(tile);
        const Tile drawn = *wall_.DrawFront();
        seats_[next].hand.push_back(drawn);
        seats_[next].discardWinBarred = false;
        const auto n8 = static_cast<std::uint8_t>(next);
        SendPrivate(next, net::server_messages::Discarded(c8, tile, ting, n8, drawn),
                    net::server_messages::Discarded(c8, tile, ting, n8, rules::kFaceDownTile));
        ResyncHiddenOnlookers(chair);
        return BeginTurn(next, TurnKind::Draw, net::phase::kDrew, drawn, drawn);
    }
    for (int c = 0; c < rules::kChairCount; ++c)
        if (c != chair && !options_[c].Any()) ++courtesyPasses_[c];
    SendAll(net::server_messages::Discarded(c8, tile, ting, net::kWireNoChair, 0));
    ResyncHiddenOnlookers(chair);
    if (!anyClaim) {
        seat.discards.push_back(tile);
        return EndDrawn();
    }
    stage_ = Stage::Claim;
    turn_ = chair;
    phase_ = net::phase::kDiscarded;
    curTile_ = tile;
    ++epoch_;
    ArmTimer(lobby_.config().claimTimeout);
    for (int c = 0; c < rules::kChairCount; ++c)
        if (options_[c].Any() && NeedsServerPlay(c)) PlayForAbsentSoon(c);
}

void Table::OnClaim(int chair, Claim claim) {
    claims_[chair] = claim;
    TryResolveClaims(false);
}

namespace {
// A win beats a kong or a pung, which beat a chow; passes and silence count 0.
int PriorityOf(Table::ClaimType type) {
    using enum Table::ClaimType;
    switch (type) {
        case Win:
            return 3;
        case Kong:
        case Pung:
            return 2;
        case Chow:
            return 1;
        default:
            return 0;
    }
}
}  // namespace

void Table::TryResolveClaims(bool timedOut) {
    int best = 0;
    for (const Claim& c : claims_) best = std::max(best, PriorityOf(c.type));
    if (!timedOut) {
        for (int c = 0; c < rules::kChairCount; ++c) {
            if (!options_[c].Any() || claims_[c].type != ClaimType::None) continue;
            const ClaimOptions& o = options_[c];
            const int possible = o.win ? 3 : (o.kong || o.pung) ? 2 : !o.chows.empty() ? 1 : 0;
            if (possible >= best && possible > 0) return;  // still waiting for a claim that may win
        }
    }
    CancelTimer();
    for (int c = 0; c < rules::kChairCount; ++c)
        if (options_[c].win && claims_[c].type != ClaimType::Win) seats_[c].discardWinBarred = true;
    std::vector<std::uint8_t> winners;
    for (int i = 1; i < rules::kChairCount; ++i) {
        const int c = (discarder_ + i) % 4;
        if (claims_[c].type == ClaimType::Win) winners.push_back(static_cast<std::uint8_t>(c));
    }
    if (!winners.empty()) return EndWithWin(winners, discarder_, discard_);
    for (int c = 0; c < rules::kChairCount; ++c) {
        if (claims_[c].type == ClaimType::Kong)
            return DoKong(c, MeldKind::ExposedKong, discard_, discarder_);
        if (claims_[c].type == ClaimType::Pung) return DoPung(c);
    }
    for (int c = 0; c < rules::kChairCount; ++c)
        if (claims_[c].type == ClaimType::Chow) return DoChow(c, claims_[c].tile);
    seats_[discarder_].discards.push_back(discard_);
    DrawFor((discarder_ + 1) % 4);
}

void Table::DoChow(int chair, Tile lowest) {
    Seat& seat = seats_[chair];
    for (int t = lowest; t < lowest + 3; ++t)
        if (t != discard_) RemoveOne(seat.hand, static_cast<Tile>(t));
    seat.melds.push_back({MeldKind::Chow, lowest, static_cast<std::uint8_t>(discarder_)});
    SendAll(net::server_messages::Chowed(static_cast<std::uint8_t>(chair), lowest));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Claimed, net::phase::kChowed, lowest, 0);
}

void Table::DoPung(int chair) {
    Seat& seat = seats_[chair];
    RemoveOne(seat.hand, discard_);
    RemoveOne(seat.hand, discard_);
    seat.melds.push_back({MeldKind::Pung, discard_, static_cast<std::uint8_t>(discarder_)});
    SendAll(net::server_messages::Punged(static_cast<std::uint8_t>(chair), discard_));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Claimed, net::phase::kPunged, discard_, 0);
}

void Table::DoKong(int chair, MeldKind kind, Tile tile, int source) {
    Seat& seat = seats_[chair];
    const bool upgrade = kind == MeldKind::ExposedKong && stage_ != Stage::Claim;
    seat.hand.erase(std::remove(seat.hand.begin(), seat.hand.end(), tile), seat.hand.end());
    if (upgrade) {
        for (Meld& m : seat.melds)
            if (m.bytKind == MeldKind::Pung && m.bytTile == tile) m.bytKind = MeldKind::ExposedKong;
    } else {
        seat.melds.push_back({kind, tile, static_cast<std::uint8_t>(source)});
    }
    if (kind == MeldKind::ConcealedKong && tile == wild_)
        seat.wildKong = true;
    else if (kind == MeldKind::ConcealedKong)
        ++seat.concealedKongs;
    else
        ++seat.exposedKongs;
    const auto replacement = wall_.DrawBack();
    const auto c8 = static_cast<std::uint8_t>(chair);
    const auto kindByte = static_cast<std::uint8_t>(kind);
    const Tile shown = kind == MeldKind::ConcealedKong ? rules::kFaceDownTile : tile;
    if (!replacement) {
        SendAll(net::server_messages::Konged(kindByte, c8, shown, rules::kFaceDownTile));
        return EndDrawn();
    }
    seat.hand.push_back(*replacement);
    seat.discardWinBarred = false;
    SendPrivate(chair, net::server_messages::Konged(kindByte, c8, tile, *replacement),
                net::server_messages::Konged(kindByte, c8, shown, rules::kFaceDownTile));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Replacement, kindByte, tile, *replacement);
}

void Table::OnOwnKong(int chair, MeldKind kind, Tile tile) {
    CancelTimer();
    if (wall_.Remaining() <= 0) return EndDrawn();
    if (kind == MeldKind::ExposedKong) {
        // Another player who would win with the fourth tile may rob the kong.
        bool anyRobber = false;
        for (int c = 0; c < rules::kChairCount; ++c) {
            const Seat& s = seats_[c];
            robPending_[c] = c != chair && !s.noWin && !s.discardWinBarred &&
                             CanWinWith(HandInfo{s.hand, s.melds, wild_, s.noWin}, tile);
            robAnswer_[c] = -1;
            anyRobber = anyRobber || robPending_[c];
        }
        if (anyRobber) {
            stage_ = Stage::RobKong;
            robTile_ = tile;
            discarder_ = chair;
            ++epoch_;
            for (int c = 0; c < rules::kChairCount; ++c)
                if (robPending_[c]) {
                    SendPrivate(c, net::server_messages::MayRobKong(static_cast<std::uint8_t>(c)),
                                {});
                    if (NeedsServerPlay(c)) PlayForAbsentSoon(c);
                }
            return ArmTimer(lobby_.config().claimTimeout);
        }
    }
    DoKong(chair, kind, tile, chair);
}

void Table::OnRobAnswer(int chair, bool rob) {
    robAnswer_[chair] = rob ? 1 : 0;
    for (int c = 0; c < rules::kChairCount; ++c)
        if (robPending_[c] && robAnswer_[c] < 0) return;
    FinishRob();
}

void Table::FinishRob() {
    CancelTimer();
    std::vector<std::uint8_t> winners;
    for (int i = 1; i < rules::kChairCount; ++i) {
        const int c = (discarder_ + i) % 4;
        if (robPending_[c] && robAnswer_[c] == 1) winners.push_back(static_cast<std::uint8_t>(c));
        if (robPending_[c] && robAnswer_[c] != 1) seats_[c].discardWinBarred = true;
    }
    if (!winners.empty()) {
        RemoveOne(seats_[discarder_].hand, robTile_);
        discardAfterKong_ = true;
        return EndWithWin(winners, discarder_, robTile_);
    }
    stage_ = Stage::Turn;
    DoKong(discarder_, MeldKind::ExposedKong, robTile_, discarder_);
}

void Table::OnThreeIndicators(int chair) {
    Seat& seat = seats_[chair];
    for (int i = 0; i < 3; ++i) RemoveOne(seat.hand, indicator_);
    seat.melds.push_back({MeldKind::Pung, indicator_, static_cast<std::uint8_t>(chair)});
    seat.indicatorKong = seat.hasDiscarded ? 1 : 2;
    SendAll(net::server_messages::ThreeIndicators(static_cast<std::uint8_t>(chair)));
    ResyncHiddenOnlookers(chair);
    ++epoch_;
    ArmTimer(lobby_.config().turnTimeout);
    if (NeedsServerPlay(chair)) PlayForAbsentSoon(chair);
}

void Table::OnSelfWin(int chair) {
    const Seat& seat = seats_[chair];
    if (!CanWinWith(HandInfo{seat.hand, seat.melds, wild_, seat.noWin}, fresh_))
        return Refuse(*seat.user, {}, "the hand does not win");
    RemoveOne(seats_[chair].hand, fresh_);
    EndWithWin({static_cast<std::uint8_t>(chair)}, 4, fresh_);
}

void Table::EndWithWin(std::vector<std::uint8_t> winners, int discarder, Tile tile) {
    CancelTimer();
    WinContext context;
    for (int c = 0; c < rules::kChairCount; ++c) {
        const Seat& s = seats_[c];
        ScoreSeat& score = context.seats[c];
        score.concealed = s.hand;
        score.melds = s.melds;
        score.bets = s.bets == net::kBetsNotChosen ? 0 : s.bets;
        score.indicatorKong = s.indicatorKong;
        score.wildKong = s.wildKong;
        score.concealedKongs = s.concealedKongs;
        score.exposedKongs = s.exposedKongs;
        context.balance[c] = s.user ? s.user->stats.points : 0;
    }
    context.winners = winners;
    context.discarder = static_cast<std::uint8_t>(discarder);
    context.dealer = dealer_;
    context.winningTile = tile;
    context.wild = wild_;
    context.onKongReplacement = discarder >= 4 && turnKind_ == TurnKind::Replacement;
    context.afterKong = discarder < 4 && discardAfterKong_;
    context.base = settings_[0];
    context.capAtBalance = lobby_.config().scoreMode == ScoreMode::Points;
    const WinOutcome outcome = ScoreWin(context);
    SendAll(outcome.record);
    lobby_.FoldIntoDigest(outcome.record);
    std::vector<std::string> names;
    for (auto w : winners) names.push_back(seats_[w].user ? seats_[w].user->name : "?");
    lobby_.CountHand(names, discarder >= 4);
    std::string text;
    for (const auto& n : names) text += " " + n;
    lobby_.log().Line("table " + std::to_string(number_) + ": hand ends, won by" + text +
                      (discarder >= 4 ? " (self-drawn)" : " on a discard"));
    lastWinnerDealer_ = winners.front();
    ReportHand(winners, discarder, outcome.due);
    FinishHand(winners, outcome.actual);
}

void Table::EndDrawn() {
    CancelTimer();
    SendAll(net::server_messages::DrawnGame());
    lobby_.FoldIntoDigest(net::server_messages::DrawnGame());
    lobby_.CountHand({}, false);
    lobby_.log().Line("table " + std::to_string(number_) + ": hand ends drawn");
    ReportHand({}, -1, {});
    FinishHand({}, {});
}

void Table::ReportHand(const std::vector<std::uint8_t>& winners, int discarder,
                       const std::array<std::int32_t, 4>& due) const {
    Lobby::HandSummary summary;
    for (int c = 0; c < rules::kChairCount; ++c) summary.players[c] = seats_[c].user;
    summary.winners = winners;
    summary.discarder = discarder < rules::kChairCount ? discarder : -1;
    summary.due = due;
    lobby_.ReportHand(summary);
}

void Table::FinishHand(const std::vector<std::uint8_t>& winners,
                       const std::array<std::int32_t, 4>& actual) {
    ++handsPlayed_;
    ++epoch_;
    stage_ = Stage::Idle;
    const bool dealerWon = std::find(winners.begin(), winners.end(), dealer_) != winners.end();
    if (!winners.empty() && !dealerWon) dealer_ = static_cast<std::uint8_t>((dealer_ + 1) % 4);

    std::vector<StatsChange> changes;
    std::vector<User*> escaped;
    for (int c = 0; c < rules::kChairCount; ++c) {
        Seat& seat = seats_[c];
        seat.ready = false;
        if (!seat.user) continue;
        StatsChange change;
        change.name = seat.user->name;
        const bool won = std::find(winners.begin(), winners.end(), c) != winners.end();
        change.result = winners.empty() ? HandResult::Draw
                        : won           ? HandResult::Win
                                        : HandResult::Loss;
        change.points = actual[c];
        change.experience = won ? 3 : 1;
        if (!seat.user->peer) {
            change.escaped = true;
            change.points -= settings_[3];
            escaped.push_back(seat.user);
        }
        changes.push_back(change);
    }
    try {
        const auto after = lobby_.stats().Record(changes);
        for (Seat& seat : seats_)
            if (seat.user)
                if (const auto it = after.find(seat.user->name); it != after.end())
                    seat.user->stats = it->second;
    } catch (const std::exception& error) {
        lobby_.log().Line(std::string("statistics not saved: ") + error.what());
    }
    for (const Seat& seat : seats_)
        if (seat.user) SendAll(net::server_messages::RefreshUser(RecordOf(*seat.user)));
    for (User* user : escaped) {
        lobby_.log().Line("table " + std::to_string(number_) + ": " + user->name +
                          " counted as escaped");
        RemoveUser(*user, true);
    }
    if (!HasHuman() && !keepWithoutHumans_) return lobby_.CloseTableIfEmpty(*this);
    ArmTimer(lobby_.config().startTimeout);
}

// ---------------------------------------------------------------- clocks

void Table::ArmTimer(Milliseconds delay) {
    CancelTimer();
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
    static const char* const kStageNames[] = {"settings", "start",  "side bets",
                                              "turn",     "claims", "rob-the-kong"};
    lobby_.log().Line("table " + std::to_string(number_) + ": time is up (" +
                      kStageNames[static_cast<int>(stage_)] + ", chair " + std::to_string(turn_) +
                      ")");
    lobby_.CountTimeout();
    switch (stage_) {
        case Stage::Setup:
            if (owner_ && !settingsAgreed_) {
                // The owner let the clock run out: the offered settings stand.
                std::vector<std::string> fields;
                for (int v : settings_) fields.push_back(std::to_string(v));
                OnSettingsConfirmed(*owner_, fields);
            }
            return;
        case Stage::Idle: {
            // Players who did not press start in time leave the table, when
            // a human waits for them or they are no longer connected. A human
            // alone with computer players is never hurried.
            const bool humanWaits = std::any_of(seats_.begin(), seats_.end(), [](const Seat& s) {
                return s.user && !s.user->isBot && s.ready;
            });
            std::vector<User*> slow;
            for (const Seat& s : seats_)
                if (s.user && !s.ready && !s.user->isBot && (humanWaits || !s.user->peer))
                    slow.push_back(s.user);
            for (User* u : slow) RemoveUser(*u, false);
            return;
        }
        case Stage::Bets:
            for (int c = 0; c < rules::kChairCount; ++c)
                if (seats_[c].bets == 4) {
                    seats_[c].bets = 0;
                    SendAll(net::server_messages::BetChosen(static_cast<std::uint8_t>(c), 0));
                }
            return Deal();
        case Stage::Turn:
            CountAutoPlay(turn_);
            if (stage_ == Stage::Turn) ActFor(turn_);
            return;
        case Stage::Claim:
            for (int c = 0; c < rules::kChairCount; ++c)
                if (options_[c].Any() && claims_[c].type == ClaimType::None)
                    claims_[c] = {ClaimType::Pass, 0};
            return TryResolveClaims(true);
        case Stage::RobKong:
            for (int c = 0; c < rules::kChairCount; ++c)
                if (robPending_[c] && robAnswer_[c] < 0) robAnswer_[c] = 0;
            return FinishRob();
    }
}

void Table::CountAutoPlay(int chair) {
    Seat& seat = seats_[chair];
    if (!seat.user || seat.user->isBot || !seat.user->peer) return;
    if (++seat.autoPlays < lobby_.config().autoPlayLimit) return;
    User& user = *seat.user;
    SendAll(net::server_messages::MustStop(static_cast<std::uint8_t>(chair),
                                           "超时次数过多，系统判定为逃跑"));
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name +
                      " reached the automatic-play limit; counted as escaped");
    StatsChange change;
    change.name = user.name;
    change.result = HandResult::Loss;
    change.escaped = true;
    change.points = -settings_[3];
    try {
        const std::array<StatsChange, 1> one{change};
        user.stats = lobby_.stats().Record(one)[user.name];
    } catch (const std::exception&) {
    }
    RemoveUser(user, true);
}

void Table::PlayForAbsentSoon(int chair) {
    const std::uint64_t epoch = epoch_;
    lobby_.scheduler().Post([this, alive = std::weak_ptr<int>(alive_), chair, epoch] {
        if (!alive.expired() && epoch == epoch_ && NeedsServerPlay(chair)) ActFor(chair);
    });
}

BotView Table::ViewOf(int chair) const {
    BotView view;
    const Seat& seat = seats_[chair];
    view.hand = seat.hand;
    view.melds = seat.melds;
    view.wild = wild_;
    view.indicator = indicator_;
    view.noWin = seat.noWin;
    view.ting = seat.ting;
    view.freshTile = fresh_;
    for (int c = 0; c < rules::kChairCount; ++c) {
        for (Tile t : seats_[c].discards) ++view.seen[KindIndex(t)];
        for (const Meld& m : seats_[c].melds) {
            if (m.bytKind == MeldKind::ConcealedKong && c != chair) continue;
            if (m.bytKind == MeldKind::Chow)
                for (int t = m.bytTile; t < m.bytTile + 3; ++t)
                    ++view.seen[KindIndex(static_cast<Tile>(t))];
            else
                view.seen[KindIndex(m.bytTile)] += m.bytKind == MeldKind::Pung ? 3 : 4;
        }
    }
    ++view.seen[KindIndex(indicator_)];
    return view;
}

void Table::ActFor(int chair) {
    BotBrain brain(lobby_.config().botStyle, static_cast<std::uint32_t>(lobby_.random()()));
    Seat& seat = seats_[chair];
    const BotView view = ViewOf(chair);
    switch (stage_) {
        case Stage::Bets:
            if (seat.bets == 4) {
                seat.bets = 0;
                SendAll(net::server_messages::BetChosen(static_cast<std::uint8_t>(chair), 0));
                if (std::all_of(seats_.begin(), seats_.end(),
                                [](const Seat& s) { return s.bets != net::kBetsNotChosen; }))
                    Deal();
            }
            return;
        case Stage::Turn: {
            if (turn_ != chair) return;
            const HandInfo info{seat.hand, seat.melds, wild_, seat.noWin};
            if (turnKind_ != TurnKind::Claimed && CanWinWith(info, fresh_)) return OnSelfWin(chair);
            Tile tile = brain.ChooseDiscard(view);
            if (seat.ting && Holds(seat.hand, fresh_)) tile = fresh_;
            return OnDiscard(chair, tile, 0);
        }
        case Stage::Claim: {
            if (!options_[chair].Any() || claims_[chair].type != ClaimType::None) return;
            if (options_[chair].win && NeedsServerPlay(chair))
                return OnClaim(chair, {ClaimType::Win, discard_});
            return OnClaim(chair, {ClaimType::Pass, 0});
        }
        case Stage::RobKong:
            if (robPending_[chair] && robAnswer_[chair] < 0)
                OnRobAnswer(chair, NeedsServerPlay(chair));
            return;
        default:
            return;
    }
}

// ---------------------------------------------------------------- snapshot

net::Bytes Table::BuildSnapshot(int viewedChair, bool handVisible) const {
    net::Bytes r;
    if (!HandRunning()) {
        r.push_back(0);
        r.push_back(0);
        for (const Seat& s : seats_) r.push_back(s.ready ? 1 : 0);
        r.push_back(handVisible ? 1 : 0);
        return r;
    }
    r.push_back(1);
    r.push_back(0);
    for (int c = 0; c < rules::kChairCount; ++c) {
        const auto& melds = seats_[c].melds;
        r.push_back(static_cast<std::uint8_t>(melds.size()));
        for (const Meld& m : melds) {
            const bool hide = m.bytKind == MeldKind::ConcealedKong && c != viewedChair;
            r.push_back(static_cast<std::uint8_t>(m.bytKind));
            r.push_back(hide ? rules::kFaceDownTile : m.bytTile);
            r.push_back(m.bytSource);
        }
    }
    for (const Seat& s : seats_) {
        r.push_back(static_cast<std::uint8_t>(s.discards.size()));
        r.insert(r.end(), s.discards.begin(), s.discards.end());
    }
    const auto wall = wall_.SegmentBytes();
    for (int c = 0; c < rules::kChairCount; ++c) {
        r.push_back(wall[c * 2]);
        r.push_back(wall[c * 2 + 1]);
        r.push_back(seats_[c].ting ? 1 : 0);
    }
    for (const Seat& s : seats_) r.push_back(s.noWin ? 1 : 0);
    for (const Seat& s : seats_)
        r.push_back(stage_ == Stage::Bets ? s.bets : (s.bets == net::kBetsNotChosen ? 0 : s.bets));
    const auto hand = HandAsSeenBy(viewedChair, handVisible);
    r.push_back(static_cast<std::uint8_t>(hand.size()));
    r.insert(r.end(), hand.begin(), hand.end());
    std::uint8_t turnChair = static_cast<std::uint8_t>(turn_);
    std::uint8_t phase = phase_;
    Tile cur = curTile_;
    if (stage_ == Stage::Bets) {
        turnChair = dealer_;
        phase = net::phase::kSideBets;
        cur = 0;
    } else if (stage_ == Stage::RobKong) {
        turnChair = static_cast<std::uint8_t>(discarder_);
        phase = net::phase::kDrew;
        cur = rules::kFaceDownTile;
        if (robPending_[viewedChair] && robAnswer_[viewedChair] < 0) {
            turnChair = static_cast<std::uint8_t>(viewedChair);
            phase = net::phase::kRobKong;
        }
    } else if (stage_ == Stage::Turn) {
        // A fresh draw and a concealed kong's tile are known to their owner
        // (and to an onlooker allowed to see that hand) only.
        const bool secret = phase_ == net::phase::kDrew || phase_ == net::phase::kConcealedKong;
        const bool known = turn_ == viewedChair && handVisible;
        if (secret && !known) cur = rules::kFaceDownTile;
    }
    r.push_back(dealer_);
    r.push_back(wall_.HeadChair());
    r.push_back(wall_.TailChair());
    r.push_back(turnChair);
    r.push_back(phase);
    r.push_back(cur);
    r.push_back(handVisible ? 1 : 0);
    r.push_back(indicator_);
    r.push_back(wild_);
    r.push_back(0);
    r.push_back(static_cast<std::uint8_t>(discardCount_));
    return r;
}

}  // namespace qira::server

namespace qira::server {

std::vector<User*> Table::Everyone() const {
    std::vector<User*> out;
    for (const Seat& s : seats_)
        if (s.user) out.push_back(s.user);
    out.insert(out.end(), onlookers_.begin(), onlookers_.end());
    return out;
}

}  // namespace qira::server
