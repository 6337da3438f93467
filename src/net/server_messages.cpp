#include "net/server_messages.h"

#include "net/text_codec.h"

namespace qira::net::server_messages {
namespace {

// Room for a short message's body up front: besides saving a reallocation,
// this keeps GCC 12's optimiser from a false -Wstringop-overread on the insert.
Bytes Header(ServerMessage message) {
    const auto id = IdOf(message);
    Bytes out;
    out.reserve(32);
    out.push_back(id.main);
    out.push_back(id.sub);
    return out;
}

// The message's main type, then `bytes`.
Bytes Fixed(ServerMessage message, std::initializer_list<std::uint8_t> bytes) {
    Bytes out;
    out.reserve(1 + bytes.size());
    out.push_back(MainOf(message));
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

void AppendText(Bytes& out, std::string_view text) {
    if (const auto gbk = Utf8ToGbk(text)) out.insert(out.end(), gbk->begin(), gbk->end());
}

Bytes Text(ServerMessage message, std::string_view body) {
    Bytes out = Header(message);
    AppendText(out, body);
    return out;
}

Bytes Join(ServerMessage message, std::span<const std::string> fields) {
    return Text(message, JoinFields(fields));
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
    return Text(ServerMessage::OnlookerArrived, record);
}
Bytes TableReset() {
    return Header(ServerMessage::TableReset);
}
Bytes UserList(std::span<const std::string> records) {
    std::string text;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) text.push_back('\n');
        text += records[i];
    }
    return Text(ServerMessage::UserList, text);
}
Bytes Identity(std::string_view name, std::string_view viewName) {
    return Text(ServerMessage::Identity, JoinFields({name, viewName}));
}
Bytes UserArrived(std::string_view record) {
    return Text(ServerMessage::UserArrived, record);
}
Bytes PlayerBack(std::string_view name) {
    return Text(ServerMessage::PlayerBack, name);
}
Bytes PlayerDropped(std::string_view name) {
    return Text(ServerMessage::PlayerDropped, name);
}
Bytes OnlookerLeft(std::string_view name) {
    return Text(ServerMessage::OnlookerLeft, name);
}
Bytes RefreshUser(std::string_view record) {
    return Text(ServerMessage::RefreshUser, record);
}
Bytes UserLeft(std::string_view name) {
    return Text(ServerMessage::UserLeft, name);
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
    return Join(ServerMessage::Settings, fields);
}

Bytes HandRaised(std::string_view name, std::span<const std::string> settings,
                 bool everybodyReady) {
    std::vector<std::string> fields{std::string(name)};
    fields.insert(fields.end(), settings.begin(), settings.end());
    Bytes out = Join(ServerMessage::HandRaised, fields);
    if (everybodyReady) out[1] = kHandRaisedAllReady;
    return out;
}

Bytes ChatLine(std::string_view text) {
    Bytes out = Header(ServerMessage::ChatLine);
    out.push_back(0);
    AppendText(out, text);
    return out;
}

Bytes Snapshot(std::span<const std::uint8_t> record) {
    Bytes out = Header(ServerMessage::Snapshot);
    out.insert(out.end(), record.begin(), record.end());
    return out;
}

Bytes NewHand(const HandStart& start) {
    Bytes out(29, 0);
    out[0] = MainOf(ServerMessage::NewHand);
    out[3] = start.autoPlayLimit;
    out[11] = start.dealer;
    out[12] = start.dice;
    out[13] = start.headWallChair;
    out[14] = start.tailWallChair;
    out[15] = start.dealer;  // the dealer's chair is the turn chair while bets are chosen
    out[16] = phase::kSideBets;
    out[17] = 0;
    for (std::size_t i = 0; i < start.wallBytes.size(); ++i) out[18 + i] = start.wallBytes[i];
    out[26] = start.indicator;
    out[27] = start.wild;
    return out;
}

Bytes BetChosen(std::uint8_t chair, std::uint8_t bets) {
    Bytes out = Header(ServerMessage::BetChosen);
    out.insert(out.end(), {chair, bets});
    return out;
}

Bytes Deal(std::uint8_t chair, Tile curTile, std::span<const Tile> hand) {
    Bytes out = Header(ServerMessage::Deal);
    out.insert(out.end(), {chair, curTile});
    out.insert(out.end(), hand.begin(), hand.end());
    return out;
}

Bytes ReadyForNext(std::uint8_t chair) {
    return Fixed(ServerMessage::ReadyForNext, {chair});
}
Bytes Draw(std::uint8_t chair, Tile tile) {
    return Fixed(ServerMessage::Draw, {0, chair, tile});
}
Bytes Discarded(std::uint8_t chair, Tile tile, std::uint8_t ting, std::uint8_t nextChair,
                Tile nextTile) {
    return Fixed(ServerMessage::Discarded, {0, chair, tile, ting, 0, nextChair, nextTile});
}
Bytes Chowed(std::uint8_t chair, Tile lowest) {
    Bytes out = Header(ServerMessage::Chowed);
    out.insert(out.end(), {chair, lowest});
    return out;
}
Bytes Punged(std::uint8_t chair, Tile tile) {
    Bytes out = Header(ServerMessage::Punged);
    out.insert(out.end(), {chair, tile});
    return out;
}
Bytes Konged(std::uint8_t kind, std::uint8_t chair, Tile tile, Tile replacement) {
    return Fixed(ServerMessage::Konged, {kind, chair, tile, replacement});
}
Bytes ThreeIndicators(std::uint8_t chair) {
    return Fixed(ServerMessage::ThreeIndicators, {chair});
}
Bytes MayRobKong(std::uint8_t chair) {
    return Fixed(ServerMessage::MayRobKong, {0, chair});
}
Bytes HandResync(std::span<const Tile> hand) {
    Bytes out = Fixed(ServerMessage::HandResync, {0, static_cast<std::uint8_t>(hand.size())});
    out.insert(out.end(), hand.begin(), hand.end());
    return out;
}
Bytes DrawnGame() {
    return Fixed(ServerMessage::DrawnGame, {0});
}

Bytes Notice(std::string_view text) {
    Bytes out{MainOf(ServerMessage::Notice)};
    AppendText(out, text);
    return out;
}

Bytes MustStop(std::uint8_t chair, std::string_view reason) {
    Bytes out = Fixed(ServerMessage::MustStop, {0, chair});
    AppendText(out, reason);
    return out;
}

Bytes WatchPermission(bool allowed) {
    return Fixed(ServerMessage::WatchPermission, {0, static_cast<std::uint8_t>(allowed ? 1 : 0)});
}

Bytes ChatRelay(std::string_view joinedFields) {
    Bytes out{MainOf(ServerMessage::ChatRelay)};
    AppendText(out, joinedFields);
    return out;
}

Bytes ItemCatalogue(std::string_view text) {
    return Text(ServerMessage::ItemCatalogue, text);
}
Bytes OwnItems(std::string_view text) {
    return Text(ServerMessage::OwnItems, text);
}
Bytes ItemUsed(std::uint8_t userA, std::uint8_t userB, std::int32_t item) {
    Bytes out = Header(ServerMessage::ItemUsed);
    out.insert(out.end(), {userA, userB});
    AppendInt32BE(out, item);
    return out;
}

}  // namespace qira::net::server_messages
