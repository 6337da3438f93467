#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/live_view.h"
#include "server/web/hand_archive.h"

// The JSON documents behind the web pages. Every text a player wrote (names)
// goes through the JSON writer's escaping; the pages put it into the page as
// text, never as markup.
namespace qira::server::web {

// Every tile code with its name and the file name of its picture.
std::string TilesJson();

// The open tables, as an onlooker without permission sees them.
std::string TablesJson(const std::vector<LiveTable>& tables);
// One table, or nothing when no such table is open.
std::optional<std::string> TableJson(const std::vector<LiveTable>& tables, int number);

struct LeaderboardQuery {
    std::string sort = "points";  // points, hands, winRate, selfDrawnShare, dealInRate, name
    bool ascending = false;
    int page = 1;
    int pageSize = 20;
};
// Reads "sort=hands&order=asc&page=2&size=50"; an unknown or bad value keeps its default.
LeaderboardQuery ReadLeaderboardQuery(std::string_view query);
std::string LeaderboardJson(const HandArchive& archive, const LeaderboardQuery& query);

// A player's record, recent hands and points after each hand; nothing for an unknown name.
std::optional<std::string> PlayerJson(const HandArchive& archive, std::string_view name);

// A finished hand step by step; nothing when no such hand is kept or it
// cannot be replayed.
std::optional<std::string> HandJson(const HandArchive& archive, std::int64_t id);

// {"error": text}.
std::string ErrorJson(std::string_view text);

}  // namespace qira::server::web
