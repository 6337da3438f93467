#include <gtest/gtest.h>

#include <map>

#include "server/core/server_options.h"

namespace qira::server {
namespace {

ParsedOptions FromFile(std::string_view text) {
    return ApplyServerConfig(ServerOptions{}, text, "server.conf");
}

// Resolves a command line against a fake file system of configuration files.
class ResolveOptions : public ::testing::Test {
protected:
    ParsedOptions Resolve(std::initializer_list<std::string_view> arguments) {
        const std::vector<std::string_view> list(arguments);
        return ResolveServerOptions(list, [this](const std::string& path) {
            read_.push_back(path);
            const auto file = files_.find(path);
            return file == files_.end() ? std::nullopt : std::optional<std::string>(file->second);
        });
    }

    std::map<std::string, std::string> files_;
    std::vector<std::string> read_;
};

TEST(ServerConfigFile, KeysAreTheLongOptionNames) {
    const auto parsed = FromFile(
        "# the room server\n"
        "\n"
        "listen = 0.0.0.0:6000\n"
        "  bot-level=3  \r\n"
        "turn-seconds = 30\n"
        "db = /var/lib/qira/server.sqlite\n"
        "chat-lines = 2\n"
        "quiet = yes\n"
        "print-port = false\n"
        "    # an indented comment\n");
    ASSERT_EQ(parsed.error, "");
    const ServerOptions& o = parsed.options;
    EXPECT_EQ(o.listenHost, "0.0.0.0");
    EXPECT_EQ(o.listenPort, 6000);
    EXPECT_EQ(o.botLevel, 3);
    EXPECT_EQ(o.turnTimeout, Milliseconds(30'000));
    EXPECT_EQ(o.database, "/var/lib/qira/server.sqlite");
    EXPECT_EQ(o.limits.chatLines, 2u);
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.printPort);
}

TEST(ServerConfigFile, ErrorsNameTheFileAndTheLine) {
    EXPECT_EQ(FromFile("listen = 127.0.0.1:1\nbot-speed = 3\n").error,
              "server.conf:2: unknown key \"bot-speed\"");
    EXPECT_EQ(FromFile("# c\n\nlisten 127.0.0.1:1\n").error,
              "server.conf:3: expected \"key = value\", found \"listen 127.0.0.1:1\"");
    EXPECT_EQ(FromFile("bot-level = 9\n").error,
              "server.conf:1: \"bot-level\" does not take \"9\" (it takes 1 to 4)");
    EXPECT_EQ(FromFile("quiet = maybe").error, "server.conf:1: \"quiet\" takes true or false");
    EXPECT_EQ(FromFile("--listen = 127.0.0.1:1").error, "server.conf:1: unknown key \"--listen\"");
    // Asking for help or naming another file is for the command line only.
    for (const char* key : {"help", "version", "config"})
        EXPECT_EQ(FromFile(std::string(key) + " = x").error,
                  "server.conf:1: unknown key \"" + std::string(key) + "\"");
}

TEST_F(ResolveOptions, CommandLineBeatsTheFileWhichBeatsTheDefaults) {
    files_[std::string(kDefaultConfigFile)] =
        "listen = 0.0.0.0:6000\nbot-level = 3\nquiet = true\n";

    const auto parsed = Resolve({"--bot-level", "1"});

    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(read_, std::vector<std::string>{std::string(kDefaultConfigFile)});
    EXPECT_EQ(parsed.options.listenHost, "0.0.0.0");
    EXPECT_EQ(parsed.options.botLevel, 1);
    EXPECT_TRUE(parsed.options.quiet);
    EXPECT_EQ(parsed.options.turnTimeout, Milliseconds(25'000));
}

TEST_F(ResolveOptions, ConfigOptionNamesAnotherFileWhichMustExist) {
    files_[std::string(kDefaultConfigFile)] = "bot-level = 3\n";
    files_["/srv/qira.conf"] = "bot-level = 1\n";

    const auto named = Resolve({"--config", "/srv/qira.conf"});
    ASSERT_EQ(named.error, "");
    EXPECT_EQ(named.options.botLevel, 1);

    EXPECT_EQ(Resolve({"--config=/nowhere.conf"}).error,
              "cannot read the configuration file /nowhere.conf");
}

TEST_F(ResolveOptions, MissingDefaultFileLeavesTheCommandLineAlone) {
    const auto parsed = Resolve({"--listen", "127.0.0.1:0"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.listenPort, 0);
    EXPECT_EQ(parsed.options.botLevel, 2);
}

TEST_F(ResolveOptions, FileErrorsStopTheServerButHelpAndVersionReadNoFile) {
    files_[std::string(kDefaultConfigFile)] = "bot-levle = 3\n";

    EXPECT_EQ(Resolve({}).error, std::string(kDefaultConfigFile) + ":1: unknown key \"bot-levle\"");
    read_.clear();
    EXPECT_TRUE(Resolve({"--help"}).options.help);
    EXPECT_TRUE(Resolve({"--version"}).options.version);
    EXPECT_TRUE(read_.empty());
    EXPECT_NE(ServerHelpText().find("--config FILE"), std::string::npos);
    EXPECT_NE(ServerHelpText().find("--version"), std::string::npos);
}

}  // namespace
}  // namespace qira::server
