#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qira::net {

// Reads fixed fields from a message without ever passing its end: every read
// compares against what is left and reports a short buffer as nullopt.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t offset = 0)
        : bytes_(bytes), offset_(offset) {}

    std::size_t remaining() const { return offset_ < bytes_.size() ? bytes_.size() - offset_ : 0; }
    std::size_t offset() const { return offset_; }

    std::optional<std::uint8_t> Byte() {
        if (remaining() < 1) return std::nullopt;
        return bytes_[offset_++];
    }

    std::optional<std::int32_t> Int32BE() {
        if (remaining() < 4) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | bytes_[offset_++];
        return static_cast<std::int32_t>(value);
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

// The byte at `index`, or nullopt past the end.
inline std::optional<std::uint8_t> ByteAt(std::span<const std::uint8_t> bytes, std::size_t index) {
    if (index >= bytes.size()) return std::nullopt;
    return bytes[index];
}

}  // namespace qira::net
