#include "server/core/request_parser.h"

#include "net/byte_reader.h"
#include "net/claims.h"
#include "net/game_messages.h"
#include "net/packet.h"

namespace qira::server {
namespace {

using net::Request;

ParsedRequest GameRequest(Request kind, std::uint8_t sub, std::uint8_t chair) {
    ParsedRequest request;
    request.kind = kind;
    request.sub = sub;
    request.chair = chair;
    return request;
}

// A request that is its main type and the chair at byte 1.
RequestOrRefusal ParseChairRequest(Request kind, std::span<const std::uint8_t> m) {
    const auto decoded = net::DecodeReadyForNext(m);
    if (!decoded) return Refusal::TooShort;
    return GameRequest(kind, decoded->chair, decoded->chair);
}

RequestOrRefusal ParseSubChairRequest(Request kind, std::span<const std::uint8_t> m) {
    const auto decoded = net::DecodeSubChair(m);
    if (!decoded) return Refusal::TooShort;
    return GameRequest(kind, decoded->sub, decoded->chair);
}

RequestOrRefusal ParseDiscard(std::span<const std::uint8_t> m) {
    const auto discard = net::DecodeDiscard(m);
    if (!discard) return Refusal::TooShort;
    ParsedRequest request = GameRequest(Request::Discard, 0, discard->chair);
    request.tile = discard->tile;
    request.detail = discard->ting;
    return request;
}

RequestOrRefusal ParseSideBets(std::span<const std::uint8_t> m) {
    const auto bets = net::DecodeChairTile(m);
    if (!bets) return Refusal::TooShort;
    if (bets->sub != net::IdOf(Request::SideBets).sub || bets->tile > 3)
        return Refusal::MalformedSideBets;
    ParsedRequest request = GameRequest(Request::SideBets, bets->sub, bets->chair);
    request.tile = request.detail = bets->tile;
    return request;
}

RequestOrRefusal ParseClaim(net::ClaimKind claim, std::span<const std::uint8_t> m) {
    const auto decoded = net::DecodeClaimRequest(claim, m);
    if (!decoded) return Refusal::TooShort;
    if (claim == net::ClaimKind::Kong && decoded->sub != net::phase::kConcealedKong &&
        decoded->sub != net::phase::kExposedKong)
        return Refusal::MalformedKong;
    ParsedRequest request = GameRequest(net::RowOf(claim).request, decoded->sub, decoded->chair);
    request.tile = decoded->tile;
    return request;
}

RequestOrRefusal ParsePreference(std::span<const std::uint8_t> m, std::string_view sender) {
    auto fields = net::SplitFields(net::DecodeBody(m, 2));
    if (net::ByteAt(m, 1) != net::IdOf(Request::AllowWatchCards).sub || fields.size() != 2 ||
        fields[0] != sender || (fields[1] != "0" && fields[1] != "1"))
        return Refusal::MalformedPreference;
    ParsedRequest request;
    request.kind = Request::AllowWatchCards;
    request.sub = net::IdOf(Request::AllowWatchCards).sub;
    request.fields = std::move(fields);
    return request;
}

RequestOrRefusal ParseChat(std::span<const std::uint8_t> m) {
    auto fields = net::SplitFields(net::DecodeBody(m, 1));
    if (fields.size() != net::kChatFieldCount) return Refusal::ChatFieldCount;
    ParsedRequest request;
    request.kind = Request::Chat;
    request.fields = std::move(fields);
    return request;
}

RequestOrRefusal ParseRoomRequest(Request kind, std::span<const std::uint8_t> m,
                                  std::string_view sender) {
    const auto sub = net::ByteAt(m, 1);
    if (!sub) return Refusal::TooShort;
    ParsedRequest request;
    request.kind = kind;
    request.sub = *sub;
    if (kind == Request::HandStarted || kind == Request::Entry) return request;
    request.fields = net::SplitFields(net::DecodeBody(m, 2));
    if (kind == Request::ConfirmSettings && request.fields.size() != 7)
        return Refusal::MalformedSettings;
    if (request.fields.empty() || request.fields[0] != sender) return Refusal::NotSendersName;
    return request;
}

// One reader per request of the protocol's table.
struct Reader {
    using Message = std::span<const std::uint8_t>;
    std::string_view sender;
    RequestOrRefusal result = Refusal::UnknownRequest;

    void ReceiveEntry(Message m) { result = ParseRoomRequest(Request::Entry, m, sender); }
    void ReceiveHandStarted(Message m) {
        result = ParseRoomRequest(Request::HandStarted, m, sender);
    }
    void ReceiveConfirmSettings(Message m) {
        result = ParseRoomRequest(Request::ConfirmSettings, m, sender);
    }
    void ReceiveRaiseHand(Message m) { result = ParseRoomRequest(Request::RaiseHand, m, sender); }
    void ReceiveLeave(Message m) { result = ParseRoomRequest(Request::Leave, m, sender); }
    void ReceiveReadyForNextHand(Message m) {
        result = ParseChairRequest(Request::ReadyForNextHand, m);
    }
    void ReceiveDiscard(Message m) { result = ParseDiscard(m); }
    void ReceiveChow(Message m) { result = ParseClaim(net::ClaimKind::Chow, m); }
    void ReceivePung(Message m) { result = ParseClaim(net::ClaimKind::Pung, m); }
    void ReceiveKong(Message m) { result = ParseClaim(net::ClaimKind::Kong, m); }
    void ReceiveWin(Message m) { result = ParseClaim(net::ClaimKind::Win, m); }
    void ReceivePass(Message m) { result = ParseClaim(net::ClaimKind::Pass, m); }
    void ReceiveSideBets(Message m) { result = ParseSideBets(m); }
    void ReceiveRobKongAnswer(Message m) {
        result = ParseSubChairRequest(Request::RobKongAnswer, m);
    }
    void ReceiveThreeIndicatorKong(Message m) {
        result = ParseChairRequest(Request::ThreeIndicatorKong, m);
    }
    void ReceiveResynchronise(Message m) {
        result = ParseSubChairRequest(Request::Resynchronise, m);
    }
    void ReceiveAllowWatchCards(Message m) { result = ParsePreference(m, sender); }
    void ReceiveChat(Message m) { result = ParseChat(m); }
};

}  // namespace

RequestOrRefusal ParseRequest(std::span<const std::uint8_t> message, std::string_view senderName) {
    if (message.empty()) return Refusal::TooShort;
    // A room request carries at least its main and sub type.
    if (net::RouteOf(message[0]) == net::MessageRoute::Room && message.size() < 2)
        return Refusal::TooShort;
    Reader reader{senderName};
    net::DispatchRequest(reader, message);
    return reader.result;
}

}  // namespace qira::server
