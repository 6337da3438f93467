#include "launch/command_line.h"

#include <gtest/gtest.h>

#include "launch/launch_token.h"

namespace qira::launch {
namespace {

std::string GoodLine(std::string_view scoreMode = "1") {
    return std::string(kLaunchToken) + " 127.0.0.1 4500 Qira麻将 长工_100`短工_200 x y 张三 " +
           std::string(scoreMode);
}

TEST(SplitCommandLine, IndexesTokensFromOne) {
    const auto tokens = SplitCommandLine("a bb ccc");
    EXPECT_EQ(tokens, (std::vector<std::string>{"", "a", "bb", "ccc"}));
}

TEST(SplitCommandLine, RunsOfBlanksAndTabsSeparateLikeOneBlank) {
    EXPECT_EQ(SplitCommandLine("  a \t\t b\t"), SplitCommandLine("a b"));
}

TEST(SplitCommandLine, HasNoQuoting) {
    EXPECT_EQ(SplitCommandLine("\"a b\" c"), (std::vector<std::string>{"", "\"a", "b\"", "c"}));
}

TEST(SplitCommandLine, StopsReadingAtTheMaximum) {
    EXPECT_EQ(SplitCommandLine("1 2 3 4", 2), (std::vector<std::string>{"", "1", "2"}));
    EXPECT_EQ(SplitCommandLine("1 2 3 4 5 6 7 8 9 10 11 12").size(), 11u)
        << "ten tokens by default";
    EXPECT_EQ(SplitCommandLine("").size(), 1u);
}

TEST(ParseLaunchTokens, AcceptsNineGoodTokens) {
    const auto result = ParseLaunchTokens(SplitCommandLine(GoodLine("5")));
    ASSERT_TRUE(result.data);
    EXPECT_EQ(result.data->strRoomServerAddr, "127.0.0.1");
    EXPECT_EQ(result.data->lngRoomServerPort, "4500");
    EXPECT_EQ(result.data->strGameTitle, "Qira麻将");
    EXPECT_EQ(result.data->strLevelInfo, "长工_100`短工_200");
    EXPECT_EQ(result.data->strExtraInfo[1], "y");
    EXPECT_EQ(result.data->strUserName, "张三");
    EXPECT_EQ(result.data->bytScoreMode, 5);
}

TEST(ParseLaunchTokens, WrongCountIsErrorOne) {
    for (const std::string& line : {std::string(), GoodLine() + " extra",
                                    std::string(kLaunchToken) + " host 1 t l x y name"}) {
        const auto result = ParseLaunchTokens(SplitCommandLine(line));
        EXPECT_FALSE(result.data) << line;
        EXPECT_EQ(result.error, LaunchError::WrongTokenCount) << line;
    }
}

TEST(ParseLaunchTokens, LaunchTokenIsComparedExactly) {
    std::string line = GoodLine();
    line[0] = static_cast<char>(std::tolower(line[0]));
    const auto result = ParseLaunchTokens(SplitCommandLine(line));
    EXPECT_FALSE(result.data);
    EXPECT_EQ(result.error, LaunchError::WrongLaunchToken);
}

TEST(ParseLaunchTokens, ScoreModeOutsideAByteIsErrorOne) {
    for (const auto mode : {"256", "-1", "abc", "1x", ""}) {
        const auto result =
            ParseLaunchTokens(SplitCommandLine(GoodLine(mode) + (*mode ? "" : "z")));
        EXPECT_FALSE(result.data) << mode;
        EXPECT_EQ(result.error, LaunchError::WrongTokenCount) << mode;
    }
    EXPECT_TRUE(ParseLaunchTokens(SplitCommandLine(GoodLine("0"))).data);
    EXPECT_TRUE(ParseLaunchTokens(SplitCommandLine(GoodLine("255"))).data);
}

TEST(LaunchErrorText, NamesTheNumber) {
    EXPECT_EQ(LaunchErrorText(LaunchError::WrongTokenCount), "1号错误，无法正常启动游戏！");
    EXPECT_EQ(LaunchErrorText(LaunchError::WrongLaunchToken), "2号错误，无法正常启动游戏！");
}

TEST(JoinArguments, RoundTripsThroughTheSplitter) {
    const std::vector<std::string> arguments{"a", "b", "c"};
    EXPECT_EQ(SplitCommandLine(JoinArguments(arguments)),
              (std::vector<std::string>{"", "a", "b", "c"}));
}

// "--help" and "--version" are answered only when alone: a launch line
// that happens to hold them is a launch line.
TEST(AnswerInformationRequest, AnswersOnlyALoneRequest) {
    const ProgramAbout about{"qira-test", "1.2.3", "Usage: qira-test\n"};
    const char* help[] = {"qira-test", "--help"};
    const char* version[] = {"qira-test", "--version"};
    const char* both[] = {"qira-test", "--help", "--version"};
    const char* other[] = {"qira-test", "--helpme"};
    const char* none[] = {"qira-test"};
    EXPECT_EQ(AnswerInformationRequest(2, help, about), "Usage: qira-test\n");
    EXPECT_EQ(AnswerInformationRequest(2, version, about), "qira-test 1.2.3\n");
    EXPECT_FALSE(AnswerInformationRequest(3, both, about));
    EXPECT_FALSE(AnswerInformationRequest(2, other, about));
    EXPECT_FALSE(AnswerInformationRequest(1, none, about));
}

}  // namespace
}  // namespace qira::launch
