#include "launch/client_end.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "launch/client_exit.h"

namespace qira::launch {
namespace {

// Plays the clients' ends in order and records what the launcher did.
struct Script {
    std::deque<ClientEnd> clientEnds;
    std::deque<PlayerChoice> choices;
    int clientsStarted = 0;
    std::vector<EndNotice> asked{};

    int Run() {
        return RunClientsUntilDone(
            [this] {
                ++clientsStarted;
                auto end = clientEnds.front();
                clientEnds.pop_front();
                return end;
            },
            [this](const EndNotice& notice) {
                asked.push_back(notice);
                auto choice = choices.front();
                choices.pop_front();
                return choice;
            });
    }
};

const ClientEnd kLeft{StatusOf(ClientExit::LeftTable), {}, "10.0.0.5:5870"};
const ClientEnd kDropped{StatusOf(ClientExit::ConnectionLost), "connection closed by the server",
                         "10.0.0.5:5870"};
const ClientEnd kRefused{StatusOf(ClientExit::ServerUnreachable), "Connection refused",
                         ServerAddress("10.0.0.5", "5870")};

TEST(ClientEnd, EachEndGetsItsOwnWordsAndButton) {
    const auto left = NoticeFor(kLeft);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->text, "你已离开牌桌");
    EXPECT_EQ(left->againCaption, "再来一局");
    EXPECT_EQ(NoticeFor({kLeft.status, {}, kLeft.serverAddress, "开始的时限到了。"})->text,
              "你已离开牌桌\n开始的时限到了。");

    const auto dropped = NoticeFor(kDropped);
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->text, "与服务器的连接断开了");
    EXPECT_EQ(dropped->againCaption, "重新连接");
    EXPECT_TRUE(dropped->failure);
    EXPECT_EQ(NoticeFor({kDropped.status, kDropped.reason, kDropped.serverAddress,
                         "服务器繁忙，请稍后再来"})
                  ->text,
              "与服务器的连接断开了\n服务器繁忙，请稍后再来");
    EXPECT_FALSE(left->failure);

    const auto refused = NoticeFor(kRefused);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, "无法连接到服务器 10.0.0.5:5870（Connection refused）");
    EXPECT_EQ(refused->againCaption, "重新连接");
    EXPECT_EQ(NoticeFor({StatusOf(ClientExit::ServerUnreachable), "", "[::1]:7"})->text,
              "无法连接到服务器 [::1]:7")
        << "no empty brackets when the client gave no reason";
    EXPECT_EQ(ServerAddress("::1", "7"), "[::1]:7");

    EXPECT_FALSE(NoticeFor({StatusOf(ClientExit::ClosedByPlayer), {}, "a:1"}));
    EXPECT_FALSE(NoticeFor({1, {}, "a:1"})) << "a launch error";
    EXPECT_FALSE(NoticeFor({std::nullopt, {}, "a:1"})) << "a crashed client";
}

TEST(ClientEnd, AWindowClosedByThePlayerEndsEverythingWithoutAQuestion) {
    Script script{{{StatusOf(ClientExit::ClosedByPlayer), {}, {}}}, {}};
    EXPECT_EQ(script.Run(), 0);
    EXPECT_EQ(script.clientsStarted, 1);
    EXPECT_TRUE(script.asked.empty());
}

TEST(ClientEnd, ReconnectingStartsAnotherClientUntilThePlayerQuits) {
    Script script{{kDropped, kRefused, kLeft, kDropped},
                  {PlayerChoice::StartAnother, PlayerChoice::StartAnother,
                   PlayerChoice::StartAnother, PlayerChoice::Quit}};
    EXPECT_EQ(script.Run(), StatusOf(ClientExit::ConnectionLost))
        << "quitting after a failure keeps the failure's status";
    EXPECT_EQ(script.clientsStarted, 4);
    ASSERT_EQ(script.asked.size(), 4u);
    EXPECT_EQ(script.asked[1].text, "无法连接到服务器 10.0.0.5:5870（Connection refused）");

    Script left{{kLeft}, {PlayerChoice::Quit}};
    EXPECT_EQ(left.Run(), 0) << "nothing failed";
}

TEST(ClientEnd, ACrashEndsTheLauncherWithAFailure) {
    Script crashed{{kDropped, {std::nullopt, {}, {}}}, {PlayerChoice::StartAnother}};
    EXPECT_EQ(crashed.Run(), 1);
    EXPECT_EQ(crashed.asked.size(), 1u);
}

TEST(EndReport, CarriesOneShortCleanLine) {
    const auto path =
        (std::filesystem::temp_directory_path() / ("qira-end-report-" + std::to_string(::getpid())))
            .string();
    EXPECT_EQ(ReadEndReport(path), "") << "no report";
    ASSERT_TRUE(WriteEndReport(path, "Connection refused"));
    EXPECT_EQ(ReadEndReport(path), "Connection refused");

    std::ofstream(path, std::ios::binary) << "拒绝\x1b[31m连接\nsecond line";
    EXPECT_EQ(ReadEndReport(path), "拒绝[31m连接") << "no terminal escapes, one line";

    std::ofstream(path, std::ios::binary) << std::string(kMaxEndReportBytes - 1, 'x') << "连接";
    const auto cut = ReadEndReport(path);
    EXPECT_EQ(cut, std::string(kMaxEndReportBytes - 1, 'x')) << "no half character at the end";
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace qira::launch
