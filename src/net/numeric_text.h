#pragma once

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

namespace qira::net {

// The value of the number a text starts with, as the server and the lobby
// write numbers: blanks, an optional sign, decimal digits, and an optional
// fraction that rounds to the nearest whole number. Text without a leading
// number reads as 0; values beyond 32 bits are clamped rather than wrapped.
inline std::int32_t ReadNumericValue(std::string_view text) {
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
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[index] - '0');
        ++index;
    }
    if (index + 1 < text.size() && text[index] == '.' && text[index + 1] >= '5' &&
        text[index + 1] <= '9')
        ++magnitude;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// The whole text as one number of type `Number`, or nothing: no blanks, no
// sign but a leading '-', nothing after the number, nothing beyond the type.
template <typename Number>
std::optional<Number> ReadWholeNumber(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

}  // namespace qira::net
