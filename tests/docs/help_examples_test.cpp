// The handbook's worked examples are checked against the code that plays the
// game: the rules engine decides whether a hand shown as winning wins and a
// refused one is refused, the server's scoring computes each score, and the
// client's win window turns it into the item text the page quotes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "dialogs/user_prefs.h"
#include "docs/help_page.h"
#include "play/win_record.h"
#include "rules/claim_options.h"
#include "rules/win_analysis.h"
#include "server/core/scoring.h"

namespace qira::docs {
namespace {

using rules::MeldKind;
using rules::MeldRecord;
using rules::TileCode;

constexpr std::int32_t kStake = 10;  // the table's default base score
constexpr std::uint8_t kWinner = 0, kPayer = 1, kOther = 2;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string& Page() {
    static const std::string page = ReadFile(QIRA_HELP_SOURCE);
    return page;
}

const std::vector<Example>& Examples() {
    static const std::vector<Example> examples = ReadExamples(Page());
    return examples;
}

std::vector<const Example*> ExamplesOf(const std::string& check) {
    std::vector<const Example*> found;
    for (const Example& example : Examples())
        if (example.Data("check") == check) found.push_back(&example);
    return found;
}

std::string Where(const Example& example) {
    return "help.html line " + std::to_string(example.line);
}

std::vector<TileCode> Tiles(const Example& example, const std::string& name) {
    const auto tiles = ParseTiles(example.Data(name));
    if (!tiles) throw std::runtime_error("data-" + name + " is not tile notation");
    return *tiles;
}

TileCode OneTile(const Example& example, const std::string& name) {
    const auto tiles = Tiles(example, name);
    if (tiles.size() != 1) throw std::runtime_error("data-" + name + " must name one tile");
    return tiles.front();
}

// One player's position as an example describes it.
struct Position {
    std::vector<TileCode> hand;  // without the tested tile
    std::vector<MeldRecord> melds;
    TileCode wild = 0;
    bool noWin = false;
    bool wildKong = false;
    int concealedKongs = 0;
    int exposedKongs = 0;
    std::vector<Picture> meldPictures;
};

Picture PictureOf(TileCode tile, TileCode wild) {
    return {"help/tiles/" + TileName(tile) + ".png", ChineseTileName(tile), tile == wild};
}

const Picture kBack{"help/tiles/back.png", "牌背", false};

// data-melds: "pung:5p chow:1s kong:7s concealed-kong:9m indicator-kong:4m".
void ReadMelds(const Example& example, Position& position) {
    std::istringstream words(example.Data("melds"));
    std::string word;
    while (words >> word) {
        const std::size_t colon = word.find(':');
        const std::string kind = word.substr(0, colon);
        const auto tiles = ParseTiles(colon == std::string::npos ? "" : word.substr(colon + 1));
        if (!tiles || tiles->size() != 1) throw std::runtime_error("bad meld " + word);
        const TileCode tile = tiles->front();
        auto show = [&](int count) {
            for (int i = 0; i < count; ++i) {
                const int step = kind == "chow" ? i : 0;
                position.meldPictures.push_back(
                    PictureOf(static_cast<TileCode>(tile + step), position.wild));
            }
        };
        if (kind == "indicator-kong" && (tile != OneTile(example, "indicator") ||
                                         rules::WildAfterIndicator(tile) != position.wild))
            throw std::runtime_error(
                "the three-indicator kong is of data-indicator, whose "
                "next tile is data-wild");
        if (kind == "chow" || kind == "pung" || kind == "indicator-kong") {
            position.melds.push_back({kind == "chow" ? MeldKind::Chow : MeldKind::Pung, tile, 1});
            show(3);
        } else if (kind == "kong") {
            position.melds.push_back({MeldKind::ExposedKong, tile, 1});
            ++position.exposedKongs;
            show(4);
        } else if (kind == "concealed-kong") {
            position.melds.push_back({MeldKind::ConcealedKong, tile, 0});
            if (tile == position.wild)
                position.wildKong = true;
            else
                ++position.concealedKongs;
            position.meldPictures.push_back(kBack);
            show(2);
            position.meldPictures.push_back(kBack);
        } else {
            throw std::runtime_error("unknown meld kind " + kind);
        }
    }
}

Position ReadPosition(const Example& example) {
    Position position;
    position.wild = OneTile(example, "wild");
    position.hand = Tiles(example, "hand");
    position.noWin = example.Data("nowin") == "yes";
    ReadMelds(example, position);
    return position;
}

bool SelfDrawn(const Example& example) {
    const std::string from = example.Data("from");
    if (from != "self" && from != "discard") throw std::runtime_error("data-from: self or discard");
    return from == "self";
}

bool WinsWith(const Position& position, TileCode tile, bool selfDrawn) {
    std::vector<TileCode> hand = position.hand;
    if (selfDrawn) hand.push_back(tile);
    return rules::CanWinWith(rules::HandView{hand, position.melds, position.wild, position.noWin},
                             tile);
}

// The pictures a hand example must show: the concealed tiles, the melds,
// then the tested tile.
std::vector<Picture> ExpectedPictures(const Example& example, const Position& position) {
    std::vector<Picture> pictures;
    for (TileCode tile : position.hand) pictures.push_back(PictureOf(tile, position.wild));
    pictures.insert(pictures.end(), position.meldPictures.begin(), position.meldPictures.end());
    if (!example.Data("tile").empty())
        pictures.push_back(PictureOf(OneTile(example, "tile"), position.wild));
    return pictures;
}

void ExpectPictures(const Example& example, const std::vector<Picture>& expected) {
    ASSERT_EQ(example.pictures.size(), expected.size()) << Where(example);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Picture& shown = example.pictures[i];
        EXPECT_EQ(shown.src, expected[i].src) << Where(example) << ", picture " << i + 1;
        EXPECT_EQ(shown.alt, expected[i].alt) << Where(example) << ", picture " << i + 1;
        EXPECT_EQ(shown.wild, expected[i].wild)
            << Where(example) << ", picture " << i + 1 << " (class wild)";
    }
}

// Runs `check` on each example, reporting a malformed one as a failure.
template <typename Check>
void ForEach(const std::vector<const Example*>& examples, Check check) {
    for (const Example* example : examples) {
        try {
            check(*example);
        } catch (const std::exception& error) {
            ADD_FAILURE() << Where(*example) << ": " << error.what();
        }
    }
}

std::uint8_t Chair(const std::string& who) {
    if (who == "winner") return kWinner;
    if (who == "discarder" || who == "payer") return kPayer;
    if (who == "other") return kOther;
    throw std::runtime_error("data-dealer: winner, discarder, payer or other");
}

std::uint8_t Bets(const std::string& text) {
    if (text.empty()) return 0;
    if (text == "1" || text == "2" || text == "3") return static_cast<std::uint8_t>(text[0] - '0');
    throw std::runtime_error("bets are 1 (挂档), 2 (漂) or 3 (both)");
}

std::uint8_t IndicatorKong(const std::string& text) {
    if (text.empty()) return 0;
    if (text == "exposed") return 1;
    if (text == "concealed") return 2;
    throw std::runtime_error("indicator kong: exposed or concealed");
}

struct Scored {
    std::array<std::string, 4> items;
    std::array<std::int32_t, 4> due{};
};

// The win as the server scores it and as the client's win window lists it.
// The winner sits in chair 0; chair 1 discards, or is the payer the example
// follows when the win is self-drawn.
Scored Score(const Example& example) {
    const Position position = ReadPosition(example);
    const bool selfDrawn = SelfDrawn(example);
    const TileCode tile = OneTile(example, "tile");
    server::WinContext context;
    server::ScoreSeat& winner = context.seats[kWinner];
    winner.concealed = position.hand;
    winner.melds = position.melds;
    winner.bets = Bets(example.Data("bets"));
    winner.indicatorKong = IndicatorKong(example.Data("indicator-kong"));
    winner.wildKong = position.wildKong;
    winner.concealedKongs = position.concealedKongs;
    winner.exposedKongs = position.exposedKongs;
    server::ScoreSeat& payer = context.seats[kPayer];
    payer.bets = Bets(example.Data("payer-bets"));
    payer.indicatorKong = IndicatorKong(example.Data("payer-indicator-kong"));
    payer.wildKong = example.Data("payer-wild-kong") == "yes";
    context.winners = {kWinner};
    context.discarder = selfDrawn ? 4 : kPayer;
    context.dealer = Chair(example.Data("dealer"));
    context.winningTile = tile;
    context.wild = position.wild;
    context.onKongReplacement = example.Data("kong-bloom") == "yes";
    context.afterKong = example.Data("after-kong") == "yes";
    context.base = kStake;
    const auto outcome = server::ScoreWin(context);
    const auto record = play::DecodeWinRecord(outcome.record);
    if (!record) throw std::runtime_error("the win record does not decode");
    return {play::BuildItemTexts(*record), outcome.due};
}

std::string Checked(const Example& example, const std::string& name) {
    const auto it = example.checked.find(name);
    if (it == example.checked.end()) throw std::runtime_error("no <span class=\"" + name + "\">");
    return it->second;
}

const std::set<std::string> kKnownData = {
    "check",          "wild",  "hand",      "melds",      "tile",       "from",
    "nowin",          "drawn", "dealer",    "bets",       "payer-bets", "indicator-kong",
    "chows",          "waits", "indicator", "kong-bloom", "after-kong", "payer-indicator-kong",
    "payer-wild-kong"};

TEST(HelpExamples, EveryExampleSaysWhatIsCheckedWithKnownAttributes) {
    const std::set<std::string> checks = {"win", "refused", "score", "chow", "waits", "indicator"};
    ASSERT_GE(Examples().size(), 30u) << "the handbook's examples are missing";
    for (const Example& example : Examples()) {
        EXPECT_TRUE(checks.contains(example.Data("check"))) << Where(example);
        for (const auto& [name, value] : example.data)
            EXPECT_TRUE(kKnownData.contains(name)) << Where(example) << ": data-" << name;
    }
}

TEST(HelpExamples, WinningHandsWinAndRefusedOnesAreRefused) {
    ASSERT_FALSE(ExamplesOf("win").empty());
    ASSERT_FALSE(ExamplesOf("refused").empty());
    auto check = [](const Example& example) {
        const Position position = ReadPosition(example);
        const TileCode tile = OneTile(example, "tile");
        const bool selfDrawn = SelfDrawn(example);
        const bool shownWinning = example.Data("check") == "win";
        EXPECT_EQ(WinsWith(position, tile, selfDrawn), shownWinning) << Where(example);
        // A win refused on a discard is shown with the same tile drawn.
        if (example.Data("drawn") == "win") {
            EXPECT_FALSE(selfDrawn) << Where(example);
            EXPECT_TRUE(WinsWith(position, tile, true)) << Where(example) << " drawn";
        }
        ExpectPictures(example, ExpectedPictures(example, position));
    };
    ForEach(ExamplesOf("win"), check);
    ForEach(ExamplesOf("refused"), check);
}

TEST(HelpExamples, ScoresAndItemsAreThoseOfTheServerAndTheWinWindow) {
    ASSERT_FALSE(ExamplesOf("score").empty());
    ForEach(ExamplesOf("score"), [](const Example& example) {
        const Position position = ReadPosition(example);
        const TileCode tile = OneTile(example, "tile");
        ASSERT_TRUE(WinsWith(position, tile, SelfDrawn(example))) << Where(example);
        const Scored scored = Score(example);
        EXPECT_EQ(Checked(example, "items"), scored.items[kWinner]) << Where(example);
        EXPECT_EQ(Checked(example, "score"), std::to_string(scored.due[kWinner])) << Where(example);
        if (example.checked.contains("payer-items")) {
            EXPECT_EQ(Checked(example, "payer-items"), scored.items[kPayer]) << Where(example);
            EXPECT_EQ(Checked(example, "payer-score"), std::to_string(scored.due[kPayer]))
                << Where(example);
        }
        ExpectPictures(example, ExpectedPictures(example, position));
    });
}

TEST(HelpExamples, EveryItemOfTheWinWindowHasAScoredExample) {
    std::string shown;
    for (const Example* example : ExamplesOf("score")) {
        for (const char* name : {"items", "payer-items"}) {
            const auto it = example->checked.find(name);
            if (it != example->checked.end()) shown += it->second + "，";
        }
    }
    for (const char* item : {"自摸Ⅹ",       "点炮Ⅹ",       "庄家胡牌Ⅹ", "庄家点炮Ⅹ", "杠上开花Ⅹ",
                             "杠上炮Ⅹ",     "明杠 ┼ ",     "暗杠 ┼ ",   "七对Ⅹ",     "豪华七对Ⅹ",
                             "超豪华七对Ⅹ", "素胡(没混)Ⅹ", "挂档Ⅹ",     "漂┼",       "混皮子明杠┼",
                             "混皮子暗杠┼", "混杠┼",       "庄家输Ⅹ",   "个暗杠",    "个明杠"})
        EXPECT_NE(shown.find(item), std::string::npos) << item;
}

TEST(HelpExamples, WildTileIsTheOneAfterItsIndicator) {
    ASSERT_FALSE(ExamplesOf("indicator").empty());
    ForEach(ExamplesOf("indicator"), [](const Example& example) {
        const TileCode indicator = OneTile(example, "indicator");
        const TileCode wild = OneTile(example, "wild");
        EXPECT_EQ(rules::WildAfterIndicator(indicator), wild) << Where(example);
        ExpectPictures(example, {PictureOf(indicator, wild), PictureOf(wild, wild)});
    });
}

TEST(HelpExamples, ChowChoicesAreTheOnesOffered) {
    ASSERT_FALSE(ExamplesOf("chow").empty());
    ForEach(ExamplesOf("chow"), [](const Example& example) {
        const Position position = ReadPosition(example);
        const TileCode tile = OneTile(example, "tile");
        std::vector<TileCode> starts;
        rules::ChowOptions(rules::HandView{position.hand, position.melds, position.wild, false},
                           tile, starts);
        EXPECT_EQ(starts, Tiles(example, "chows")) << Where(example);
        ExpectPictures(example, ExpectedPictures(example, position));
    });
}

TEST(HelpExamples, WaitsAreTheTilesThatWinOnADiscard) {
    ASSERT_FALSE(ExamplesOf("waits").empty());
    ForEach(ExamplesOf("waits"), [](const Example& example) {
        const Position position = ReadPosition(example);
        const rules::HandView view{position.hand, position.melds, position.wild, position.noWin};
        EXPECT_EQ(rules::WinningTiles(view), Tiles(example, "waits")) << Where(example);
        ExpectPictures(example, ExpectedPictures(example, position));
    });
}

TEST(HelpPage, EveryPictureAndLinkResolvesBesideTheInstalledPage) {
    const std::filesystem::path folder = std::filesystem::path(QIRA_HELP_INSTALLED).parent_path();
    const auto ids = ReadIds(Page());
    const std::set<std::string> idSet(ids.begin(), ids.end());
    EXPECT_EQ(idSet.size(), ids.size()) << "an id is used twice";
    const auto addresses = ReadAddresses(Page());
    ASSERT_FALSE(addresses.empty());
    for (const std::string& address : addresses) {
        // The handbook is read offline: nothing is fetched from elsewhere.
        EXPECT_EQ(address.find(':'), std::string::npos) << address;
        if (address.starts_with("#")) {
            EXPECT_TRUE(idSet.contains(address.substr(1))) << address;
            continue;
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / address)) << address;
    }
}

// The handbook is installed with the programs: it lists the preferences as
// their window shows them, and names the installed programs, not the
// developers' build folders and scripts.
TEST(HelpPage, SettingsAreThoseOfThePreferencesWindowAndProgramsTheInstalledOnes) {
    const std::string& page = Page();
    const auto begin = page.find("<ul id=\"settings\">");
    ASSERT_NE(begin, std::string::npos);
    const auto end = page.find("</ul>", begin);
    std::vector<std::string> listed;
    for (auto item = page.find("<li>", begin); item < end; item = page.find("<li>", item + 1)) {
        const auto text = item + std::string_view("<li>").size();
        listed.push_back(page.substr(text, page.find("：", text) - text));
    }
    std::vector<std::string> captions;
    for (int index = 0; index < dialogs::kPreferenceCount; ++index)
        captions.emplace_back(dialogs::UserSetDialog::CheckCaption(index));
    EXPECT_EQ(listed, captions);

    for (const std::string_view developers : {"scripts/", "build/", "release/", "game/bin"})
        EXPECT_EQ(page.find(developers), std::string::npos) << developers;
    EXPECT_NE(page.find("qira-launch 192.168.1.20 5870"), std::string::npos);
}

}  // namespace
}  // namespace qira::docs
