#include "launch/start_settings.h"

#include "launch/bot_levels.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "launch/data_folders.h"

namespace qira::launch {
namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<long> Number(std::string_view text) {
    long value = 0;
    const auto end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

bool ValidHost(std::string_view host) {
    return !host.empty() && host.size() <= 253 &&
           host.find_first_of(" \t\r\n`") == std::string_view::npos;
}

// "host port": the host may be an IPv6 address, so the port comes last.
std::optional<ServerEntry> ReadServerLine(std::string_view value) {
    const auto blank = value.rfind(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    return ReadServer(Trim(value.substr(0, blank)), Trim(value.substr(blank + 1))).server;
}

}  // namespace

void RememberServer(StartSettings& settings, const ServerEntry& server) {
    auto& servers = settings.servers;
    servers.erase(std::remove(servers.begin(), servers.end(), server), servers.end());
    servers.insert(servers.begin(), server);
    if (servers.size() > StartSettings::kMaxServers) servers.resize(StartSettings::kMaxServers);
}

std::string WriteSettings(const StartSettings& settings) {
    std::string text = "level = " + std::to_string(settings.level) + "\n";
    text += "name = " + settings.name + "\n";
    text += "tab = " + std::to_string(settings.tab) + "\n";
    for (const auto& server : settings.servers)
        text += std::string(server.frontDoor ? "front-door" : "server") + " = " + server.host +
                " " + std::to_string(server.port) + "\n";
    return text;
}

StartSettings ReadSettings(std::string_view text) {
    StartSettings settings;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const auto key = Trim(std::string_view(line).substr(0, equals));
        const auto value = Trim(std::string_view(line).substr(equals + 1));
        if (key == "level") {
            if (const auto level = Number(value);
                level && *level >= kLowestBotLevel && *level <= kHighestBotLevel)
                settings.level = static_cast<int>(*level);
        } else if (key == "name") {
            settings.name = CleanPlayerName(value);
        } else if (key == "tab") {
            if (const auto tab = Number(value); tab && *tab >= 0 && *tab <= 3)
                settings.tab = static_cast<int>(*tab);
        } else if ((key == "server" || key == "front-door") &&
                   settings.servers.size() < StartSettings::kMaxServers) {
            auto server = ReadServerLine(value);
            if (server) server->frontDoor = key == "front-door";
            if (server && std::find(settings.servers.begin(), settings.servers.end(), *server) ==
                              settings.servers.end())
                settings.servers.push_back(*server);
        }
    }
    return settings;
}

std::string SettingsPath() {
    return UserConfigHome() + "/qira/launcher.conf";
}

std::string LocalDatabasePath() {
    std::filesystem::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = ".";
    }
    return (base / "qira" / "server.sqlite").string();
}

StartSettings LoadSettings(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::string text(64 * 1024, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return ReadSettings(text);
}

bool SaveSettings(const std::string& path, const StartSettings& settings) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    const std::string side = path + ".new";
    {
        std::ofstream file(side, std::ios::binary | std::ios::trunc);
        file << WriteSettings(settings);
        if (!file.flush()) return false;
    }
    std::filesystem::rename(side, path, error);
    return !error;
}

ServerChoice ReadServer(std::string_view host, std::string_view port) {
    host = Trim(host);
    port = Trim(port);
    const auto colon = host.rfind(':');
    const bool bracketed = !host.empty() && host.front() == '[';
    if (colon != std::string_view::npos &&
        (bracketed ? colon > 0 && host[colon - 1] == ']' : host.find(':') == colon)) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (!ValidHost(host)) return {std::nullopt, "请填写服务器地址（不含空格）"};
    const auto number = Number(port);
    if (!number || *number < 1 || *number > 65535)
        return {std::nullopt, "端口要是 1 到 65535 之间的整数"};
    return {ServerEntry{std::string(host), static_cast<std::uint16_t>(*number)}, {}};
}

std::string CleanPlayerName(std::string_view name) {
    std::string clean;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size() && characters < 16; ++characters) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const auto piece = name.substr(i, length);
        const bool blank = piece == " " || piece == "\t" || piece == "`" || piece == "\n" ||
                           piece == "\r" || piece == "\xE3\x80\x80";
        clean += blank ? std::string("_") : std::string(piece);
        i += length;
    }
    return clean;
}

}  // namespace qira::launch
