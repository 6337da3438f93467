#include "server/core/hand_events.h"

namespace qira::server {
namespace {

const char* NameOf(Act act) {
    switch (act) {
        case Act::Draw:
            return "draw";
        case Act::Discard:
            return "discard";
        case Act::Chow:
            return "chow";
        case Act::Pung:
            return "pung";
        case Act::Kong:
            return "kong";
        case Act::IndicatorKong:
            return "indicator_kong";
        case Act::Ting:
            return "ting";
        case Act::PassWin:
            return "pass_win";
        case Act::Win:
            return "win";
    }
    return "";
}

const char* NameOf(KongKind kind) {
    switch (kind) {
        case KongKind::Concealed:
            return "concealed";
        case KongKind::Exposed:
            return "exposed";
        case KongKind::Added:
            return "added";
    }
    return "";
}

std::string TilesJson(std::span<const Tile> tiles) {
    std::string out = "[";
    for (const Tile tile : tiles) out += (out.size() > 1 ? "," : "") + std::to_string(tile);
    return out + "]";
}

std::string EventJson(const HandEvent& e) {
    std::string out =
        "{\"chair\":" + std::to_string(e.chair) + ",\"act\":\"" + NameOf(e.act) + "\"";
    if (e.tile) out += ",\"tile\":" + std::to_string(*e.tile);
    if (e.end)
        out += std::string(",\"from\":\"") + (*e.end == WallEnd::Head ? "head" : "tail") + "\"";
    if (e.from) out += ",\"from\":" + std::to_string(*e.from);
    if (!e.meld.empty()) out += ",\"meld\":" + TilesJson(e.meld);
    if (e.kind) out += std::string(",\"kind\":\"") + NameOf(*e.kind) + "\"";
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
