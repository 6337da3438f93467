// qira-server: the room server with computer players.
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <iostream>
#include <memory>

#include "rules/win_analysis.h"
#include "server/core/room.h"
#include "server/core/selfplay.h"
#include "server/qt/qt_scheduler.h"
#include "server/qt/soak.h"
#include "server/qt/tcp_server.h"

using namespace qira::server;

namespace {

bool ParseListen(const QString& text, QHostAddress& address, quint16& port) {
    const int colon = text.lastIndexOf(':');
    if (colon <= 0) return false;
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535) return false;
    QString host = text.left(colon);
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    if (host == "*" || host == "0.0.0.0")
        address = QHostAddress::AnyIPv4;
    else if (host == "localhost")
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(host))
        return false;
    port = static_cast<quint16>(number);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("qira-server");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "The Qira Mahjong room server: many tables of four chairs, computer players for empty "
        "chairs.");
    parser.addHelpOption();
    const QCommandLineOption listen("listen",
                                    "Address and port to listen on (default 127.0.0.1:5870; port 0 "
                                    "picks a free one; 0.0.0.0:PORT for a LAN).",
                                    "HOST:PORT", "127.0.0.1:5870");
    const QCommandLineOption db(
        "db", "SQLite file for the statistics (default under the XDG data folder).", "PATH");
    const QCommandLineOption items(
        "items", "Item catalogue file (default: items.txt beside the program).", "PATH");
    const QCommandLineOption botWait(
        "bot-wait",
        "Seconds a table with a human waits before computer players fill it (default 0).",
        "SECONDS", "0");
    const QCommandLineOption botThink(
        "bot-think",
        "Milliseconds a computer player takes to act at a table with humans (default 400).", "MS",
        "400");
    const QCommandLineOption turnSeconds(
        "turn-seconds", "The server's own turn clock in seconds (default 25).", "SECONDS", "25");
    const QCommandLineOption mode("mode", "points or experience (default points).", "MODE",
                                  "points");
    const QCommandLineOption seed(
        "seed",
        "Seed of the shuffles and computer players (default: from the clock; 1 for self-play).",
        "S");
    const QCommandLineOption selfplay(
        "selfplay", "Play N hands of four computer players, print figures and exit.", "N");
    const QCommandLineOption botLevel(
        "bot-level", "Strength of the computer players that fill chairs: 1, 2 or 3 (default 2).",
        "N", "2");
    const QCommandLineOption botLevels(
        "bot-levels",
        "With --selfplay: the levels of four computer players, for example 3,2,2,2; they move "
        "one chair on every hand and the figures end in one JSON line.",
        "A,B,C,D");
    const QCommandLineOption randomOpponents("random-opponents",
                                             "With --selfplay: chairs 1-3 discard at random.");
    const QCommandLineOption soak(
        "soak", "Run TABLES tables of computer players on the event loop and report memory.",
        "TABLES");
    const QCommandLineOption soakSeconds("soak-seconds", "How long --soak runs (default 180).",
                                         "SECONDS", "180");
    const QCommandLineOption printPort(
        "print-port", "Print the listening port on standard output once listening.");
    const QCommandLineOption quiet("quiet", "No log lines.");
    parser.addOptions({listen, db, items, botWait, botThink, botLevel, turnSeconds, mode, seed,
                       selfplay, botLevels, randomOpponents, soak, soakSeconds, printPort, quiet});
    parser.process(app);

    const auto seedValue = static_cast<std::uint32_t>(
        parser.isSet(seed)
            ? parser.value(seed).toUInt()
            : (parser.isSet(selfplay) ? 1u : static_cast<std::uint32_t>(time(nullptr))));

    if (parser.isSet(selfplay) && parser.isSet(botLevels)) {
        const auto levels = ParseBotLevels(parser.value(botLevels).toStdString());
        if (!levels) {
            std::cerr << "qira-server: --bot-levels wants four levels from 1 to 3, as 3,2,2,2\n";
            return 2;
        }
        qira::rules::PrepareWinAnalysis();
        const auto report = RunLevelMatch(parser.value(selfplay).toULongLong(), seedValue, *levels);
        std::cout << FormatJson(report) << std::endl;
        return report.stuck ? 1 : 0;
    }
    if (parser.isSet(selfplay)) {
        const auto hands = parser.value(selfplay).toULongLong();
        const auto opponents =
            parser.isSet(randomOpponents) ? Opponents::RandomDiscard : Opponents::Smart;
        const auto report = RunSelfPlay(hands, seedValue, opponents);
        std::cout << FormatReport(report, opponents);
        return report.stuck || report.timeouts > 0 ? 1 : 0;
    }
    if (parser.isSet(soak))
        return RunSoak(parser.value(soak).toInt(), parser.value(soakSeconds).toInt(), seedValue);

    ServerConfig config;
    config.seed = seedValue;
    const auto style = qira::bots::StyleOfLevel(parser.value(botLevel).toInt());
    if (!style) {
        std::cerr << "qira-server: --bot-level is 1, 2 or 3\n";
        return 2;
    }
    config.botStyle = *style;
    config.log = !parser.isSet(quiet);
    config.botWait = Milliseconds(static_cast<long>(parser.value(botWait).toDouble() * 1000));
    config.botThink = Milliseconds(parser.value(botThink).toLong());
    config.turnTimeout =
        Milliseconds(static_cast<long>(parser.value(turnSeconds).toDouble() * 1000));
    if (parser.value(mode) == "experience")
        config.scoreMode = ScoreMode::Experience;
    else if (parser.value(mode) != "points") {
        std::cerr << "qira-server: --mode is points or experience\n";
        return 2;
    }

    QHostAddress address;
    quint16 port = 0;
    if (!ParseListen(parser.value(listen), address, port)) {
        std::cerr << "qira-server: --listen wants HOST:PORT, for example 127.0.0.1:5870\n";
        return 2;
    }

    std::unique_ptr<StatsStore> stats;
    const std::string dbPath =
        parser.isSet(db) ? parser.value(db).toStdString() : DefaultDatabasePath();
    try {
        stats = std::make_unique<SqliteStatsStore>(dbPath);
    } catch (const std::exception& error) {
        std::cerr << "qira-server: " << error.what() << '\n';
        return 1;
    }

    const std::string itemsPath =
        parser.isSet(items) ? parser.value(items).toStdString()
                            : (QCoreApplication::applicationDirPath() + "/items.txt").toStdString();
    auto itemsData = LoadItemsFile(itemsPath);
    if (!itemsData) {
        std::cerr << "qira-server: no item catalogue at " << itemsPath
                  << "; sending an empty one\n";
        itemsData = ParseItems("");
    }

    qira::rules::PrepareWinAnalysis();
    QtScheduler scheduler;
    Lobby lobby(scheduler, *stats, config);
    lobby.SetItems(*itemsData);
    TcpServer server(lobby);
    if (!server.Listen(address, port)) {
        std::cerr << "qira-server: cannot listen on " << parser.value(listen).toStdString() << ": "
                  << server.ErrorText().toStdString() << '\n';
        return 1;
    }
    lobby.log().Line("listening on " + address.toString().toStdString() + ":" +
                     std::to_string(server.Port()) + ", statistics in " + dbPath);
    if (parser.isSet(printPort)) std::cout << server.Port() << std::endl;

    // SIGTERM and SIGINT end the event loop, so the database closes cleanly.
    static int signalPipe[2];
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (pipe(signalPipe) == 0) {
        std::signal(SIGTERM, [](int) { [[maybe_unused]] auto n = write(signalPipe[1], "x", 1); });
        std::signal(SIGINT, [](int) { [[maybe_unused]] auto n = write(signalPipe[1], "x", 1); });
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated,
                         [] { QCoreApplication::quit(); });
    }
    const int status = QCoreApplication::exec();
    lobby.log().Line("server stops");
    return status;
}
