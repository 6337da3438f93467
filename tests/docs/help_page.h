#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/table_state.h"
#include "tile_notation.h"

// Reads the handbook (docs/help.html) the way its tests need it: the worked
// examples with their data attributes, pictures and checked numbers, and
// every address the page refers to. The page is our own plain HTML, so a
// small reader of tags and attributes is enough.
namespace qira::docs {

struct Picture {
    std::string src;
    std::string alt;
    bool wild = false;  // class "wild": drawn marked as a wild tile
};

struct Example {
    std::map<std::string, std::string> data;     // data-* attributes without "data-"
    std::vector<Picture> pictures;               // every <img> inside, in order
    std::map<std::string, std::string> checked;  // text of <span class="..."> inside
    std::size_t line = 0;                        // where the figure opens

    std::string Data(const std::string& name) const;  // empty when absent
};

// Every <figure class="example"> of the page.
std::vector<Example> ReadExamples(std::string_view page);

// Every src="..." and href="..." of the page, in order.
std::vector<std::string> ReadAddresses(std::string_view page);

// Every id="..." of the page.
std::vector<std::string> ReadIds(std::string_view page);

// The page's tile notation ("123m"); nullopt for anything else.
using test_support::ParseTiles;

// The notation of one tile ("5m") and its Chinese name ("五万").
std::string TileName(rules::TileCode tile);
std::string ChineseTileName(rules::TileCode tile);

}  // namespace qira::docs
