#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "server/core/server_config.h"

namespace qira::server {

// What the server's command line asks for. The listening host is kept as
// written ("*", "localhost", an address, an IPv6 address in brackets).
struct ServerOptions {
    std::string listenHost = "127.0.0.1";
    std::uint16_t listenPort = 5870;
    std::optional<std::string> database;
    std::optional<std::string> itemsFile;
    Milliseconds botWait{0};
    Milliseconds botThink{400};
    Milliseconds turnTimeout{25'000};
    ScoreMode scoreMode = ScoreMode::Points;
    std::optional<std::uint32_t> seed;
    std::optional<std::uint64_t> selfPlayHands;
    int botLevel = 2;
    std::optional<std::array<int, 4>> selfPlayLevels;
    bool randomOpponents = false;
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

}  // namespace qira::server
