#include "net/frame_codec.h"

#include <algorithm>
#include <string>

namespace qira::net {

Bytes FrameMessage(std::span<const std::uint8_t> message) {
    Bytes frame;
    frame.reserve(4 + message.size());
    AppendFrame(message, frame);
    return frame;
}

void AppendFrame(std::span<const std::uint8_t> message, Bytes& out) {
    const auto size = static_cast<std::uint32_t>(message.size());
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(size >> (24 - 8 * i)));
    out.insert(out.end(), message.begin(), message.end());
}

std::optional<Bytes> BuildHello(std::string_view userName) {
    std::string text(kHelloPrefix);
    text.push_back(kFieldSeparator);
    text += userName;
    Bytes out;
    if (!BuildPacket(text, out, 0, {})) return std::nullopt;
    return out;
}

std::optional<Bytes> BuildHello(std::string_view userName, std::string_view watch,
                                std::string_view secret) {
    std::string fields(userName);
    for (const std::string_view field : {watch, secret}) {
        fields.push_back(kFieldSeparator);
        fields += field;
    }
    return BuildHello(fields);
}

std::optional<std::string> ParseHello(std::span<const std::uint8_t> message) {
    const std::string text = DecodeBody(message, 0);
    const std::string prefix = std::string(kHelloPrefix) + kFieldSeparator;
    if (text.size() < prefix.size() || text.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    return text.substr(prefix.size());
}

std::optional<std::size_t> FrameDecoder::CompleteFrameSize(std::size_t offset) {
    if (buffer_.size() - offset < 4) return std::nullopt;
    std::size_t size = 0;
    for (std::size_t i = 0; i < 4; ++i) size = (size << 8) | buffer_[offset + i];
    if (size == 0 || size > kMaxMessageBytes) {
        failed_ = true;
        buffer_.clear();
        return std::nullopt;
    }
    if (buffer_.size() - offset - 4 < size) return std::nullopt;
    return size;
}

}  // namespace qira::net
