// qira-review: a logged hand reviewed from one seat, every decision set
// beside level 4's, as a self-contained HTML page or JSON.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "qira_build.h"
#include "replay/hand_database.h"
#include "replay/hand_log.h"
#include "replay/review.h"
#include "rules/win_analysis.h"

namespace {

namespace fs = std::filesystem;
using namespace qira;

constexpr const char* kHelpText =
    "Usage: qira-review (--db PATH | --log FILE) [--hand ID] --seat NAME|CHAIR [options]\n"
    "Reviews one logged hand of Qira Mahjong from one seat: every decision the seat made\n"
    "(discards, claims, kongs, and passes on a discard it could have claimed) beside the\n"
    "choice of the level 4 computer player from the same view, with the expected points\n"
    "of both: the unseen tiles are dealt at random many times and both choices played out\n"
    "over the same deals. A choice whose expected cost passes the threshold is marked.\n"
    "\n"
    "Options:\n"
    "  --db PATH          the server's statistics database (read only)\n"
    "  --log FILE         hand-log lines, as qira-server --export-hands prints them\n"
    "                     (- for standard input)\n"
    "  --hand ID          the hand to review (default: the only or the newest one)\n"
    "  --seat NAME|CHAIR  the player by name, or the chair 0-3\n"
    "  --json             write JSON instead of the HTML page\n"
    "  --out FILE         write to FILE instead of standard output\n"
    "  --threshold P      expected cost in base scores beyond which a choice is marked\n"
    "                     (default 0.5)\n"
    "  --budget-ms MS     level 4's thinking per decision (default 200); the same hand\n"
    "                     and budget give the same review\n"
    "  --tiles DIR        the tile pictures (default: Res/help/tiles of the installed game)\n"
    "  --help             Show this help and exit.\n"
    "  --version          Show the version and exit.\n"
    "\n"
    "A one-line summary (decisions, agreements, costly ones, total expected cost) goes\n"
    "to standard error. Exit status: 0 done; 1 the hand cannot be read or replayed;\n"
    "2 a wrong option.\n";

struct Arguments {
    std::optional<std::string> db, log, seat, out, tiles;
    std::optional<std::int64_t> hand;
    bool json = false;
    replay::ReviewOptions options;
};

std::optional<double> NumberOf(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') return std::nullopt;
    return value;
}

// Nothing, with the reason printed, for a wrong command line.
std::optional<Arguments> Parse(const std::vector<std::string>& args) {
    Arguments a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--json") {
            a.json = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "qira-review: " << name << " needs a value (see --help)\n";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        const auto number = NumberOf(value);
        if (name == "--db")
            a.db = value;
        else if (name == "--log")
            a.log = value;
        else if (name == "--seat")
            a.seat = value;
        else if (name == "--out")
            a.out = value;
        else if (name == "--tiles")
            a.tiles = value;
        else if (name == "--hand" && number && *number >= 1)
            a.hand = static_cast<std::int64_t>(*number);
        else if (name == "--threshold" && number && *number >= 0)
            a.options.threshold = *number;
        else if (name == "--budget-ms" && number && *number >= 1 && *number <= 60'000)
            a.options.budgetMs = static_cast<int>(*number);
        else {
            std::cerr << "qira-review: " << name << " does not take " << value << " (see --help)\n";
            return std::nullopt;
        }
    }
    if (!a.db == !a.log || !a.seat) {
        std::cerr << "qira-review: give --db or --log, and --seat (see --help)\n";
        return std::nullopt;
    }
    return a;
}

std::optional<std::string> ReadText(const std::string& path) {
    std::ostringstream text;
    if (path == "-") {
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    text << file.rdbuf();
    return text.str();
}

fs::path ProgramFolder() {
    std::error_code error;
    const auto self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
}

// The help pages' tile pictures, beside the program in a build, else in the
// installed data folder.
std::map<int, std::string> TilePictures(const std::optional<std::string>& folder) {
    std::vector<fs::path> tried;
    if (folder)
        tried.emplace_back(*folder);
    else {
        tried.push_back(ProgramFolder() / "Res/help/tiles");
        tried.push_back(ProgramFolder() / QIRA_DATA_FROM_BIN / "client/Res/help/tiles");
    }
    std::map<int, std::string> pictures;
    for (const fs::path& dir : tried) {
        for (int code = 0; code <= 38; ++code) {
            if (!rules::IsTileCode(code)) continue;
            const std::string name = code < 27
                                         ? std::to_string(code % 9 + 1) + "mps"[code / 9]
                                         : std::to_string(code < 31 ? code - 26 : code - 31) + "z";
            if (const auto bytes = ReadText((dir / (name + ".png")).string()))
                pictures[code] = *bytes;
        }
        if (!pictures.empty()) return pictures;
    }
    std::cerr << "qira-review: no tile pictures in " << tried.front().string()
              << "; tiles are written as text\n";
    return pictures;
}

std::optional<replay::HandLog> LoadHand(const Arguments& a) {
    std::string text;
    if (a.db) {
        const auto read = replay::ReadDatabaseHands(*a.db);
        if (!read.error.empty()) {
            std::cerr << "qira-review: " << read.error << '\n';
            return std::nullopt;
        }
        for (const auto& line : read.lines) text += line + '\n';
    } else if (const auto file = ReadText(*a.log)) {
        text = *file;
    } else {
        std::cerr << "qira-review: cannot read " << *a.log << '\n';
        return std::nullopt;
    }
    const auto log = replay::ParseHandLog(text);
    for (const auto& error : log.errors) std::cerr << "qira-review: " << error << '\n';
    if (log.hands.empty()) {
        std::cerr << "qira-review: no hand to review\n";
        return std::nullopt;
    }
    if (!a.hand) return log.hands.back();
    if (const auto* hand = replay::FindHand(log.hands, *a.hand)) return *hand;
    std::cerr << "qira-review: no hand " << *a.hand << '\n';
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        std::fputs(kHelpText, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("qira-review %s\n", QIRA_VERSION);
        return 0;
    }
    const auto arguments = Parse(args);
    if (!arguments) return 2;
    const auto hand = LoadHand(*arguments);
    if (!hand) return 1;
    const auto seat = replay::SeatOf(*hand, *arguments->seat);
    if (!seat) {
        std::cerr << "qira-review: nobody called " << *arguments->seat << " sat at hand "
                  << hand->id << '\n';
        return 1;
    }
    rules::PrepareWinAnalysis(rules::AnswerCache::Large);
    std::string error;
    const auto reviewed = replay::ReviewHand(*hand, *seat, arguments->options, &error);
    if (!reviewed) {
        std::cerr << "qira-review: hand " << hand->id << " does not replay: " << error << '\n';
        return 1;
    }
    const std::string page = arguments->json
                                 ? replay::ReviewJson(*reviewed) + "\n"
                                 : replay::ReviewHtml(*reviewed, TilePictures(arguments->tiles));
    if (arguments->out) {
        std::ofstream file(*arguments->out, std::ios::binary);
        if (!(file << page)) {
            std::cerr << "qira-review: cannot write " << *arguments->out << '\n';
            return 1;
        }
    } else {
        std::fwrite(page.data(), 1, page.size(), stdout);
    }
    std::size_t costly = 0;
    for (const auto& row : reviewed->rows) costly += reviewed->Costly(row) ? 1 : 0;
    std::fprintf(stderr,
                 "hand %lld, %s: %zu decisions, %zu as level 4, %zu costly, %.2f base "
                 "scores of expected cost\n",
                 static_cast<long long>(reviewed->handId), reviewed->name.c_str(),
                 reviewed->rows.size(), reviewed->Agreements(), costly, reviewed->TotalCost());
    return 0;
}
