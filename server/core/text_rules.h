#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What text from a client may hold before the server shows it to others.
namespace qira::server {

// A byte below U+0020 or DEL: line feeds would split the user list, and any
// of them could forge a log line.
bool HasControlCharacters(std::string_view utf8);
// The text with every control character replaced by a blank.
std::string WithoutControlCharacters(std::string text);
// Characters (not bytes) of UTF-8 text.
std::size_t CharacterCount(std::string_view utf8);
// Names that look alike share a key: ASCII case and surrounding blanks do
// not count.
std::string NameKey(std::string_view name);
// Blanks and tabs off both ends.
std::string Trimmed(std::string_view text);

}  // namespace qira::server
