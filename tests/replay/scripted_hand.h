#pragma once

#include <array>
#include <string>
#include <vector>

// Hand-log lines written by hand for the tests: the hands each chair is dealt,
// the tiles drawn from the front and from the end, and the acts as JSON
// objects. The wall is laid out so that the deal and the draws come out as
// given; the unused tiles fill the rest in ascending order.
namespace qira::replay::testing {

struct ScriptedHand {
    int id = 1;
    int dealer = 0;
    int indicator = 36;  // the wild tile is the next dragon, 37
    std::array<std::string, 4> players = {"东东", "南南", "西西", "北北"};
    std::array<std::vector<int>, 4> hands;  // 13 tiles each, the dealer's 14th last
    std::vector<int> draws;                 // from the front of the wall, in order
    std::vector<int> replacements;          // from its end, in order
    std::vector<std::string> events;        // one JSON object each
    std::string result = R"({"winners":[],"discarder":null,"tile":null,"points":[0,0,0,0]})";
    std::string extraKeys;  // appended inside the object, starting with ","

    // The wall in draw order (136 tiles); fails the test when a tile is used
    // more than four times.
    std::vector<int> Wall() const;
    std::string Line() const;
};

// The hand of the replay tests: a pung, a chow, a concealed kong with its
// replacement, a ready declaration and a self-drawn win with a wild tile that
// stands for 五萬.
ScriptedHand KongAndSelfDrawnWin();

// Every chair draws and throws the drawn tile until the wall is used up.
ScriptedHand DrawnToTheEnd();

std::string JoinInts(const std::vector<int>& values);

}  // namespace qira::replay::testing
