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
    EXPECT_FALSE(parsed.options.httpHost);  // no web front unless asked
    EXPECT_EQ(parsed.options.turnTimeout, Milliseconds(25'000));
    EXPECT_FALSE(parsed.options.seed);
}

TEST(ServerOptions, ValuesInBothSpellingsAndFlags) {
    const auto parsed =
        Parse({"--listen", "[::1]:0", "--bot-wait=1.5", "--bot-think", "30", "--turn-seconds",
               "30.5", "--mode=experience", "--seed", "7", "--selfplay", "100",
               "--random-opponents", "--quiet", "--print-port", "--db", "/tmp/x.sqlite"});
    ASSERT_EQ(parsed.error, "");
    const ServerOptions& o = parsed.options;
    EXPECT_EQ(o.listenHost, "[::1]");
    EXPECT_EQ(o.listenPort, 0);
    EXPECT_EQ(o.botWait, Milliseconds(1500));
    EXPECT_EQ(o.botThink, Milliseconds(30));
    EXPECT_EQ(o.turnTimeout, Milliseconds(30'500));
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
    EXPECT_EQ(Parse({"--seed", "x1"}).error, "--seed does not take x1 (it takes 0 to 4294967295)");
    const auto web = Parse({"--http", "127.0.0.1:8080", "--bot-tables", "2"});
    EXPECT_EQ(web.options.httpHost, "127.0.0.1");
    EXPECT_EQ(web.options.httpPort, 8080);
    EXPECT_EQ(web.options.botTables, 2);
    EXPECT_NE(Parse({"--http", "8080"}).error, "");
    EXPECT_EQ(Parse({"--listen", "host:70000"}).error,
              "--listen does not take host:70000 (it takes HOST:PORT with PORT 0 to 65535)");
    EXPECT_EQ(Parse({"--mode", "gold"}).error,
              "--mode does not take gold (it takes points or experience)");
    EXPECT_EQ(Parse({"--quiet=1"}).error, "--quiet takes no value");
    EXPECT_EQ(Parse({"--bot-level", "5"}).error, "--bot-level does not take 5 (it takes 1 to 4)");
    EXPECT_EQ(Parse({"--bot-levels", "3,2,2"}).error,
              "--bot-levels does not take 3,2,2 (it takes four levels 1 to 4)");
    EXPECT_EQ(Parse({"--bot-budget-ms", "0"}).error,
              "--bot-budget-ms does not take 0 (it takes 1 to 10000)");
    EXPECT_EQ(Parse({"--bot-budget-ms", "30"}).options.botBudgetMs, 30);
    EXPECT_EQ(Parse({"--bot-levels", "3,2,2,1"}).options.selfPlayLevels,
              (std::array<int, 4>{3, 2, 2, 1}));
    EXPECT_EQ(Parse({"stray"}).error, "unexpected argument stray");
}

// Values a parser of numbers takes but the server cannot run with.
TEST(ServerOptions, EveryNumberIsRefusedOutsideItsRangeWithNameAndRange) {
    const std::pair<std::vector<std::string_view>, std::string> cases[] = {
        {{"--turn-seconds", "0"}, "--turn-seconds does not take 0 (it takes 20 to 600)"},
        {{"--turn-seconds", "nan"}, "--turn-seconds does not take nan (it takes 20 to 600)"},
        {{"--turn-seconds=inf"}, "--turn-seconds does not take inf (it takes 20 to 600)"},
        {{"--bot-think", "2147483648"},
         "--bot-think does not take 2147483648 (it takes 0 to 60000)"},
        {{"--per-address", "0"}, "--per-address does not take 0 (it takes 1 to 1000000)"},
        {{"--soak", "-1"}, "--soak does not take -1 (it takes 1 to 10000)"},
        {{"--soak-seconds", "0"}, "--soak-seconds does not take 0 (it takes 1 to 86400)"},
        {{"--bot-wait", "-0.5"}, "--bot-wait does not take -0.5 (it takes 0 to 3600)"},
        {{"--hello-seconds", "0"}, "--hello-seconds does not take 0 (it takes 1 to 3600)"},
        {{"--max-connections", "0"}, "--max-connections does not take 0 (it takes 1 to 1000000)"},
        {{"--chat-lines", "0"}, "--chat-lines does not take 0 (it takes 1 to 1000)"},
        {{"--output-cap-kb", "63"}, "--output-cap-kb does not take 63 (it takes 64 to 1000000)"},
        {{"--selfplay", "0"}, "--selfplay does not take 0 (it takes 1 to 1000000000)"},
        {{"--hand", "0"}, "--hand does not take 0 (it takes 1 or more)"},
    };
    for (const auto& [arguments, error] : cases)
        EXPECT_EQ(ParseServerOptions(arguments).error, error);
    const auto edges = Parse({"--turn-seconds", "20", "--bot-think", "60000", "--per-address", "1",
                              "--soak", "10000", "--max-onlookers", "0"});
    ASSERT_EQ(edges.error, "");
    EXPECT_EQ(edges.options.botThink, Milliseconds(60'000));
    EXPECT_NE(ServerHelpText().find("Takes 20 to 600."), std::string::npos);
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
