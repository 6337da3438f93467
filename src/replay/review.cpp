#include "replay/review.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>

#include "bots/seat_knowledge.h"
#include "net/protocol.h"
#include "replay/hand_replay.h"

namespace qira::replay {
namespace {

using bots::Choice;
using bots::ChoiceKind;
using replay::Act;
using replay::LogEvent;

constexpr std::uint32_t kSeedPerHand = 7919;

Choice ChoiceOf(const std::optional<bots::BotBrain::Claim>& claim) {
    if (!claim) return {ChoiceKind::Pass, 0};
    switch (claim->kind) {
        case rules::MeldKind::Chow:
            return {ChoiceKind::Chow, claim->tile};
        case rules::MeldKind::Pung:
            return {ChoiceKind::Pung, claim->tile};
        default:
            return {ChoiceKind::ExposedKong, claim->tile};
    }
}

// What the seat did at `event`, when it was a choice: its own acts, and a
// pass on another chair's discard that it could have claimed (the next act
// is then a draw: nobody claimed).
struct Decision {
    Choice played;
    replay::Tile claimable = 0;
    int discarder = 0;
    bool onDiscard = false;
    bool mayKong = false;
};

bool CanClaim(const bots::BotView& view, replay::Tile tile, int discarder) {
    if (view.ting || tile == view.wild || !rules::IsTileCode(tile)) return false;
    const auto held = [&](int t) {
        return std::count(view.hand.begin(), view.hand.end(), static_cast<replay::Tile>(t));
    };
    if (held(tile) >= 2) return true;
    if ((discarder + 1) % 4 != view.self || !rules::IsNumbered(tile)) return false;
    for (int start = tile - 2; start <= tile; ++start) {
        if (start < 0 || rules::SuitOf(static_cast<replay::Tile>(start)) != rules::SuitOf(tile) ||
            rules::RankOf(static_cast<replay::Tile>(start)) > 7)
            continue;
        bool all = true;
        for (int t = start; t < start + 3; ++t)
            if (t != tile && (t == view.wild || held(t) == 0)) all = false;
        if (all) return true;
    }
    return false;
}

std::optional<Decision> DecisionAt(const bots::SeatKnowledge& seat, const bots::BotView& view,
                                   const LogEvent& event) {
    Decision d;
    d.claimable = seat.current;
    d.discarder = seat.turn;
    d.onDiscard = seat.phase == net::phase::kDiscarded && seat.turn != seat.self;
    const auto held = std::count(view.hand.begin(), view.hand.end(), seat.current);
    d.mayKong = d.onDiscard && held >= 3 && seat.wallLeft > 0 && seat.current != view.wild;
    const replay::Tile tile = event.tile.value_or(0);
    if (event.chair != seat.self) {
        if (!d.onDiscard || event.act != Act::Draw || !CanClaim(view, seat.current, seat.turn))
            return std::nullopt;
        d.played = {ChoiceKind::Pass, 0};
        return d;
    }
    switch (event.act) {
        case Act::Discard:
            d.played = {ChoiceKind::Discard, tile};
            d.onDiscard = false;
            return d;
        case Act::Chow: {
            const auto lowest =
                event.meld.empty() ? tile : *std::min_element(event.meld.begin(), event.meld.end());
            d.played = {ChoiceKind::Chow, lowest};
            return d;
        }
        case Act::Pung:
            d.played = {ChoiceKind::Pung, tile};
            return d;
        case Act::Kong:
            if (event.kongKind == replay::KongKind::Exposed && d.onDiscard) {
                d.played = {ChoiceKind::ExposedKong, tile};
                return d;
            }
            d.onDiscard = false;
            d.played = {ChoiceKind::OwnKong, tile};
            return d;
        case Act::IndicatorKong:
            d.onDiscard = false;
            d.played = {ChoiceKind::ThreeIndicators, view.indicator};
            return d;
        default:
            return std::nullopt;
    }
}

Choice Suggest(bots::BotBrain& brain, const bots::BotView& view, const Decision& d) {
    switch (d.played.kind) {
        case ChoiceKind::Discard:
            return {ChoiceKind::Discard, brain.ChooseDiscard(view)};
        case ChoiceKind::OwnKong:
        case ChoiceKind::NoOwnKong:
            if (const auto kong = brain.ChooseOwnKong(view))
                return {ChoiceKind::OwnKong, kong->bytTile};
            return {ChoiceKind::NoOwnKong, 0};
        case ChoiceKind::ThreeIndicators:
        case ChoiceKind::KeepIndicators:
            return brain.WantsThreeIndicators(view)
                       ? Choice{ChoiceKind::ThreeIndicators, view.indicator}
                       : Choice{ChoiceKind::KeepIndicators, 0};
        default:
            return ChoiceOf(brain.ChooseClaim(view, d.claimable, d.discarder, d.mayKong));
    }
}

std::vector<replay::Tile> Sorted(std::vector<replay::Tile> hand, replay::Tile wild) {
    std::sort(hand.begin(), hand.end());
    std::stable_partition(hand.begin(), hand.end(), [wild](replay::Tile t) { return t == wild; });
    return hand;
}

}  // namespace

std::size_t Review::Agreements() const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const ReviewRow& r) { return r.Agrees(); }));
}

double Review::TotalCost() const {
    double total = 0;
    for (const ReviewRow& row : rows) total += row.Cost();
    return total;
}

std::optional<replay::Chair> SeatOf(const replay::HandLog& hand, const std::string& text) {
    for (replay::Chair c = 0; c < 4; ++c)
        if (hand.players[c] == text) return c;
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '3')
        return static_cast<replay::Chair>(text[0] - '0');
    return std::nullopt;
}

std::optional<Review> ReviewHand(const replay::HandLog& hand, replay::Chair seat,
                                 const ReviewOptions& options, std::string* error) {
    const auto replayed = replay::HandReplay::Build(hand, seat, error);
    if (!replayed) return std::nullopt;
    Review review;
    review.handId = hand.id;
    review.seat = seat;
    review.name = hand.players[seat];
    review.base = std::max<std::int64_t>(1, hand.base);
    review.wild = hand.wild;
    review.threshold = options.threshold;
    review.budgetMs = options.budgetMs;

    bots::SeatKnowledge knowledge;
    const auto learn = [&](const replay::ReplayStep& step) {
        for (const auto& message : step.messages) {
            knowledge.self = seat;
            bots::Learn(knowledge, message);
        }
    };
    learn(replayed->Step(0));
    const auto& events = replayed->hand().events;
    for (std::size_t n = 1; n <= replayed->StepCount(); ++n) {
        const replay::ReplayStep& step = replayed->Step(n);
        const LogEvent& event = *step.event;
        const bots::BotView view = bots::ViewOf(knowledge);
        if (const auto decision = DecisionAt(knowledge, view, event)) {
            const std::size_t index = static_cast<std::size_t>(&event - events.data());
            const auto seed = static_cast<std::uint32_t>(hand.id) * kSeedPerHand +
                              static_cast<std::uint32_t>(index);
            bots::BotBrain brain(bots::BotStyle::Searcher, seed);
            brain.set_budget(options.budgetMs, false);
            ReviewRow row;
            row.event = index;
            row.hand = Sorted(view.hand, view.wild);
            row.discards = view.discards;
            row.played = decision->played;
            row.suggested = Suggest(brain, view, *decision);
            std::vector<Choice> choices{row.played};
            if (!row.Agrees()) choices.push_back(row.suggested);
            std::mt19937 random(seed);
            const auto appraisal = bots::Appraise(view, decision->claimable, decision->discarder,
                                                  choices, {options.budgetMs, false}, random);
            row.playedPoints = appraisal.expected[0];
            row.suggestedPoints = appraisal.expected.back();
            row.deals = appraisal.deals;
            review.rows.push_back(std::move(row));
        }
        learn(step);
    }
    return review;
}

// ---------------------------------------------------------------- words

std::string TileText(replay::Tile tile) {
    static const char* const kRanks[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
    static const char* const kSuits[] = {"萬", "筒", "条"};
    static const char* const kWinds[] = {"东", "南", "西", "北"};
    static const char* const kDragons[] = {"中", "发", "白"};
    if (tile < 27) return std::string(kRanks[tile % 9]) + kSuits[tile / 9];
    if (tile < 31) return kWinds[tile - 27];
    if (tile >= 36 && tile <= 38) return kDragons[tile - 36];
    return "?";
}

std::string ChoiceText(const Choice& choice) {
    switch (choice.kind) {
        case ChoiceKind::Discard:
            return "打" + TileText(choice.tile);
        case ChoiceKind::OwnKong:
            return "杠" + TileText(choice.tile);
        case ChoiceKind::NoOwnKong:
            return "不杠";
        case ChoiceKind::ThreeIndicators:
            return "混皮子杠";
        case ChoiceKind::KeepIndicators:
            return "不杠混皮子";
        case ChoiceKind::Pass:
            return "过";
        case ChoiceKind::Chow:
            return "吃" + TileText(choice.tile) +
                   TileText(static_cast<replay::Tile>(choice.tile + 1)) +
                   TileText(static_cast<replay::Tile>(choice.tile + 2));
        case ChoiceKind::Pung:
            return "碰";
        case ChoiceKind::ExposedKong:
            return "明杠";
    }
    return "?";
}

namespace {

constexpr const char* kKindWords[] = {
    "discard", "own_kong", "no_own_kong", "three_indicators", "keep_indicators",
    "pass",    "chow",     "pung",        "exposed_kong"};

std::string Escaped(const std::string& text, bool html) {
    std::string out;
    for (const char c : text) {
        if (html && c == '<')
            out += "&lt;";
        else if (html && c == '>')
            out += "&gt;";
        else if (html && c == '&')
            out += "&amp;";
        else if (c == '"')
            out += html ? "&quot;" : "\\\"";
        else if (!html && c == '\\')
            out += "\\\\";
        else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += html ? " " : code;
        } else
            out += c;
    }
    return out;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string TilesJson(const std::vector<replay::Tile>& tiles) {
    std::string out = "[";
    for (std::size_t i = 0; i < tiles.size(); ++i) out += (i ? "," : "") + std::to_string(tiles[i]);
    return out + "]";
}

std::string ChoiceJson(const Choice& choice) {
    return "{\"kind\":\"" + std::string(kKindWords[static_cast<int>(choice.kind)]) +
           "\",\"tile\":" + std::to_string(choice.tile) + ",\"text\":\"" + ChoiceText(choice) +
           "\"}";
}

std::string Base64(const std::string& bytes) {
    static const char* const kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(n >> shift) & 63];
    }
    if (i < bytes.size()) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// How the page draws tiles: the pictures, and the hand's wild tile, marked
// wherever it is drawn.
struct TileStyle {
    const std::map<int, std::string>& pictures;
    replay::Tile wild = 0;
};

std::string TileHtml(replay::Tile tile, const TileStyle& style, const char* size = "") {
    const auto& pictures = style.pictures;
    const std::string wild = tile == style.wild ? " w" : "";
    if (!pictures.contains(tile)) return "<span class=\"text-tile\">" + TileText(tile) + "</span>";
    return "<i class=\"tile t" + std::to_string(tile) + wild + (*size ? " " : "") + size +
           "\" title=\"" + TileText(tile) + "\"></i>";
}

std::string TilesHtml(const std::vector<replay::Tile>& tiles, const TileStyle& style,
                      const char* size = "") {
    std::string out;
    for (replay::Tile t : tiles) out += TileHtml(t, style, size);
    return out;
}

std::string ChoiceHtml(const Choice& choice, const TileStyle& style) {
    std::string out = "<span class=\"choice\">" + ChoiceText(choice) + "</span>";
    if (choice.kind == ChoiceKind::Discard) out += TileHtml(choice.tile, style);
    return out;
}

}  // namespace

std::string ReviewLineAt(const Review& review, std::size_t step) {
    const auto row = std::find_if(review.rows.begin(), review.rows.end(),
                                  [step](const ReviewRow& r) { return r.event == step; });
    if (row == review.rows.end()) return {};
    std::string line = "复盘：这里" + review.name + ChoiceText(row->played);
    if (row->Agrees())
        return line + "，与高级电脑相同（期望 " + Number(row->playedPoints) + " 底分）";
    line += "；高级电脑会" + ChoiceText(row->suggested) + "（期望 " + Number(row->playedPoints) +
            " / " + Number(row->suggestedPoints) + " 底分，代价 " + Number(row->Cost()) + "）";
    return review.Costly(*row) ? line + "　代价大" : line;
}

std::string ReviewJson(const Review& review) {
    std::ostringstream out;
    out << "{\"hand\":" << review.handId << ",\"seat\":" << int(review.seat) << ",\"name\":\""
        << Escaped(review.name, false) << "\",\"base\":" << review.base
        << ",\"budget_ms\":" << review.budgetMs << ",\"threshold\":" << Number(review.threshold)
        << ",\"summary\":{\"decisions\":" << review.rows.size()
        << ",\"agreements\":" << review.Agreements()
        << ",\"total_cost\":" << Number(review.TotalCost()) << ",\"costly\":"
        << std::count_if(review.rows.begin(), review.rows.end(),
                         [&](const ReviewRow& r) { return review.Costly(r); })
        << "},\"rows\":[";
    for (std::size_t i = 0; i < review.rows.size(); ++i) {
        const ReviewRow& row = review.rows[i];
        out << (i ? "," : "") << "{\"event\":" << row.event << ",\"hand\":" << TilesJson(row.hand)
            << ",\"discards\":[";
        for (int c = 0; c < 4; ++c) out << (c ? "," : "") << TilesJson(row.discards[c]);
        out << "],\"played\":" << ChoiceJson(row.played)
            << ",\"suggested\":" << ChoiceJson(row.suggested)
            << ",\"played_points\":" << Number(row.playedPoints)
            << ",\"suggested_points\":" << Number(row.suggestedPoints)
            << ",\"cost\":" << Number(row.Cost())
            << ",\"costly\":" << (review.Costly(row) ? "true" : "false")
            << ",\"deals\":" << row.deals << "}";
    }
    out << "]}";
    return out.str();
}

std::string ReviewHtml(const Review& review, const std::map<int, std::string>& tilePictures) {
    const TileStyle tiles{tilePictures, review.wild};
    std::ostringstream out;
    const std::size_t costly = static_cast<std::size_t>(
        std::count_if(review.rows.begin(), review.rows.end(),
                      [&](const ReviewRow& r) { return review.Costly(r); }));
    out << "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
        << "<title>复盘：第 " << review.handId << " 局 " << Escaped(review.name, true)
        << "</title>\n<style>\n"
        << "body{font-family:'WenQuanYi Micro Hei','Noto Sans CJK SC',sans-serif;margin:24px;"
           "color:#222;background:#f6f3ea}\n"
        << "h1{font-size:22px;margin:0 0 8px}\n.summary{font-size:15px;margin:0 0 16px}\n"
        << "table{border-collapse:collapse;background:#fff}\n"
        << "th,td{border:1px solid #c9c2ad;padding:6px 8px;vertical-align:middle;font-size:14px}\n"
        << "th{background:#e4dcc4}\n tr.costly td{background:#fbe0dc}\n"
        << "tr.agree td.suggested{color:#777}\n"
        << ".tile{display:inline-block;width:24px;height:33px;background-size:cover;"
           "margin-right:1px}\n"
        << ".tile.s{width:15px;height:21px}\n"
        << ".text-tile{display:inline-block;border:1px solid #999;padding:1px 2px;margin:1px;"
           "font-size:12px;background:#fff}\n"
        << ".choice{margin-right:4px;font-weight:bold}\n.pile{white-space:nowrap}\n"
        << ".cost{text-align:right;font-variant-numeric:tabular-nums}\n"
        << ".w{outline:2px solid #d9412b;outline-offset:-2px}\n";
    for (const auto& [code, bytes] : tilePictures) {
        const std::string url = "url(data:image/png;base64," + Base64(bytes) + ")";
        out << ".t" << code << "{background-image:" << url << "}\n";
    }
    out << "</style></head><body>\n";
    out << "<h1>复盘：第 " << review.handId << " 局，" << Escaped(review.name, true) << "（"
        << int(review.seat) << " 号座）</h1>\n";
    out << "<p class=\"summary\">混：" << TileHtml(review.wild, tiles) << "（红框标出）</p>\n";
    out << "<p class=\"summary\">共 " << review.rows.size() << " 次决定，与电脑高级（4 级）相同 "
        << review.Agreements() << " 次，不同 " << review.rows.size() - review.Agreements()
        << " 次，其中 " << costly << " 次代价超过 " << Number(review.threshold)
        << " 底分（标红）。不同之处合计期望损失 " << Number(review.TotalCost()) << " 底分（约 "
        << Number(review.TotalCost() * static_cast<double>(review.base))
        << " 分）。期望得分是把看不见的牌随机发出许多副、两种打法各打到底的平均。</p>\n";
    out << "<table><tr><th>步</th><th>手牌</th><th>各家出过的牌</th><th>你的选择</th>"
           "<th>建议</th><th>期望得分（你 / 建议）</th><th>代价</th></tr>\n";
    for (const ReviewRow& row : review.rows) {
        out << "<tr class=\""
            << (review.Costly(row) ? "costly"
                : row.Agrees()     ? "agree"
                                   : "")
            << "\"><td>" << row.event + 1 << "</td><td class=\"pile\">"
            << TilesHtml(row.hand, tiles) << "</td><td>";
        for (int c = 0; c < 4; ++c)
            out << "<div class=\"pile\">" << c << "：" << TilesHtml(row.discards[c], tiles, "s")
                << "</div>";
        out << "</td><td>" << ChoiceHtml(row.played, tiles) << "</td><td class=\"suggested\">"
            << (row.Agrees() ? "相同" : ChoiceHtml(row.suggested, tiles)) << "</td><td>"
            << Number(row.playedPoints) << " / " << Number(row.suggestedPoints)
            << "</td><td class=\"cost\">" << Number(row.Cost()) << "</td></tr>\n";
    }
    out << "</table>\n</body></html>\n";
    return out.str();
}

}  // namespace qira::replay
