#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "qira_build.h"
#include "server/core/server_config.h"

namespace qira::server {

// What the server's command line asks for. The listening host is kept as
// written ("*", "localhost", an address, an IPv6 address in brackets).
struct ServerOptions {
    std::string listenHost = "127.0.0.1";
    std::uint16_t listenPort = 5870;
    std::optional<std::string> database;
    // With a PostgreSQL --db: the address players reach this server by, and
    // the port of its front door (none when unset).
    std::optional<std::string> advertise;
    std::optional<std::uint16_t> frontDoorPort;
    std::optional<std::string> itemsFile;
    // The web front's address; none: no web front.
    std::optional<std::string> httpHost;
    std::uint16_t httpPort = 0;
    int botTables = 0;  // tables of computer players opened at the start
    Milliseconds botWait{0};
    Milliseconds botThink{400};
    Milliseconds turnTimeout{25'000};
    ScoreMode scoreMode = ScoreMode::Points;
    std::optional<std::uint32_t> seed;
    std::optional<std::uint64_t> selfPlayHands;
    int botLevel = 2;
    int botBudgetMs = 100;
    std::optional<std::array<int, 4>> selfPlayLevels;
    bool randomOpponents = false;
    std::optional<std::uint64_t> duplicateWalls;
    std::pair<int, int> duplicateLevels{4, 3};
    std::optional<int> soakTables;
    int soakSeconds = 180;
    int soakThinkMs = 0;
    std::optional<int> hostileSoakSeconds;
    Limits limits;
    bool exportHands = false;
    std::optional<std::int64_t> exportHand;
    bool printPort = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> configFile;  // --config: a file that must exist
};

struct ParsedOptions {
    ServerOptions options;
    std::string error;  // empty when the command line is good
};

// Reads the arguments after the program's name: "--name value",
// "--name=value" and flags; "-h" and "--help" ask for the help text.
ParsedOptions ParseServerOptions(std::span<const std::string_view> arguments);

// The usage text, made from the same table as the parser.
std::string ServerHelpText();

// The configuration file read when --config names none (/etc/qira/server.conf
// in an installed server).
inline constexpr std::string_view kDefaultConfigFile = QIRA_CONFIG_FILE;

// Applies a configuration file to `base`: "key = value" lines whose keys are
// the long options' names ("listen = 0.0.0.0:5870"), a flag taking true/yes/1
// or false/no/0; blank lines and lines starting with "#" are skipped. An
// error names `source` and the line.
ParsedOptions ApplyServerConfig(ServerOptions base, std::string_view text, std::string_view source);

// The options in force: the defaults, then the configuration file, then the
// command line. `readFile` returns a file's text, or nothing when it cannot be
// read; only a file named by --config must exist. --help and --version read no
// file.
ParsedOptions ResolveServerOptions(
    std::span<const std::string_view> arguments,
    const std::function<std::optional<std::string>(const std::string&)>& readFile);

}  // namespace qira::server
