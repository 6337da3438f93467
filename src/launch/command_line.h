#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qira::launch {

// Splits a command line into tokens separated by runs of blanks and tabs; no
// quoting exists. Index 0 stays empty so that token n is at index n. Reading
// stops before a token beyond `maxTokens` would open.
std::vector<std::string> SplitCommandLine(std::string_view commandLine, int maxTokens = 10);

// The values the nine tokens carry.
struct LaunchData {
    std::string strRoomServerAddr;
    std::string lngRoomServerPort;
    std::string strGameTitle;
    std::string strLevelInfo;
    std::string strExtraInfo[2];
    std::string strUserName;
    std::uint8_t bytScoreMode = 0;
};

// Launch failures, each shown to the user as its own numbered message.
enum class LaunchError {
    WrongTokenCount = 1,  // also a score mode that is not a number from 0 to 255
    WrongLaunchToken = 2,
};

struct LaunchResult {
    std::optional<LaunchData> data;
    LaunchError error = LaunchError::WrongTokenCount;
};

LaunchResult ParseLaunchTokens(const std::vector<std::string>& tokens);

// The user-facing text of a launch failure.
std::string_view LaunchErrorText(LaunchError error);
inline constexpr std::string_view kLaunchErrorCaption = "游戏提示";

// Joins already-split program arguments with single blanks, as one command line.
std::string JoinArguments(const std::vector<std::string>& arguments);

// What a program prints for a lone "--help" or "--version" argument, before
// any window opens; nothing for any other command line.
struct ProgramAbout {
    std::string_view name;
    std::string_view version;
    std::string_view help;
};
std::optional<std::string> AnswerInformationRequest(int argc, const char* const* argv,
                                                    const ProgramAbout& about);

}  // namespace qira::launch
