#include <gtest/gtest.h>

#include "server/core/server_options.h"

namespace qira::server {
namespace {

ParsedOptions Parse(std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> list(arguments);
    return ParseServerOptions(list);
}

TEST(ServerOptions, DefaultsWithoutArguments) {
    const auto parsed = Parse({});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.listenHost, "127.0.0.1");
    EXPECT_EQ(parsed.options.listenPort, 5870);
    EXPECT_EQ(parsed.options.turnTimeout, Milliseconds(25'000));
    EXPECT_FALSE(parsed.options.seed);
}

TEST(ServerOptions, ValuesInBothSpellingsAndFlags) {
    const auto parsed =
        Parse({"--listen", "[::1]:0", "--bot-wait=1.5", "--bot-think", "30", "--turn-seconds", "8",
               "--mode=experience", "--seed", "7", "--selfplay", "100", "--random-opponents",
               "--quiet", "--print-port", "--db", "/tmp/x.sqlite"});
    ASSERT_EQ(parsed.error, "");
    const ServerOptions& o = parsed.options;
    EXPECT_EQ(o.listenHost, "[::1]");
    EXPECT_EQ(o.listenPort, 0);
    EXPECT_EQ(o.botWait, Milliseconds(1500));
    EXPECT_EQ(o.botThink, Milliseconds(30));
    EXPECT_EQ(o.turnTimeout, Milliseconds(8000));
    EXPECT_EQ(o.scoreMode, ScoreMode::Experience);
    EXPECT_EQ(o.seed, 7u);
    EXPECT_EQ(o.selfPlayHands, 100u);
    EXPECT_TRUE(o.randomOpponents && o.quiet && o.printPort);
    EXPECT_EQ(o.database, "/tmp/x.sqlite");
    const auto limits = Parse({"--hello-seconds", "2.5", "--per-address=4", "--max-onlookers", "3",
                               "--chat-lines", "9", "--output-cap-kb", "128"});
    ASSERT_EQ(limits.error, "");
    EXPECT_EQ(limits.options.limits.helloDeadline, Milliseconds(2500));
    EXPECT_EQ(limits.options.limits.connectionsPerAddress, 4u);
    EXPECT_EQ(limits.options.limits.onlookersPerTable, 3u);
    EXPECT_EQ(limits.options.limits.chatLines, 9u);
    EXPECT_EQ(limits.options.limits.outputCapBytes, 128u * 1024);
    EXPECT_EQ(Parse({"--dead-peer-seconds", "20"}).options.limits.deadPeer, Milliseconds(20000));
    for (const char* outside : {"9", "3601", "nan"})
        EXPECT_NE(Parse({"--dead-peer-seconds", outside}).error, "") << outside;
    EXPECT_EQ(Parse({"--half-frames-mb", "2"}).options.limits.halfFrameBytes, 2u << 20);
    for (const char* outside : {"0", "4097", "-1"})
        EXPECT_NE(Parse({"--half-frames-mb", outside}).error, "") << outside;
}

TEST(ServerOptions, MistakesAreNamed) {
    EXPECT_EQ(Parse({"--nope"}).error, "unknown option --nope");
    EXPECT_EQ(Parse({"--seed"}).error, "--seed needs S");
    EXPECT_EQ(Parse({"--seed", "x1"}).error, "--seed does not take x1");
    EXPECT_EQ(Parse({"--listen", "5870"}).error, "--listen does not take 5870");
    EXPECT_EQ(Parse({"--listen", "host:70000"}).error, "--listen does not take host:70000");
    EXPECT_EQ(Parse({"--mode", "gold"}).error, "--mode does not take gold");
    EXPECT_EQ(Parse({"--quiet=1"}).error, "--quiet takes no value");
    EXPECT_EQ(Parse({"--bot-level", "4"}).error, "--bot-level does not take 4");
    EXPECT_EQ(Parse({"--bot-levels", "3,2,2"}).error, "--bot-levels does not take 3,2,2");
    EXPECT_EQ(Parse({"--bot-levels", "3,2,2,1"}).options.selfPlayLevels,
              (std::array<int, 4>{3, 2, 2, 1}));
    EXPECT_EQ(Parse({"stray"}).error, "unexpected argument stray");
    EXPECT_EQ(Parse({"--turn-seconds", "-3"}).error, "--turn-seconds does not take -3");
}

TEST(ServerOptions, HelpListsEveryOptionTheParserTakes) {
    EXPECT_TRUE(Parse({"-h"}).options.help);
    const std::string help = ServerHelpText();
    for (const char* name : {"--listen HOST:PORT",
                             "--db PATH",
                             "--items PATH",
                             "--bot-wait",
                             "--bot-think",
                             "--turn-seconds",
                             "--mode",
                             "--seed",
                             "--selfplay",
                             "--random-opponents",
                             "--soak TABLES",
                             "--soak-seconds",
                             "--print-port",
                             "--quiet",
                             "--help",
                             "--output-cap-kb",
                             "--hello-seconds",
                             "--frame-seconds",
                             "--dead-peer-seconds",
                             "--half-frames-mb",
                             "--per-address",
                             "--max-connections",
                             "--max-onlookers",
                             "--chat-characters",
                             "--chat-lines",
                             "--bot-level",
                             "--bot-levels"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace qira::server
