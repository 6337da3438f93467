// libFuzzer target: arbitrary text as the fields of a relayed chat message.
// What parses must come back unchanged after sending it again, and the text
// a user may send must stay within its limits.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "net/packet.h"
#include "players/chat_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qira;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string cleaned = players::CleanChatText(text);
    if (cleaned.find('`') != std::string::npos) __builtin_trap();
    if (players::CleanChatText(cleaned) != cleaned) __builtin_trap();

    const auto fields = qira::net::SplitFields(text);
    const auto message = players::ChatMessageFromDisplayFields(fields);
    if (!message) return 0;
    const auto sent = players::ChatSendFields(*message);
    if (sent.size() != players::kChatSendFieldCount) __builtin_trap();
    for (const auto& field : sent)
        if (field.find('`') != std::string::npos) __builtin_trap();
    const auto again = players::ChatMessageFromDisplayFields(std::span(sent).subspan(2));
    if (!again || !(*again == *message)) __builtin_trap();
    return 0;
}
