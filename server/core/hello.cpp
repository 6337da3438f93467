#include "server/core/hello.h"

#include <algorithm>

#include "net/packet.h"
#include "net/text_codec.h"
#include "server/core/text_rules.h"

namespace qira::server {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool IsSecretCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::variant<Hello, Refusal> ParseHello(std::span<const std::uint8_t> message,
                                        const Limits& limits) {
    const std::string_view raw(reinterpret_cast<const char*>(message.data()), message.size());
    const auto text = net::GbkToUtf8(raw);
    // The decoder keeps going past an invalid pair with U+FFFD, which GBK
    // itself cannot encode: either way the hello is not valid GBK.
    if (!text || text->find(kReplacementCharacter) != std::string::npos) return Refusal::InvalidGbk;
    const auto fields = net::SplitFields(*text);
    if (fields.size() < 2 || fields.size() > 4 || fields[0] != "QIRA/1") return Refusal::NotAHello;
    Hello hello;
    hello.name = TrimmedName(fields[1]);
    if (hello.name.empty()) return Refusal::NotAHello;
    if (HasControlCharacters(fields[1])) return Refusal::ControlCharacters;
    if (CharacterCount(hello.name) > limits.nameCharacters) return Refusal::NameTooLong;
    if (fields.size() >= 3) hello.watch = TrimmedName(fields[2]);
    if (fields.size() >= 4) hello.secret = fields[3];
    if (hello.secret.size() > 64 ||
        !std::all_of(hello.secret.begin(), hello.secret.end(), IsSecretCharacter))
        return Refusal::MalformedSecret;
    return hello;
}

}  // namespace qira::server
