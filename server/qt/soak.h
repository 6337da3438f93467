#pragma once

#include <cstdint>
#include <string>

#include "server/core/scheduler.h"

namespace qira::server {

// Runs `tables` full tables for `seconds` seconds: a server on a loopback
// port and four computer players per table (thinking `think` ± 50 %, drawn
// anew for every move), each on its own TCP connection through the real
// framing. Prints
// figures every ten seconds and ends with one JSON line; returns 0 when every
// player connected and no request was refused, no clock ran out and no
// connection was lost. The statistics go to the SQLite file `database`, or
// stay in memory when it is empty.
int RunSoak(int tables, int seconds, std::uint32_t seed, Milliseconds think = Milliseconds{0},
            const std::string& database = {});

// Runs `seconds` seconds of hostile load on a server on a loopback port: a
// table where a player chats every second while an onlooker never reads (it
// comes back whenever it is cut off), and 100 connections a second that
// never say hello. Prints the resident memory every ten seconds; returns 0
// when it stayed within 20 % of its value after the first ten seconds.
int RunHostileSoak(int seconds, std::uint32_t seed);

}  // namespace qira::server
