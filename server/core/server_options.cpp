#include "server/core/server_options.h"

#include "server/core/selfplay.h"

#include <algorithm>
#include <functional>
#include <sstream>
#include <vector>

#include "net/numeric_text.h"

namespace qira::server {
namespace {

std::optional<Milliseconds> ReadSeconds(std::string_view text) {
    const auto seconds = net::ReadWholeNumber<double>(text);
    if (!seconds || *seconds < 0 || *seconds > 86'400) return std::nullopt;
    return Milliseconds(static_cast<long>(*seconds * 1000));
}

bool ReadListen(ServerOptions& options, std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto port = net::ReadWholeNumber<std::uint16_t>(text.substr(colon + 1));
    if (!port) return false;
    options.listenHost = std::string(text.substr(0, colon));
    options.listenPort = *port;
    return true;
}

// One option: its name, the name of its value (empty for a flag), the help
// line, and how its value is stored; false for a value it does not take.
struct OptionRow {
    std::string_view name;
    std::string_view valueName;
    std::string_view help;
    std::function<bool(ServerOptions&, std::string_view)> store;
};

template <typename Number, typename Field>
std::function<bool(ServerOptions&, std::string_view)> StoreNumber(Field field) {
    return [field](ServerOptions& o, std::string_view text) {
        const auto value = net::ReadWholeNumber<Number>(text);
        if (value) o.*field = *value;
        return value.has_value();
    };
}

std::function<bool(ServerOptions&, std::string_view)> StoreSeconds(
    Milliseconds ServerOptions::*field) {
    return [field](ServerOptions& o, std::string_view text) {
        const auto value = ReadSeconds(text);
        if (value) o.*field = *value;
        return value.has_value();
    };
}

std::function<bool(ServerOptions&, std::string_view)> StoreFlag(bool ServerOptions::*field) {
    return [field](ServerOptions& o, std::string_view) { return o.*field = true; };
}

std::function<bool(ServerOptions&, std::string_view)> StoreLimit(std::size_t Limits::*field) {
    return [field](ServerOptions& o, std::string_view text) {
        const auto value = net::ReadWholeNumber<std::size_t>(text);
        if (value) o.limits.*field = *value;
        return value.has_value();
    };
}

std::function<bool(ServerOptions&, std::string_view)> StoreLimitSeconds(
    Milliseconds Limits::*field) {
    return [field](ServerOptions& o, std::string_view text) {
        const auto value = ReadSeconds(text);
        if (value) o.limits.*field = *value;
        return value.has_value() && value->count() > 0;
    };
}

std::vector<OptionRow> GeneralRows();

// What one client may take of the server (docs/protocol.md, "Limits").
std::vector<OptionRow> LimitRows() {
    return {
        {"output-cap-kb", "KB",
         "Unsent output to one client beyond which it is cut off (default 1024).",
         [](ServerOptions& o, std::string_view v) {
             const auto kb = net::ReadWholeNumber<std::size_t>(v);
             if (kb && *kb >= 64 && *kb <= 1'000'000) o.limits.outputCapBytes = *kb * 1024;
             return kb && *kb >= 64 && *kb <= 1'000'000;
         }},
        {"hello-seconds", "SECONDS",
         "Time a new connection has for its hello and entry (default 10).",
         StoreLimitSeconds(&Limits::helloDeadline)},
        {"frame-seconds", "SECONDS",
         "Time a client has to finish a frame it has begun (default 10).",
         StoreLimitSeconds(&Limits::frameDeadline)},
        {"dead-peer-seconds", "SECONDS",
         "Time within which a client that answers neither TCP keepalive probes nor data counts "
         "as gone (default 60, 10 to 3600).",
         [](ServerOptions& o, std::string_view v) {
             const auto seconds = net::ReadWholeNumber<int>(v);
             const bool valid = seconds && *seconds >= 10 && *seconds <= 3600;
             if (valid) o.limits.deadPeer = std::chrono::seconds(*seconds);
             return valid;
         }},
        {"half-frames-mb", "MB",
         "What half-written frames of all clients may hold together (default 16, 1 to 4096).",
         [](ServerOptions& o, std::string_view v) {
             const auto mb = net::ReadWholeNumber<std::size_t>(v);
             const bool valid = mb && *mb >= 1 && *mb <= 4096;
             if (valid) o.limits.halfFrameBytes = *mb << 20;
             return valid;
         }},
        {"per-address", "N",
         "Connections allowed from one address, an IPv6 /64 counting as one (default 16).",
         StoreLimit(&Limits::connectionsPerAddress)},
        {"max-connections", "N",
         "Connections in all (default: what the descriptor limit leaves room for).",
         StoreLimit(&Limits::maxConnections)},
        {"max-onlookers", "N", "Onlookers allowed at one table (default 32).",
         StoreLimit(&Limits::onlookersPerTable)},
        {"chat-characters", "N", "Longest chat text in characters (default 200).",
         StoreLimit(&Limits::chatCharacters)},
        {"chat-lines", "N", "Chat lines a user may send in five seconds (default 5).",
         StoreLimit(&Limits::chatLines)},
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
    return {
        {"listen", "HOST:PORT",
         "Address and port to listen on (default 127.0.0.1:5870; port 0 picks a free one; "
         "0.0.0.0:PORT for a LAN).",
         ReadListen},
        {"config", "FILE",
         "Read options from FILE, \"key = value\" lines named like the long options "
         "(default " QIRA_CONFIG_FILE " when it exists); the command line wins.",
         [](ServerOptions& o, std::string_view v) { return !(o.configFile = v)->empty(); }},
        {"db", "PATH",
         "SQLite file for the statistics and the hand log (default under the XDG data folder; "
         "with --selfplay: kept only when given).",
         [](ServerOptions& o, std::string_view v) { return !(o.database = v)->empty(); }},
        {"export-hands", "", "Print the kept hands of --db as JSON lines, oldest first, and exit.",
         StoreFlag(&ServerOptions::exportHands)},
        {"hand", "ID", "With --export-hands: only the hand with this id.",
         [](ServerOptions& o, std::string_view v) {
             const auto id = net::ReadWholeNumber<std::int64_t>(v);
             o.exportHand = id.value_or(0);
             return id && *id > 0;
         }},
        {"items", "PATH",
         "Item catalogue file (default: items.txt beside the program or in its data folder).",
         [](ServerOptions& o, std::string_view v) { return !(o.itemsFile = v)->empty(); }},
        {"bot-wait", "SECONDS",
         "Seconds a table with a human waits before computer players fill it (default 0).",
         StoreSeconds(&ServerOptions::botWait)},
        {"bot-think", "MS",
         "Milliseconds a computer player takes to act at a table with humans (default 400).",
         [](ServerOptions& o, std::string_view v) {
             const auto ms = net::ReadWholeNumber<long>(v);
             if (ms && *ms >= 0) o.botThink = Milliseconds(*ms);
             return ms && *ms >= 0;
         }},
        {"bot-level", "N",
         "Strength of the computer players that fill chairs: 1, 2 or 3 (default 2).",
         [](ServerOptions& o, std::string_view v) {
             const auto level = net::ReadWholeNumber<int>(v);
             if (level && *level >= 1 && *level <= 3) o.botLevel = *level;
             return level && *level >= 1 && *level <= 3;
         }},
        {"turn-seconds", "SECONDS", "The server's own turn clock in seconds (default 25).",
         StoreSeconds(&ServerOptions::turnTimeout)},
        {"mode", "MODE", "points or experience (default points).",
         [](ServerOptions& o, std::string_view v) {
             if (v == "points") o.scoreMode = ScoreMode::Points;
             if (v == "experience") o.scoreMode = ScoreMode::Experience;
             return v == "points" || v == "experience";
         }},
        {"seed", "S",
         "Seed of the shuffles and computer players (default: from the clock; 1 for self-play).",
         StoreNumber<std::uint32_t>(&ServerOptions::seed)},
        {"selfplay", "N", "Play N hands of four computer players, print figures and exit.",
         StoreNumber<std::uint64_t>(&ServerOptions::selfPlayHands)},
        {"bot-levels", "A,B,C,D",
         "With --selfplay: the levels of four computer players, for example 3,2,2,2; they move "
         "one chair on every hand and the figures end in one JSON line.",
         [](ServerOptions& o, std::string_view v) {
             o.selfPlayLevels = ParseBotLevels(v);
             return o.selfPlayLevels.has_value();
         }},
        {"random-opponents", "", "With --selfplay: chairs 1-3 discard at random.",
         StoreFlag(&ServerOptions::randomOpponents)},
        {"soak", "TABLES",
         "Run TABLES tables of computer players on the event loop and report memory.",
         StoreNumber<int>(&ServerOptions::soakTables)},
        {"soak-seconds", "SECONDS", "How long --soak runs (default 180).",
         StoreNumber<int>(&ServerOptions::soakSeconds)},
        {"soak-think", "MS",
         "With --soak: milliseconds the computer players think before each move, give or take "
         "half (default 0).",
         StoreNumber<int>(&ServerOptions::soakThinkMs)},
        {"soak-hostile", "SECONDS",
         "Run a chatting table with an onlooker that never reads and 100 idle connections a "
         "second for SECONDS, and report memory.",
         StoreNumber<int>(&ServerOptions::hostileSoakSeconds)},
        {"print-port", "", "Print the listening port on standard output once listening.",
         StoreFlag(&ServerOptions::printPort)},
        {"quiet", "", "No log lines.", StoreFlag(&ServerOptions::quiet)},
        {"help", "", "Show this help and exit.", StoreFlag(&ServerOptions::help)},
        {"version", "", "Show the version and exit.", StoreFlag(&ServerOptions::version)},
    };
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
            return {{}, "--" + std::string(argument) + " does not take " + std::string(*value)};
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
        return "\"" + std::string(key) + "\" does not take \"" + std::string(value) + "\"";
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
        out << row.help << '\n';
    }
    return out.str();
}

}  // namespace qira::server
