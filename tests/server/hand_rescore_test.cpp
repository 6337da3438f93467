// An independent re-score of self-played hands from the exported hand log
// alone: the payments are worked out here again from the tiles, the acts and
// the log's score keys (docs/hand-log.md), without the server's scoring code.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

namespace {

using nlohmann::json;

constexpr int kHands = 2000;

std::string RunServer(const QStringList& arguments) {
    QProcess server;
    server.start(QIRA_SERVER_PATH, arguments);
    EXPECT_TRUE(server.waitForFinished(600'000));
    EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    return server.readAllStandardOutput().toStdString();
}

struct Seat {
    int exposedKongs = 0, concealedKongs = 0, indicatorKong = 0;
    bool wildKong = false, hasMelds = false, discarded = false;
};

struct Facts {
    std::array<Seat, 4> seats;
    bool onKongReplacement = false, afterKong = false;
};

// A turn begins with a draw or a claim; it began with a replacement draw when
// the last such act was a draw from the tail.
Facts FactsOf(const json& hand) {
    Facts f;
    const int wild = hand["wild"];
    bool turnOnTail = false;
    for (const json& e : hand["events"]) {
        const std::string act = e["act"];
        Seat& seat = f.seats[e["chair"].get<int>()];
        if (act == "draw") turnOnTail = e["from"] == "tail";
        if (act == "chow" || act == "pung") turnOnTail = false;
        if (act == "chow" || act == "pung" || act == "kong" || act == "indicator_kong")
            seat.hasMelds = true;
        if (act == "discard") {
            seat.discarded = true;
            f.afterKong = turnOnTail;
        }
        if (act == "indicator_kong") seat.indicatorKong = seat.discarded ? 1 : 2;
        if (act == "kong" && e["kind"] == "concealed") {
            (e["tile"] == wild ? seat.wildKong = true : (++seat.concealedKongs, true));
        } else if (act == "kong") {
            ++seat.exposedKongs;
        }
        if (act == "win") {
            f.onKongReplacement = turnOnTail;
            if (e.value("robbed", false)) f.afterKong = true;
        }
    }
    return f;
}

// 2, 4 or 8 for plain, luxury and super seven pairs; 1 otherwise.
int SevenPairs(std::vector<int> tiles, int wild, bool hasMelds) {
    if (hasMelds || tiles.size() != 14) return 1;
    std::map<int, int> counts;
    for (int t : tiles) ++counts[t];
    const int wilds = counts.count(wild) ? counts[wild] : 0;
    int odd = 0, quads = wilds == 4 ? -1 : 0;
    for (auto [tile, n] : counts) {
        if (tile != wild) odd += n % 2;
        quads += n == 4;
    }
    if (odd > wilds || (wilds - odd) % 2) return 1;
    return quads <= 0 ? 2 : quads == 1 ? 4 : 8;
}

std::int64_t Amount(const json& hand, const Facts& f, int winner, int payer) {
    const json& result = hand["result"];
    const bool selfDrawn = result["discarder"].is_null();
    const int dealer = hand["dealer"], wild = hand["wild"];
    const int discarder = selfDrawn ? 4 : result["discarder"].get<int>();
    const int wBets = hand["score"]["bets"][winner], pBets = hand["score"]["bets"][payer];
    std::vector<int> full = hand["final"][winner].get<std::vector<int>>();
    full.push_back(result["tile"]);
    const Seat& w = f.seats[winner];
    const Seat& p = f.seats[payer];
    const bool noWilds = std::count(full.begin(), full.end(), wild) == 0 && !w.wildKong;
    std::int64_t times = (selfDrawn ? 2 : 1) * (winner == dealer ? 2 : 1) *
                         (selfDrawn && f.onKongReplacement ? 2 : 1) *
                         (!selfDrawn && f.afterKong ? 2 : 1) * SevenPairs(full, wild, w.hasMelds) *
                         (noWilds ? 2 : 1) * (wBets & 1 ? 2 : 1) * (payer == discarder ? 3 : 1) *
                         (payer == dealer ? 2 : 1) * (pBets & 1 ? 2 : 1);
    const std::int64_t added = w.exposedKongs + 2 * w.concealedKongs + (wBets & 2 ? 2 : 0) +
                               w.indicatorKong + (w.wildKong ? 4 : 0) + (pBets & 2 ? 2 : 0) -
                               p.indicatorKong - (p.wildKong ? 4 : 0);
    return std::max<std::int64_t>(1, times + added) * hand["score"]["base"].get<int>();
}

struct Covered {
    int won = 0, severalWinners = 0, selfDrawn = 0, withBets = 0, capped = 0, escapes = 0;
    int mixedLevels = 0;
};

void Rescore(const json& hand, Covered& covered) {
    const json& result = hand["result"];
    std::array<std::int64_t, 4> due{}, actual{};
    std::array<std::int64_t, 4> left = hand["score"]["balance"].get<std::array<std::int64_t, 4>>();
    const bool capped = hand["score"]["mode"] == "points";
    const Facts facts = FactsOf(hand);
    const auto winners = result["winners"].get<std::vector<int>>();
    for (int w : winners)
        for (int p = 0; p < 4; ++p) {
            if (std::count(winners.begin(), winners.end(), p) ||
                (!result["discarder"].is_null() && p != result["discarder"]))
                continue;
            const std::int64_t amount = Amount(hand, facts, w, p);
            const std::int64_t paid =
                capped ? std::clamp<std::int64_t>(left[p], 0, amount) : amount;
            left[p] -= paid;
            due[p] -= amount, due[w] += amount;
            actual[p] -= paid, actual[w] += paid;
        }
    EXPECT_EQ(json(actual), result["points"]) << "hand " << hand["id"];
    EXPECT_EQ(json(due), result["due"]) << "hand " << hand["id"];
    covered.won += !winners.empty();
    covered.severalWinners += winners.size() > 1;
    covered.selfDrawn += !winners.empty() && result["discarder"].is_null();
    covered.withBets += !winners.empty() && hand["score"]["bets"] != json({0, 0, 0, 0});
    covered.capped += actual != due;
    covered.escapes += !result["escaped"].empty();
    const auto levels = hand["levels"].get<std::set<int>>();
    covered.mixedLevels += levels.size() > 1 && !levels.count(0);
}

// Each player's points before a hand are those before the last one plus what
// it won or lost there, less the penalty when it was counted as escaped.
void ExpectBalancesFollowOn(const json& before, const json& after) {
    if (before["table"] != after["table"] || before["players"] != after["players"]) return;
    for (int c = 0; c < 4; ++c) {
        std::int64_t expected = before["score"]["balance"][c].get<std::int64_t>() +
                                before["result"]["points"][c].get<std::int64_t>();
        if (std::count(before["result"]["escaped"].begin(), before["result"]["escaped"].end(), c))
            expected -=
                std::min<std::int64_t>(before["score"]["escape_penalty"].get<std::int64_t>(),
                                       std::max<std::int64_t>(0, expected));
        EXPECT_EQ(after["score"]["balance"][c], expected) << "hand " << after["id"];
    }
}

TEST(HandRescore, EveryPaymentOfSelfPlayedHandsFollowsFromTheExportAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath("hands.sqlite");
    RunServer({"--selfplay", QString::number(kHands), "--bot-levels", "3,2,1,2", "--db", db});
    std::istringstream lines(RunServer({"--db", db, "--export-hands"}));
    Covered covered;
    std::optional<json> previous;
    int hands = 0;
    for (std::string line; std::getline(lines, line); ++hands) {
        const json hand = json::parse(line);
        ASSERT_TRUE(hand.contains("score") && hand["result"].contains("due") &&
                    hand["result"].contains("escaped"))
            << "hand " << hand["id"] << " keeps nothing to re-score it from";
        Rescore(hand, covered);
        if (previous) ExpectBalancesFollowOn(*previous, hand);
        previous = hand;
    }
    EXPECT_EQ(hands, kHands);
    // The hands must hold the cases the re-score is for.
    EXPECT_GT(covered.won, kHands / 2);
    EXPECT_GT(covered.selfDrawn, 0);
    EXPECT_GT(covered.withBets, 0);
    EXPECT_GT(covered.capped, 0);
    EXPECT_EQ(covered.mixedLevels, hands);
    std::cout << "re-scored " << hands << " hands: " << covered.won << " won, "
              << covered.severalWinners << " with several winners, " << covered.selfDrawn
              << " self-drawn, " << covered.withBets << " with side bets, " << covered.capped
              << " with a capped payer, " << covered.escapes << " with an escape\n";
}

}  // namespace
