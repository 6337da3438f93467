#include "items/profile_file.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "net/text_codec.h"

namespace qira::items {
namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lowered;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t index = 0;
    while (index < text.size()) {
        const auto lead = static_cast<unsigned char>(text[index]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || text.size() - index < length) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[index + k]) & 0xC0) != 0x80) return false;
        index += length;
    }
    return true;
}

}  // namespace

ProfileFile ProfileFile::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::ostringstream content;
    content << file.rdbuf();
    std::string text = content.str();
    if (!IsValidUtf8(text)) text = net::GbkToUtf8(text).value_or(std::string());
    return Parse(text);
}

ProfileFile ProfileFile::Parse(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    ProfileFile profile;
    std::string section;
    bool inSection = false;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            inSection = close != std::string_view::npos;
            if (inSection) section = Lower(Trim(line.substr(1, close - 1)));
            continue;
        }
        const auto equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) continue;
        profile.entries_.push_back({section, Lower(Trim(line.substr(0, equals))),
                                    std::string(Unquote(Trim(line.substr(equals + 1))))});
    }
    return profile;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    const std::string wantedSection = Lower(section);
    const std::string wantedKey = Lower(key);
    for (const auto& entry : entries_)
        if (entry.section == wantedSection && entry.key == wantedKey) return entry.value;
    return std::string(defaultValue);
}

}  // namespace qira::items
