// The check that keeps a damaged hand out of --export-hands, against
// nlohmann's parser: what the check takes is a JSON object, and an object
// nested no deeper than the check allows is taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "server/core/json_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool taken = qira::server::IsJsonObject(text);
    // nlohmann ends its input at a NUL byte; a NUL is never valid JSON.
    if (text.find('\0') != std::string_view::npos) {
        if (taken) std::abort();
        return 0;
    }
    const bool valid = nlohmann::json::accept(text);
    if (taken && !(valid && nlohmann::json::parse(text).is_object())) std::abort();
    std::size_t opening = 0;
    for (const char c : text) opening += c == '{' || c == '[';
    const bool object = text.find_first_not_of(" \t\r\n") != std::string_view::npos &&
                        text[text.find_first_not_of(" \t\r\n")] == '{';
    if (valid && object && opening <= 64 && !taken) std::abort();
    return 0;
}
