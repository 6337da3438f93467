#include "server/core/server_options.h"

#include "server/core/selfplay.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <vector>

#include "net/numeric_text.h"

namespace qira::server {
namespace {

bool ReadListen(ServerOptions& options, std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto port = net::ReadWholeNumber<std::uint16_t>(text.substr(colon + 1));
    if (!port) return false;
    options.listenHost = std::string(text.substr(0, colon));
    options.listenPort = *port;
    return true;
}

bool ReadHttp(ServerOptions& options, std::string_view text) {
    ServerOptions parsed;
    if (!ReadListen(parsed, text)) return false;
    options.httpHost = parsed.listenHost;
    options.httpPort = parsed.listenPort;
    return true;
}

// One option: its name, the name of its value (empty for a flag), the help
// line, how its value is stored (false for a value it does not take), and
// for a number the values it takes, named in the help and in the error.
struct OptionRow {
    std::string_view name;
    std::string_view valueName;
    std::string_view help;
    std::function<bool(ServerOptions&, std::string_view)> store;
    std::string accepts = {};
};

template <typename Number>
std::string RangeText(Number low, Number high) {
    if (std::numeric_limits<Number>::digits >= 63 && high == std::numeric_limits<Number>::max())
        return std::to_string(low) + " or more";
    return std::to_string(low) + " to " + std::to_string(high);
}

// A whole number from `low` to `high`, handed to `assign`.
template <typename Number>
OptionRow NumberRow(std::string_view name, std::string_view valueName, std::string_view help,
                    Number low, Number high, std::function<void(ServerOptions&, Number)> assign) {
    auto store = [=](ServerOptions& o, std::string_view text) {
        const auto value = net::ReadWholeNumber<Number>(text);
        if (!value || *value < low || *value > high) return false;
        assign(o, *value);
        return true;
    };
    return {name, valueName, help, store, RangeText(low, high)};
}

template <typename Number>
OptionRow NumberRow(std::string_view name, std::string_view valueName, std::string_view help,
                    Number low, Number high, Number ServerOptions::*field) {
    return NumberRow<Number>(name, valueName, help, low, high,
                             [field](ServerOptions& o, Number value) { o.*field = value; });
}

template <typename Number>
OptionRow NumberRow(std::string_view name, std::string_view valueName, std::string_view help,
                    Number low, Number high, std::optional<Number> ServerOptions::*field) {
    return NumberRow<Number>(name, valueName, help, low, high,
                             [field](ServerOptions& o, Number value) { o.*field = value; });
}

OptionRow LimitRow(std::string_view name, std::string_view help, std::size_t low, std::size_t high,
                   std::size_t Limits::*field) {
    return NumberRow<std::size_t>(
        name, "N", help, low, high,
        [field](ServerOptions& o, std::size_t n) { o.limits.*field = n; });
}

// Seconds, fractions allowed, from `low` to `high`; stored in milliseconds.
OptionRow SecondsRow(std::string_view name, std::string_view help, int low, int high,
                     std::function<Milliseconds&(ServerOptions&)> field) {
    auto store = [=](ServerOptions& o, std::string_view text) {
        const auto seconds = net::ReadWholeNumber<double>(text);
        if (!seconds || !std::isfinite(*seconds) || *seconds < low || *seconds > high) return false;
        field(o) = Milliseconds(std::llround(*seconds * 1000));
        return true;
    };
    return {name, "SECONDS", help, store, RangeText(low, high)};
}

std::function<bool(ServerOptions&, std::string_view)> StoreFlag(bool ServerOptions::*field) {
    return [field](ServerOptions& o, std::string_view) { return o.*field = true; };
}

std::vector<OptionRow> GeneralRows();

// What one client may take of the server (docs/protocol.md, "Limits").
std::vector<OptionRow> LimitRows() {
    constexpr std::size_t kMany = 1'000'000;
    return {
        NumberRow<std::size_t>(
            "output-cap-kb", "KB",
            "Unsent output to one client beyond which it is cut off (default 1024).", 64, kMany,
            [](ServerOptions& o, std::size_t kb) { o.limits.outputCapBytes = kb * 1024; }),
        SecondsRow("hello-seconds",
                   "Time a new connection has for its hello and entry (default 10).", 1, 3600,
                   [](ServerOptions& o) -> Milliseconds& { return o.limits.helloDeadline; }),
        SecondsRow("frame-seconds",
                   "Time a client has to finish a frame it has begun (default 10).", 1, 3600,
                   [](ServerOptions& o) -> Milliseconds& { return o.limits.frameDeadline; }),
        SecondsRow("dead-peer-seconds",
                   "Time within which a client that answers neither TCP keepalive probes nor "
                   "data counts as gone (default 60).",
                   10, 3600, [](ServerOptions& o) -> Milliseconds& { return o.limits.deadPeer; }),
        NumberRow<std::size_t>(
            "half-frames-mb", "MB",
            "What half-written frames of all clients may hold together (default 16).", 1, 4096,
            [](ServerOptions& o, std::size_t mb) { o.limits.halfFrameBytes = mb << 20; }),
        LimitRow("per-address",
                 "Connections allowed from one address, an IPv6 /64 counting as one (default 16).",
                 1, kMany, &Limits::connectionsPerAddress),
        LimitRow("max-connections",
                 "Connections in all (default: what the descriptor limit leaves room for).", 1,
                 kMany, &Limits::maxConnections),
        NumberRow<std::size_t>(
            "busy-lag-ms", "MS",
            "Event-loop lag at which newcomers are told the server is busy; seated players "
            "stay (default 250, 0: never).",
            0, 60'000,
            [](ServerOptions& o, std::size_t ms) {
                o.limits.busyLag = Milliseconds{static_cast<Milliseconds::rep>(ms)};
            }),
        LimitRow("max-onlookers", "Onlookers allowed at one table (default 32).", 0, 1000,
                 &Limits::onlookersPerTable),
        LimitRow("chat-characters", "Longest chat text in characters (default 200).", 1, 1000,
                 &Limits::chatCharacters),
        LimitRow("chat-lines", "Chat lines a user may send in five seconds (default 5).", 1, 1000,
                 &Limits::chatLines),
    };
}

const std::vector<OptionRow>& Rows() {
    static const std::vector<OptionRow> rows = [] {
        std::vector<OptionRow> all = GeneralRows();
        const auto limits = LimitRows();
        const auto printPort = std::find_if(
            all.begin(), all.end(), [](const OptionRow& row) { return row.name == "print-port"; });
        all.insert(printPort, limits.begin(), limits.end());
        return all;
    }();
    return rows;
}

std::vector<OptionRow> GeneralRows() {
    const auto think = [](ServerOptions& o, long ms) { o.botThink = Milliseconds(ms); };
    return {
        {"listen", "HOST:PORT",
         "Address and port to listen on (default 127.0.0.1:5870; port 0 picks a free one; "
         "0.0.0.0:PORT for a LAN).",
         ReadListen, "HOST:PORT with PORT 0 to 65535"},
        {"http", "HOST:PORT",
         "Serve the read-only web pages and JSON API (live tables, leaderboard, players, "
         "hands) on HOST:PORT (default: off; 127.0.0.1:PORT keeps it to this machine).",
         ReadHttp, "HOST:PORT with PORT 0 to 65535"},
        NumberRow<int>("bot-tables", "N",
                       "Open N tables of four computer players at the start, playing on until "
                       "the server stops (default 0).",
                       0, 1000, &ServerOptions::botTables),
        {"config", "FILE",
         "Read options from FILE, \"key = value\" lines named like the long options "
         "(default " QIRA_CONFIG_FILE " when it exists); the command line wins.",
         [](ServerOptions& o, std::string_view v) { return !(o.configFile = v)->empty(); }},
        {"db", "PATH|URI",
         "SQLite file for the statistics and the hand log (default under the XDG data folder; "
         "with --selfplay: kept only when given). It must be writable and pass SQLite's quick "
         "check, or the server does not start. A postgresql:// URI or a libpq \"key=value\" "
         "connection string keeps them in PostgreSQL instead, shared by several servers.",
         [](ServerOptions& o, std::string_view v) { return !(o.database = v)->empty(); }},
        {"advertise", "HOST:PORT",
         "With a PostgreSQL --db: the address by which players reach this server, as the "
         "directory of servers shares it (default: the --listen address).",
         [](ServerOptions& o, std::string_view v) {
             return v.rfind(':') != std::string_view::npos && !(o.advertise = v)->empty();
         },
         "HOST:PORT"},
        NumberRow<std::uint16_t>("front-door-port", "PORT",
                                 "With a PostgreSQL --db: also answer qira-launch --front-door "
                                 "on PORT (same host as --listen; 0 picks a free one), with the "
                                 "server a player should join.",
                                 0, 65'535, &ServerOptions::frontDoorPort),
        {"export-hands", "",
         "Print the kept hands of --db as JSON lines, oldest first, and exit; a hand that "
         "cannot be read is named on standard error and the exit status is 1.",
         StoreFlag(&ServerOptions::exportHands)},
        NumberRow<std::int64_t>("hand", "ID", "With --export-hands: only the hand with this id.", 1,
                                std::numeric_limits<std::int64_t>::max(),
                                &ServerOptions::exportHand),
        {"items", "PATH",
         "Item catalogue file (default: items.txt beside the program or in its data folder).",
         [](ServerOptions& o, std::string_view v) { return !(o.itemsFile = v)->empty(); }},
        SecondsRow("bot-wait",
                   "Seconds a table with a human waits before computer players fill it "
                   "(default 0).",
                   0, 3600, [](ServerOptions& o) -> Milliseconds& { return o.botWait; }),
        NumberRow<long>(
            "bot-think", "MS",
            "Milliseconds a computer player takes to act at a table with humans (default 400).", 0,
            60'000, think),
        NumberRow<int>("bot-level", "N",
                       "Strength of the computer players that fill chairs (default 2): 1 "
                       "beginner, the shortest way to a ready hand; 2 also counts the tiles "
                       "still to come; 3 level 2 made careful, weighing each discard's danger; "
                       "4 plays sampled deals of the unseen tiles out and takes the best "
                       "expected points (uses --bot-budget-ms of CPU per decision).",
                       1, 4, &ServerOptions::botLevel),
        NumberRow<int>("bot-budget-ms", "MS",
                       "Milliseconds of thinking a level 4 player may spend on one decision "
                       "(default 100); less time plays fewer sampled deals. Distinct from "
                       "--bot-think, the pause before it acts.",
                       1, 10'000, &ServerOptions::botBudgetMs),
        SecondsRow("turn-seconds",
                   "The server's own turn clock in seconds (default 25); the client plays for "
                   "an idle player at 20, so a shorter clock would overtake it.",
                   20, 600, [](ServerOptions& o) -> Milliseconds& { return o.turnTimeout; }),
        {"mode", "MODE", "points or experience (default points).",
         [](ServerOptions& o, std::string_view v) {
             if (v == "points") o.scoreMode = ScoreMode::Points;
             if (v == "experience") o.scoreMode = ScoreMode::Experience;
             return v == "points" || v == "experience";
         },
         "points or experience"},
        NumberRow<std::uint32_t>(
            "seed", "S",
            "Seed of the shuffles and computer players (default: from the clock; 1 for "
            "self-play).",
            0, std::numeric_limits<std::uint32_t>::max(), &ServerOptions::seed),
        NumberRow<std::uint64_t>("selfplay", "N",
                                 "Play N hands of four computer players, print figures and exit.",
                                 1, 1'000'000'000, &ServerOptions::selfPlayHands),
        {"bot-levels", "A,B,C,D",
         "With --selfplay: the levels of four computer players, for example 3,2,2,2; they move "
         "one chair on every hand and the figures end in one JSON line.",
         [](ServerOptions& o, std::string_view v) {
             o.selfPlayLevels = ParseBotLevels(v);
             return o.selfPlayLevels.has_value();
         },
         "four levels 1 to 4"},
        NumberRow<std::uint64_t>(
            "duplicate", "WALLS",
            "Play each of WALLS seeded walls twice, one hand each, the tested level in one "
            "chair and then the baseline level there (the other chairs the baseline both "
            "times); print the mean difference of that chair's points in one JSON line and "
            "exit.",
            1, 10'000'000, &ServerOptions::duplicateWalls),
        {"duplicate-levels", "A,B",
         "With --duplicate: the tested and the baseline level (default 4,3).",
         [](ServerOptions& o, std::string_view v) {
             const auto levels = ParseDuplicateLevels(v);
             if (levels) o.duplicateLevels = *levels;
             return levels.has_value();
         },
         "two levels 1 to 4"},
        {"random-opponents", "", "With --selfplay: chairs 1-3 discard at random.",
         StoreFlag(&ServerOptions::randomOpponents)},
        NumberRow<int>("soak", "TABLES",
                       "Run TABLES tables of computer players on the event loop and report "
                       "memory; the hands go to the --db database, else to a temporary SQLite "
                       "file removed afterwards.",
                       1, 10'000, &ServerOptions::soakTables),
        NumberRow<int>("soak-seconds", "SECONDS", "How long --soak runs (default 180).", 1, 86'400,
                       &ServerOptions::soakSeconds),
        NumberRow<int>("soak-think", "MS",
                       "With --soak: milliseconds the computer players think before each move, "
                       "give or take half (default 0).",
                       0, 60'000, &ServerOptions::soakThinkMs),
        NumberRow<int>("soak-hostile", "SECONDS",
                       "Run a chatting table with an onlooker that never reads and 100 idle "
                       "connections a second for SECONDS, and report memory.",
                       1, 86'400, &ServerOptions::hostileSoakSeconds),
        {"print-port", "",
         "Print the listening port on standard output once listening (and the front door's "
         "on a second line).",
         StoreFlag(&ServerOptions::printPort)},
        {"quiet", "", "No log lines.", StoreFlag(&ServerOptions::quiet)},
        {"help", "", "Show this help and exit.", StoreFlag(&ServerOptions::help)},
        {"version", "", "Show the version and exit.", StoreFlag(&ServerOptions::version)},
    };
}

// " (it takes 20 to 600)" after a refused value, when the row says.
std::string Takes(const OptionRow& row) {
    return row.accepts.empty() ? std::string() : " (it takes " + row.accepts + ")";
}

const OptionRow* FindRow(std::string_view name) {
    for (const OptionRow& row : Rows())
        if (row.name == name) return &row;
    return nullptr;
}

ParsedOptions ParseOnto(ServerOptions base, std::span<const std::string_view> arguments) {
    ParsedOptions parsed{std::move(base), {}};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument == "-h") argument = "--help";
        if (!argument.starts_with("--"))
            return {{}, "unexpected argument " + std::string(argument)};
        argument.remove_prefix(2);
        std::optional<std::string_view> value;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        }
        const OptionRow* row = FindRow(argument);
        if (!row) return {{}, "unknown option --" + std::string(argument)};
        if (row->valueName.empty() && value)
            return {{}, "--" + std::string(argument) + " takes no value"};
        if (!row->valueName.empty() && !value) {
            if (i + 1 >= arguments.size())
                return {{}, "--" + std::string(argument) + " needs " + std::string(row->valueName)};
            value = arguments[++i];
        }
        if (!row->store(parsed.options, value.value_or("")))
            return {{},
                    "--" + std::string(argument) + " does not take " + std::string(*value) +
                        Takes(*row)};
    }
    return parsed;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<bool> ReadSwitch(std::string_view text) {
    if (text == "true" || text == "yes" || text == "on" || text == "1") return true;
    if (text == "false" || text == "no" || text == "off" || text == "0") return false;
    return std::nullopt;
}

// Options that only make sense typed: asking for help, or naming the file itself.
bool CommandLineOnly(std::string_view name) {
    return name == "config" || name == "help" || name == "version";
}

// One "key = value" line of a configuration file; the error, or empty.
std::string ApplyConfigLine(ServerOptions& options, std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return "expected \"key = value\", found \"" + std::string(line) + "\"";
    const std::string_view key = Trimmed(line.substr(0, equals));
    const std::string_view value = Trimmed(line.substr(equals + 1));
    const OptionRow* row = FindRow(key);
    if (!row || CommandLineOnly(key)) return "unknown key \"" + std::string(key) + "\"";
    if (row->valueName.empty()) {
        const auto on = ReadSwitch(value);
        if (!on) return "\"" + std::string(key) + "\" takes true or false";
        if (*on) row->store(options, value);
        return {};
    }
    if (!row->store(options, value))
        return "\"" + std::string(key) + "\" does not take \"" + std::string(value) + "\"" +
               Takes(*row);
    return {};
}

}  // namespace

ParsedOptions ParseServerOptions(std::span<const std::string_view> arguments) {
    return ParseOnto(ServerOptions{}, arguments);
}

ParsedOptions ApplyServerConfig(ServerOptions base, std::string_view text,
                                std::string_view source) {
    ParsedOptions parsed{std::move(base), {}};
    int lineNumber = 0;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        if (auto error = ApplyConfigLine(parsed.options, line); !error.empty())
            return {{}, std::string(source) + ":" + std::to_string(lineNumber) + ": " + error};
    }
    return parsed;
}

ParsedOptions ResolveServerOptions(
    std::span<const std::string_view> arguments,
    const std::function<std::optional<std::string>(const std::string&)>& readFile) {
    ParsedOptions commandLine = ParseServerOptions(arguments);
    const ServerOptions& asked = commandLine.options;
    if (!commandLine.error.empty() || asked.help || asked.version) return commandLine;
    const std::string path = asked.configFile.value_or(std::string(kDefaultConfigFile));
    const auto text = readFile(path);
    if (!text) {
        if (asked.configFile) return {{}, "cannot read the configuration file " + path};
        return commandLine;
    }
    ParsedOptions fromFile = ApplyServerConfig(ServerOptions{}, *text, path);
    if (!fromFile.error.empty()) return fromFile;
    return ParseOnto(std::move(fromFile.options), arguments);
}

std::string ServerHelpText() {
    std::ostringstream out;
    out << "Usage: qira-server [options]\n"
           "The Qira Mahjong room server: many tables of four chairs, computer players for "
           "empty chairs.\n\nOptions:\n";
    for (const OptionRow& row : Rows()) {
        std::string left = "  --" + std::string(row.name);
        if (!row.valueName.empty()) left += " " + std::string(row.valueName);
        out << left;
        if (left.size() < 26)
            out << std::string(26 - left.size(), ' ');
        else
            out << "\n" << std::string(26, ' ');
        out << row.help;
        if (!row.accepts.empty()) out << " Takes " << row.accepts << ".";
        out << '\n';
    }
    out << "\nStatistics: when the database refuses a hand (a full disk, lost write\n"
           "permission, a lock held by another process), the hand waits in memory and is\n"
           "written again every 3 s. The log says \"error: table N: statistics not saved:\n"
           "REASON; N hands waiting\", the players at the table are told, and a line\n"
           "says when the waiting hands are saved. A hand ends for its players (its\n"
           "result sent, \"hand ends\" logged) only once it is stored.\n"
           "\nExit status: 0 stopped cleanly; 1 did not start (the reason is on standard\n"
           "error: the address, or a database that is not a writable regular file or\n"
           "fails SQLite's quick check; with --export-hands: a hand that cannot be read);\n"
           "2 a wrong option; 3 stopped while hands still waited: their statistics are\n"
           "lost, and the log names the reason and their number.\n";
    return out.str();
}

}  // namespace qira::server
