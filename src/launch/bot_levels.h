#pragma once

#include <array>
#include <string_view>

// The computer players' levels a player picks from: the name shown, the
// button's caption with its access key, and what the level does, in the
// players' words. The server's --bot-level takes the same numbers.
namespace qira::launch {

struct BotLevelChoice {
    int level = 0;
    std::string_view name;
    std::string_view caption;
    std::string_view summary;
};

inline constexpr std::array<BotLevelChoice, 4> kBotLevels{{
    {1, "初级", "初级(&1)", "只求最快听牌，很少吃碰。"},
    {2, "中级", "中级(&2)", "也数着还没见到的有用牌打，听牌更快。"},
    {3, "稳健", "稳健(&3)",
     "中级加上防守：避开危险牌，对手像是听牌而自己还远时弃和。"
     "比中级略稳，强不了多少。"},
    {4, "高级", "高级(&4)",
     "把看不见的牌随机发出许多副，每种打法都打到底，"
     "按真实计分选平均得分最高的；每步约想 0.1 秒。目前与稳健不相上下。"},
}};

inline constexpr int kLowestBotLevel = 1;
inline constexpr int kHighestBotLevel = 4;

// The entry of `level`; level 2's for a number that names none.
constexpr const BotLevelChoice& BotLevel(int level) {
    for (const BotLevelChoice& choice : kBotLevels)
        if (choice.level == level) return choice;
    return kBotLevels[1];
}

}  // namespace qira::launch
