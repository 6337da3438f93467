#include "server/core/lobby.h"

#include <algorithm>

#include "net/server_messages.h"
#include "server/core/bot_client.h"
#include "server/core/hello.h"
#include "server/core/table.h"
#include "server/core/text_rules.h"

namespace qira::server {

Lobby::Lobby(Scheduler& scheduler, StatsStore& stats, ServerConfig config, Logger::Sink logSink)
    : scheduler_(scheduler),
      stats_(stats),
      config_(std::move(config)),
      logger_(config_.log, std::move(logSink)),
      random_(config_.seed) {
    stats_.Attach(scheduler_, [this](const StoreReport& report) { OnStoreReport(report); });
    scheduler_.SetSettle([this] { stats_.Settle(); });
}

Lobby::~Lobby() {
    scheduler_.SetSettle({});
    stats_.Detach();
    if (statsRetry_) scheduler_.CancelTimer(*statsRetry_);
    closing_.clear();
    tables_.clear();
    bots_.clear();
}

void Lobby::OnHello(Peer& peer, std::span<const std::uint8_t> hello) {
    auto parsed = ParseHello(hello, config_.limits);
    if (const auto* why = std::get_if<Refusal>(&parsed)) return RefuseLink(peer, *why);
    pending_[&peer] = std::move(std::get<Hello>(parsed));
}

void Lobby::OnMessage(Peer& peer, std::span<const std::uint8_t> message) {
    if (const auto it = pending_.find(&peer); it != pending_.end()) {
        const PendingHello hello = it->second;
        pending_.erase(it);
        return Enter(peer, hello, message);
    }
    const auto it = byPeer_.find(&peer);
    if (it == byPeer_.end() || !it->second->table) return;
    User& user = *it->second;
    if (user.requests.closing()) return;
    user.table->OnRequest(user, message);
}

void Lobby::OnDisconnected(Peer& peer) {
    pending_.erase(&peer);
    entering_.erase(&peer);
    const auto it = byPeer_.find(&peer);
    if (it == byPeer_.end()) return;
    User& user = *it->second;
    byPeer_.erase(it);
    LogSuppressed(user);
    logger_.Line(user.name + " disconnected (" + peer.Describe() + ")");
    if (user.table) user.table->OnConnectionLost(user);
}

void Lobby::LogSuppressed(User& user) {
    if (const auto held = user.requests.TakeSuppressed())
        logger_.Line(std::to_string(held) + " more lines about " + user.name +
                     "'s requests not logged");
}

void Lobby::CloseFlooding(User& user) {
    if (!user.peer) return;
    LogSuppressed(user);
    logger_.Line("closing the connection of " + user.name + " (" + user.peer->Describe() +
                 "): it keeps sending refused requests");
    user.peer->Disconnect();
}

void Lobby::RefuseLink(Peer& peer, Refusal why) {
    CountRefusal(why);
    logger_.Line("refused connection from " + peer.Describe() + ": " + std::string(TextOf(why)));
    peer.Disconnect();
}

bool Lobby::TooBusyForNewcomers() {
    const Milliseconds lag = scheduler_.Lag();
    const Milliseconds limit = config_.limits.busyLag;
    if (limit.count() <= 0 || lag < limit) return false;
    // One line per busy spell, not one per newcomer.
    if (scheduler_.Now() - lastBusyLog_ >= Milliseconds{1'000}) {
        lastBusyLog_ = scheduler_.Now();
        logger_.Line("the server is busy: the event loop went " + std::to_string(lag.count()) +
                     " ms without looking at its connections (limit " +
                     std::to_string(limit.count()) + " ms); turning newcomers away");
    }
    return true;
}

bool Lobby::TableFullOfOnlookers(const std::string& watched) const {
    const User* player = watched.empty() ? nullptr : FindUser(watched);
    return player && player->table && player->chair >= 0 &&
           player->table->Onlookers().size() >= config_.limits.onlookersPerTable;
}

bool Lobby::NameTaken(const std::string& name) const {
    const std::string key = NameKey(name);
    return std::any_of(users_.begin(), users_.end(),
                       [&](const auto& user) { return user->nameKey == key; }) ||
           std::any_of(entering_.begin(), entering_.end(),
                       [&](const auto& entry) { return entry.second.user->nameKey == key; });
}

User* Lobby::FindUser(const std::string& name) const {
    for (const auto& user : users_)
        if (user->name == name) return user.get();
    return nullptr;
}

std::string Lobby::UniqueName(const std::string& wanted) const {
    if (!NameTaken(wanted)) return wanted;
    for (int n = 2;; ++n) {
        const std::string name = wanted + "(" + std::to_string(n) + ")";
        if (!NameTaken(name)) return name;
    }
}

Table& Lobby::TableForNewPlayer() {
    for (const auto& table : tables_)
        if (table->FreeChair() >= 0 && !table->HandRunning() && table->HandsPlayed() == 0 &&
            table->HasHuman())
            return *table;
    tables_.push_back(std::make_unique<Table>(*this, nextTableNumber_++));
    return *tables_.back();
}

void Lobby::Enter(Peer& peer, const PendingHello& hello, std::span<const std::uint8_t> entry) {
    const auto fields = net::SplitFields(net::DecodeBody(entry, 2));
    if (net::ClassifyRequest(entry) != net::Request::Entry || fields.size() < 3 ||
        fields[1] != "QIRA") {
        return RefuseLink(peer, Refusal::NotAnEntry);
    }
    const bool allowWatch = fields[2] == "1";
    if (Reconnect(peer, hello, allowWatch)) return;
    if (TooBusyForNewcomers()) {
        peer.Deliver(net::server_messages::Notice("服务器繁忙，请稍后再来"));
        return RefuseLink(peer, Refusal::ServerBusy);
    }
    if (TableFullOfOnlookers(hello.watch)) {
        peer.Deliver(net::server_messages::Notice("本桌旁观的人数已满，请稍后再来"));
        return RefuseLink(peer, Refusal::TooManyOnlookers);
    }
    auto owned = std::make_unique<User>();
    owned->name = UniqueName(hello.name);
    owned->nameKey = NameKey(owned->name);
    owned->allowWatch = allowWatch;
    owned->secret = hello.secret;
    const std::string name = owned->name;
    const std::uint64_t serial = ++lastEntrySerial_;
    entering_[&peer] = {std::move(owned), hello, serial};
    // A new user's row is added by the store's writer: the peer may be gone
    // by the time it answers.
    stats_.LoadThen(name, [this, alive = std::weak_ptr<int>(alive_), peer = &peer, serial](
                              std::optional<UserStats> stats, const std::string& fault) {
        if (alive.expired()) return;
        const auto it = entering_.find(peer);
        if (it == entering_.end() || it->second.serial != serial) return;
        Entering entering = std::move(it->second);
        entering_.erase(it);
        if (!stats) {
            logger_.Error(fault);
            peer->Deliver(
                net::server_messages::Notice("服务器暂时无法保存新用户的战绩，请稍后再来"));
            return RefuseLink(*peer, Refusal::StatisticsUnavailable);
        }
        entering.user->stats = *stats;
        Admit(*peer, std::move(entering.user), entering.hello);
    });
}

void Lobby::Admit(Peer& peer, std::unique_ptr<User> owned, const PendingHello& hello) {
    User& user = *owned;
    user.peer = &peer;
    user.requests = RequestGuard(config_.limits.requests);
    user.portrait = static_cast<int>(std::hash<std::string>{}(user.name) % 20);
    users_.push_back(std::move(owned));
    byPeer_[&peer] = &user;
    logger_.Line(user.name + " joined from " + peer.Describe() +
                 (user.name != hello.name ? " (renamed from " + hello.name + ")" : ""));
    if (!hello.watch.empty()) {
        User* target = FindUser(hello.watch);
        if (target && target->table && target->chair >= 0 && target != &user) {
            user.watched = target->name;
            target->table->AddOnlooker(user);
            return;
        }
    }
    Table& table = TableForNewPlayer();
    table.SeatPlayer(user, table.FreeChair());
}

// A player whose connection dropped gets the chair back. The old connection
// may still look alive (a laptop that slept, a changed network): the secret
// proves the player, so the old one is closed and the chair handed over.
bool Lobby::Reconnect(Peer& peer, const PendingHello& hello, bool allowWatch) {
    User* back = FindUser(hello.name);
    if (!back || back->isBot || !back->table || back->chair < 0) return false;
    if (hello.secret.empty() || hello.secret != back->secret) {
        logger_.Line(hello.name + " from " + peer.Describe() +
                     " lacks the seated player's secret: a new user");
        return false;
    }
    if (Peer* stale = back->peer; stale && stale != &peer) {
        logger_.Line(back->name + " is back from " + peer.Describe() + "; closing the old " +
                     stale->Describe());
        byPeer_.erase(stale);
        stale->Disconnect();
    }
    LogSuppressed(*back);
    back->requests = RequestGuard(config_.limits.requests);
    back->peer = &peer;
    back->allowWatch = allowWatch;
    byPeer_[&peer] = back;
    logger_.Line(back->name + " reconnected from " + peer.Describe());
    back->table->OnReconnected(*back);
    return true;
}

User& Lobby::AddBot(Table& table, int chair, BotStyle style) {
    auto owned = std::make_unique<User>();
    User& user = *owned;
    // The lowest free number, so that the statistics database holds as many
    // computer players as ever sat at once, not one per table ever opened.
    for (int n = 1;; ++n) {
        user.name = "电脑" + std::to_string(n);
        if (!FindUser(user.name)) break;
    }
    user.nameKey = NameKey(user.name);
    ++nextBotNumber_;
    user.isBot = true;
    user.botLevel = bots::LevelOf(style);
    // A seated player could otherwise watch a computer opponent's tiles.
    user.allowWatch = false;
    // A computer player sits down at once; a new one's numbers follow once
    // the store's writer has added its row.
    auto seated = std::make_shared<bool>(false);
    stats_.LoadThen(user.name,
                    [this, alive = std::weak_ptr<int>(alive_), name = user.name, seated,
                     early = &user](std::optional<UserStats> stats, const std::string& fault) {
                        if (alive.expired()) return;
                        if (!stats) return logger_.Error(fault);
                        if (!*seated) {
                            early->stats = *stats;
                            return;
                        }
                        User* bot = FindUser(name);
                        if (!bot || !bot->isBot) return;
                        bot->stats = *stats;
                        if (bot->table) bot->table->RefreshRecordOf(*bot);
                    });
    *seated = true;
    user.portrait = 1000 + chair;
    const Milliseconds think = table.HasHuman() ? config_.botThink : config_.botOnlyThink;
    auto bot = std::make_unique<BotClient>(
        *this, user.name, style, config_.seed * 7919u + static_cast<std::uint32_t>(nextBotNumber_),
        think);
    bot->SetSearchBudget(config_.botBudgetMs, config_.botWatchClock);
    user.peer = bot.get();
    byPeer_[bot.get()] = &user;
    bots_[&user] = std::move(bot);
    users_.push_back(std::move(owned));
    table.SeatPlayer(user, chair);
    return user;
}

void Lobby::DetachPeer(User& user) {
    if (user.peer) byPeer_.erase(user.peer);
}

void Lobby::ForgetUser(User& user) {
    if (user.peer) byPeer_.erase(user.peer);
    for (auto it = byPeer_.begin(); it != byPeer_.end();)
        it = it->second == &user ? byPeer_.erase(it) : std::next(it);
    user.table = nullptr;
    // The user or its computer player may still be on the call stack: they
    // are destroyed once the current event has been handled.
    std::shared_ptr<BotClient> bot;
    if (const auto b = bots_.find(&user); b != bots_.end()) {
        b->second->Disconnect();
        bot = std::move(b->second);
        bots_.erase(b);
    }
    std::shared_ptr<User> kept;
    if (const auto u = std::find_if(users_.begin(), users_.end(),
                                    [&](const auto& p) { return p.get() == &user; });
        u != users_.end()) {
        kept = std::move(*u);
        users_.erase(u);
    }
    scheduler_.Post([bot, kept] {});
}

void Lobby::RetryStatisticsLater() {
    if (statsRetry_ || stats_.Waiting() == 0) return;
    statsRetry_ = scheduler_.StartTimer(config_.statsRetry, [this] {
        statsRetry_.reset();
        stats_.Retry();
    });
}

// The table learns that its hand waits; the log hears each table once, and
// of repeated refusals only when the reason changes.
void Lobby::OnStoreReport(const StoreReport& report) {
    const std::string waiting = HandCount(report.waiting) + " waiting";
    if (report.fault.empty()) {
        if (report.waited > 0)
            logger_.Line("statistics saved of the " + HandCount(report.waited) + " that waited");
        lastStatsFault_.clear();
        return;
    }
    for (const int number : report.refusedTables) {
        logger_.Error("table " + std::to_string(number) + ": statistics not saved: " +
                      report.fault + "; " + waiting + ", tried again every " +
                      std::to_string(config_.statsRetry.count() / 1000) + " s");
        const auto table = std::find_if(tables_.begin(), tables_.end(),
                                        [&](const auto& t) { return t->number() == number; });
        if (table != tables_.end())
            (*table)->Announce("系统：本局战绩暂时无法写入数据库，服务器已保留，会自动重试");
    }
    if (report.refusedTables.empty() && report.fault != lastStatsFault_)
        logger_.Error("statistics still not saved: " + report.fault + "; " + waiting);
    lastStatsFault_ = report.fault;
    RetryStatisticsLater();
}

// A fresh table takes newcomers as TableForNewPlayer picks them.
Presence Lobby::CurrentPresence() const {
    Presence presence;
    for (const auto& user : users_)
        if (!user->isBot && user->peer) ++presence.load;
    for (const auto& table : tables_) {
        const bool fresh = !table->HandRunning() && table->HandsPlayed() == 0 && table->HasHuman();
        for (int chair = 0; chair < rules::kChairCount; ++chair) {
            const User* player = table->PlayerAt(chair);
            if (!player && fresh) ++presence.openChairs;
            if (player && !player->isBot && !player->secret.empty())
                presence.seats.push_back({player->name, table->number(), chair, player->secret});
        }
    }
    return presence;
}

void Lobby::CloseTableIfEmpty(Table& table) {
    Table* target = &table;
    scheduler_.Post([this, target] {
        const auto it = std::find_if(tables_.begin(), tables_.end(),
                                     [&](const auto& t) { return t.get() == target; });
        if (it == tables_.end() || target->HasHuman()) return;
        logger_.Line("table " + std::to_string(target->number()) + " closes");
        target->Close();
        for (User* user : target->Everyone()) {
            if (user->peer && !user->isBot) user->peer->Disconnect();
            ForgetUser(*user);
        }
        // The table goes once the task that closed it has returned; a lobby
        // that goes first takes it along, while the table can still reach it.
        closing_.push_back(std::move(*it));
        tables_.erase(it);
        scheduler_.Post([this, alive = std::weak_ptr<int>(alive_)] {
            if (alive.lock()) closing_.clear();
        });
    });
}

Table& Lobby::OpenBotTable(std::span<const BotStyle> styles) {
    tables_.push_back(std::make_unique<Table>(*this, nextTableNumber_++));
    Table& table = *tables_.back();
    table.KeepWithoutHumans();
    for (int chair = 0; chair < rules::kChairCount; ++chair)
        AddBot(table, chair,
               chair < static_cast<int>(styles.size()) ? styles[chair] : BotStyle::Smart);
    return table;
}

void Lobby::SetBotStyle(const User& user, BotStyle style) {
    const auto it = bots_.find(&user);
    if (it == bots_.end()) return;
    it->second->SetStyle(style);
    if (User* bot = FindUser(user.name)) bot->botLevel = bots::LevelOf(style);
}

void Lobby::FoldIntoDigest(const net::Bytes& message) {
    for (const std::uint8_t byte : message) {
        tally_.digest ^= byte;
        tally_.digest *= 1099511628211ull;
    }
}

void Lobby::CountRefusal(Refusal why) {
    ++tally_.refused;
    ++tally_.refusedBy[static_cast<std::size_t>(why)];
}

void Lobby::CountHand(const std::vector<std::string>& winnerNames, bool selfDrawn) {
    ++tally_.hands;
    if (winnerNames.empty())
        ++tally_.drawn;
    else if (selfDrawn)
        ++tally_.selfDrawn;
    else
        ++tally_.onDiscard;
    for (const auto& name : winnerNames) ++tally_.winsByName[name];
}

std::vector<LiveTable> Lobby::LiveTables() const {
    std::vector<LiveTable> views;
    views.reserve(tables_.size());
    for (const auto& table : tables_) views.push_back(table->LiveView());
    return views;
}

}  // namespace qira::server
