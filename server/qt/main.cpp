// qira-server: the room server with computer players.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <vector>

#include "qira_build.h"
#include "rules/win_analysis.h"
#include "server/core/lobby.h"
#include "server/core/selfplay.h"
#include "server/core/server_options.h"
#include "server/core/stats_store.h"
#include "server/qt/epoll_dispatcher.h"
#include "server/qt/front_door.h"
#include "server/qt/qt_scheduler.h"
#include "server/qt/soak.h"
#include "server/qt/tcp_server.h"
#include "server/web/web_server.h"

using namespace qira::server;

namespace {

std::optional<QHostAddress> AddressOf(std::string host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host == "*" || host == "0.0.0.0") return QHostAddress(QHostAddress::AnyIPv4);
    if (host == "localhost") return QHostAddress(QHostAddress::LocalHost);
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(host))) return std::nullopt;
    return address;
}

ServerConfig ConfigOf(const ServerOptions& options, std::uint32_t seed) {
    ServerConfig config;
    config.seed = seed;
    config.botStyle = *qira::bots::StyleOfLevel(options.botLevel);
    config.log = !options.quiet;
    config.botWait = options.botWait;
    config.botThink = options.botThink;
    config.botOnlyThink = options.botTables > 0 ? options.botThink : Milliseconds{0};
    config.botBudgetMs = options.botBudgetMs;
    config.botWatchClock = true;
    config.turnTimeout = options.turnTimeout;
    config.scoreMode = options.scoreMode;
    config.limits = options.limits;
    return config;
}

// The exit statuses that --help lists.
constexpr int kCannotStart = 1;
constexpr int kStatisticsLost = 3;

// Writes what still waits, waiting for another process's lock a while since
// nobody is served any more; false when hands are lost.
bool SaveWaitingStatistics(StatsStore& stats, const Logger& log) {
    const bool refused = !stats.Fault().empty();
    if (stats.Waiting() == 0) return true;
    const std::size_t waiting = stats.Waiting();
    const std::string fault = stats.Flush(std::chrono::seconds(10));
    if (fault.empty()) {
        if (refused) log.Line("statistics saved of the " + HandCount(waiting) + " that waited");
        return true;
    }
    log.Error("statistics lost of " + HandCount(stats.Waiting()) + ": " + fault);
    return false;
}

std::unique_ptr<StatsStore> OpenStatistics(const std::string& path) {
    try {
        return OpenStatsStore(path);
    } catch (const std::exception& error) {
        std::cerr << "qira-server: " << error.what() << '\n';
        return nullptr;
    }
}

// items.txt beside the program in a build tree, else in the installed data folder.
std::string DefaultItemsPath() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    if (programFolder.exists("items.txt")) return programFolder.filePath("items.txt").toStdString();
    return QDir::cleanPath(programFolder.filePath(QIRA_DATA_FROM_BIN "/items.txt")).toStdString();
}

// A folder beside the program in a build tree, else under the installed data folder.
std::string DataFolder(const QString& besideProgram, const QString& installed) {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    if (programFolder.exists(besideProgram))
        return programFolder.filePath(besideProgram).toStdString();
    return QDir::cleanPath(programFolder.filePath(QIRA_DATA_FROM_BIN "/" + installed))
        .toStdString();
}

// The web front, when --http asks for it: the loop hands it a copy of the
// tables twice a second; it reads the database on its own connection.
struct WebFront {
    web::LiveFeed feed;
    std::unique_ptr<web::WebServer> server;
    QTimer publisher;
};

std::unique_ptr<WebFront> StartWebFront(const ServerOptions& options, const std::string& dbPath,
                                        Lobby& lobby) {
    auto front = std::make_unique<WebFront>();
    const web::SiteFolders folders{DataFolder("web", "web"),
                                   DataFolder("Res/help/tiles", "client/Res/help/tiles"), dbPath};
    front->server = std::make_unique<web::WebServer>(folders, front->feed);
    std::string error;
    if (!front->server->Start(*options.httpHost, options.httpPort, error)) {
        std::cerr << "qira-server: cannot serve the web pages on " << *options.httpHost << ":"
                  << options.httpPort << ": " << error << '\n';
        return nullptr;
    }
    front->feed.Publish(lobby.LiveTables());
    QObject::connect(&front->publisher, &QTimer::timeout,
                     [&lobby, feed = &front->feed] { feed->Publish(lobby.LiveTables()); });
    front->publisher.start(500);
    lobby.log().Line("web pages on http://" + *options.httpHost + ":" +
                     std::to_string(front->server->Port()));
    return front;
}

ItemsData LoadItems(const ServerOptions& options) {
    const std::string path = options.itemsFile.value_or(DefaultItemsPath());
    if (auto items = LoadItemsFile(path)) return *items;
    std::cerr << "qira-server: no item catalogue at " << path << "; sending an empty one\n";
    return *ParseItems("");
}

// SIGTERM and SIGINT end the event loop, so the database closes cleanly.
std::unique_ptr<QSocketNotifier> QuitOnSignals() {
    static int signalPipe[2];
    if (pipe(signalPipe) != 0) return nullptr;
    std::signal(SIGTERM, [](int) { [[maybe_unused]] auto n = write(signalPipe[1], "x", 1); });
    std::signal(SIGINT, [](int) { [[maybe_unused]] auto n = write(signalPipe[1], "x", 1); });
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    return notifier;
}

// What a server sharing a PostgreSQL database with others keeps: its entry
// in the directory of servers, kept up to date, and its front door.
struct Sharing {
    std::unique_ptr<Directory> directory;
    std::unique_ptr<QTimer> publisher;
    std::unique_ptr<FrontDoor> door;
};

// Nothing to share with an SQLite file; nullptr when the directory or the
// front door cannot be opened (the reason is on standard error).
std::unique_ptr<Sharing> ShareWithOtherServers(const ServerOptions& options,
                                               const QHostAddress& address, quint16 port,
                                               Lobby& lobby, Scheduler& scheduler) {
    auto sharing = std::make_unique<Sharing>();
    if (!options.database || !IsPostgresTarget(*options.database)) {
        if (options.frontDoorPort)
            std::cerr << "qira-server: --front-door-port needs a PostgreSQL --db\n";
        return options.frontDoorPort ? nullptr : std::move(sharing);
    }
    const bool anyAddress = address == QHostAddress::Any || address == QHostAddress::AnyIPv6 ||
                            address == QHostAddress::AnyIPv4;
    if (!options.advertise && anyAddress) {
        std::cerr << "qira-server: listening on every address: --advertise HOST:PORT must say "
                     "how players reach this server\n";
        return nullptr;
    }
    const std::string advertised =
        options.advertise.value_or(options.listenHost + ":" + std::to_string(port));
    try {
        sharing->directory = std::make_unique<Directory>(*options.database, advertised, scheduler);
    } catch (const std::exception& error) {
        std::cerr << "qira-server: " << error.what() << '\n';
        return nullptr;
    }
    Directory& directory = *sharing->directory;
    // Published when it changed; the directory repeats it as the heartbeat.
    sharing->publisher = std::make_unique<QTimer>();
    sharing->publisher->callOnTimeout(
        [&lobby, &directory, last = std::optional<Presence>()]() mutable {
            Presence now = lobby.CurrentPresence();
            if (last == now) return;
            last = now;
            directory.Publish(std::move(now));
        });
    sharing->publisher->start(200);
    lobby.log().Line("in the directory of servers as " + advertised);
    if (options.frontDoorPort) {
        sharing->door = std::make_unique<FrontDoor>(directory);
        if (!sharing->door->Listen(address, *options.frontDoorPort)) {
            std::cerr << "qira-server: cannot open the front door on port "
                      << *options.frontDoorPort << ": " << sharing->door->ErrorText().toStdString()
                      << '\n';
            return nullptr;
        }
        lobby.log().Line("front door on port " + std::to_string(sharing->door->Port()));
    }
    return sharing;
}

int Serve(const ServerOptions& options, std::uint32_t seed) {
    const auto address = AddressOf(options.listenHost);
    if (!address) {
        std::cerr << "qira-server: --listen wants HOST:PORT, for example 127.0.0.1:5870\n";
        return 2;
    }
    const std::string dbPath = options.database.value_or(DefaultDatabasePath());
    const auto stats = OpenStatistics(dbPath);
    if (!stats) return kCannotStart;
    QtScheduler scheduler;
    Lobby lobby(scheduler, *stats, ConfigOf(options, seed));
    lobby.SetItems(LoadItems(options));
    TcpServer server(lobby);
    if (!server.Listen(*address, options.listenPort)) {
        std::cerr << "qira-server: cannot listen on " << options.listenHost << ":"
                  << options.listenPort << ": " << server.ErrorText().toStdString() << '\n';
        return 1;
    }
    lobby.log().Line("listening on " + address->toString().toStdString() + ":" +
                     std::to_string(server.Port()) + ", statistics in " + dbPath);
    const auto shared = ShareWithOtherServers(options, *address, server.Port(), lobby, scheduler);
    if (!shared) return kCannotStart;
    std::unique_ptr<WebFront> webFront;
    if (options.httpHost && !(webFront = StartWebFront(options, dbPath, lobby)))
        return kCannotStart;
    if (options.printPort) {
        std::cout << server.Port();
        if (webFront) std::cout << ' ' << webFront->server->Port();
        std::cout << std::endl;
        if (shared->door) std::cout << shared->door->Port() << std::endl;
    }
    const std::vector<BotStyle> styles(qira::rules::kChairCount, ConfigOf(options, seed).botStyle);
    for (int i = 0; i < options.botTables; ++i) lobby.OpenBotTable(styles);
    const auto signalNotifier = QuitOnSignals();
    const int status = QCoreApplication::exec();
    lobby.log().Line("server stops");
    if (!SaveWaitingStatistics(*stats, lobby.log())) return kStatisticsLost;
    return status;
}

// A configuration file's text, or nothing when there is none to read.
std::optional<std::string> ReadConfigFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.exists()) return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "qira-server: cannot read " << path << ": " << file.errorString().toStdString()
                  << '\n';
        return std::nullopt;
    }
    return file.readAll().toStdString();
}

// The event loop on epoll: with thousands of sockets, GLib's loop (Qt's
// default) and Qt's own poll() loop spend more time walking the sockets on
// every turn than the tables cost (docs/scaling.md). QIRA_EVENT_LOOP=glib or
// =poll picks one of those instead, for comparisons.
void InstallEventLoop() {
    const QByteArray choice = qgetenv("QIRA_EVENT_LOOP");
    if (choice == "glib") return;
    if (choice == "poll") {
        qputenv("QT_NO_GLIB", "1");
        return;
    }
    // Qt takes the dispatcher over and deletes it with the application.
    QCoreApplication::setEventDispatcher(std::make_unique<EpollDispatcher>().release());
}

}  // namespace

int main(int argc, char* argv[]) {
    InstallEventLoop();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("qira-server");
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = ResolveServerOptions(arguments, ReadConfigFile);
    if (!parsed.error.empty()) {
        std::cerr << "qira-server: " << parsed.error << " (see --help)\n";
        return 2;
    }
    const ServerOptions& options = parsed.options;
    if (options.help) {
        std::cout << ServerHelpText();
        return 0;
    }
    if (options.version) {
        std::cout << "qira-server " << QIRA_VERSION << '\n';
        return 0;
    }
    if (options.exportHands) {
        const std::string path = options.database.value_or(DefaultDatabasePath());
        return ExportStoredHands(path, options.exportHand, std::cout, std::cerr) ? 0 : 1;
    }
    const bool selfPlay = options.selfPlayHands.has_value() || options.duplicateWalls.has_value();
    const std::uint32_t seed =
        options.seed.value_or(selfPlay ? 1u : static_cast<std::uint32_t>(time(nullptr)));
    std::unique_ptr<StatsStore> store;
    if (selfPlay && options.database && !(store = OpenStatistics(*options.database)))
        return kCannotStart;
    const Logger selfPlayLog(!options.quiet);
    // Every mode below plays many hands: the large answer cache pays for itself.
    qira::rules::PrepareWinAnalysis(qira::rules::AnswerCache::Large);
    if (options.duplicateWalls) {
        const auto [tested, baseline] = options.duplicateLevels;
        std::cout << FormatJson(RunDuplicate(*options.duplicateWalls, seed, tested, baseline,
                                             options.botBudgetMs))
                  << std::endl;
        return 0;
    }
    if (selfPlay && options.selfPlayLevels) {
        const auto report = RunLevelMatch(*options.selfPlayHands, seed, *options.selfPlayLevels,
                                          store.get(), options.botBudgetMs);
        std::cout << FormatJson(report) << std::endl;
        if (store && !SaveWaitingStatistics(*store, selfPlayLog)) return kStatisticsLost;
        return report.stuck ? 1 : 0;
    }
    if (selfPlay) {
        const auto opponents =
            options.randomOpponents ? Opponents::RandomDiscard : Opponents::Smart;
        const auto report = RunSelfPlay(*options.selfPlayHands, seed, opponents, store.get());
        std::cout << FormatReport(report, opponents);
        if (store && !SaveWaitingStatistics(*store, selfPlayLog)) return kStatisticsLost;
        return report.stuck || report.timeouts > 0 ? 1 : 0;
    }
    if (options.hostileSoakSeconds) return RunHostileSoak(*options.hostileSoakSeconds, seed);
    if (options.soakTables)
        return RunSoak(*options.soakTables, options.soakSeconds, seed,
                       Milliseconds{std::max(0, options.soakThinkMs)},
                       options.database.value_or(""));
    return Serve(options, seed);
}
