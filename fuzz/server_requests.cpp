// The server's request handling from the first byte: the hello and request
// parsers and the items file loader on the raw input, then one player at a
// table of computer players sending requests built from the input (every
// request type, chat lines with ten fields, "/道具" uses, settings numbers)
// on the virtual-time scheduler. Nothing may crash, leak or accept a name
// with control characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "net/frame_codec.h"
#include "net/packet.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "server/core/hello.h"
#include "server/core/items_data.h"
#include "server/core/request_parser.h"
#include "server/core/room.h"
#include "server/core/text_rules.h"
#include "support/fuzz_lobby.h"

namespace {

using namespace qira;

class QuietPeer final : public server::Peer {
public:
    void Deliver(const net::Bytes&) override {}
    void Disconnect() override { connected = false; }
    std::string Describe() const override { return "fuzz"; }
    bool connected = true;
};

void CheckParsers(std::span<const std::uint8_t> input) {
    const server::Limits limits;
    const auto hello = server::ParseHello(input, limits);
    if (const auto* accepted = std::get_if<server::Hello>(&hello)) {
        if (accepted->name.empty() || server::HasControlCharacters(accepted->name) ||
            server::CharacterCount(accepted->name) > limits.nameCharacters)
            std::abort();
    }
    const auto request = server::ParseRequest(input, "fuzz");
    if (const auto* parsed = std::get_if<server::ParsedRequest>(&request))
        if (net::ClassifyRequest(input) != parsed->kind) std::abort();
    server::ParseItems(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
}

// Printable text from the input: the characters chat lines are made of,
// with a few that matter (separator, blank, control characters, digits).
std::string TextFrom(std::span<const std::uint8_t> bytes) {
    static constexpr char kAlphabet[] = "ab 0123456789/`\n\x01\x7f-xyz";
    std::string text;
    for (const std::uint8_t b : bytes) text.push_back(kAlphabet[b % (sizeof kAlphabet - 1)]);
    return text;
}

std::vector<std::string> ChatFields(const std::string& text) {
    std::vector<std::string> fields{"所有人", "0",  "fuzz", "所有人", "#000000",
                                    "宋体",   "10", "0",    "0",      text};
    return fields;
}

net::Bytes RequestFrom(std::uint8_t kind, std::span<const std::uint8_t> body) {
    switch (kind % 4) {
        case 0: {  // a request of a known type with the input as its body
            const auto ids = std::span(net::kRequestIds);
            const auto id = ids[(kind / 4) % ids.size()];
            net::Bytes m{id.main, id.sub};
            m.insert(m.end(), body.begin(), body.end());
            return m;
        }
        case 1:  // a chat line
            return net::requests::Chat(ChatFields(TextFrom(body))).value_or(net::Bytes{1});
        case 2:  // an item used on someone
            return net::requests::Chat(ChatFields("/道具 " + TextFrom(body)))
                .value_or(net::Bytes{1});
        default: {  // the owner's settings
            std::vector<std::string> six;
            std::string text = TextFrom(body);
            for (int i = 0; i < 6; ++i) six.push_back(text.substr(0, 3 + i % 3));
            return net::requests::ConfirmSettings("fuzz", six).value_or(net::Bytes{112});
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    CheckParsers(input);

    QuietPeer peer;
    fuzz::FuzzLobby lobby;
    lobby->SetItems(*server::ParseItems("type 道具\nitem 7 0 鲜花 10 72 1 1 1 1 0\n"));
    lobby->OnHello(peer, *net::BuildHello("fuzz"));
    lobby->OnMessage(peer, *net::requests::Entry(true));

    std::size_t at = 0;
    for (int op = 0; op < 64 && at + 2 <= size && peer.connected; ++op) {
        const std::uint8_t kind = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1] % 24, size - at - 2);
        // Time passes only as far as the input asks: a whole game per input
        // would make the fuzzer a hundred times slower.
        const int steps = (data[at + 1] / 24) * 3;
        lobby->OnMessage(peer, RequestFrom(kind, input.subspan(at + 2, length)));
        at += 2 + length;
        lobby.Run(steps);
    }
    return 0;
}
