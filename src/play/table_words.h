#pragma once

#include <string>
#include <vector>

#include "play/client_session.h"
#include "rules/table_state.h"

// The table in words, as a screen reader speaks it: the names of the tiles,
// of the actions, and a short sentence for each event of a hand. Everything
// is in the Chinese the table shows.
namespace qira::play {

// "三萬", "五饼", "七条", "东风", "红中"; the empty text for a code that is no tile.
std::string TileName(rules::TileCode tile);
// A tile of the local hand: the wild tile reads "混 五条".
std::string HandTileName(const rules::TableState& table, rules::TileCode tile);
// The three tiles of a chow from its lowest: "三四五萬".
std::string ChowName(rules::TileCode lowest);
// "吃", "碰", "杠", "胡", "过".
std::string ActionName(ActionButton button);
// The side-bet buttons: "押1", "押2", "押定".
std::string SideBetName(int index);

// "你" for the local chair, otherwise the name of the player sitting there.
std::string ChairName(const rules::TableState& table, Chair chair);

// What may be done now: "你可以 碰 / 过"; empty when nothing is offered.
std::string OfferWords(const OfferData& offer);

// The table's state, one sentence each, for the accessible table.
struct TableWords {
    std::vector<std::string> hand;  // one name per tile of the local hand, in order
    std::string newestDiscard;      // "电脑1 打出 五条", or empty
    std::string turn;               // "轮到 电脑1", "轮到你", or empty between hands
};
TableWords DescribeTable(const rules::TableState& table, const TurnData& turn);

}  // namespace qira::play
