#pragma once

#include <cstdint>

namespace qira::server {

// Runs `tables` full tables for `seconds` seconds: a server on a loopback
// port and four computer players per table, each on its own TCP connection
// through the real framing. Prints figures every ten seconds; returns 0 when
// no request was refused, no clock ran out and no connection was lost.
int RunSoak(int tables, int seconds, std::uint32_t seed);

}  // namespace qira::server
