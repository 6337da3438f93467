#include "server/web/web_site.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/numeric_text.h"
#include "server/web/site_json.h"

namespace qira::server::web {
namespace {

namespace fs = std::filesystem;
constexpr auto kArchiveRefresh = std::chrono::seconds(1);
constexpr std::uintmax_t kLargestFile = 1 << 20;

// The pages behind each address; the rest of the address is read by the page.
struct PageRoute {
    std::string_view prefix;
    std::string_view file;
};
constexpr PageRoute kPages[] = {
    {"/tables/", "table.html"}, {"/players/", "player.html"}, {"/hands/", "hand.html"}};

std::string ContentTypeOf(std::string_view name) {
    if (name.ends_with(".html")) return "text/html; charset=utf-8";
    if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (name.ends_with(".css")) return "text/css; charset=utf-8";
    if (name.ends_with(".png")) return "image/png";
    return "application/octet-stream";
}

std::optional<std::string> ReadSmallFile(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > kLargestFile)
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return file ? std::optional(text.str()) : std::nullopt;
}

// Every regular file of `folder` whose name ends with one of `endings`, under `prefix`.
void LoadFolder(const std::string& folder, std::string_view prefix,
                std::initializer_list<std::string_view> endings,
                std::map<std::string, std::string, std::less<>>& files) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (std::none_of(endings.begin(), endings.end(),
                         [&](std::string_view end) { return name.ends_with(end); }))
            continue;
        if (auto text = ReadSmallFile(entry.path())) files[std::string(prefix) + name] = *text;
    }
}

WebAnswer Json(int status, std::string body) {
    return {status, "application/json; charset=utf-8", std::move(body)};
}

WebAnswer NotFound() {
    return Json(404, ErrorJson("没有这个页面"));
}

std::optional<std::int64_t> PositiveNumber(std::string_view text) {
    const auto value = net::ReadWholeNumber<std::int64_t>(text);
    if (!value || *value < 1) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];  // in a path "+" is itself
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int high = hex(text[i + 1]), low = hex(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

WebSite::WebSite(const SiteFolders& folders, const LiveFeed& feed)
    : feed_(feed), archive_(folders.database) {
    LoadFolder(folders.pages, "/static/", {".html", ".js", ".css"}, files_);
    LoadFolder(folders.tiles, "/tiles/", {".png"}, files_);
}

void WebSite::RefreshArchive() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastRefresh_ < kArchiveRefresh) return;
    lastRefresh_ = now;
    archiveError_ = archive_.Refresh();
}

WebAnswer WebSite::Answer(std::string_view target) {
    const auto mark = target.find('?');
    const std::string_view path = target.substr(0, mark);
    const std::string_view query =
        mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
    if (path.starts_with("/api/")) return AnswerApi(path.substr(4), query);
    if (path == "/" || path == "/tables") return AnswerFile("/static/tables.html");
    if (path == "/leaderboard") return AnswerFile("/static/leaderboard.html");
    for (const PageRoute& page : kPages)
        if (path.starts_with(page.prefix) && path.size() > page.prefix.size())
            return AnswerFile("/static/" + std::string(page.file));
    return AnswerFile(path);
}

WebAnswer WebSite::AnswerFile(std::string_view path) const {
    const auto it = files_.find(path);
    if (it == files_.end()) return NotFound();
    return {200, ContentTypeOf(path), it->second, !path.ends_with(".html")};
}

WebAnswer WebSite::AnswerApi(std::string_view path, std::string_view query) {
    if (path == "/tiles") return Json(200, TilesJson());
    if (path == "/tables") return Json(200, TablesJson(feed_.Latest()->tables));
    if (path == "/tables/events") {
        int table = 0;
        if (query.starts_with("table=")) {
            const auto number = PositiveNumber(query.substr(6));
            if (!number || *number > 1'000'000) return NotFound();
            table = static_cast<int>(*number);
        }
        WebAnswer stream{200, "text/event-stream; charset=utf-8", {}};
        stream.stream = true;
        stream.streamTable = table;
        return stream;
    }
    if (path.starts_with("/tables/")) {
        const auto number = PositiveNumber(path.substr(8));
        if (!number || *number > 1'000'000) return NotFound();
        if (auto table = TableJson(feed_.Latest()->tables, static_cast<int>(*number)))
            return Json(200, *table);
        return Json(404, ErrorJson("没有这张牌桌"));
    }
    RefreshArchive();
    // An unreadable database must not look like an empty room.
    if (!archiveError_.empty()) return Json(503, ErrorJson("战绩库暂时无法读取，请稍后再试"));
    if (path == "/leaderboard")
        return Json(200, LeaderboardJson(archive_, ReadLeaderboardQuery(query)));
    if (path.starts_with("/players/")) {
        const auto name = PercentDecode(path.substr(9));
        if (!name) return Json(400, ErrorJson("名字写错了"));
        if (auto player = PlayerJson(archive_, *name)) return Json(200, *player);
        return Json(404, ErrorJson("没有这位玩家"));
    }
    if (path.starts_with("/hands/")) {
        const auto id = PositiveNumber(path.substr(7));
        if (!id) return NotFound();
        if (auto hand = HandJson(archive_, *id)) return Json(200, *hand);
        return Json(404, ErrorJson("没有这一局"));
    }
    return NotFound();
}

std::optional<std::string> WebSite::StreamUpdate(int table, std::uint64_t& sent) {
    const auto edition = feed_.Latest();
    if (edition->version == sent) return std::nullopt;
    sent = edition->version;
    if (table == 0) return TablesJson(edition->tables);
    if (auto one = TableJson(edition->tables, table)) return one;
    return ErrorJson("没有这张牌桌");
}

}  // namespace qira::server::web
