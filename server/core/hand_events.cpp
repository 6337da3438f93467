#include "server/core/hand_events.h"

namespace qira::server {
namespace {

using net::hand_log::WordOf;

std::string TilesJson(std::span<const Tile> tiles) {
    std::string out = "[";
    for (const Tile tile : tiles) out += (out.size() > 1 ? "," : "") + std::to_string(tile);
    return out + "]";
}

std::string EventJson(const HandEvent& e) {
    std::string out =
        "{\"chair\":" + std::to_string(e.chair) + ",\"act\":\"" + std::string(WordOf(e.act)) + "\"";
    if (e.tile) out += ",\"tile\":" + std::to_string(*e.tile);
    if (e.end) out += ",\"from\":\"" + std::string(WordOf(*e.end)) + "\"";
    if (e.from) out += ",\"from\":" + std::to_string(*e.from);
    if (!e.meld.empty()) out += ",\"meld\":" + TilesJson(e.meld);
    if (e.kind) out += ",\"kind\":\"" + std::string(WordOf(*e.kind)) + "\"";
    if (e.robbed) out += ",\"robbed\":true";
    return out + "}";
}

}  // namespace

std::string EventsJson(std::span<const HandEvent> events) {
    std::string out = "[";
    for (const HandEvent& e : events) out += (out.size() > 1 ? "," : "") + EventJson(e);
    return out + "]";
}

}  // namespace qira::server
