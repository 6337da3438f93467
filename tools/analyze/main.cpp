// qira-analyze: reads positions from standard input, one per line, and writes
// one JSON object per line with the win, ready and claim analysis.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "analyze_line.h"
#include "qira_build.h"
#include "rules/win_analysis.h"

namespace {

constexpr const char* kHelpText =
    "Usage: qira-analyze [--help | --version] < POSITIONS\n"
    "Reads mahjong positions from standard input, one per line, and writes one JSON object\n"
    "per line with the win, ready and claim analysis of each.\n"
    "\n"
    "Options:\n"
    "  --help     Show this help and exit.\n"
    "  --version  Show the version and exit.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelpText, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("qira-analyze %s\n", QIRA_VERSION);
        return 0;
    }
    if (argc > 1) {
        std::fprintf(stderr, "qira-analyze: unexpected argument %s (see --help)\n", argv[1]);
        return 2;
    }
    std::ios::sync_with_stdio(false);
    qira::rules::PrepareWinAnalysis(qira::rules::AnswerCache::Large);
    std::string line;
    std::string out;
    while (std::getline(std::cin, line)) {
        out += qira::analyze::AnalyzeLine(line);
        out += '\n';
        if (out.size() >= 1 << 16) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
