#include "server/messages.h"

#include "net/text_codec.h"

namespace qira::server::messages {
namespace {

Bytes Text(std::uint8_t mainType, std::uint8_t subType, std::string_view body) {
    Bytes out{mainType, subType};
    if (const auto gbk = net::Utf8ToGbk(body)) out.insert(out.end(), gbk->begin(), gbk->end());
    return out;
}

Bytes Join(std::uint8_t mainType, std::uint8_t subType, std::span<const std::string> fields) {
    return Text(mainType, subType, net::JoinFields(fields));
}

}  // namespace

void AppendInt32BE(Bytes& out, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    out.push_back(static_cast<std::uint8_t>(u >> 24));
    out.push_back(static_cast<std::uint8_t>(u >> 16));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
    out.push_back(static_cast<std::uint8_t>(u));
}

Bytes OnlookerArrived(std::string_view record) {
    return Text(130, 0, record);
}
Bytes TableReset() {
    return {130, 1};
}
Bytes UserList(std::span<const std::string> records) {
    std::string text;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) text.push_back('\n');
        text += records[i];
    }
    return Text(130, 2, text);
}
Bytes Identity(std::string_view name, std::string_view viewName) {
    return Text(130, 3, net::JoinFields({name, viewName}));
}
Bytes UserArrived(std::string_view record) {
    return Text(130, 4, record);
}
Bytes PlayerBack(std::string_view name) {
    return Text(108, 0, name);
}
Bytes PlayerDropped(std::string_view name) {
    return Text(108, 3, name);
}
Bytes OnlookerLeft(std::string_view name) {
    return Text(108, 4, name);
}
Bytes RefreshUser(std::string_view record) {
    return Text(108, 6, record);
}
Bytes UserLeft(std::string_view name) {
    return Text(110, 0, name);
}

Bytes Settings(const SettingsOffer& offer) {
    std::vector<std::string> fields{std::to_string(offer.table),
                                    std::to_string(offer.chair),
                                    offer.ownerName,
                                    offer.youAreOwner ? "1" : "0",
                                    std::to_string(offer.seated),
                                    offer.settingsToMake ? "1" : "0",
                                    offer.readyForApproval ? "1" : "0"};
    fields.insert(fields.end(), offer.settings.begin(), offer.settings.end());
    return Join(111, 0, fields);
}

Bytes HandRaised(std::string_view name, std::span<const std::string> settings,
                 bool everybodyReady) {
    std::vector<std::string> fields{std::string(name)};
    fields.insert(fields.end(), settings.begin(), settings.end());
    return Join(112, everybodyReady ? 2 : 1, fields);
}

Bytes ChatLine(std::string_view text) {
    Bytes out{105, 0, 0};
    if (const auto gbk = net::Utf8ToGbk(text)) out.insert(out.end(), gbk->begin(), gbk->end());
    return out;
}

Bytes Snapshot(std::span<const std::uint8_t> record) {
    Bytes out{109, 0};
    out.insert(out.end(), record.begin(), record.end());
    return out;
}

Bytes NewHand(const HandStart& start) {
    Bytes out(29, 0);
    out[0] = 17;
    out[3] = start.autoPlayLimit;
    out[11] = start.dealer;
    out[12] = start.dice;
    out[13] = start.headWallChair;
    out[14] = start.tailWallChair;
    out[15] = start.dealer;  // the dealer's chair is the turn chair while bets are chosen
    out[16] = 10;            // side bets
    out[17] = 0;
    for (std::size_t i = 0; i < start.wallBytes.size(); ++i) out[18 + i] = start.wallBytes[i];
    out[26] = start.indicator;
    out[27] = start.wild;
    return out;
}

Bytes BetChosen(std::uint8_t chair, std::uint8_t bets) {
    return {28, 0, chair, bets};
}

Bytes Deal(std::uint8_t chair, Tile curTile, std::span<const Tile> hand) {
    Bytes out{28, 1, chair, curTile};
    out.insert(out.end(), hand.begin(), hand.end());
    return out;
}

Bytes ReadyForNext(std::uint8_t chair) {
    return {18, chair};
}
Bytes Draw(std::uint8_t chair, Tile tile) {
    return {25, 0, chair, tile};
}
Bytes Discarded(std::uint8_t chair, Tile tile, std::uint8_t ting, std::uint8_t nextChair,
                Tile nextTile) {
    return {19, 0, chair, tile, ting, 0, nextChair, nextTile};
}
Bytes Chowed(std::uint8_t chair, Tile lowest) {
    return {20, 1, chair, lowest};
}
Bytes Punged(std::uint8_t chair, Tile tile) {
    return {21, 2, chair, tile};
}
Bytes Konged(MeldKind kind, std::uint8_t chair, Tile tile, Tile replacement) {
    return {22, static_cast<std::uint8_t>(kind), chair, tile, replacement};
}
Bytes ThreeIndicators(std::uint8_t chair) {
    return {30, chair};
}
Bytes MayRobKong(std::uint8_t chair) {
    return {29, 0, chair};
}
Bytes HandResync(std::span<const Tile> hand) {
    Bytes out{2, 0, static_cast<std::uint8_t>(hand.size())};
    out.insert(out.end(), hand.begin(), hand.end());
    return out;
}
Bytes DrawnGame() {
    return {27, 0};
}

Bytes Notice(std::string_view text) {
    Bytes out{26};
    if (const auto gbk = net::Utf8ToGbk(text)) out.insert(out.end(), gbk->begin(), gbk->end());
    return out;
}

Bytes MustStop(std::uint8_t chair, std::string_view reason) {
    Bytes out{5, 0, chair};
    if (const auto gbk = net::Utf8ToGbk(reason)) out.insert(out.end(), gbk->begin(), gbk->end());
    return out;
}

Bytes WatchPermission(bool allowed) {
    return {113, 0, static_cast<std::uint8_t>(allowed ? 1 : 0)};
}

Bytes ChatRelay(std::string_view joinedFields) {
    Bytes out{1};
    if (const auto gbk = net::Utf8ToGbk(joinedFields))
        out.insert(out.end(), gbk->begin(), gbk->end());
    return out;
}

Bytes ItemCatalogue(std::string_view text) {
    return Text(133, 0, text);
}
Bytes OwnItems(std::string_view text) {
    return Text(133, 1, text);
}
Bytes ItemUsed(std::uint8_t userA, std::uint8_t userB, std::int32_t item) {
    Bytes out{133, 3, userA, userB};
    AppendInt32BE(out, item);
    return out;
}

}  // namespace qira::server::messages
