#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/protocol.h"

// One chat line as the chat pane sends and shows it. On the wire it is ten
// fields (see docs/protocol.md, "Chat"): two routing fields the server reads,
// then the eight fields that every receiver shows.
namespace qira::players {

inline constexpr std::string_view kChatEveryone = "所有人";
inline constexpr std::size_t kChatSendFieldCount = net::kChatFieldCount;
inline constexpr std::size_t kChatDisplayFieldCount = 8;
inline constexpr std::size_t kMaxChatTextCharacters = 200;

enum class ChatStyle { Plain = 0, Bold = 1, Italic = 2, BoldItalic = 3 };

struct ChatMessage {
    std::string sender;
    std::string target{kChatEveryone};
    std::string colour = "#000000";
    std::string font = "宋体";
    int pointSize = 10;
    ChatStyle style = ChatStyle::Plain;
    int face = 0;  // expression picture number; 0 for none
    std::string text;

    friend bool operator==(const ChatMessage&, const ChatMessage&) = default;
};

// The ten fields of the send event: recipient, kind "0", then the display fields.
std::vector<std::string> ChatSendFields(const ChatMessage& message);

// The eight display fields, as they come back in a relayed chat message.
// Fields that do not parse fall back to the defaults; nullopt when there are
// fewer than eight fields or no text.
std::optional<ChatMessage> ChatMessageFromDisplayFields(std::span<const std::string> fields);

// Text the user typed, made safe to carry: the field separator and control
// characters become blanks, surrounding blanks go, and at most 200 characters
// are kept (never cutting a character in half). Invalid UTF-8 bytes are dropped.
std::string CleanChatText(std::string_view typed);

// "#RRGGBB" when `colour` is one, else the default black.
std::string ValidChatColour(std::string_view colour);

}  // namespace qira::players
