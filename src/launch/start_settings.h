#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What qira-launch's start window remembers between runs: the computer
// players' level of a local game, the player's name, the servers joined
// (most recent first) and the tab last used. Kept as "key = value" lines in
// $XDG_CONFIG_HOME/qira/launcher.conf.
namespace qira::launch {

struct ServerEntry {
    std::string host;
    std::uint16_t port = 0;
    // The address is the front door of several servers, asked which to join.
    bool frontDoor = false;
    bool operator==(const ServerEntry&) const = default;
};

struct StartSettings {
    static constexpr std::size_t kMaxServers = 8;
    int level = 2;  // 1-4 (bot_levels.h)
    std::string name;
    std::vector<ServerEntry> servers;  // most recent first, no repeats
    int tab = 0;
};

// Puts `server` first; an earlier entry for it moves up, the oldest beyond
// kMaxServers falls off.
void RememberServer(StartSettings& settings, const ServerEntry& server);

std::string WriteSettings(const StartSettings& settings);
// Unknown keys and bad values are skipped: a damaged file costs what it
// damaged, not the rest.
StartSettings ReadSettings(std::string_view text);

std::string SettingsPath();  // launcher.conf in the user's configuration folder
// The local server's statistics database, where qira-server keeps it by
// default: $XDG_DATA_HOME/qira/server.sqlite, else ~/.local/share/qira/.
// Must agree with the server's DefaultDatabasePath (server/core/stats_store.h),
// which the server's layers cannot share with the launcher's.
std::string LocalDatabasePath();
StartSettings LoadSettings(const std::string& path);
// Written to a side file and renamed over, so a crash never leaves half a file.
bool SaveSettings(const std::string& path, const StartSettings& settings);

struct ServerChoice {
    std::optional<ServerEntry> server;
    std::string error;  // for the player, when there is no server
};

// The host and port as typed in the window. The host may carry its own port
// ("host:port", "[v6]:port", as the list of servers shows them), which wins.
ServerChoice ReadServer(std::string_view host, std::string_view port);

// A name the client's command line carries as one token (blanks and the
// level table's separator become "_"), at most 16 characters; "" stays "".
std::string CleanPlayerName(std::string_view name);

}  // namespace qira::launch
