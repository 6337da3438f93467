#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bots/sampling.h"
#include "replay/hand_log.h"

// A logged hand reviewed from one seat: every decision the seat made, set
// beside level 4's choice from the same view, with the expected points of
// both over the same sampled deals.
namespace qira::replay {

struct ReviewOptions {
    int budgetMs = 200;      // level 4's budget per decision (deals follow from it)
    double threshold = 0.5;  // expected points (in base scores) beyond which a choice is costly
};

struct ReviewRow {
    std::size_t event = 0;                              // the act's index in the log
    std::vector<replay::Tile> hand;                     // the concealed tiles when deciding
    std::array<std::vector<replay::Tile>, 4> discards;  // every chair's, so far
    bots::Choice played;
    bots::Choice suggested;
    double playedPoints = 0;  // expected, in base scores
    double suggestedPoints = 0;
    int deals = 0;

    bool Agrees() const { return played == suggested; }
    double Cost() const { return Agrees() ? 0.0 : suggestedPoints - playedPoints; }
};

struct Review {
    std::int64_t handId = 0;
    replay::Chair seat = 0;
    std::string name;
    std::int64_t base = 1;
    replay::Tile wild = 0;
    double threshold = 0.5;
    int budgetMs = 0;
    std::vector<ReviewRow> rows;

    std::size_t Agreements() const;
    double TotalCost() const;  // summed over the rows, in base scores
    bool Costly(const ReviewRow& row) const { return row.Cost() > threshold; }
};

// The seat by name or by chair number ("0"-"3"); nothing when neither fits.
std::optional<replay::Chair> SeatOf(const replay::HandLog& hand, const std::string& text);

// Nothing, with the reason in `error`, when the log does not replay.
std::optional<Review> ReviewHand(const replay::HandLog& hand, replay::Chair seat,
                                 const ReviewOptions& options, std::string* error = nullptr);

// A choice in the players' words: "打 五萬", "碰", "吃 三四五萬", "过".
std::string ChoiceText(const bots::Choice& choice);
std::string TileText(replay::Tile tile);

// The line qira-replay shows at `step` (the position after that many acts):
// the decision made from it, when the review has one; "" otherwise.
std::string ReviewLineAt(const Review& review, std::size_t step);

std::string ReviewJson(const Review& review);
// A self-contained page; `tilePictures` maps a tile code to its PNG's bytes
// (tiles without one are written as text).
std::string ReviewHtml(const Review& review, const std::map<int, std::string>& tilePictures);

}  // namespace qira::replay
