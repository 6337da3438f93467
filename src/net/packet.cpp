#include "net/packet.h"

#include "net/text_codec.h"

namespace qira::net {

bool BuildPacket(std::string_view body, Bytes& out, std::size_t headerLength,
                 std::span<const std::uint8_t> header) {
    if (body.empty() || header.size() < headerLength) return false;
    const auto encoded = Utf8ToGbk(body);
    if (!encoded || encoded->empty()) return false;
    Bytes message(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(headerLength));
    message.insert(message.end(), encoded->begin(), encoded->end());
    out = std::move(message);
    return true;
}

std::optional<Bytes> BuildTextPacket(std::uint8_t mainType, std::uint8_t subType,
                                     std::string_view body) {
    const std::uint8_t header[] = {mainType, subType};
    Bytes out;
    if (!BuildPacket(body, out, 2, header)) return std::nullopt;
    return out;
}

std::string DecodeBody(std::span<const std::uint8_t> message, std::size_t start) {
    if (start >= message.size()) return {};
    const auto tail = message.subspan(start);
    const std::string_view raw(reinterpret_cast<const char*>(tail.data()), tail.size());
    return GbkToUtf8(raw).value_or(std::string{});
}

bool ReadInt32BE(std::int32_t& out, std::span<const std::uint8_t> bytes, std::size_t index) {
    if (index >= bytes.size() || bytes.size() - index < 4) return false;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | bytes[index + i];
    out = static_cast<std::int32_t>(value);
    return true;
}

std::vector<std::string> SplitFields(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    while (true) {
        const std::size_t end = text.find(kFieldSeparator, begin);
        if (end == std::string_view::npos) {
            fields.emplace_back(text.substr(begin));
            return fields;
        }
        fields.emplace_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

std::string JoinFields(std::span<const std::string> fields) {
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) joined.push_back(kFieldSeparator);
        joined += fields[i];
    }
    return joined;
}

std::string JoinFields(std::initializer_list<std::string_view> fields) {
    std::string joined;
    bool first = true;
    for (const auto field : fields) {
        if (!first) joined.push_back(kFieldSeparator);
        joined += field;
        first = false;
    }
    return joined;
}

MessageRoute RouteOf(std::uint8_t mainType) {
    if (mainType >= 95 && mainType != 113 && mainType != 133) return MessageRoute::Room;
    return MessageRoute::Game;
}

}  // namespace qira::net
