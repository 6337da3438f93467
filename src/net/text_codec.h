#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text travels on the wire in GBK (code page 936); inside the program every
// text is UTF-8. Conversion uses glibc's iconv, which reports invalid input.
namespace qira::net {

// UTF-8 to GBK. Characters GBK cannot hold become "?"; invalid UTF-8 gives nullopt.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. An invalid two-byte pair becomes U+FFFD and decoding goes on;
// a lead byte with no trail byte gives nullopt.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

}  // namespace qira::net
