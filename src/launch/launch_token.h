#pragma once

#include <string_view>

// The fixed first token of the command line that the launcher (lobby) and the
// client share. Compared exactly: case and punctuation count.
namespace qira::launch {

inline constexpr std::string_view kLaunchToken = "Qira.Mj/launch#2026!k7Vw-Zp3x:Tq9d@Lr5";
static_assert(kLaunchToken.size() == 38);

}  // namespace qira::launch
