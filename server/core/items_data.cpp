#include "server/core/items_data.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "net/numeric_text.h"
#include "net/packet.h"

namespace qira::server {

bool ItemsData::Has(int id) const {
    return std::find(itemIds.begin(), itemIds.end(), id) != itemIds.end();
}

std::optional<ItemsData> ParseItems(std::string_view text) {
    std::vector<std::string> types;
    std::vector<std::string> itemFields;
    std::vector<std::string> own;
    ItemsData data;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.empty() || fields[0][0] == '#') continue;
        if (fields[0] == "type" && fields.size() == 2) {
            types.push_back(fields[1]);
        } else if (fields[0] == "item" && fields.size() == 11) {
            // Numbers are whole ints: "-", "1-2" or a value beyond int refuse the file.
            for (std::size_t i = 1; i < 11; ++i)
                if (i != 3 && !net::ReadWholeNumber<int>(fields[i])) return std::nullopt;
            data.itemIds.push_back(*net::ReadWholeNumber<int>(fields[1]));
            itemFields.insert(itemFields.end(), fields.begin() + 1, fields.end());
        } else if (fields[0] == "own" && fields.size() == 4) {
            own.insert(own.end(), fields.begin() + 1, fields.end());
        } else {
            return std::nullopt;
        }
    }
    std::vector<std::string> catalogue{std::to_string(types.size())};
    catalogue.insert(catalogue.end(), types.begin(), types.end());
    catalogue.push_back(std::to_string(data.itemIds.size()));
    catalogue.insert(catalogue.end(), itemFields.begin(), itemFields.end());
    data.catalogue = net::JoinFields(catalogue);
    for (std::size_t i = 0; i < own.size(); ++i) {
        if (i > 0) data.ownItems.push_back(':');
        data.ownItems += own[i];
    }
    return data;
}

std::optional<ItemsData> LoadItemsFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::stringstream content;
    content << file.rdbuf();
    return ParseItems(content.str());
}

}  // namespace qira::server
