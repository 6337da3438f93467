#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

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

// The leading decimal number of a field (blanks and a sign allowed), 0 when
// there is none; clamped to 32 bits.
inline std::int64_t NumberOf(std::string_view text) {
    std::size_t index = 0;
    while (index < text.size() && (text[index] == ' ' || text[index] == '\t')) ++index;
    bool negative = false;
    if (index < text.size() && (text[index] == '-' || text[index] == '+')) {
        negative = text[index] == '-';
        ++index;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    while (index < text.size() && text[index] >= '0' && text[index] <= '9') {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[index] - '0'), kLimit);
        ++index;
    }
    return negative ? -magnitude : std::min<std::int64_t>(magnitude, kLimit - 1);
}

// Fields first..last joined again with the separator; empty when first is past the end.
inline std::string JoinFrom(std::span<const std::string> fields, std::size_t first) {
    if (first >= fields.size()) return {};
    return net::JoinFields(fields.subspan(first));
}

}  // namespace qira::play
