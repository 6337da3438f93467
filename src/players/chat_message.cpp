#include "players/chat_message.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace qira::players {

namespace {

constexpr int kMinPointSize = 8;
constexpr int kMaxPointSize = 24;
constexpr int kMaxFace = 999;

int ParseNumber(std::string_view text, int fallback, int low, int high) {
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc{} || result.ptr != end) return fallback;
    return std::clamp(value, low, high);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Length of the UTF-8 sequence that starts with `lead`, or 0 for a byte that
// cannot start one.
std::size_t SequenceLength(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool IsContinuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// A single-line name: no separator, no control characters.
std::string CleanField(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<std::uint8_t>(c);
        out.push_back(c == '`' || byte < 0x20 || byte == 0x7F ? ' ' : c);
    }
    return out;
}

}  // namespace

std::string ValidChatColour(std::string_view colour) {
    const bool valid = colour.size() == 7 && colour[0] == '#' &&
                       std::all_of(colour.begin() + 1, colour.end(), IsHexDigit);
    return valid ? std::string(colour) : std::string("#000000");
}

std::vector<std::string> ChatSendFields(const ChatMessage& message) {
    const std::string target = CleanField(message.target);
    return {target,
            "0",
            CleanField(message.sender),
            target,
            ValidChatColour(message.colour),
            CleanField(message.font),
            std::to_string(std::clamp(message.pointSize, kMinPointSize, kMaxPointSize)),
            std::to_string(static_cast<int>(message.style)),
            std::to_string(std::clamp(message.face, 0, kMaxFace)),
            CleanChatText(message.text)};
}

std::optional<ChatMessage> ChatMessageFromDisplayFields(std::span<const std::string> fields) {
    if (fields.size() < kChatDisplayFieldCount) return std::nullopt;
    ChatMessage message;
    message.sender = CleanField(fields[0]);
    message.target = fields[1].empty() ? std::string(kChatEveryone) : CleanField(fields[1]);
    message.colour = ValidChatColour(fields[2]);
    if (!fields[3].empty()) message.font = CleanField(fields[3]);
    message.pointSize = ParseNumber(fields[4], 10, kMinPointSize, kMaxPointSize);
    message.style = static_cast<ChatStyle>(ParseNumber(fields[5], 0, 0, 3));
    message.face = ParseNumber(fields[6], 0, 0, kMaxFace);
    message.text = CleanChatText(fields[7]);
    if (message.text.empty()) return std::nullopt;
    return message;
}

std::string CleanChatText(std::string_view typed) {
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < typed.size() && characters < kMaxChatTextCharacters;) {
        const auto lead = static_cast<std::uint8_t>(typed[i]);
        const std::size_t length = SequenceLength(lead);
        bool whole = length > 0 && typed.size() - i >= length;
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = IsContinuation(static_cast<std::uint8_t>(typed[i + k]));
        if (!whole) {
            ++i;
            continue;
        }
        if (length == 1) {
            const bool control = lead < 0x20 || lead == 0x7F || lead == '`';
            out.push_back(control ? ' ' : typed[i]);
        } else {
            out.append(typed.substr(i, length));
        }
        i += length;
        ++characters;
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

}  // namespace qira::players
