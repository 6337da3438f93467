// Who sits at the table, the owner's settings and the players' readiness.
#include <algorithm>

#include "net/server_messages.h"
#include "server/core/lobby.h"
#include "server/core/table.h"

namespace qira::server {

void Table::SeatPlayer(User& user, int chair) {
    user.table = this;
    user.chair = chair;
    user.watched.clear();
    // A player who takes over a chair during a hand takes over its tiles.
    if (!HandRunning()) {
        hand_.seats[chair] = SeatHand{};
        seating_.ready[chair] = false;
        seating_.readyHeld[chair] = false;
    }
    seating_.players[chair] = &user;
    if (!seating_.owner && !user.isBot && handsPlayed_ == 0) seating_.owner = &user;
    Log(user.name + " sits in chair " + std::to_string(chair) + (user.isBot ? " (computer)" : ""));
    SendAllExcept(user, net::server_messages::UserArrived(RecordOf(user)));
    SendWelcome(user);
    if (!user.isBot)
        SendTo(user, net::server_messages::ChatLine("欢迎来到第 " + std::to_string(number_) +
                                                    " 桌，祝你玩得开心！"));
    if (seating_.owner == &user && !settingsAgreed_) ArmTimer(lobby_.config().settingsTimeout);
    if (!user.isBot && FreeChair() >= 0) ArmBotFill();
    if (FreeChair() < 0) MaybeStartHand();
}

void Table::AddOnlooker(User& user) {
    user.table = this;
    user.chair = -1;
    seating_.onlookers.push_back(&user);
    Log(user.name + " watches " + user.watched);
    SendAllExcept(user, net::server_messages::OnlookerArrived(RecordOf(user)));
    SendWelcome(user);
}

void Table::OnConnectionLost(User& user) {
    user.peer = nullptr;
    if (user.chair < 0 || !HandRunning()) return RemoveUser(user, false);
    Log(user.name + " dropped; playing for the chair");
    SendAll(net::server_messages::PlayerDropped(user.name));
    PlayForAbsentSoon(user.chair);
}

void Table::OnReconnected(User& user) {
    Log(user.name + " is back");
    SendAllExcept(user, net::server_messages::PlayerBack(user.name));
    SendWelcome(user);
    SendEarlierChat(user);
}

// Every way out of a running hand ends like a connection that does not come
// back: the server plays the chair to the end of the hand, the hand's payment
// falls on the player, and the escape penalty and the escape are recorded
// when the hand ends.
void Table::LeaveRunningHand(User& user, bool playSoon) {
    Peer* peer = user.peer;
    lobby_.DetachPeer(user);
    user.peer = nullptr;
    user.secret.clear();  // a player who chose to go does not get the chair back
    if (peer) peer->Disconnect();
    SendAll(net::server_messages::PlayerDropped(user.name));
    if (playSoon) PlayForAbsentSoon(user.chair);
}

void Table::RemoveUser(User& user, bool /*escaped*/) {
    if (user.chair < 0) return RemoveOnlooker(user);
    RemovePlayer(user);
}

void Table::RemoveOnlooker(User& user) {
    std::erase(seating_.onlookers, &user);
    if (user.peer) user.peer->Disconnect();
    SendAll(net::server_messages::OnlookerLeft(user.name));
    Log("onlooker " + user.name + " left");
    lobby_.ForgetUser(user);
}

void Table::RemovePlayer(User& user) {
    const int chair = user.chair;
    // Onlookers of a leaving player leave with the player.
    for (User* onlooker : seating_.WatchersOf(user.name)) {
        if (onlooker->peer) onlooker->peer->Disconnect();
        RemoveUser(*onlooker, false);
    }
    Log(user.name + " left chair " + std::to_string(chair));
    SendAllExcept(user, net::server_messages::UserLeft(user.name));
    if (user.peer && !user.isBot) user.peer->Disconnect();
    const bool running = HandRunning();
    seating_.players[chair] = nullptr;
    // While the hand goes on the chair's tiles stay and a computer player
    // takes them over.
    if (!running) {
        hand_.seats[chair] = SeatHand{};
        seating_.ready[chair] = false;
        seating_.readyHeld[chair] = false;
    }
    if (seating_.owner == &user) {
        seating_.owner = nullptr;
        ChooseOwner();
    }
    const std::string name = user.name;
    lobby_.ForgetUser(user);
    if (running) {
        ReplaceWithBot(chair);
        if (const User* heir = seating_.players[chair])
            SendAll(net::server_messages::ChatLine(heir->name + " 接替 " + name + " 继续本局"));
    } else if (!HasHuman()) {
        lobby_.CloseTableIfEmpty(*this);
    } else {
        ArmBotFill();
        ReleaseHeldReadiness();
    }
}

void Table::ChooseOwner() {
    if (handsPlayed_ > 0 || HandRunning()) return;
    for (User* player : seating_.players)
        if (player && !player->isBot) {
            seating_.owner = player;
            if (!settingsAgreed_) {
                SendSettingsOffer(*player);
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

void Table::Close() {
    closed_ = true;
    ++epoch_;
    CancelTimer();
    if (botFillTimer_) lobby_.scheduler().CancelTimer(*botFillTimer_);
    botFillTimer_.reset();
}

void Table::FillWithBots() {
    if (closed_) return;
    for (int chair = FreeChair(); chair >= 0; chair = FreeChair())
        lobby_.AddBot(*this, chair, lobby_.config().botStyle);
}

void Table::ReplaceWithBot(int chair) {
    if (closed_) return;
    lobby_.AddBot(*this, chair, lobby_.config().botStyle);
}

namespace {

std::optional<int> SettingNumber(const std::string& s) {
    if (s.empty() || s.size() > 7 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(s);
}

}  // namespace

void Table::OnSettingsConfirmed(User& user, std::span<const std::string> settings) {
    if (&user != seating_.owner || settingsAgreed_ || handsPlayed_ > 0)
        return Refuse(user, {}, Refusal::NotTheOwner);
    const auto stake = SettingNumber(settings[0]);
    const auto penalty = SettingNumber(settings[3]);
    const auto& limits = lobby_.config().defaultSettings;
    if (!stake || !penalty || *stake > limits[1] || *stake < limits[2] || *penalty > limits[4] ||
        *penalty < limits[5]) {
        Refuse(user, {}, Refusal::SettingsOutsideLimits);
        return SendSettingsOffer(user);
    }
    settings_[0] = *stake;
    settings_[3] = *penalty;
    settingsAgreed_ = true;
    seating_.ready[user.chair] = true;
    Log(user.name + " set stake " + std::to_string(*stake) + ", escape penalty " +
        std::to_string(*penalty));
    CancelTimer();
    std::vector<std::string> settingsText;
    for (int v : settings_) settingsText.push_back(std::to_string(v));
    SendAll(net::server_messages::HandRaised(user.name, settingsText, false));
    ReleaseHeldReadiness();
    MaybeStartHand();
}

void Table::OnRaiseHand(User& user) {
    if (handsPlayed_ > 0 || HandRunning()) return Refuse(user, {}, Refusal::HandsHaveStarted);
    if (seating_.owner && !settingsAgreed_) return Refuse(user, {}, Refusal::OwnerHasNotSetTable);
    if (seating_.ready[user.chair] || HoldUntilHumansReady(user)) return;
    seating_.ready[user.chair] = true;
    const bool everybody = seating_.AllReady() && FreeChair() < 0;
    SendAll(net::server_messages::HandRaised(user.name, {}, everybody));
    if (everybody) return MaybeStartHand();
    if (!user.isBot) ReleaseHeldReadiness();
}

void Table::OnReadyForNext(User& user) {
    if (seating_.ready[user.chair] || HoldUntilHumansReady(user)) return;
    seating_.ready[user.chair] = true;
    SendAll(net::server_messages::ReadyForNext(static_cast<std::uint8_t>(user.chair)));
    if (user.isBot) return MaybeStartHand();
    // The clock for those still to press start runs again whenever a human
    // waits for them.
    if (!timer_ && handsPlayed_ > 0) ArmTimer(lobby_.config().startTimeout);
    ReleaseHeldReadiness();
    MaybeStartHand();
}

// At a table with humans the computer players get ready only once every
// human is, so that a human's start clock (which runs as soon as another
// chair is ready) only runs while another human waits for him. Tables of
// computer players alone never wait.
bool Table::HoldUntilHumansReady(const User& user) {
    if (!user.isBot || seating_.HumansReady()) return false;
    seating_.readyHeld[user.chair] = true;
    return true;
}

void Table::ReleaseHeldReadiness() {
    if (!seating_.HumansReady()) return;
    for (int c = 0; c < rules::kChairCount; ++c) {
        User* player = seating_.players[c];
        if (!seating_.readyHeld[c] || !player) continue;
        seating_.readyHeld[c] = false;
        if (handsPlayed_ == 0)
            OnRaiseHand(*player);
        else
            OnReadyForNext(*player);
    }
}

void Table::MaybeStartHand() {
    if (HandRunning() || !seating_.AllReady()) return;
    if (handsPlayed_ == 0 && seating_.owner && !settingsAgreed_) return;
    const std::uint64_t epoch = ++epoch_;
    lobby_.scheduler().Post([this, alive = std::weak_ptr<int>(alive_), epoch] {
        if (!alive.expired() && epoch == epoch_ && !HandRunning() && seating_.AllReady())
            StartHand();
    });
}

}  // namespace qira::server
