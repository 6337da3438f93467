// qira-analyze: reads positions from standard input, one per line, and writes
// one JSON object per line with the win, ready and claim analysis.
#include <cstdio>
#include <iostream>
#include <string>

#include "analyze_line.h"
#include "rules/win_analysis.h"

int main() {
    std::ios::sync_with_stdio(false);
    qira::rules::PrepareWinAnalysis();
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
