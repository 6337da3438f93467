#pragma once

#include <string_view>

namespace qira::server {

// Is `text` one JSON object (RFC 8259) in valid UTF-8, blanks around it
// allowed? Nesting deeper than 64 levels counts as invalid.
bool IsJsonObject(std::string_view text);

}  // namespace qira::server
