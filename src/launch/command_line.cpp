#include "launch/command_line.h"

#include <charconv>

#include "launch/launch_token.h"

namespace qira::launch {

std::vector<std::string> SplitCommandLine(std::string_view commandLine, int maxTokens) {
    std::vector<std::string> tokens(1);
    bool inToken = false;
    for (const char c : commandLine) {
        if (c == ' ' || c == '\t') {
            inToken = false;
            continue;
        }
        if (!inToken) {
            if (static_cast<int>(tokens.size()) - 1 >= maxTokens) break;
            tokens.emplace_back();
            inToken = true;
        }
        tokens.back().push_back(c);
    }
    return tokens;
}

namespace {

std::optional<std::uint8_t> ParseScoreMode(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

}  // namespace

LaunchResult ParseLaunchTokens(const std::vector<std::string>& tokens) {
    if (tokens.size() != 10) return {std::nullopt, LaunchError::WrongTokenCount};
    if (tokens[1] != kLaunchToken) return {std::nullopt, LaunchError::WrongLaunchToken};
    const auto scoreMode = ParseScoreMode(tokens[9]);
    if (!scoreMode) return {std::nullopt, LaunchError::WrongTokenCount};
    LaunchData data;
    data.strRoomServerAddr = tokens[2];
    data.lngRoomServerPort = tokens[3];
    data.strGameTitle = tokens[4];
    data.strLevelInfo = tokens[5];
    data.strExtraInfo[0] = tokens[6];
    data.strExtraInfo[1] = tokens[7];
    data.strUserName = tokens[8];
    data.bytScoreMode = *scoreMode;
    return {std::move(data), LaunchError::WrongTokenCount};
}

std::string_view LaunchErrorText(LaunchError error) {
    return error == LaunchError::WrongLaunchToken ? "2号错误，无法正常启动游戏！"
                                                  : "1号错误，无法正常启动游戏！";
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) line.push_back(' ');
        line += arguments[i];
    }
    return line;
}

std::optional<std::string> AnswerInformationRequest(int argc, const char* const* argv,
                                                    const ProgramAbout& about) {
    if (argc != 2) return std::nullopt;
    const std::string_view request(argv[1]);
    if (request == "--help") return std::string(about.help);
    if (request == "--version")
        return std::string(about.name) + " " + std::string(about.version) + "\n";
    return std::nullopt;
}

}  // namespace qira::launch
