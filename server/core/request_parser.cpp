#include "server/core/request_parser.h"

#include "net/packet.h"

namespace qira::server {
namespace {

using net::Request;

// Where a game request names its chair, and the fewest bytes it may have.
struct ByteLayout {
    std::size_t chairAt = 2;
    std::size_t minimum = 3;
};

std::optional<ByteLayout> ByteLayoutOf(Request request) {
    using enum Request;
    switch (request) {
        case ReadyForNextHand:
        case Win:
        case ThreeIndicatorKong:
            return ByteLayout{1, 2};
        case Discard:
            return ByteLayout{2, 8};
        case Chow:
        case Pung:
        case Kong:
        case SideBets:
            return ByteLayout{2, 4};
        case Pass:
        case RobKongAnswer:
        case Resynchronise:
            return ByteLayout{2, 3};
        default:
            return std::nullopt;
    }
}

RequestOrRefusal ParseByteRequest(Request kind, std::span<const std::uint8_t> m) {
    const auto layout = ByteLayoutOf(kind);
    if (!layout) return Refusal::UnknownRequest;
    if (m.size() < layout->minimum) return Refusal::TooShort;
    ParsedRequest request;
    request.kind = kind;
    request.sub = m[1];
    request.chair = m[layout->chairAt];
    if (layout->minimum >= 4) request.tile = m[3];
    if (kind == Request::Discard) request.detail = m[4];
    if (kind == Request::SideBets) {
        if (m[1] != net::IdOf(Request::SideBets).sub || m[3] > 3) return Refusal::MalformedSideBets;
        request.detail = m[3];
    }
    if (kind == Request::Kong && m[1] != net::phase::kConcealedKong &&
        m[1] != net::phase::kExposedKong)
        return Refusal::MalformedKong;
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

RequestOrRefusal ParseRoomRequest(std::span<const std::uint8_t> m, std::string_view sender) {
    if (m.size() < 2) return Refusal::TooShort;
    const auto kind = net::ClassifyRequest(m);
    if (!kind) return Refusal::UnknownRequest;
    ParsedRequest request;
    request.kind = *kind;
    request.sub = m[1];
    if (*kind == Request::HandStarted || *kind == Request::Entry) return request;
    request.fields = net::SplitFields(net::DecodeBody(m, 2));
    if (*kind == Request::ConfirmSettings && request.fields.size() != 7)
        return Refusal::MalformedSettings;
    if (request.fields.empty() || request.fields[0] != sender) return Refusal::NotSendersName;
    return request;
}

}  // namespace

RequestOrRefusal ParseRequest(std::span<const std::uint8_t> message, std::string_view senderName) {
    if (message.empty()) return Refusal::TooShort;
    if (net::RouteOf(message[0]) == net::MessageRoute::Room)
        return ParseRoomRequest(message, senderName);
    const auto kind = net::ClassifyRequest(message);
    if (!kind) return Refusal::UnknownRequest;
    if (*kind == Request::Chat) return ParseChat(message);
    if (*kind == Request::AllowWatchCards) return ParsePreference(message, senderName);
    return ParseByteRequest(*kind, message);
}

}  // namespace qira::server
