#include "play/table_words.h"

#include <array>

namespace qira::play {
namespace {

constexpr std::array<const char*, 9> kNumerals = {"一", "二", "三", "四", "五",
                                                  "六", "七", "八", "九"};
constexpr std::array<const char*, 3> kSuits = {"萬", "饼", "条"};
constexpr std::array<const char*, 4> kWinds = {"东风", "南风", "西风", "北风"};
constexpr std::array<const char*, 3> kDragons = {"红中", "发财", "白板"};
constexpr int kSuitSize = 9;
constexpr int kFirstWind = 27;
constexpr int kFirstDragon = 36;

bool IsSuited(int tile) {
    return tile >= 0 && tile < kFirstWind;
}

}  // namespace

std::string TileName(rules::TileCode tile) {
    const int code = tile;
    if (IsSuited(code)) return std::string(kNumerals[code % kSuitSize]) + kSuits[code / kSuitSize];
    if (code >= kFirstWind && code < kFirstWind + 4) return kWinds[code - kFirstWind];
    if (code >= kFirstDragon && code < kFirstDragon + 3) return kDragons[code - kFirstDragon];
    return {};
}

std::string HandTileName(const rules::TableState& table, rules::TileCode tile) {
    return table.IsWild(tile) ? "混 " + TileName(tile) : TileName(tile);
}

std::string ChowName(rules::TileCode lowest) {
    const int code = lowest;
    if (!IsSuited(code) || code % kSuitSize > kSuitSize - 3) return {};
    std::string words;
    for (int step = 0; step < 3; ++step) words += kNumerals[code % kSuitSize + step];
    return words + kSuits[code / kSuitSize];
}

std::string ActionName(ActionButton button) {
    return net::RowOf(ClaimOf(button)).word;
}

std::string SideBetName(int index) {
    static constexpr std::array<const char*, kGameButtonCount> kNames = {"押1", "押2", "押定"};
    return index >= 0 && index < kGameButtonCount ? kNames[static_cast<std::size_t>(index)] : "";
}

std::string ChairName(const rules::TableState& table, Chair chair) {
    if (chair == table.bytMyChair) return "你";
    if (chair >= rules::kChairCount) return {};
    const std::string& name = table.Seats[chair].strPlayerName;
    return name.empty() ? "空位" : name;
}

std::string OfferWords(const OfferData& offer) {
    std::string words;
    for (int index = 0; index < kActionButtonCount; ++index) {
        const auto button = static_cast<ActionButton>(index);
        if (!offer.Offered(button)) continue;
        words += (words.empty() ? "你可以 " : " / ") + ActionName(button);
    }
    return words;
}

TableWords DescribeTable(const rules::TableState& table, const TurnData& turn) {
    TableWords words;
    for (const rules::TileCode tile : table.bytMyHand)
        words.hand.push_back(HandTileName(table, tile));
    if (turn.blnNewestDiscardShown)
        words.newestDiscard = ChairName(table, turn.bytNewestDiscardChair) + " 打出 " +
                              TileName(turn.bytNewestDiscardTile);
    const Chair chair = table.bytTurnChair;
    if (table.blnHandIdle || chair >= rules::kChairCount) return words;
    if (table.bytTurnPhase == phase::kSideBets)
        words.turn = "押注";
    else if (table.bytTurnPhase == phase::kDiscarded)
        words.turn = "等候吃、碰、杠、胡";
    else if (chair == table.bytMyChair)
        words.turn = "轮到你出牌";
    else
        words.turn = "轮到 " + ChairName(table, chair) + " 出牌";
    return words;
}

}  // namespace qira::play
