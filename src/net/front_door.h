#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qira::net {

// The front door's two lines (protocol.h, front_door). A request or answer
// that is too long, lacks its fields or holds a tab or line break where a
// field should be is nullopt.
struct FrontDoorAsk {
    std::string name;
    std::string secret;
};
std::optional<std::string> FrontDoorRequest(std::string_view name, std::string_view secret);
std::optional<FrontDoorAsk> ParseFrontDoorRequest(std::string_view line);
// `address` empty: no server is alive.
std::string FrontDoorAnswer(std::string_view address);
// The address, empty for "NONE", nullopt for anything else.
std::optional<std::string> ParseFrontDoorAnswer(std::string_view line);

}  // namespace qira::net
