#include "replay/hand_log.h"

#include <algorithm>

#include "bots/brain.h"
#include "replay/json.h"
#include "rules/table_state.h"

namespace qira::replay {
namespace {

// Reading fails by throwing this; only this file sees it.
struct Refusal {
    std::string why;
};

[[noreturn]] void Refuse(std::string why) {
    throw Refusal{std::move(why)};
}

const JsonValue& Member(const JsonValue& object, std::string_view key, std::string_view where) {
    const JsonValue* value = object.Find(key);
    if (!value) Refuse(std::string(where) + "\"" + std::string(key) + "\" is missing");
    return *value;
}

std::int64_t IntegerOf(const JsonValue& value, std::string_view what) {
    const auto number = value.Integer();
    if (!number) Refuse(std::string(what) + " is not a whole number");
    return *number;
}

Tile TileOf(const JsonValue& value, std::string_view what) {
    const auto code = IntegerOf(value, what);
    if (!rules::IsTileCode(static_cast<int>(code)) || code > 255)
        Refuse(std::string(what) + " is not a tile (" + std::to_string(code) + ")");
    return static_cast<Tile>(code);
}

Chair ChairOf(const JsonValue& value, std::string_view what) {
    const auto chair = IntegerOf(value, what);
    if (chair < 0 || chair > 3) Refuse(std::string(what) + " is not a chair 0-3");
    return static_cast<Chair>(chair);
}

const JsonValue::Array& ArrayOf(const JsonValue& value, std::string_view what) {
    const auto* array = value.AsArray();
    if (!array) Refuse(std::string(what) + " is not a list");
    return *array;
}

std::vector<Tile> TilesOf(const JsonValue& value, std::string_view what) {
    std::vector<Tile> tiles;
    for (const JsonValue& item : ArrayOf(value, what)) tiles.push_back(TileOf(item, what));
    return tiles;
}

std::array<std::vector<Tile>, 4> FourTileLists(const JsonValue& value, std::string_view what) {
    const auto& lists = ArrayOf(value, what);
    if (lists.size() != 4) Refuse(std::string(what) + " does not have four lists");
    std::array<std::vector<Tile>, 4> out;
    for (std::size_t c = 0; c < 4; ++c) out[c] = TilesOf(lists[c], what);
    return out;
}

std::array<std::int64_t, 4> FourIntegers(const JsonValue& value, std::string_view what) {
    const auto& each = ArrayOf(value, what);
    if (each.size() != 4) Refuse(std::string(what) + " does not have four numbers");
    std::array<std::int64_t, 4> out{};
    for (std::size_t c = 0; c < 4; ++c) out[c] = IntegerOf(each[c], what);
    return out;
}

Act ActOf(const JsonValue& value, std::string_view what) {
    const std::string* name = value.String();
    if (!name) Refuse(std::string(what) + "\"act\" is not text");
    if (const auto act = net::hand_log::ActNamed(*name)) return *act;
    Refuse(std::string(what) + "unknown act \"" + *name + "\"");
}

LogEvent EventOf(const JsonValue& value, std::size_t index) {
    const std::string where = "event " + std::to_string(index + 1) + ": ";
    if (!value.IsObject()) Refuse(where + "not an object");
    LogEvent event;
    event.chair = ChairOf(Member(value, "chair", where), where + "\"chair\"");
    event.act = ActOf(Member(value, "act", where), where);
    if (const JsonValue* tile = value.Find("tile"); tile && !tile->IsNull())
        event.tile = TileOf(*tile, where + "\"tile\"");
    if (const JsonValue* meld = value.Find("meld"); meld && !meld->IsNull())
        event.meld = TilesOf(*meld, where + "\"meld\"");
    const JsonValue* from = value.Find("from");
    if (from && from->IsString()) {
        const auto end = net::hand_log::WallEndNamed(*from->String());
        if (!end) Refuse(where + "\"from\" is neither \"head\" nor \"tail\"");
        event.fromTail = *end == net::hand_log::WallEnd::Tail;
    } else if (from && !from->IsNull()) {
        event.from = ChairOf(*from, where + "\"from\"");
    }
    if (const JsonValue* robbed = value.Find("robbed"); robbed && !robbed->IsNull()) {
        const auto flag = robbed->Bool();
        if (!flag) Refuse(where + "\"robbed\" is not true or false");
        event.robbed = *flag;
    }
    if (event.act == Act::Kong) {
        const std::string* word = Member(value, "kind", where).String();
        const auto kind = word ? net::hand_log::KongKindNamed(*word) : std::nullopt;
        if (!kind) Refuse(where + "\"kind\" is not concealed, exposed or added");
        event.kongKind = *kind;
    }
    const bool needsTile = event.act == Act::Draw || event.act == Act::Discard ||
                           event.act == Act::Chow || event.act == Act::Pung ||
                           event.act == Act::Kong || event.act == Act::Win;
    if (needsTile && !event.tile) Refuse(where + "\"tile\" is missing");
    if (event.act == Act::Chow && event.meld.size() != 3)
        Refuse(where + "a chow's \"meld\" does not have three tiles");
    return event;
}

HandResult ResultOf(const JsonValue& value) {
    HandResult result;
    for (const JsonValue& winner : ArrayOf(Member(value, "winners", "result: "), "\"winners\""))
        result.winners.push_back(ChairOf(winner, "a winner"));
    if (const JsonValue* d = value.Find("discarder"); d && !d->IsNull())
        result.discarder = ChairOf(*d, "\"discarder\"");
    if (const JsonValue* t = value.Find("tile"); t && !t->IsNull())
        result.tile = TileOf(*t, "the winning \"tile\"");
    if (const JsonValue* p = value.Find("points")) result.points = FourIntegers(*p, "\"points\"");
    if (const JsonValue* due = value.Find("due")) result.due = FourIntegers(*due, "\"due\"");
    return result;
}

// Only what the win record shows; the rest of "score" is for re-scoring.
void ReadScore(const JsonValue& score, HandLog& hand) {
    if (!score.IsObject()) Refuse("\"score\" is not an object");
    if (const JsonValue* base = score.Find("base")) hand.base = IntegerOf(*base, "\"base\"");
    if (const JsonValue* bets = score.Find("bets")) {
        const auto each = FourIntegers(*bets, "\"bets\"");
        for (std::size_t c = 0; c < 4; ++c) {
            if (each[c] < 0 || each[c] > 3) Refuse("a side bet is not 0-3");
            hand.bets[c] = static_cast<std::uint8_t>(each[c]);
        }
    }
}

HandLog HandOf(const JsonValue& root) {
    if (!root.IsObject()) Refuse("the line is not an object");
    HandLog hand;
    hand.id = IntegerOf(Member(root, "id", ""), "\"id\"");
    if (const JsonValue* table = root.Find("table")) hand.table = IntegerOf(*table, "\"table\"");
    hand.dealer = ChairOf(Member(root, "dealer", ""), "\"dealer\"");
    if (const JsonValue* dice = root.Find("dice")) {
        const auto value = IntegerOf(*dice, "\"dice\"");
        if (value < 1 || value > 6) Refuse("\"dice\" is not 1-6");
        hand.dice = static_cast<std::uint8_t>(value);
    }
    if (const JsonValue* score = root.Find("score")) ReadScore(*score, hand);
    if (const JsonValue* time = root.Find("time")) hand.time = IntegerOf(*time, "\"time\"");
    if (const JsonValue* levels = root.Find("levels")) {
        const auto& each = ArrayOf(*levels, "\"levels\"");
        if (each.size() != 4) Refuse("\"levels\" does not have four numbers");
        for (std::size_t c = 0; c < 4; ++c) {
            const auto level = IntegerOf(each[c], "a level");
            if (level < 0 || level > bots::kHighestLevel) Refuse("a level is not 0-4");
            hand.levels[c] = static_cast<int>(level);
        }
    }
    const auto& players = ArrayOf(Member(root, "players", ""), "\"players\"");
    if (players.size() != 4) Refuse("\"players\" does not have four names");
    for (std::size_t c = 0; c < 4; ++c)
        if (const std::string* name = players[c].String()) hand.players[c] = *name;
    hand.indicator = TileOf(Member(root, "indicator", ""), "\"indicator\"");
    hand.wild = TileOf(Member(root, "wild", ""), "\"wild\"");
    hand.wall = TilesOf(Member(root, "wall", ""), "\"wall\"");
    if (hand.wall.size() != rules::kTilesInSet) Refuse("\"wall\" does not have 136 tiles");
    hand.deal = FourTileLists(Member(root, "deal", ""), "\"deal\"");
    for (std::size_t c = 0; c < 4; ++c)
        if (hand.deal[c].size() != (c == hand.dealer ? 14u : 13u))
            Refuse("\"deal\" of chair " + std::to_string(c) + " has " +
                   std::to_string(hand.deal[c].size()) + " tiles");
    if (const JsonValue* events = root.Find("events")) {
        const auto& list = ArrayOf(*events, "\"events\"");
        for (std::size_t i = 0; i < list.size(); ++i) hand.events.push_back(EventOf(list[i], i));
    }
    hand.result = ResultOf(Member(root, "result", ""));
    if (const JsonValue* final = root.Find("final"))
        hand.final = FourTileLists(*final, "\"final\"");
    return hand;
}

}  // namespace

ParsedHand ParseHandLine(std::string_view line) {
    ParsedHand parsed;
    auto json = ParseJson(line);
    if (!json.value) {
        parsed.error = "not JSON: " + json.error;
        return parsed;
    }
    try {
        parsed.hand = HandOf(*json.value);
    } catch (const Refusal& refusal) {
        parsed.error = refusal.why;
    }
    return parsed;
}

ParsedLog ParseHandLog(std::string_view text) {
    ParsedLog log;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (std::all_of(line.begin(), line.end(),
                        [](char c) { return c == ' ' || c == '\t' || c == '\r'; }))
            continue;
        auto parsed = ParseHandLine(line);
        if (parsed.hand)
            log.hands.push_back(std::move(*parsed.hand));
        else
            log.errors.push_back("line " + std::to_string(lineNumber) + ": " + parsed.error);
    }
    return log;
}

const HandLog* FindHand(const std::vector<HandLog>& hands, std::int64_t id) {
    for (const HandLog& hand : hands)
        if (hand.id == id) return &hand;
    return nullptr;
}

std::string_view ActName(Act act) {
    return net::hand_log::WordOf(act);
}

}  // namespace qira::replay
