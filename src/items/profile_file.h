#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qira::items {

// A read-only profile file ("[section]" headers and "key=value" lines), read
// the way the Windows profile API reads one: section and key names match
// without regard to case, the first match wins, blanks around names and
// values are dropped and a value wrapped whole in quotes loses them. Lines
// starting with ";" are comments. A file in GBK is converted to UTF-8.
class ProfileFile {
public:
    ProfileFile() = default;
    // An unreadable or missing file gives an empty profile.
    static ProfileFile Load(const std::string& path);
    static ProfileFile Parse(std::string_view text);

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    bool empty() const { return entries_.empty(); }

private:
    struct Entry {
        std::string section;  // lower case
        std::string key;      // lower case
        std::string value;
    };
    std::vector<Entry> entries_;
};

}  // namespace qira::items
