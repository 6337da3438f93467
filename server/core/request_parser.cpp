#include "server/core/request_parser.h"

#include "net/claims.h"
#include "net/packet.h"

namespace qira::server {
namespace {

using net::Request;

// Where a game request names its chair, and the fewest bytes it may have.
struct ByteLayout {
    std::size_t chairAt = 2;
    std::size_t minimum = 3;
};

RequestOrRefusal ParseByteRequest(Request kind, ByteLayout layout,
                                  std::span<const std::uint8_t> m) {
    if (m.size() < layout.minimum) return Refusal::TooShort;
    ParsedRequest request;
    request.kind = kind;
    request.sub = m[1];
    request.chair = m[layout.chairAt];
    if (layout.minimum >= 4) request.tile = m[3];
    if (kind == Request::Discard) request.detail = m[4];
    if (kind == Request::SideBets) {
        if (m[1] != net::IdOf(Request::SideBets).sub || m[3] > 3) return Refusal::MalformedSideBets;
        request.detail = m[3];
    }
    return request;
}

RequestOrRefusal ParseClaim(net::ClaimKind claim, std::span<const std::uint8_t> m) {
    const auto decoded = net::DecodeClaimRequest(claim, m);
    if (!decoded) return Refusal::TooShort;
    if (claim == net::ClaimKind::Kong && decoded->sub != net::phase::kConcealedKong &&
        decoded->sub != net::phase::kExposedKong)
        return Refusal::MalformedKong;
    ParsedRequest request;
    request.kind = net::RowOf(claim).request;
    request.sub = decoded->sub;
    request.chair = decoded->chair;
    request.tile = decoded->tile;
    return request;
}

RequestOrRefusal ParsePreference(std::span<const std::uint8_t> m, std::string_view sender) {
    auto fields = net::SplitFields(net::DecodeBody(m, 2));
    if (m.size() < 2 || m[1] != net::IdOf(Request::AllowWatchCards).sub || fields.size() != 2 ||
        fields[0] != sender || (fields[1] != "0" && fields[1] != "1"))
        return Refusal::MalformedPreference;
    ParsedRequest request;
    request.kind = Request::AllowWatchCards;
    request.sub = m[1];
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
    if (m.size() < 2) return Refusal::TooShort;
    ParsedRequest request;
    request.kind = kind;
    request.sub = m[1];
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
        result = ParseByteRequest(Request::ReadyForNextHand, {1, 2}, m);
    }
    void ReceiveDiscard(Message m) { result = ParseByteRequest(Request::Discard, {2, 8}, m); }
    void ReceiveChow(Message m) { result = ParseClaim(net::ClaimKind::Chow, m); }
    void ReceivePung(Message m) { result = ParseClaim(net::ClaimKind::Pung, m); }
    void ReceiveKong(Message m) { result = ParseClaim(net::ClaimKind::Kong, m); }
    void ReceiveWin(Message m) { result = ParseClaim(net::ClaimKind::Win, m); }
    void ReceivePass(Message m) { result = ParseClaim(net::ClaimKind::Pass, m); }
    void ReceiveSideBets(Message m) { result = ParseByteRequest(Request::SideBets, {2, 4}, m); }
    void ReceiveRobKongAnswer(Message m) {
        result = ParseByteRequest(Request::RobKongAnswer, {2, 3}, m);
    }
    void ReceiveThreeIndicatorKong(Message m) {
        result = ParseByteRequest(Request::ThreeIndicatorKong, {1, 2}, m);
    }
    void ReceiveResynchronise(Message m) {
        result = ParseByteRequest(Request::Resynchronise, {2, 3}, m);
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
