#include <algorithm>
#include <sstream>

#include "net/byte_reader.h"
#include "server/messages.h"
#include "server/room.h"
#include "server/scoring.h"
#include "server/win_check.h"

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
    for (int c = 0; c < kChairs; ++c)
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
    for (int c = 0; c < kChairs; ++c) {
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
    for (int c = 0; c < kChairs; ++c)
        if (seats_[c].user && seats_[c].user->name == name) return c;
    return -1;
}

std::vector<Tile> Table::HandAsSeenBy(int chair, bool visible) const {
    if (visible) return seats_[chair].hand;
    return std::vector<Tile>(seats_[chair].hand.size(), kHiddenTile);
}

void Table::ResyncHiddenOnlookers(int chair) const {
    for (const User* onlooker : onlookers_)
        if (ChairOf(onlooker->watched) == chair && !MaySeeHand(*onlooker))
            SendTo(*onlooker, messages::HandResync(HandAsSeenBy(chair, false)));
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
    SendTo(user, messages::Identity(user.name, view));
    std::vector<std::string> records;
    for (const Seat& seat : seats_)
        if (seat.user) records.push_back(RecordOf(*seat.user));
    for (const User* onlooker : onlookers_) records.push_back(RecordOf(*onlooker));
    SendTo(user, messages::UserList(records));
    SendSettingsOffer(user);
    if (handsPlayed_ > 0 || HandRunning()) {
        const int viewed = user.chair >= 0 ? user.chair : ChairOf(user.watched);
        const bool visible = user.chair >= 0 || MaySeeHand(user);
        SendTo(user, messages::Snapshot(BuildSnapshot(std::max(0, viewed), visible)));
    }
    SendTo(user, messages::ItemCatalogue(lobby_.items().catalogue));
    SendTo(user, messages::OwnItems(lobby_.items().ownItems));
}

void Table::SendSettingsOffer(User& user) {
    messages::SettingsOffer offer;
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
    SendTo(user, messages::Settings(offer));
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
    SendAllExcept(user, messages::UserArrived(RecordOf(user)));
    SendWelcome(user);
    if (!user.isBot)
        SendTo(user,
               messages::ChatLine("欢迎来到第 " + std::to_string(number_) + " 桌，祝你玩得开心！"));
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
    SendAllExcept(user, messages::OnlookerArrived(RecordOf(user)));
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
    SendAll(messages::PlayerDropped(user.name));
    PlayForAbsentSoon(user.chair);
}

void Table::OnReconnected(User& user) {
    lobby_.log().Line("table " + std::to_string(number_) + ": " + user.name + " is back");
    SendAllExcept(user, messages::PlayerBack(user.name));
    SendWelcome(user);
}

void Table::RemoveUser(User& user, bool escaped) {
    (void)escaped;
    if (user.chair < 0) {
        std::erase(onlookers_, &user);
        SendAll(messages::OnlookerLeft(user.name));
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
    SendAllExcept(user, messages::UserLeft(user.name));
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
            SendAll(messages::ChatLine(seats_[chair].user->name + " 接替 " + name + " 继续本局"));
    } else if (!HasHuman()) {
        lobby_.CloseTableIfEmpty(*this);
    } else {
        ArmBotFill();
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
        lobby_.AddBot(*this, chair, BotStyle::Smart);
}

void Table::ReplaceWithBot(int chair) {
    lobby_.AddBot(*this, chair, BotStyle::Smart);
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
    const std::uint8_t type = message[0];
    const std::uint8_t sub = message[1];
    const auto fields = net::SplitFields(net::DecodeBody(message, 2));
    if (type == 130 && (sub == 1 || sub == 0))
        return;  // hand-start acknowledgement, repeated entry
    if (type == 110 && sub == 0) {
        if (fields.empty() || fields[0] != user.name)
            return Refuse(user, message, "not the sender's name");
        return RemoveUser(user, HandRunning());
    }
    if (user.chair < 0) return Refuse(user, message, "onlookers have no say");
    if (type == 112 && sub == 0) {
        if (fields.size() != 7 || fields[0] != user.name)
            return Refuse(user, message, "malformed settings");
        return OnSettingsConfirmed(user, std::span(fields).subspan(1));
    }
    if (type == 112 && sub == 1) {
        if (fields.empty() || fields[0] != user.name)
            return Refuse(user, message, "not the sender's name");
        return OnRaiseHand(user);
    }
    Refuse(user, message, "unknown request");
}

void Table::HandleGame(User& user, std::span<const std::uint8_t> message) {
    const std::uint8_t type = message[0];
    if (type == 1) return RelayChat(user, message);
    if (type == 113) {
        const auto fields = net::SplitFields(net::DecodeBody(message, 2));
        if (message.size() < 2 || message[1] != 1 || fields.size() != 2 || fields[0] != user.name ||
            (fields[1] != "0" && fields[1] != "1"))
            return Refuse(user, message, "malformed preference");
        user.allowWatch = fields[1] == "1";
        if (user.chair < 0) return;
        for (const User* o : onlookers_)
            if (o->watched == user.name) {
                SendTo(*o, messages::WatchPermission(user.allowWatch));
                if (HandRunning())
                    SendTo(*o, messages::HandResync(HandAsSeenBy(user.chair, user.allowWatch)));
            }
        return;
    }
    // Requests that name a chair: its position in the message.
    std::size_t chairAt = 2;
    std::size_t minimum = 3;
    switch (type) {
        case 18:
        case 23:
        case 30:
            chairAt = 1;
            minimum = 2;
            break;
        case 19:
            minimum = 8;
            break;
        case 20:
        case 21:
        case 22:
            minimum = 4;
            break;
        case 24:
        case 29:
        case 2:
            minimum = 3;
            break;
        case 28:
            minimum = 4;
            break;
        default:
            return Refuse(user, message, "unknown request");
    }
    if (message.size() < minimum) return Refuse(user, message, "too short");
    const int chair = message[chairAt];
    if (type == 2) {
        // An onlooker's client asks for the watched hand like a player's does.
        const int viewed = user.chair >= 0 ? user.chair : ChairOf(user.watched);
        if (chair != viewed || viewed < 0) return Refuse(user, message, "not the sender's chair");
        if (!HandRunning()) return;
        const bool visible = user.chair >= 0 || MaySeeHand(user);
        return SendTo(user, messages::HandResync(HandAsSeenBy(viewed, visible)));
    }
    if (user.chair < 0) return Refuse(user, message, "onlookers do not play");
    if (chair != user.chair) return Refuse(user, message, "not the sender's chair");
    Seat& seat = seats_[chair];
    switch (type) {
        case 18:
            if (stage_ != Stage::Idle) return Refuse(user, message, "no hand to get ready for");
            return OnReadyForNext(user);
        case 28:
            if (stage_ != Stage::Bets || message[1] != 0 || seat.bets != 4 || message[3] > 3)
                return Refuse(user, message, "not a side-bet choice now");
            seat.bets = message[3];
            SendAll(messages::BetChosen(static_cast<std::uint8_t>(chair), seat.bets));
            if (std::all_of(seats_.begin(), seats_.end(),
                            [](const Seat& s) { return s.bets != 4; }))
                Deal();
            return;
        case 19:
            if (stage_ != Stage::Turn || turn_ != chair)
                return Refuse(user, message, "not this chair's turn");
            if (!Holds(seat.hand, message[3])) return Refuse(user, message, "tile not in hand");
            if (seat.ting && message[3] != fresh_ && Holds(seat.hand, fresh_))
                return Refuse(user, message, "a ready hand discards the drawn tile");
            return OnDiscard(chair, message[3], message[4]);
        case 20:
        case 21:
            if (stage_ != Stage::Claim) return Late(user, message);
            if ((options_[chair].chows.empty() && type == 20) ||
                (!options_[chair].pung && type == 21) || claims_[chair].type != ClaimType::None)
                return Refuse(user, message, "no such claim now");
            if (type == 20) {
                const auto& chows = options_[chair].chows;
                if (std::find(chows.begin(), chows.end(), message[3]) == chows.end())
                    return Refuse(user, message, "not a chow of this discard");
                return OnClaim(chair, {ClaimType::Chow, message[3]});
            }
            if (message[3] != discard_) return Refuse(user, message, "not the discard");
            return OnClaim(chair, {ClaimType::Pung, message[3]});
        case 22: {
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
                    return m.kind == MeldKind::Pung && m.tile == message[3] &&
                           message[3] != indicator_;
                }))
                return OnOwnKong(chair, kind, message[3]);
            return Refuse(user, message, "no such kong in hand");
        }
        case 23:
            if (stage_ == Stage::Claim) {
                if (!options_[chair].win || claims_[chair].type != ClaimType::None)
                    return Refuse(user, message, "no win on this discard");
                return OnClaim(chair, {ClaimType::Win, discard_});
            }
            if (stage_ == Stage::Turn && turn_ == chair && turnKind_ != TurnKind::Claimed)
                return OnSelfWin(chair);
            if (stage_ != Stage::Claim && turn_ != chair) return Late(user, message);
            return Refuse(user, message, "no win now");
        case 24:
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
        case 29:
            if (stage_ != Stage::RobKong || !robPending_[chair] || robAnswer_[chair] >= 0)
                return Refuse(user, message, "no kong to rob");
            return OnRobAnswer(chair, message[1] == 1);
        case 30:
            if (stage_ != Stage::Turn || turn_ != chair || seat.indicatorKong != 0 ||
                !Holds(seat.hand, indicator_, 3))
                return Refuse(user, message, "no three indicators");
            return OnThreeIndicators(chair);
    }
}

void Table::RelayChat(User& user, std::span<const std::uint8_t> message) {
    auto fields = net::SplitFields(net::DecodeBody(message, 1));
    if (fields.size() < 10) return Refuse(user, message, "chat needs ten fields");
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
                SendAll(messages::ItemUsed(static_cast<std::uint8_t>(user.stats.id & 0xFF),
                                           static_cast<std::uint8_t>(other->stats.id & 0xFF), id));
                return;
            }
        }
        return Refuse(user, message, "unknown item or user");
    }
    const auto relay = messages::ChatRelay(text);
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
    SendAll(messages::HandRaised(user.name, settingsText, false));
    MaybeStartHand();
}

void Table::OnRaiseHand(User& user) {
    if (handsPlayed_ > 0 || HandRunning()) return Refuse(user, {}, "hands have started; use 18");
    if (owner_ && !settingsAgreed_) return Refuse(user, {}, "the owner has not set the table yet");
    Seat& seat = seats_[user.chair];
    if (seat.ready) return;
    seat.ready = true;
    if (AllReady() && FreeChair() < 0) {
        SendAll(messages::HandRaised(user.name, {}, true));
        return MaybeStartHand();
    }
    SendAll(messages::HandRaised(user.name, {}, false));
}

void Table::OnReadyForNext(User& user) {
    Seat& seat = seats_[user.chair];
    if (seat.ready) return;
    seat.ready = true;
    SendAll(messages::ReadyForNext(static_cast<std::uint8_t>(user.chair)));
    MaybeStartHand();
}

bool Table::AllReady() const {
    return std::all_of(seats_.begin(), seats_.end(),
                       [](const Seat& s) { return s.user && s.ready; });
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
        for (int i = 0; i < kChairs; ++i)
            seats_[(dealer_ + i) % 4].hand.push_back(*wall_.DrawFront());
    fresh_ = *wall_.DrawFront();
    seats_[dealer_].hand.push_back(fresh_);
    discardCount_ = 0;
    discardAfterKong_ = false;
    courtesyPasses_ = {};
    stage_ = Stage::Bets;

    messages::HandStart start;
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
    SendAll(messages::NewHand(start));
    ArmTimer(lobby_.config().betTimeout);
    for (int c = 0; c < kChairs; ++c)
        if (NeedsServerPlay(c)) PlayForAbsentSoon(c);
}

void Table::Deal() {
    CancelTimer();
    for (int c = 0; c < kChairs; ++c) {
        const Seat& seat = seats_[c];
        const Tile cur = c == dealer_ ? fresh_ : kHiddenTile;
        std::vector<Tile> dealt = seat.hand;
        std::sort(dealt.begin(), dealt.end() - (c == dealer_ ? 1 : 0));
        const auto real = messages::Deal(static_cast<std::uint8_t>(c), cur, dealt);
        const auto hidden = messages::Deal(static_cast<std::uint8_t>(c), kHiddenTile,
                                           std::vector<Tile>(dealt.size(), kHiddenTile));
        SendTo(*seat.user, real);
        for (const User* o : onlookers_)
            if (ChairOf(o->watched) == c) SendTo(*o, MaySeeHand(*o) ? real : hidden);
    }
    BeginTurn(dealer_, TurnKind::Draw, 5, fresh_, fresh_);
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
    SendPrivate(chair, messages::Draw(static_cast<std::uint8_t>(chair), *tile),
                messages::Draw(static_cast<std::uint8_t>(chair), kHiddenTile));
    BeginTurn(chair, TurnKind::Draw, 5, *tile, *tile);
}

Table::ClaimOptions Table::OptionsFor(int chair, Tile tile) const {
    ClaimOptions options;
    const Seat& seat = seats_[chair];
    if (!seat.noWin && !seat.discardWinBarred)
        options.win = CanWinWith(HandInfo{seat.hand, seat.melds, wild_, seat.noWin}, tile);
    if (tile == wild_) return options;
    const int held = static_cast<int>(std::count(seat.hand.begin(), seat.hand.end(), tile));
    options.kong = held == 3 && wall_.Remaining() > 0;
    if (seat.ting) return options;
    options.pung = held >= 2;
    if (chair == (discarder_ + 1) % 4 && IsNumbered(tile)) {
        for (int start = tile - 2; start <= tile; ++start) {
            if (start < 0 || SuitOf(static_cast<Tile>(start)) != SuitOf(tile) ||
                RankOf(static_cast<Tile>(start)) > 7)
                continue;
            bool ok = true;
            for (int t = start; t < start + 3 && ok; ++t)
                if (t != tile) ok = t != wild_ && Holds(seat.hand, static_cast<Tile>(t));
            if (ok) options.chows.push_back(static_cast<Tile>(start));
        }
    }
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
    for (int c = 0; c < kChairs; ++c) {
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
        SendPrivate(next, messages::Discarded(c8, tile, ting, n8, drawn),
                    messages::Discarded(c8, tile, ting, n8, kHiddenTile));
        ResyncHiddenOnlookers(chair);
        return BeginTurn(next, TurnKind::Draw, 5, drawn, drawn);
    }
    for (int c = 0; c < kChairs; ++c)
        if (c != chair && !options_[c].Any()) ++courtesyPasses_[c];
    SendAll(messages::Discarded(c8, tile, ting, 255, 0));
    ResyncHiddenOnlookers(chair);
    if (!anyClaim) {
        seat.discards.push_back(tile);
        return EndDrawn();
    }
    stage_ = Stage::Claim;
    turn_ = chair;
    phase_ = 0;
    curTile_ = tile;
    ++epoch_;
    ArmTimer(lobby_.config().claimTimeout);
    for (int c = 0; c < kChairs; ++c)
        if (options_[c].Any() && NeedsServerPlay(c)) PlayForAbsentSoon(c);
}

void Table::OnClaim(int chair, Claim claim) {
    claims_[chair] = claim;
    TryResolveClaims(false);
}

namespace {
int PriorityOf(int type) {
    switch (type) {
        case 5:
            return 3;  // win
        case 4:
        case 3:
            return 2;  // kong, pung
        case 2:
            return 1;  // chow
        default:
            return 0;
    }
}
}  // namespace

void Table::TryResolveClaims(bool timedOut) {
    int best = 0;
    for (const Claim& c : claims_) best = std::max(best, PriorityOf(static_cast<int>(c.type)));
    if (!timedOut) {
        for (int c = 0; c < kChairs; ++c) {
            if (!options_[c].Any() || claims_[c].type != ClaimType::None) continue;
            const ClaimOptions& o = options_[c];
            const int possible = o.win ? 3 : (o.kong || o.pung) ? 2 : !o.chows.empty() ? 1 : 0;
            if (possible >= best && possible > 0) return;  // still waiting for a claim that may win
        }
    }
    CancelTimer();
    for (int c = 0; c < kChairs; ++c)
        if (options_[c].win && claims_[c].type != ClaimType::Win) seats_[c].discardWinBarred = true;
    std::vector<std::uint8_t> winners;
    for (int i = 1; i < kChairs; ++i) {
        const int c = (discarder_ + i) % 4;
        if (claims_[c].type == ClaimType::Win) winners.push_back(static_cast<std::uint8_t>(c));
    }
    if (!winners.empty()) return EndWithWin(winners, discarder_, discard_);
    for (int c = 0; c < kChairs; ++c) {
        if (claims_[c].type == ClaimType::Kong)
            return DoKong(c, MeldKind::ExposedKong, discard_, discarder_);
        if (claims_[c].type == ClaimType::Pung) return DoPung(c);
    }
    for (int c = 0; c < kChairs; ++c)
        if (claims_[c].type == ClaimType::Chow) return DoChow(c, claims_[c].tile);
    seats_[discarder_].discards.push_back(discard_);
    DrawFor((discarder_ + 1) % 4);
}

void Table::DoChow(int chair, Tile lowest) {
    Seat& seat = seats_[chair];
    for (int t = lowest; t < lowest + 3; ++t)
        if (t != discard_) RemoveOne(seat.hand, static_cast<Tile>(t));
    seat.melds.push_back({MeldKind::Chow, lowest, static_cast<std::uint8_t>(discarder_)});
    SendAll(messages::Chowed(static_cast<std::uint8_t>(chair), lowest));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Claimed, 1, lowest, 0);
}

void Table::DoPung(int chair) {
    Seat& seat = seats_[chair];
    RemoveOne(seat.hand, discard_);
    RemoveOne(seat.hand, discard_);
    seat.melds.push_back({MeldKind::Pung, discard_, static_cast<std::uint8_t>(discarder_)});
    SendAll(messages::Punged(static_cast<std::uint8_t>(chair), discard_));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Claimed, 2, discard_, 0);
}

void Table::DoKong(int chair, MeldKind kind, Tile tile, int source) {
    Seat& seat = seats_[chair];
    const bool upgrade = kind == MeldKind::ExposedKong && stage_ != Stage::Claim;
    seat.hand.erase(std::remove(seat.hand.begin(), seat.hand.end(), tile), seat.hand.end());
    if (upgrade) {
        for (Meld& m : seat.melds)
            if (m.kind == MeldKind::Pung && m.tile == tile) m.kind = MeldKind::ExposedKong;
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
    if (!replacement) {
        SendAll(messages::Konged(kind, c8, kind == MeldKind::ConcealedKong ? kHiddenTile : tile,
                                 kHiddenTile));
        return EndDrawn();
    }
    seat.hand.push_back(*replacement);
    seat.discardWinBarred = false;
    const Tile shown = kind == MeldKind::ConcealedKong ? kHiddenTile : tile;
    SendPrivate(chair, messages::Konged(kind, c8, tile, *replacement),
                messages::Konged(kind, c8, shown, kHiddenTile));
    ResyncHiddenOnlookers(chair);
    BeginTurn(chair, TurnKind::Replacement, static_cast<std::uint8_t>(kind), tile, *replacement);
}

void Table::OnOwnKong(int chair, MeldKind kind, Tile tile) {
    CancelTimer();
    if (wall_.Remaining() <= 0) return EndDrawn();
    if (kind == MeldKind::ExposedKong) {
        // Another player who would win with the fourth tile may rob the kong.
        bool anyRobber = false;
        for (int c = 0; c < kChairs; ++c) {
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
            for (int c = 0; c < kChairs; ++c)
                if (robPending_[c]) {
                    SendPrivate(c, messages::MayRobKong(static_cast<std::uint8_t>(c)), {});
                    if (NeedsServerPlay(c)) PlayForAbsentSoon(c);
                }
            return ArmTimer(lobby_.config().claimTimeout);
        }
    }
    DoKong(chair, kind, tile, chair);
}

void Table::OnRobAnswer(int chair, bool rob) {
    robAnswer_[chair] = rob ? 1 : 0;
    for (int c = 0; c < kChairs; ++c)
        if (robPending_[c] && robAnswer_[c] < 0) return;
    FinishRob();
}

void Table::FinishRob() {
    CancelTimer();
    std::vector<std::uint8_t> winners;
    for (int i = 1; i < kChairs; ++i) {
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
    SendAll(messages::ThreeIndicators(static_cast<std::uint8_t>(chair)));
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
    for (int c = 0; c < kChairs; ++c) {
        const Seat& s = seats_[c];
        ScoreSeat& score = context.seats[c];
        score.concealed = s.hand;
        score.melds = s.melds;
        score.bets = s.bets == 4 ? 0 : s.bets;
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
    std::vector<std::string> names;
    for (auto w : winners) names.push_back(seats_[w].user ? seats_[w].user->name : "?");
    lobby_.CountHand(names, discarder >= 4);
    std::string text;
    for (const auto& n : names) text += " " + n;
    lobby_.log().Line("table " + std::to_string(number_) + ": hand ends, won by" + text +
                      (discarder >= 4 ? " (self-drawn)" : " on a discard"));
    lastWinnerDealer_ = winners.front();
    FinishHand(winners, outcome.actual);
}

void Table::EndDrawn() {
    CancelTimer();
    SendAll(messages::DrawnGame());
    lobby_.CountHand({}, false);
    lobby_.log().Line("table " + std::to_string(number_) + ": hand ends drawn");
    FinishHand({}, {});
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
    for (int c = 0; c < kChairs; ++c) {
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
        if (seat.user) SendAll(messages::RefreshUser(RecordOf(*seat.user)));
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
            // Players who did not press start in time leave the table.
            std::vector<User*> slow;
            for (const Seat& s : seats_)
                if (s.user && !s.ready && !s.user->isBot) slow.push_back(s.user);
            for (User* u : slow) RemoveUser(*u, false);
            return;
        }
        case Stage::Bets:
            for (int c = 0; c < kChairs; ++c)
                if (seats_[c].bets == 4) {
                    seats_[c].bets = 0;
                    SendAll(messages::BetChosen(static_cast<std::uint8_t>(c), 0));
                }
            return Deal();
        case Stage::Turn:
            CountAutoPlay(turn_);
            if (stage_ == Stage::Turn) ActFor(turn_);
            return;
        case Stage::Claim:
            for (int c = 0; c < kChairs; ++c)
                if (options_[c].Any() && claims_[c].type == ClaimType::None)
                    claims_[c] = {ClaimType::Pass, 0};
            return TryResolveClaims(true);
        case Stage::RobKong:
            for (int c = 0; c < kChairs; ++c)
                if (robPending_[c] && robAnswer_[c] < 0) robAnswer_[c] = 0;
            return FinishRob();
    }
}

void Table::CountAutoPlay(int chair) {
    Seat& seat = seats_[chair];
    if (!seat.user || seat.user->isBot || !seat.user->peer) return;
    if (++seat.autoPlays < lobby_.config().autoPlayLimit) return;
    User& user = *seat.user;
    SendAll(messages::MustStop(static_cast<std::uint8_t>(chair), "超时次数过多，系统判定为逃跑"));
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
    for (int c = 0; c < kChairs; ++c) {
        for (Tile t : seats_[c].discards) ++view.seen[KindIndex(t)];
        for (const Meld& m : seats_[c].melds) {
            if (m.kind == MeldKind::ConcealedKong && c != chair) continue;
            if (m.kind == MeldKind::Chow)
                for (int t = m.tile; t < m.tile + 3; ++t)
                    ++view.seen[KindIndex(static_cast<Tile>(t))];
            else
                view.seen[KindIndex(m.tile)] += m.kind == MeldKind::Pung ? 3 : 4;
        }
    }
    ++view.seen[KindIndex(indicator_)];
    return view;
}

void Table::ActFor(int chair) {
    BotBrain brain(BotStyle::Smart, static_cast<std::uint32_t>(lobby_.random()()));
    Seat& seat = seats_[chair];
    const BotView view = ViewOf(chair);
    switch (stage_) {
        case Stage::Bets:
            if (seat.bets == 4) {
                seat.bets = 0;
                SendAll(messages::BetChosen(static_cast<std::uint8_t>(chair), 0));
                if (std::all_of(seats_.begin(), seats_.end(),
                                [](const Seat& s) { return s.bets != 4; }))
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
    for (int c = 0; c < kChairs; ++c) {
        const auto& melds = seats_[c].melds;
        r.push_back(static_cast<std::uint8_t>(melds.size()));
        for (const Meld& m : melds) {
            const bool hide = m.kind == MeldKind::ConcealedKong && c != viewedChair;
            r.push_back(static_cast<std::uint8_t>(m.kind));
            r.push_back(hide ? kHiddenTile : m.tile);
            r.push_back(m.source);
        }
    }
    for (const Seat& s : seats_) {
        r.push_back(static_cast<std::uint8_t>(s.discards.size()));
        r.insert(r.end(), s.discards.begin(), s.discards.end());
    }
    const auto wall = wall_.SegmentBytes();
    for (int c = 0; c < kChairs; ++c) {
        r.push_back(wall[c * 2]);
        r.push_back(wall[c * 2 + 1]);
        r.push_back(seats_[c].ting ? 1 : 0);
    }
    for (const Seat& s : seats_) r.push_back(s.noWin ? 1 : 0);
    for (const Seat& s : seats_)
        r.push_back(stage_ == Stage::Bets ? s.bets : (s.bets == 4 ? 0 : s.bets));
    const auto hand = HandAsSeenBy(viewedChair, handVisible);
    r.push_back(static_cast<std::uint8_t>(hand.size()));
    r.insert(r.end(), hand.begin(), hand.end());
    std::uint8_t turnChair = static_cast<std::uint8_t>(turn_);
    std::uint8_t phase = phase_;
    Tile cur = curTile_;
    if (stage_ == Stage::Bets) {
        turnChair = dealer_;
        phase = 10;
        cur = 0;
    } else if (stage_ == Stage::RobKong) {
        turnChair = static_cast<std::uint8_t>(discarder_);
        phase = 5;
        cur = kHiddenTile;
        if (robPending_[viewedChair] && robAnswer_[viewedChair] < 0) {
            turnChair = static_cast<std::uint8_t>(viewedChair);
            phase = 9;
        }
    } else if (stage_ == Stage::Turn) {
        // A fresh draw and a concealed kong's tile are known to their owner
        // (and to an onlooker allowed to see that hand) only.
        const bool secret = phase_ == 5 || phase_ == 3;
        const bool known = turn_ == viewedChair && handVisible;
        if (secret && !known) cur = kHiddenTile;
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
