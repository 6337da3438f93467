#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Reading a hand log from a file or standard input, within bounds: a named
// file must be a regular file (a folder, a device or a pipe by name is
// refused), and no more than `maxFileBytes` in all nor `maxLineBytes` on one
// line is read, so that /dev/zero or an endless pipe cannot hold the program.
namespace qira::replay {

struct ReadLimits {
    // A logged hand is 3 to 5 kB: about 20,000 hands, and lines far longer
    // than any hand.
    std::size_t maxFileBytes = std::size_t{64} << 20;
    std::size_t maxLineBytes = std::size_t{1} << 20;
};

struct LogText {
    std::optional<std::string> text;
    std::string error;  // in words, for the player, when there is no text
};

// The whole log in `path`, or "-" for standard input.
LogText ReadLogFile(const std::string& path, const ReadLimits& limits = {});

// The same from an open descriptor; `name` is how errors name it.
LogText ReadLogFrom(int descriptor, const std::string& name, const ReadLimits& limits);

}  // namespace qira::replay
