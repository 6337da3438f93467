#include "play/win_record.h"

#include <algorithm>

#include "play/table_words.h"
#include "rules/win_explanation.h"

namespace qira::play {
namespace {

enum class Shown { AtLeastTwo, NonZero };
enum class Form { Times, PlusSpaced, Plus, PlusDoubled };

struct ItemRule {
    const char* label;
    Shown shown;
    Form form;
};

// Winner items 2 to 17; index 0 and 1 carry no label.
constexpr std::array<ItemRule, 18> kWinnerItems = {{
    {"", Shown::AtLeastTwo, Form::Times},
    {"", Shown::AtLeastTwo, Form::Times},
    {"自摸", Shown::AtLeastTwo, Form::Times},
    {"点炮", Shown::AtLeastTwo, Form::Times},
    {"庄家胡牌", Shown::AtLeastTwo, Form::Times},
    {"庄家点炮", Shown::AtLeastTwo, Form::Times},
    {"杠上开花", Shown::AtLeastTwo, Form::Times},
    {"杠上炮", Shown::AtLeastTwo, Form::Times},
    {"明杠", Shown::NonZero, Form::PlusSpaced},
    {"暗杠", Shown::NonZero, Form::PlusDoubled},
    {"七对", Shown::AtLeastTwo, Form::Times},
    {"豪华七对", Shown::AtLeastTwo, Form::Times},
    {"超豪华七对", Shown::AtLeastTwo, Form::Times},
    {"素胡(没混)", Shown::AtLeastTwo, Form::Times},
    {"挂档", Shown::AtLeastTwo, Form::Times},
    {"漂", Shown::NonZero, Form::Plus},
    {nullptr, Shown::NonZero, Form::Plus},  // the wild-indicator kong, named by its value
    {"混杠", Shown::NonZero, Form::Plus},
}};

constexpr std::array<ItemRule, 6> kPayerItems = {{
    {"点炮", Shown::AtLeastTwo, Form::Times},
    {"庄家输", Shown::AtLeastTwo, Form::Times},
    {"挂档", Shown::AtLeastTwo, Form::Times},
    {"漂", Shown::NonZero, Form::Plus},
    {nullptr, Shown::NonZero, Form::Plus},
    {"混杠", Shown::NonZero, Form::Plus},
}};

std::string LabelOf(const ItemRule& rule, std::uint8_t value) {
    if (rule.label) return rule.label;
    return value == 1 ? "混皮子明杠" : "混皮子暗杠";
}

bool IsShown(const ItemRule& rule, std::uint8_t value) {
    return rule.shown == Shown::AtLeastTwo ? value >= 2 : value != 0;
}

std::string Pieces(const ItemRule& rule, std::uint8_t value) {
    const std::string label = LabelOf(rule, value);
    switch (rule.form) {
        case Form::Times:
            return label + "Ⅹ" + std::to_string(value);
        case Form::PlusSpaced:
            return label + " ┼ " + std::to_string(value) + "倍底分";
        case Form::PlusDoubled:
            return label + " ┼ " + std::to_string(2 * value) + "倍底分";
        case Form::Plus:
            return label + "┼" + std::to_string(value) + "倍底分";
    }
    return label;
}

// Removes the trailing "，" (three bytes in UTF-8) that every listed piece leaves.
std::string DropTrailingComma(std::string text) {
    static const std::string comma = "，";
    if (text.size() >= comma.size() && text.ends_with(comma))
        text.resize(text.size() - comma.size());
    return text;
}

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// Appends `addition` after "，", or makes it the text when the row is empty.
// An empty addition leaves the row as it is, so no stray comma is written.
void AppendToRow(std::string& row, const std::string& addition) {
    if (addition.empty()) return;
    row = IsBlank(row) ? addition : row + "，" + addition;
}

}  // namespace

std::array<std::string, 4> BuildItemTexts(const WinRecord& record) {
    std::array<std::string, 4> rows;
    for (const auto& winner : record.winners) {
        std::string text;
        for (std::size_t item = 2; item <= 17; ++item) {
            const auto value = winner.items[item];
            if (IsShown(kWinnerItems[item], value))
                text += Pieces(kWinnerItems[item], value) + "，";
        }
        rows[winner.chair] = DropTrailingComma(text);
    }
    for (std::size_t chair = 0; chair < 4; ++chair) {
        std::string kongs;
        if (record.concealedKongs[chair] != 0)
            kongs += std::to_string(record.concealedKongs[chair]) + "个暗杠，";
        if (record.exposedKongs[chair] != 0)
            kongs += std::to_string(record.exposedKongs[chair]) + "个明杠，";
        AppendToRow(rows[chair], DropTrailingComma(kongs));
    }
    for (std::size_t chair = 0; chair < 4; ++chair) {
        std::string payer;
        for (std::size_t item = 0; item < kPayerItems.size(); ++item) {
            const auto value = record.payerItems[chair][item];
            if (!IsShown(kPayerItems[item], value)) continue;
            if (rows[chair].find(LabelOf(kPayerItems[item], value)) != std::string::npos) continue;
            payer += Pieces(kPayerItems[item], value) + "，";
        }
        AppendToRow(rows[chair], DropTrailingComma(payer));
    }
    return rows;
}

WinHeader BuildWinHeader(const WinRecord& record, const std::string& gameTitle,
                         const std::array<std::string, 4>& playerNames) {
    WinHeader header;
    header.caption = gameTitle + " 胡牌提示";
    if (record.winners.empty()) return header;
    const auto& first = record.winners.front();
    if (first.SelfDrawn()) {
        header.winnerLine = playerNames[first.chair] + "  自摸胡牌";
        return header;
    }
    for (std::size_t i = 0; i < record.winners.size(); ++i) {
        if (i > 0) header.winnerLine += "，";
        header.winnerLine += playerNames[record.winners[i].chair];
    }
    header.winnerLine += "  ";
    if (record.winners.size() >= 2) header.winnerLine += "同时";
    header.winnerLine += "胡牌";
    header.discarderLine = playerNames[first.items[1]] + "  点炮";
    return header;
}

namespace {

// The hand as it won: on a discard the concealed tiles wait for the winning
// tile; self-drawn, the winning tile is already one of them. A hand the
// client would not have let win on a discard is still arranged as drawn.
std::optional<rules::WinExplanation> ExplainWinner(const WinnerBlock& winner,
                                                   std::uint8_t winningTile, std::uint8_t wild) {
    std::vector<rules::MeldRecord> melds;
    for (const WinMeld& meld : winner.melds)
        melds.push_back({static_cast<rules::MeldKind>(meld.kind), meld.tile, 0});
    std::vector<rules::TileCode> full = winner.concealedTiles;
    full.push_back(winningTile);
    if (!winner.SelfDrawn()) {
        if (auto onDiscard =
                rules::ExplainWin({winner.concealedTiles, melds, wild, false}, winningTile))
            return onDiscard;
    }
    return rules::ExplainWin({full, melds, wild, false}, winningTile);
}

}  // namespace

std::vector<ArrangedGroup> ArrangeWinnerHand(const WinnerBlock& winner, std::uint8_t winningTile,
                                             std::optional<std::uint8_t> wildTile) {
    std::vector<ArrangedGroup> groups;
    if (!wildTile) return groups;
    const auto explanation = ExplainWinner(winner, winningTile, *wildTile);
    if (!explanation) return groups;
    for (const rules::ExplainedGroup& group : explanation->groups) {
        ArrangedGroup arranged;
        for (std::size_t i = 0; i < group.tiles.size(); ++i) {
            const bool wild = group.tiles[i] == *wildTile;
            arranged.push_back(
                {group.tiles[i], wild ? "当" + TileName(group.standsFor[i]) : std::string()});
        }
        groups.push_back(std::move(arranged));
    }
    return groups;
}

std::string CloseButtonCaption(int secondsLeft) {
    return "关闭 " + std::to_string(secondsLeft);
}

}  // namespace qira::play
