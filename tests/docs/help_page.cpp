#include "docs/help_page.h"

#include <algorithm>
#include <array>

namespace qira::docs {
namespace {

// The attributes of the tag whose text (without "<" and ">") is `tag`.
std::map<std::string, std::string> Attributes(std::string_view tag) {
    std::map<std::string, std::string> attributes;
    std::size_t at = 0;
    while ((at = tag.find("=\"", at)) != std::string_view::npos) {
        std::size_t nameStart = at;
        while (nameStart > 0 && tag[nameStart - 1] != ' ' && tag[nameStart - 1] != '\n')
            --nameStart;
        const std::size_t valueEnd = tag.find('"', at + 2);
        if (valueEnd == std::string_view::npos) break;
        attributes[std::string(tag.substr(nameStart, at - nameStart))] =
            std::string(tag.substr(at + 2, valueEnd - at - 2));
        at = valueEnd + 1;
    }
    return attributes;
}

bool HasClass(const std::map<std::string, std::string>& attributes, std::string_view name) {
    const auto it = attributes.find("class");
    if (it == attributes.end()) return false;
    std::string_view classes = it->second;
    while (!classes.empty()) {
        const std::size_t space = classes.find(' ');
        if (classes.substr(0, space) == name) return true;
        if (space == std::string_view::npos) break;
        classes.remove_prefix(space + 1);
    }
    return false;
}

// Calls `visit(attributes, tagEnd)` for each tag named `name` in `text`.
template <typename Visit>
void ForEachTag(std::string_view text, std::string_view name, Visit visit) {
    const std::string open = "<" + std::string(name);
    std::size_t at = 0;
    while ((at = text.find(open, at)) != std::string_view::npos) {
        const std::size_t after = at + open.size();
        const std::size_t end = text.find('>', after);
        if (end == std::string_view::npos) return;
        if (text[after] == ' ' || text[after] == '>' || text[after] == '\n')
            visit(at, Attributes(text.substr(after, end - after)), end + 1);
        at = end + 1;
    }
}

std::string StripTags(std::string_view html) {
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<') inTag = true;
        if (!inTag) text += c;
        if (c == '>') inTag = false;
    }
    return text;
}

Example ReadExample(std::string_view page, std::size_t start,
                    const std::map<std::string, std::string>& attributes, std::size_t bodyStart) {
    Example example;
    example.line =
        static_cast<std::size_t>(std::count(page.begin(), page.begin() + start, '\n')) + 1;
    for (const auto& [name, value] : attributes)
        if (name.starts_with("data-")) example.data[name.substr(5)] = value;
    const std::size_t bodyEnd = page.find("</figure>", bodyStart);
    const std::string_view body = page.substr(bodyStart, bodyEnd - bodyStart);
    ForEachTag(body, "img", [&](std::size_t, const auto& img, std::size_t) {
        const auto value = [&](const char* name) {
            const auto it = img.find(name);
            return it == img.end() ? std::string() : it->second;
        };
        example.pictures.push_back({value("src"), value("alt"), HasClass(img, "wild")});
    });
    ForEachTag(body, "span", [&](std::size_t, const auto& span, std::size_t end) {
        const auto it = span.find("class");
        if (it == span.end()) return;
        const std::size_t close = body.find("</span>", end);
        example.checked[it->second] = StripTags(body.substr(end, close - end));
    });
    return example;
}

void ReadAttributeValues(std::string_view page, std::string_view attribute,
                         std::vector<std::string>& out) {
    const std::string marker = " " + std::string(attribute) + "=\"";
    std::size_t at = 0;
    while ((at = page.find(marker, at)) != std::string_view::npos) {
        at += marker.size();
        const std::size_t end = page.find('"', at);
        if (end == std::string_view::npos) return;
        out.emplace_back(page.substr(at, end - at));
        at = end + 1;
    }
}

constexpr std::array<const char*, 9> kNumerals = {"一", "二", "三", "四", "五",
                                                  "六", "七", "八", "九"};
constexpr std::array<const char*, 7> kHonours = {"东风", "南风", "西风", "北风",
                                                 "红中", "发财", "白板"};

}  // namespace

std::string Example::Data(const std::string& name) const {
    const auto it = data.find(name);
    return it == data.end() ? std::string() : it->second;
}

std::vector<Example> ReadExamples(std::string_view page) {
    std::vector<Example> examples;
    ForEachTag(page, "figure", [&](std::size_t start, const auto& attributes, std::size_t end) {
        if (HasClass(attributes, "example"))
            examples.push_back(ReadExample(page, start, attributes, end));
    });
    return examples;
}

std::vector<std::string> ReadAddresses(std::string_view page) {
    std::vector<std::string> addresses;
    ReadAttributeValues(page, "src", addresses);
    ReadAttributeValues(page, "href", addresses);
    return addresses;
}

std::vector<std::string> ReadIds(std::string_view page) {
    std::vector<std::string> ids;
    ReadAttributeValues(page, "id", ids);
    return ids;
}

std::string TileName(rules::TileCode tile) {
    if (rules::IsNumbered(tile)) return std::to_string(rules::RankOf(tile)) + "mps"[tile / 9];
    return std::to_string(tile <= 30 ? tile - 26 : tile - 31) + "z";
}

std::string ChineseTileName(rules::TileCode tile) {
    if (!rules::IsNumbered(tile))
        return kHonours[static_cast<std::size_t>(tile <= 30 ? tile - 27 : tile - 32)];
    constexpr std::array<const char*, 3> kSuits = {"万", "饼", "条"};
    return std::string(kNumerals[static_cast<std::size_t>(tile % 9)]) + kSuits[tile / 9];
}

}  // namespace qira::docs
