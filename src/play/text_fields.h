#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/numeric_text.h"
#include "net/packet.h"

// Small readers of the text fields of room and game messages.
namespace qira::play {

// The text without blanks at either end.
inline std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// The leading decimal number of a field, 0 when there is none.
inline std::int64_t NumberOf(std::string_view text) {
    return net::ReadNumericValue(text);
}

// Fields first..last joined again with the separator; empty when first is past the end.
inline std::string JoinFrom(std::span<const std::string> fields, std::size_t first) {
    if (first >= fields.size()) return {};
    return net::JoinFields(fields.subspan(first));
}

}  // namespace qira::play
