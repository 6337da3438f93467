#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"

// A table of four scripted clients on a stacked wall, and the stacked-wall
// scenarios more than one test file plays.
namespace qira::server::testing {

// Dealer 0 holds the 5 of characters (code 4) as its fourteenth tile and
// discards it. Chair 1 can chow it (3, 4 of characters), chair 2 can pung it
// and chair 3 wins with it (four sequences of dots and bamboo and a single 5).
inline ServerConfig ClaimRaceConfig() {
    auto config = FastConfig();
    config.botWait = 60s;
    config.firstDealer = 0;
    const std::array<std::vector<Tile>, 4> hands{{
        {28, 28, 28, 29, 29, 29, 30, 30, 30, 37, 37, 37, 24},
        {2, 3, 15, 15, 15, 16, 16, 16, 17, 17, 17, 26, 26},
        {4, 4, 6, 6, 6, 7, 7, 7, 8, 8, 8, 25, 25},
        {9, 10, 11, 12, 13, 14, 18, 19, 20, 21, 22, 23, 4},
    }};
    config.stackedWall = StackWall(0, hands, 4, 38);  // indicator red dragon: the wild tile is 36
    return config;
}

enum class Transport { InProcess, Tcp };

struct Table4 {
    explicit Table4(const ServerConfig& config, Transport transport = Transport::InProcess,
                    std::unique_ptr<StatsStore> stats = nullptr,
                    std::array<std::uint8_t, 4> bets = {}) {
        if (transport == Transport::Tcp)
            tcp.emplace(config);
        else
            server.emplace(config, std::move(stats));
        for (int i = 0; i < 4; ++i) {
            clients.push_back(std::make_unique<ScriptedClient>("p" + std::to_string(i)));
            ScriptedClient& c = *clients.back();
            c.pauseAfterBets = true;
            c.bets = bets[static_cast<std::size_t>(i)];
            EXPECT_TRUE(tcp ? c.Connect(tcp->port()) : c.Connect(*server));
            EXPECT_TRUE(c.PumpUntil([&] { return c.chair >= 0; }, 5s));
            all.push_back(&c);
        }
        EXPECT_TRUE(PumpAll(all, [&] {
            return std::all_of(all.begin(), all.end(),
                               [](auto* c) { return c->Count(28, 1) == 1; });
        }));
    }
    ScriptedClient& operator[](int i) { return *clients[i]; }
    bool AllGot(int type, int count = 1) {
        return PumpAll(
            all,
            [&] {
                return std::all_of(all.begin(), all.end(),
                                   [&](auto* c) { return c->Count(type) >= count; });
            },
            10s);
    }
    // Nothing of `type` arrives anywhere within a short while.
    bool Quiet(int type) {
        PumpAll(
            all, [] { return false; }, 300ms);
        return std::all_of(all.begin(), all.end(), [&](auto* c) { return c->Count(type) == 0; });
    }

    std::optional<VirtualServer> server;
    std::optional<ServerHarness> tcp;
    std::vector<std::unique_ptr<ScriptedClient>> clients;
    std::vector<ScriptedClient*> all;
};

// Chair 2 pungs the dealer's 5 of characters and later draws the fourth;
// chair 3 waits on it with 4 and 6 of characters and robs the kong.
inline ServerConfig RobKongConfig() {
    auto config = FastConfig();
    config.botWait = 60s;
    config.firstDealer = 0;
    const std::array<std::vector<Tile>, 4> hands{{
        {27, 27, 27, 28, 28, 28, 29, 29, 29, 30, 30, 30, 37},
        {15, 15, 15, 16, 16, 16, 17, 17, 17, 0, 0, 0, 1},
        {4, 4, 6, 6, 6, 7, 7, 7, 8, 8, 8, 26, 26},
        {3, 5, 9, 10, 11, 12, 13, 14, 18, 19, 20, 22, 22},
    }};
    config.stackedWall = StackWall(0, hands, 4, 1, {38, 38, 38, 4});  // wild tile: 3 of characters
    return config;
}

}  // namespace qira::server::testing
