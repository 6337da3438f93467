// The client's launch command line: split, checked, and its level table
// read. Whatever parses carries exactly the tokens it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "launch/command_line.h"
#include "launch/globals.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qira::launch;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto tokens = SplitCommandLine(text);
    const LaunchResult result = ParseLaunchTokens(tokens);
    if (!result.data) {
        if (LaunchErrorText(result.error).empty()) std::abort();
        return 0;
    }
    if (tokens.size() < 10 || result.data->strUserName != tokens[8]) std::abort();
    if (result.data->strRoomServerAddr != tokens[2]) std::abort();
    const auto levels = ParseLevelInfo(result.data->strLevelInfo);
    GetLevelTitle(levels, 0);
    GetLevelTitle(levels, 1'000'000);
    return 0;
}
