#include "scripted_hand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "rules/table_state.h"

namespace qira::replay::testing {

std::string JoinInts(const std::vector<int>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? "," : "") + std::to_string(values[i]);
    return out + "]";
}

std::vector<int> ScriptedHand::Wall() const {
    std::map<int, int> left;
    for (int kind = 0; kind < 34; ++kind) left[kind <= 30 ? kind : kind + 5] = 4;
    auto take = [&](int tile) {
        EXPECT_GT(left[tile], 0) << "tile " << tile << " used more than four times";
        --left[tile];
        return tile;
    };
    std::vector<int> wall(136, -1);
    for (int round = 0; round < 13; ++round)
        for (int i = 0; i < 4; ++i) wall[round * 4 + i] = take(hands[(dealer + i) % 4][round]);
    wall[52] = take(hands[dealer][13]);
    for (std::size_t i = 0; i < draws.size(); ++i) wall[53 + i] = take(draws[i]);
    wall[135] = take(indicator);
    for (std::size_t i = 0; i < replacements.size(); ++i) wall[134 - i] = take(replacements[i]);
    auto next = left.begin();
    for (int& slot : wall) {
        if (slot >= 0) continue;
        while (next->second == 0) ++next;
        slot = next->first;
        --next->second;
    }
    return wall;
}

std::string ScriptedHand::Line() const {
    std::string deal = "[";
    for (std::size_t c = 0; c < 4; ++c) deal += (c ? "," : "") + JoinInts(hands[c]);
    deal += "]";
    std::string events_ = "[";
    for (std::size_t i = 0; i < events.size(); ++i) events_ += (i ? "," : "") + events[i];
    events_ += "]";
    std::string names = "[";
    for (std::size_t c = 0; c < 4; ++c)
        names += std::string(c ? "," : "") + "\"" + players[c] + "\"";
    names += "]";
    const int wild = rules::WildAfterIndicator(static_cast<rules::TileCode>(indicator));
    return "{\"id\":" + std::to_string(id) +
           ",\"table\":1,\"seed\":12345,\"dealer\":" + std::to_string(dealer) +
           ",\"players\":" + names + ",\"indicator\":" + std::to_string(indicator) +
           ",\"wild\":" + std::to_string(wild) + ",\"wall\":" + JoinInts(Wall()) +
           ",\"deal\":" + deal + ",\"events\":" + events_ + ",\"result\":" + result +
           ",\"final\":[[],[],[],[]]" + extraKeys + "}";
}

ScriptedHand KongAndSelfDrawnWin() {
    ScriptedHand h;
    // Chair 0 deals and throws the east wind; 37 is wild and stands for 五萬 (4).
    h.hands[0] = {0, 1, 2, 12, 13, 14, 21, 22, 23, 3, 37, 5, 6, 27};
    h.hands[1] = {27, 27, 10, 24, 25, 26, 16, 16, 16, 7, 8, 29, 29};
    h.hands[2] = {9, 11, 30, 18, 18, 19, 19, 24, 24, 7, 28, 28, 28};
    h.hands[3] = {20, 20, 20, 38, 1, 1, 4, 4, 8, 8, 17, 17, 11};
    h.draws = {20, 6};
    h.replacements = {30};
    h.events = {
        R"({"chair":0,"act":"discard","tile":27})",
        R"({"chair":1,"act":"pung","tile":27,"from":0,"meld":[27,27,27]})",
        R"({"chair":1,"act":"discard","tile":10})",
        R"({"chair":2,"act":"chow","tile":10,"from":1,"meld":[9,10,11]})",
        R"({"chair":2,"act":"discard","tile":30})",
        R"({"chair":3,"act":"draw","tile":20,"from":"head"})",
        R"({"chair":3,"act":"kong","tile":20,"kind":"concealed","meld":[20,20,20,20]})",
        R"({"chair":3,"act":"draw","tile":30,"from":"tail"})",
        R"({"chair":3,"act":"ting"})",
        R"({"chair":3,"act":"discard","tile":38})",
        R"({"chair":0,"act":"draw","tile":6,"from":"head"})",
        R"({"chair":0,"act":"win","tile":6})",
    };
    h.result = R"({"winners":[0],"discarder":null,"tile":6,"points":[24,-8,-8,-8]})";
    return h;
}

ScriptedHand DrawnToTheEnd() {
    ScriptedHand h;
    h.dealer = 2;
    h.indicator = 30;  // the wild tile is the east wind
    // The hands, then the draws, come from the sorted set less the indicator.
    std::vector<int> set;
    for (int kind = 0; kind < 34; ++kind)
        for (int copy = 0; copy < 4; ++copy) set.push_back(kind <= 30 ? kind : kind + 5);
    set.erase(std::find(set.begin(), set.end(), h.indicator));
    std::size_t next = 0;
    for (int round = 0; round < 13; ++round)
        for (int i = 0; i < 4; ++i) h.hands[(h.dealer + i) % 4].push_back(set[next++]);
    h.hands[h.dealer].push_back(set[next++]);
    for (; next < set.size(); ++next) h.draws.push_back(set[next]);
    // The dealer throws the fourteenth tile; then each chair draws and throws.
    int chair = h.dealer;
    h.events.push_back(R"({"chair":)" + std::to_string(chair) + R"(,"act":"discard","tile":)" +
                       std::to_string(h.hands[h.dealer][13]) + "}");
    for (const int tile : h.draws) {
        chair = (chair + 1) % 4;
        const std::string who = R"({"chair":)" + std::to_string(chair);
        h.events.push_back(who + R"(,"act":"draw","tile":)" + std::to_string(tile) +
                           R"(,"from":"head"})");
        h.events.push_back(who + R"(,"act":"discard","tile":)" + std::to_string(tile) + "}");
    }
    return h;
}

}  // namespace qira::replay::testing
