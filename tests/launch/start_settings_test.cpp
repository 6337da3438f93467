#include "launch/start_settings.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

namespace qira::launch {
namespace {

TEST(StartSettings, RecentServersComeFirstWithoutRepeatsAndOldOnesFallOff) {
    StartSettings settings;
    for (std::uint16_t port = 1; port <= 10; ++port) RememberServer(settings, {"h", port});
    RememberServer(settings, {"h", 5});
    ASSERT_EQ(settings.servers.size(), StartSettings::kMaxServers);
    EXPECT_EQ(settings.servers[0], (ServerEntry{"h", 5}));
    EXPECT_EQ(settings.servers[1], (ServerEntry{"h", 10}));
    EXPECT_EQ(settings.servers.back(), (ServerEntry{"h", 3}));
}

TEST(StartSettings, SurviveTheFileAndADamagedLineCostsOnlyItself) {
    StartSettings settings;
    settings.level = 4;
    settings.name = "张三";
    settings.tab = 1;
    RememberServer(settings, {"::1", 5870});
    RememberServer(settings, {"lan.example", 6000});
    RememberServer(settings, {"door.example", 5869, true});
    const auto path = std::filesystem::temp_directory_path() / "qira-start-settings-test/x.conf";
    std::filesystem::remove_all(path.parent_path());
    ASSERT_TRUE(SaveSettings(path.string(), settings));
    const auto back = LoadSettings(path.string());
    EXPECT_EQ(back.level, 4);
    EXPECT_EQ(back.name, "张三");
    EXPECT_EQ(back.tab, 1);
    EXPECT_EQ(back.servers, settings.servers);
    std::filesystem::remove_all(path.parent_path());

    const auto damaged =
        ReadSettings("level = 9\nname = a b\nserver = nohost\nserver = h 99999\nserver = h 7\n");
    EXPECT_EQ(damaged.level, 2);
    EXPECT_EQ(damaged.name, "a_b");
    EXPECT_EQ(damaged.servers, (std::vector<ServerEntry>{{"h", 7}}));
    EXPECT_EQ(LoadSettings("/nonexistent/launcher.conf").level, 2);
}

TEST(StartSettings, ReadsTheTypedServerAndSaysWhatIsWrong) {
    EXPECT_EQ(ReadServer(" 192.168.1.5 ", "5870").server, (ServerEntry{"192.168.1.5", 5870}));
    EXPECT_EQ(ReadServer("[::1]", "1").server, (ServerEntry{"::1", 1}));
    EXPECT_EQ(ReadServer("::1", "1").server, (ServerEntry{"::1", 1}));
    EXPECT_EQ(ReadServer("lan.example:6000", "1").server, (ServerEntry{"lan.example", 6000}));
    EXPECT_EQ(ReadServer("[::1]:6000", "1").server, (ServerEntry{"::1", 6000}));
    EXPECT_EQ(ReadServer("h:", "1").error, "端口要是 1 到 65535 之间的整数");
    EXPECT_EQ(ReadServer("", "5870").error, "请填写服务器地址（不含空格）");
    EXPECT_EQ(ReadServer("a b", "5870").error, "请填写服务器地址（不含空格）");
    for (const char* port : {"0", "65536", "x", "", "58 70"})
        EXPECT_EQ(ReadServer("h", port).error, "端口要是 1 到 65535 之间的整数") << port;
}

TEST(StartSettings, NamesAreOneTokenOfAtMostSixteenCharacters) {
    EXPECT_EQ(CleanPlayerName("李 四`五\t"), "李_四_五_");
    EXPECT_EQ(CleanPlayerName("一二三四五六七八九十一二三四五六七"),
              "一二三四五六七八九十一二三四五六");
    EXPECT_EQ(CleanPlayerName(""), "");
}

}  // namespace
}  // namespace qira::launch
