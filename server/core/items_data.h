#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qira::server {

// The item catalogue and the items every user starts with, as the texts of
// messages 133/0 and 133/1. They come from a data file we ship
// (server/data/items.txt):
//   type NAME
//   item ID TYPE NAME PIECES HOURS PRICE1 PRICE2 PRICE3 PRICE4 SELF
//   own ID PIECES YYYYMMDDHH
// Blank lines and lines starting with "#" are skipped.
struct ItemsData {
    std::string catalogue;
    std::string ownItems;
    std::vector<int> itemIds;

    bool Has(int id) const;
};

// nullopt when a line does not have its fields.
std::optional<ItemsData> ParseItems(std::string_view text);
std::optional<ItemsData> LoadItemsFile(const std::string& path);

}  // namespace qira::server
