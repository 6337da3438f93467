#include "server/core/hello.h"

#include <algorithm>

#include "net/packet.h"
#include "server/core/text_rules.h"

namespace qira::server {
namespace {

bool IsSecretCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::variant<Hello, Refusal> ParseHello(std::span<const std::uint8_t> message,
                                        const Limits& limits) {
    // Invalid GBK decodes to nothing, which is no hello.
    const auto fields = net::SplitFields(net::DecodeBody(message, 0));
    if (fields.size() < 2 || fields.size() > 4 || fields[0] != "QIRA/1") return Refusal::NotAHello;
    Hello hello;
    hello.name = Trimmed(fields[1]);
    if (hello.name.empty()) return Refusal::NotAHello;
    if (HasControlCharacters(fields[1])) return Refusal::ControlCharacters;
    if (CharacterCount(hello.name) > limits.nameCharacters) return Refusal::NameTooLong;
    if (fields.size() >= 3) hello.watch = Trimmed(fields[2]);
    if (fields.size() >= 4) hello.secret = fields[3];
    if (hello.secret.size() > 64 ||
        !std::all_of(hello.secret.begin(), hello.secret.end(), IsSecretCharacter))
        return Refusal::MalformedSecret;
    return hello;
}

}  // namespace qira::server
