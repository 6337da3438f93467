#include "net/front_door.h"

#include <algorithm>
#include <vector>

#include "net/protocol.h"

namespace qira::net {
namespace {

bool Plain(std::string_view field) {
    return std::none_of(field.begin(), field.end(),
                        [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
}

// The line without its line break, cut at the tabs; nothing when too long.
std::optional<std::vector<std::string_view>> Fields(std::string_view line) {
    if (line.size() > front_door::kLongestLine) return std::nullopt;
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return fields;
}

}  // namespace

std::optional<std::string> FrontDoorRequest(std::string_view name, std::string_view secret) {
    if (name.empty() || !Plain(name) || !Plain(secret)) return std::nullopt;
    std::string line = std::string(front_door::kAsk) + "\t" + std::string(name) + "\t" +
                       std::string(secret) + "\n";
    if (line.size() > front_door::kLongestLine) return std::nullopt;
    return line;
}

std::optional<FrontDoorAsk> ParseFrontDoorRequest(std::string_view line) {
    const auto fields = Fields(line);
    if (!fields || fields->size() != 3 || (*fields)[0] != front_door::kAsk || (*fields)[1].empty())
        return std::nullopt;
    return FrontDoorAsk{std::string((*fields)[1]), std::string((*fields)[2])};
}

std::string FrontDoorAnswer(std::string_view address) {
    if (address.empty()) return std::string(front_door::kNone) + "\n";
    return std::string(front_door::kServer) + "\t" + std::string(address) + "\n";
}

std::optional<std::string> ParseFrontDoorAnswer(std::string_view line) {
    const auto fields = Fields(line);
    if (!fields) return std::nullopt;
    if (fields->size() == 1 && (*fields)[0] == front_door::kNone) return std::string();
    if (fields->size() == 2 && (*fields)[0] == front_door::kServer && !(*fields)[1].empty())
        return std::string((*fields)[1]);
    return std::nullopt;
}

}  // namespace qira::net
