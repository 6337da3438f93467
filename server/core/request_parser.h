#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "net/protocol.h"
#include "server/core/refusal.h"
#include "server/core/tiles.h"

namespace qira::server {

// A request whose form is right: the right length, a known type, the
// sender's own name where it names one. Whether the table allows it now is
// the table's question.
struct ParsedRequest {
    net::Request kind = net::Request::Entry;
    std::uint8_t sub = 0;             // byte 1: a kong's kind, a rob answer
    int chair = -1;                   // the chair a game request names
    Tile tile = 0;                    // discarded, chow's lowest, punged, konged
    std::uint8_t detail = 0;          // a discard's ready declaration, the side bets
    std::vector<std::string> fields;  // the text of a text request
};

using RequestOrRefusal = std::variant<ParsedRequest, Refusal>;

// Reads one whole message of a client that calls itself `senderName`.
RequestOrRefusal ParseRequest(std::span<const std::uint8_t> message, std::string_view senderName);

}  // namespace qira::server
