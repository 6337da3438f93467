// qira-replay: a logged hand on the table, all four hands face up, stepped
// through with the keys; or one step painted to a picture.
#include <QApplication>
#include <QImage>
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include <unistd.h>

#include "app/replay_viewer.h"
#include "launch/data_folders.h"
#include "launch/globals.h"
#include "qira_build.h"
#include "replay/hand_database.h"
#include "replay/hand_log.h"
#include "replay/log_file.h"
#include "replay/review.h"
#include "rules/win_analysis.h"
#include "ui/platform/fonts.h"

namespace {

using namespace qira;

// In English like every program's command-line help: the manual pages are
// made from it.
constexpr const char* kUsage =
    "Usage: qira-replay [FILE|-] [--hand ID] [--seat CHAIR | --player NAME] [--step N]\n"
    "                   [--snapshot OUT.png]\n"
    "Steps through a hand the server logged on the table, all four hands face up. FILE\n"
    "is the server's statistics database itself (--db FILE) or the JSON lines of\n"
    "qira-server --db FILE --export-hands. With no FILE or -, reads JSON lines from\n"
    "standard input. FILE must be a regular file; at most 64 MiB (about 20,000 hands)\n"
    "and 1 MiB on one line are read from JSON lines, and a longer log or line is refused.\n"
    "\n"
    "Options:\n"
    "  --hand ID           Replay this hand (default: the first hand of the log).\n"
    "  --seat CHAIR        The chair 0-3 at the bottom (default: the first winner, or\n"
    "                      the dealer when the hand was drawn).\n"
    "  --player NAME       The chair of the player NAME at the bottom.\n"
    "  --step N            Start at step N (0 is the position right after the deal).\n"
    "  --snapshot OUT.png  Paint step N to a PNG picture without a window and exit.\n"
    "  --review            Beside each step, the bottom seat's decision from it set\n"
    "                      beside the level 4 computer player's, with the expected\n"
    "                      points of both (as qira-review; a few seconds to work out).\n"
    "  --help              Show this help and exit.\n"
    "  --version           Show the version and exit.\n"
    "\n"
    "Keys: Right next step, Left step back, Home the start, End the end,\n"
    "Space play or pause.\n";

static_assert(replay::ReadLimits{}.maxFileBytes == 64 << 20 &&
                  replay::ReadLimits{}.maxLineBytes == 1 << 20,
              "the help gives the read limits");

struct Arguments {
    std::string file = "-";
    std::optional<std::int64_t> hand;
    std::optional<int> seat;
    std::optional<std::string> player;
    std::size_t step = 0;
    std::optional<std::string> snapshot;
    bool review = false;
    bool help = false;
    bool version = false;
};

std::optional<std::int64_t> WholeNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::size_t used = 0;
    try {
        const long long value = std::stoll(text, &used);
        if (used != text.size()) return std::nullopt;
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Nothing, with the reason on standard error, when the command line is wrong.
std::optional<Arguments> ParseArguments(int argc, char** argv) {
    Arguments args;
    bool fileSeen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        auto number = [&](std::int64_t low, std::int64_t high) -> std::optional<std::int64_t> {
            const auto text = value();
            const auto n = text ? WholeNumber(*text) : std::nullopt;
            if (!n || *n < low || *n > high) {
                std::cerr << "qira-replay: " << arg << " 需要一个 " << low << " 到 " << high
                          << " 之间的整数\n";
                return std::nullopt;
            }
            return n;
        };
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--version") {
            args.version = true;
        } else if (arg == "--review") {
            args.review = true;
        } else if (arg == "--hand") {
            args.hand = number(INT64_MIN / 2, INT64_MAX / 2);
            if (!args.hand) return std::nullopt;
        } else if (arg == "--seat") {
            const auto seat = number(0, 3);
            if (!seat) return std::nullopt;
            args.seat = static_cast<int>(*seat);
        } else if (arg == "--player") {
            args.player = value();
            if (!args.player || args.player->empty()) {
                std::cerr << "qira-replay: --player 需要一个玩家名\n";
                return std::nullopt;
            }
        } else if (arg == "--step") {
            const auto step = number(0, 1000000);
            if (!step) return std::nullopt;
            args.step = static_cast<std::size_t>(*step);
        } else if (arg == "--snapshot") {
            args.snapshot = value();
            if (!args.snapshot || args.snapshot->empty()) {
                std::cerr << "qira-replay: --snapshot 需要一个图片文件名\n";
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "qira-replay: 不认识的选项 " << arg << "\n" << kUsage;
            return std::nullopt;
        } else if (!fileSeen) {
            args.file = arg;
            fileSeen = true;
        } else {
            std::cerr << "qira-replay: 只能给一个文件\n";
            return std::nullopt;
        }
    }
    return args;
}

replay::Chair DefaultSeat(const replay::HandLog& hand) {
    return hand.result.winners.empty() ? hand.dealer : hand.result.winners.front();
}

// The log's text from a statistics database or from JSON lines.
replay::LogText ReadHands(const std::string& file) {
    if (file == "-" || !replay::LooksLikeDatabase(file)) return replay::ReadLogFile(file);
    auto read = replay::ReadDatabaseHands(file);
    if (!read.error.empty()) return {std::nullopt, read.error};
    std::string text;
    for (const auto& line : read.lines) text += line + "\n";
    return {std::move(text), {}};
}

int Fail(const std::string& text) {
    std::cerr << "qira-replay: " << text << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto args = ParseArguments(argc, argv);
    if (!args) return 2;
    if (args->help) {
        std::cout << kUsage;
        return 0;
    }
    if (args->version) {
        std::cout << "qira-replay " << QIRA_VERSION << "\n";
        return 0;
    }

    // Nothing piped in and no file named: say how to use it rather than wait.
    if (args->file == "-" && isatty(STDIN_FILENO)) {
        std::cerr << kUsage;
        return 2;
    }
    const auto read = ReadHands(args->file);
    if (!read.text) return Fail(read.error);
    const auto log = replay::ParseHandLog(*read.text);
    for (const auto& error : log.errors) std::cerr << "qira-replay: 跳过 " << error << "\n";
    if (log.hands.empty()) return Fail("记录里没有可以回放的牌局");
    const replay::HandLog* hand = &log.hands.front();
    if (args->hand) {
        hand = replay::FindHand(log.hands, *args->hand);
        if (!hand) return Fail("记录里没有第 " + std::to_string(*args->hand) + " 局");
    }
    auto seat = static_cast<replay::Chair>(args->seat.value_or(DefaultSeat(*hand)));
    if (args->player) {
        const auto sat = std::find(hand->players.begin(), hand->players.end(), *args->player);
        if (sat == hand->players.end())
            return Fail("第 " + std::to_string(hand->id) + " 局里没有玩家 " + *args->player);
        seat = static_cast<replay::Chair>(sat - hand->players.begin());
    }
    std::string error;
    auto replay = replay::HandReplay::Build(*hand, seat, &error);
    if (!replay) return Fail("第 " + std::to_string(hand->id) + " 局的记录不对：" + error);
    if (args->step > replay->StepCount())
        return Fail("第 " + std::to_string(hand->id) + " 局只有 " +
                    std::to_string(replay->StepCount()) + " 步");

    // A picture needs no screen.
    if (args->snapshot) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The client's own data: beside the program in a build tree, else installed.
    const std::string dataFolder =
        launch::FindClientFolders(launch::ExecutableFolder(), QIRA_DATA_FROM_BIN "/client",
                                  launch::UserConfigHome())
            .data;
    platform::InstallFontSubstitutions(QString::fromStdString(dataFolder) +
                                       QStringLiteral("/Res/") +
                                       QLatin1String(platform::kSubsetFontFile));
    QApplication::setFont(QFont(QStringLiteral("宋体"), 9));

    app::ReplayViewer::Options options;
    options.dataFolder = dataFolder;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    options.screenSize = screen.size();
    // Worked out before the window opens: the viewer shows it from the start.
    std::optional<replay::Review> review;
    if (args->review) {
        if (!args->snapshot) std::cerr << "qira-replay: 正在复盘……\n";
        rules::PrepareWinAnalysis(rules::AnswerCache::Large);
        review = replay::ReviewHand(*hand, seat, {.budgetMs = bots::kDefaultBudgetMs}, &error);
        if (!review) return Fail("第 " + std::to_string(hand->id) + " 局无法复盘：" + error);
    }
    app::ReplayViewer viewer(std::move(*replay), options);
    if (review) viewer.SetReview(std::move(*review));
    auto& window = viewer.window();
    QObject::connect(&window, &app::FrmGameMain::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (args->snapshot) {
        window.setGeometry(0, 0, 1024, 720);
        window.show();
        viewer.ShowRebuilt(args->step);
        QApplication::processEvents();
        if (!viewer.Snapshot().save(QString::fromStdString(*args->snapshot), "PNG"))
            return Fail("无法写入图片 " + *args->snapshot);
        return 0;
    }
    window.setGeometry(0, 0, screen.width(), screen.height() - 32);
    window.show();
    viewer.GoTo(args->step);
    return app.exec();
}
