#include "analyze_line.h"

#include <charconv>
#include <optional>
#include <vector>

#include "rules/claim_options.h"
#include "rules/hand_view.h"
#include "rules/win_analysis.h"
#include "rules/win_explanation.h"

namespace qira::analyze {

namespace {

// The meld kind's number, or -1 for no option.
std::string OptionNumber(rules::ClaimOption option) {
    return std::to_string(option ? static_cast<int>(*option) : -1);
}

using rules::MeldKind;
using rules::MeldRecord;
using rules::TileCode;

constexpr std::size_t kMaxHandTiles = 14;
constexpr std::size_t kMaxMelds = 4;
constexpr std::size_t kMaxEchoedChars = 24;

struct Position {
    std::vector<TileCode> hand;
    std::vector<MeldRecord> melds;
    TileCode wild = 0;
    bool noWin = false;
    std::optional<TileCode> tile;
    bool explain = false;
};

// A problem with the line, worded for the person who wrote it.
struct Problem {
    std::string text;
};

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

std::string Quoted(std::string_view text) {
    std::string out = "'";
    out += text.substr(0, kMaxEchoedChars);
    if (text.size() > kMaxEchoedChars) out += "...";
    out += "'";
    return out;
}

std::optional<int> ParseNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<Problem> ParseTile(std::string_view key, std::string_view text, TileCode& tile) {
    const auto value = ParseNumber(text);
    if (!value) return Problem{std::string(key) + ": " + Quoted(text) + " is not a number"};
    if (!rules::IsTileCode(*value)) {
        return Problem{std::string(key) + ": " + std::to_string(*value) +
                       " is not a tile code (0-30, 36-38)"};
    }
    tile = static_cast<TileCode>(*value);
    return std::nullopt;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::optional<Problem> ParseHand(std::string_view text, std::vector<TileCode>& hand) {
    if (text.empty()) return Problem{"hand: no tiles"};
    for (std::string_view part : Split(text, ',')) {
        if (hand.size() == kMaxHandTiles) return Problem{"hand: more than 14 tiles"};
        TileCode tile = 0;
        if (auto problem = ParseTile("hand", part, tile)) return problem;
        hand.push_back(tile);
    }
    return std::nullopt;
}

std::optional<Problem> ParseMelds(std::string_view text, std::vector<MeldRecord>& melds) {
    if (text.empty()) return std::nullopt;
    for (std::string_view part : Split(text, ',')) {
        if (melds.size() == kMaxMelds) return Problem{"melds: more than 4 melds"};
        const std::size_t colon = part.find(':');
        if (colon == std::string_view::npos) {
            return Problem{"melds: " + Quoted(part) + " is not kind:tile"};
        }
        const auto kind = ParseNumber(part.substr(0, colon));
        if (!kind || *kind < 1 || *kind > 4) {
            return Problem{"melds: kind " + Quoted(part.substr(0, colon)) + " is not 1-4"};
        }
        TileCode tile = 0;
        if (auto problem = ParseTile("melds", part.substr(colon + 1), tile)) return problem;
        if (*kind == static_cast<int>(MeldKind::Chow) &&
            (!rules::IsNumbered(tile) || tile % 9 > 6)) {
            return Problem{"melds: no chow starts at " + std::to_string(tile)};
        }
        melds.push_back({static_cast<MeldKind>(*kind), tile, 0});
    }
    return std::nullopt;
}

std::optional<Problem> Parse(std::string_view line, Position& position) {
    bool seenHand = false;
    bool seenWild = false;
    std::vector<std::string_view> seenKeys;
    std::size_t start = 0;
    while (start < line.size()) {
        if (line[start] == ' ' || line[start] == '\t') {
            ++start;
            continue;
        }
        std::size_t end = line.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = line.size();
        const std::string_view pair = line.substr(start, end - start);
        start = end;

        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) return Problem{Quoted(pair) + " is not key=value"};
        const std::string_view key = pair.substr(0, equals);
        const std::string_view value = pair.substr(equals + 1);
        for (std::string_view seen : seenKeys) {
            if (seen == key) return Problem{std::string(key) + " given twice"};
        }
        seenKeys.push_back(key);

        std::optional<Problem> problem;
        TileCode ignored = 0;
        if (key == "hand") {
            seenHand = true;
            problem = ParseHand(value, position.hand);
        } else if (key == "wild") {
            seenWild = true;
            problem = ParseTile("wild", value, position.wild);
        } else if (key == "indicator") {
            problem = ParseTile("indicator", value, ignored);
        } else if (key == "melds") {
            problem = ParseMelds(value, position.melds);
        } else if (key == "nowin") {
            if (value != "0" && value != "1") problem = Problem{"nowin: must be 0 or 1"};
            position.noWin = value == "1";
        } else if (key == "explain") {
            if (value != "0" && value != "1") problem = Problem{"explain: must be 0 or 1"};
            position.explain = value == "1";
        } else if (key == "tile") {
            TileCode tile = 0;
            problem = ParseTile("tile", value, tile);
            position.tile = tile;
        } else {
            problem = Problem{"unknown key " + Quoted(key)};
        }
        if (problem) return problem;
    }
    if (seenKeys.empty()) return Problem{"empty line"};
    if (!seenHand) return Problem{"hand= is missing"};
    if (!seenWild) return Problem{"wild= is missing"};
    return std::nullopt;
}

void AppendList(std::string& out, const std::vector<TileCode>& tiles) {
    out += '[';
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (i != 0) out += ',';
        out += std::to_string(tiles[i]);
    }
    out += ']';
}

const char* KindName(rules::GroupKind kind) {
    switch (kind) {
        case rules::GroupKind::Chow:
            return "chow";
        case rules::GroupKind::Pung:
            return "pung";
        case rules::GroupKind::Kong:
            return "kong";
        case rules::GroupKind::Pair:
            return "pair";
    }
    return "";
}

// The arrangement of a winning position, or null: a hand of 3k + 2 tiles
// wins as it is; one of 3k + 1 tiles wins with the tile= discard.
std::string Groups(const rules::HandView& view, std::optional<TileCode> tile) {
    const bool complete = (view.hand.size() + 1) % 3 == 0;
    if (!complete && !tile) return "null";
    const auto explanation = rules::ExplainWin(view, tile.value_or(0));
    if (!explanation) return "null";
    std::string out = "[";
    for (const rules::ExplainedGroup& group : explanation->groups) {
        if (out.size() > 1) out += ',';
        out += "{\"kind\":\"";
        out += KindName(group.kind);
        out += "\",\"tiles\":";
        AppendList(out, group.tiles);
        out += ",\"as\":";
        AppendList(out, group.standsFor);
        out += '}';
    }
    out += ']';
    return out;
}

std::string Answer(const Position& position) {
    const rules::HandView view{position.hand, position.melds, position.wild, position.noWin};
    const std::vector<TileCode> winning = rules::WinningTiles(view);
    std::string out = "{\"win\":";
    AppendList(out, winning);
    // The ready test takes the first winning tile in this same order.
    out += winning.empty() ? ",\"ready\":false,\"first\":null"
                           : ",\"ready\":true,\"first\":" + std::to_string(winning.front());
    out += rules::DiscardWinBarred(view) ? ",\"barred\":true" : ",\"barred\":false";
    if (position.tile) {
        std::vector<TileCode> chows;
        rules::ChowOptions(view, *position.tile, chows);
        out += ",\"chow\":";
        AppendList(out, chows);
        out += ",\"pung\":" + OptionNumber(rules::PungOption(view, *position.tile));
        out += ",\"kong\":" +
               OptionNumber(rules::KongOption(view, *position.tile, rules::Turn::Other));
    }
    if (position.explain) out += ",\"groups\":" + Groups(view, position.tile);
    out += '}';
    return out;
}

}  // namespace

std::string AnalyzeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Position position;
    if (auto problem = Parse(line, position)) {
        std::string out = "{\"error\":\"";
        AppendEscaped(out, problem->text);
        out += "\"}";
        return out;
    }
    return Answer(position);
}

}  // namespace qira::analyze
