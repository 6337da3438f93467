#include "server/core/text_rules.h"

#include <algorithm>

namespace qira::server {
namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

bool HasControlCharacters(std::string_view utf8) {
    return std::any_of(utf8.begin(), utf8.end(), IsControl);
}

std::string WithoutControlCharacters(std::string text) {
    std::replace_if(text.begin(), text.end(), IsControl, ' ');
    return text;
}

std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string NameKey(std::string_view name) {
    std::string key = Trimmed(name);
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return key;
}

}  // namespace qira::server
