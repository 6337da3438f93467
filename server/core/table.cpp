#include "server/core/table.h"

#include <algorithm>

#include "net/server_messages.h"
#include "server/core/lobby.h"
#include "server/core/snapshot.h"

namespace qira::server {
namespace {

std::string Percent(std::int64_t part, std::int64_t whole) {
    return whole <= 0 ? "0" : std::to_string(part * 100 / whole);
}

}  // namespace

Table::Table(Lobby& lobby, int number) : lobby_(lobby), number_(number) {
    settings_ = lobby.config().defaultSettings;
    const int first = lobby.config().firstDealer;
    hand_.dealer =
        static_cast<std::uint8_t>(first >= 0 ? first % 4 : static_cast<int>(lobby.random()() % 4));
}

Table::~Table() {
    CancelTimer();
    if (botFillTimer_) lobby_.scheduler().CancelTimer(*botFillTimer_);
}

void Table::Log(const std::string& text) const {
    LogPendingMove();
    lobby_.log().Line("table " + std::to_string(number_) + ": " + text);
}

void Table::SendTo(const User& user, const net::Bytes& message) const {
    if (user.peer) user.peer->Deliver(message);
}

void Table::SendAll(const net::Bytes& message) const {
    for (const User* user : seating_.Everyone()) SendTo(*user, message);
}

void Table::Announce(const std::string& line) const {
    SendAll(net::server_messages::ChatLine(line));
}

void Table::SendAllExcept(const User& except, const net::Bytes& message) const {
    for (const User* user : seating_.Everyone())
        if (user != &except) SendTo(*user, message);
}

void Table::SendPrivate(int chair, const net::Bytes& real, const net::Bytes& hidden) const {
    for (int c = 0; c < rules::kChairCount; ++c) {
        if (!seating_.players[c]) continue;
        if (c == chair)
            SendTo(*seating_.players[c], real);
        else if (!hidden.empty())
            SendTo(*seating_.players[c], hidden);
    }
    for (const User* onlooker : seating_.onlookers) {
        if (seating_.Watches(*onlooker, chair) && seating_.MaySeeHand(*onlooker))
            SendTo(*onlooker, real);
        else if (!hidden.empty())
            SendTo(*onlooker, hidden);
    }
}

void Table::ResyncHiddenOnlookers(int chair) const {
    for (const User* onlooker : seating_.onlookers)
        if (seating_.Watches(*onlooker, chair) && !seating_.MaySeeHand(*onlooker))
            SendTo(*onlooker, net::server_messages::HandResync(hand_.HandAsSeenBy(chair, false)));
}

void Table::RefreshRecordOf(const User& user) const {
    SendAll(net::server_messages::RefreshUser(RecordOf(user)));
}

std::string Table::RecordOf(const User& user) const {
    const UserStats& s = user.stats;
    const std::int64_t score =
        lobby_.config().scoreMode == ScoreMode::Points ? s.points : s.experience;
    int chair = user.chair;
    if (chair < 0) chair = std::max(0, seating_.ChairOf(user.watched));
    const bool ready = user.chair >= 0 && seating_.ready[user.chair];
    const bool dropped = user.chair >= 0 && user.peer == nullptr;
    return net::JoinFields({user.name, std::to_string(s.id), std::to_string(score),
                            std::to_string(score), user.watched, std::to_string(s.hands),
                            Percent(s.wins, s.hands), Percent(s.escapes, s.hands),
                            std::to_string(s.wins), std::to_string(s.losses),
                            std::to_string(s.draws), "0", std::to_string(user.portrait),
                            std::to_string(chair), ready ? "1" : "0", dropped ? "1" : "0"});
}

net::Bytes Table::SnapshotFor(const User& user) const {
    const int viewed = user.chair >= 0 ? user.chair : seating_.ChairOf(user.watched);
    const bool visible = user.chair >= 0 || seating_.MaySeeHand(user);
    return BuildSnapshot(hand_, seating_.ready, rob_, std::max(0, viewed), visible);
}

void Table::SendWelcome(User& user) {
    const std::string view = user.chair >= 0 ? user.name : user.watched;
    SendTo(user, net::server_messages::Identity(user.name, view));
    std::vector<std::string> records;
    for (const User* other : seating_.Everyone()) records.push_back(RecordOf(*other));
    SendTo(user, net::server_messages::UserList(records));
    SendSettingsOffer(user);
    if (handsPlayed_ > 0 || HandRunning())
        SendTo(user, net::server_messages::Snapshot(SnapshotFor(user)));
    SendTo(user, net::server_messages::ItemCatalogue(lobby_.items().catalogue));
    SendTo(user, net::server_messages::OwnItems(lobby_.items().ownItems));
}

void Table::SendSettingsOffer(User& user) {
    const User* owner = seating_.owner;
    net::server_messages::SettingsOffer offer;
    offer.table = number_;
    offer.chair = std::max(0, user.chair);
    offer.ownerName = owner ? owner->name : "";
    offer.seated = seating_.SeatedCount();
    for (int i = 0; i < 6; ++i) offer.settings[i] = std::to_string(settings_[i]);
    const bool beforeFirstHand = handsPlayed_ == 0 && !HandRunning();
    offer.settingsToMake = beforeFirstHand && owner != nullptr && user.chair >= 0;
    offer.youAreOwner = offer.settingsToMake && &user == owner && !settingsAgreed_;
    offer.readyForApproval = offer.settingsToMake && settingsAgreed_ && &user != owner;
    if (offer.settingsToMake && &user == owner && settingsAgreed_) offer.settingsToMake = false;
    SendTo(user, net::server_messages::Settings(offer));
}

LiveTable Table::LiveView() const {
    LiveTable view;
    view.number = number_;
    view.handsPlayed = handsPlayed_;
    view.running = hand_.Running();
    for (int chair = 0; chair < rules::kChairCount; ++chair) {
        if (const User* player = seating_.players[chair])
            view.seats[chair] = LiveSeat{player->name, player->stats.points, player->isBot,
                                         player->isBot || player->peer != nullptr};
        view.onlookerSnapshots[chair] = BuildSnapshot(hand_, seating_.ready, rob_, chair, false);
    }
    for (const User* onlooker : seating_.onlookers) view.onlookers.push_back(onlooker->name);
    if (timer_)
        view.clockMs =
            std::max<std::int64_t>(0, (timerDeadline_ - lobby_.scheduler().Now()).count());
    return view;
}

}  // namespace qira::server
