#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "server/core/refusal.h"
#include "server/core/server_config.h"

namespace qira::server {

// The first frame of a connection: "QIRA/1`name`watch`secret". Watch (the
// player to look on at) may be empty; the secret is optional.
struct Hello {
    std::string name;
    std::string watch;
    std::string secret;  // empty when the client sent none
};

// Is this a hello the server accepts? The name is trimmed and must be
// printable, valid GBK on the wire and not too long.
std::variant<Hello, Refusal> ParseHello(std::span<const std::uint8_t> message,
                                        const Limits& limits);

}  // namespace qira::server
