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
// Names that look alike share a key: the Unicode compatibility forms
// (fullwidth letters, ligatures), case, invisible characters, blanks at the
// ends, and letters of other scripts that look the same (Cyrillic "а" and
// Latin "a") do not count. The key is not for showing.
std::string NameKey(std::string_view name);
// Blanks and tabs off both ends.
std::string Trimmed(std::string_view text);
// A name without the blanks of any script (the ideographic space too) and
// the invisible characters at its ends.
std::string TrimmedName(std::string_view utf8);

}  // namespace qira::server
