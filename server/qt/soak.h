#pragma once

#include <cstdint>

namespace qira::server {

// Runs `tables` full tables for `seconds` seconds: a server on a loopback
// port and four computer players per table, each on its own TCP connection
// through the real framing. Prints figures every ten seconds; returns 0 when
// no request was refused, no clock ran out and no connection was lost.
int RunSoak(int tables, int seconds, std::uint32_t seed);

// Runs `seconds` seconds of hostile load on a server on a loopback port: a
// table where a player chats every second while an onlooker never reads (it
// comes back whenever it is cut off), and 100 connections a second that
// never say hello. Prints the resident memory every ten seconds; returns 0
// when it stayed within 20 % of its value after the first ten seconds.
int RunHostileSoak(int seconds, std::uint32_t seed);

}  // namespace qira::server
