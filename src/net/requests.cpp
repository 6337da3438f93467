#include "net/requests.h"

#include <vector>

#include "net/claims.h"
#include "net/protocol.h"

namespace qira::net::requests {
namespace {

// The request's main type, then `bytes`.
// Built with room reserved up front: GCC 12's optimiser reports a false
// -Wstringop-overread on an insert into a vector made from a braced list.
Bytes Fixed(Request request, std::initializer_list<std::uint8_t> bytes) {
    Bytes out;
    out.reserve(1 + bytes.size());
    out.push_back(MainOf(request));
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

// The request's main and sub type, then `bytes`.
Bytes WithSub(Request request, std::initializer_list<std::uint8_t> bytes) {
    Bytes out;
    out.reserve(2 + bytes.size());
    out.push_back(MainOf(request));
    out.push_back(IdOf(request).sub);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

// A claim with the sub type its request row names.
Bytes Claim(ClaimKind claim, std::uint8_t chair, std::uint8_t tile = 0) {
    return EncodeClaimRequest(claim, {IdOf(RowOf(claim).request).sub, chair, tile});
}

std::optional<Bytes> Text(Request request, std::string_view body) {
    return BuildTextPacket(IdOf(request).main, IdOf(request).sub, body);
}

}  // namespace

std::optional<Bytes> Entry(bool allowWatchCards) {
    return Text(Request::Entry, JoinFields({"500", "QIRA", allowWatchCards ? "1" : "0"}));
}

Bytes HandStarted() {
    return WithSub(Request::HandStarted, {});
}

std::optional<Bytes> RaiseHand(std::string_view userName) {
    return Text(Request::RaiseHand, userName);
}

std::optional<Bytes> ConfirmSettings(std::string_view userName,
                                     std::span<const std::string> settingsFields) {
    std::vector<std::string> fields{std::string(userName)};
    fields.insert(fields.end(), settingsFields.begin(), settingsFields.end());
    return Text(Request::ConfirmSettings, JoinFields(fields));
}

std::optional<Bytes> Leave(std::string_view userName) {
    return Text(Request::Leave, userName);
}

Bytes ReadyForNextHand(std::uint8_t myChair) {
    return Fixed(Request::ReadyForNextHand, {myChair});
}

Bytes Discard(std::uint8_t myChair, std::uint8_t tile, std::uint8_t tingDeclaration,
              std::uint8_t firstWinningTile) {
    return WithSub(Request::Discard, {myChair, tile, tingDeclaration, firstWinningTile, 0, 0});
}

Bytes Chow(std::uint8_t myChair, std::uint8_t lowestTile) {
    return Claim(ClaimKind::Chow, myChair, lowestTile);
}

Bytes Pung(std::uint8_t myChair, std::uint8_t tile) {
    return Claim(ClaimKind::Pung, myChair, tile);
}

Bytes Kong(std::uint8_t myChair, std::uint8_t kind, std::uint8_t tile) {
    return EncodeClaimRequest(ClaimKind::Kong, {kind, myChair, tile});
}

Bytes Win(std::uint8_t myChair) {
    return Claim(ClaimKind::Win, myChair);
}

Bytes Pass(std::uint8_t myChair) {
    return Claim(ClaimKind::Pass, myChair);
}

Bytes RobKongAnswer(std::uint8_t myChair, bool rob) {
    return Fixed(Request::RobKongAnswer, {static_cast<std::uint8_t>(rob ? 1 : 0), myChair});
}

Bytes ThreeIndicatorKong(std::uint8_t myChair) {
    return Fixed(Request::ThreeIndicatorKong, {myChair});
}

Bytes SideBets(std::uint8_t myChair, std::uint8_t bets) {
    Bytes message(17, 255);
    message[0] = MainOf(Request::SideBets);
    message[1] = IdOf(Request::SideBets).sub;
    message[2] = myChair;
    message[3] = bets;
    return message;
}

Bytes Resynchronise(std::uint8_t myChair) {
    return WithSub(Request::Resynchronise, {myChair});
}

std::optional<Bytes> AllowWatchCards(std::string_view userName, bool allow) {
    return Text(Request::AllowWatchCards, JoinFields({userName, allow ? "1" : "0"}));
}

std::optional<Bytes> Chat(std::span<const std::string> fields) {
    const std::uint8_t header[] = {MainOf(Request::Chat)};
    Bytes out;
    if (!BuildPacket(JoinFields(fields), out, 1, header)) return std::nullopt;
    return out;
}

}  // namespace qira::net::requests
