#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "net/packet.h"

// Wire framing shared by the client's socket and the server: every message
// travels as a four-byte big-endian length followed by the message bytes.
namespace qira::net {

inline constexpr std::size_t kMaxMessageBytes = 65536;
inline constexpr std::string_view kHelloPrefix = "QIRA/1";

// Prepends the length. Callers never frame an empty or oversized message.
Bytes FrameMessage(std::span<const std::uint8_t> message);
// The same frame, appended to `out`.
void AppendFrame(std::span<const std::uint8_t> message, Bytes& out);

// The hello frame's message: "QIRA/1", the separator and the user name, in GBK.
std::optional<Bytes> BuildHello(std::string_view userName);
// The hello with the player to watch (may be empty) and the client's secret.
std::optional<Bytes> BuildHello(std::string_view userName, std::string_view watch,
                                std::string_view secret);
// The user name of a hello message, or nullopt when it is not one.
std::optional<std::string> ParseHello(std::span<const std::uint8_t> message);

// Splits a byte stream into whole messages. A length of 0 or above the limit
// is a protocol error: it is reported as soon as the header arrives and the
// decoder refuses everything after it.
class FrameDecoder {
public:
    enum class Status { Ok, ProtocolError };

    // Appends received bytes and hands every completed message to `onMessage`.
    template <typename OnMessage>
    Status Feed(std::span<const std::uint8_t> bytes, OnMessage&& onMessage) {
        if (failed_) return Status::ProtocolError;
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        std::size_t consumed = 0;
        while (true) {
            const auto size = CompleteFrameSize(consumed);
            if (failed_) return Status::ProtocolError;
            if (!size) break;
            onMessage(std::span<const std::uint8_t>(buffer_.data() + consumed + 4, *size));
            consumed += 4 + *size;
        }
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed));
        // The room a large read or frame needed goes back once it is handled.
        if (buffer_.capacity() > kKeptCapacity && buffer_.capacity() > 4 * buffer_.size())
            buffer_.shrink_to_fit();
        return Status::Ok;
    }

    std::size_t buffered() const { return buffer_.size(); }
    // The memory the buffer holds, used or not.
    std::size_t capacity() const { return buffer_.capacity(); }

private:
    // The body size of a frame starting at `offset` when all of it is buffered.
    std::optional<std::size_t> CompleteFrameSize(std::size_t offset);

    static constexpr std::size_t kKeptCapacity = 4096;
    std::vector<std::uint8_t> buffer_;
    bool failed_ = false;
};

}  // namespace qira::net
