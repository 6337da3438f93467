#pragma once

#include <string>
#include <string_view>

namespace qira::analyze {

// Answers one input line ("hand=0,1,2 wild=22 melds=2:27 tile=5 ...") with one
// JSON object, without a line break: the winning tiles, the ready test, the
// discard limit and, with tile=, the claims on that discard; or
// {"error": "..."} naming what is wrong with the line.
std::string AnalyzeLine(std::string_view line);

}  // namespace qira::analyze
