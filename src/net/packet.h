#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A message is [main type][sub type][body]. Text bodies are GBK with fields
// joined by the separator "`"; byte bodies hold single bytes and big-endian
// signed 32-bit numbers at fixed offsets.
namespace qira::net {

using Bytes = std::vector<std::uint8_t>;

inline constexpr char kFieldSeparator = '`';

// Copies the first `headerLength` bytes of `header`, then appends the body in
// GBK. Returns false and leaves `out` untouched when the body is empty, when
// the header is shorter than `headerLength`, or when the body is not valid UTF-8.
bool BuildPacket(std::string_view body, Bytes& out, std::size_t headerLength,
                 std::span<const std::uint8_t> header);

// A text request with a two-byte header, or nullopt when nothing may be sent.
std::optional<Bytes> BuildTextPacket(std::uint8_t mainType, std::uint8_t subType,
                                     std::string_view body);

// The text from `start` to the end as UTF-8. Every byte of 128 or more leads a
// two-byte character; a lead byte at the very end, or a start past the end,
// gives the empty text.
std::string DecodeBody(std::span<const std::uint8_t> message, std::size_t start);

// Reads four bytes at `index` as a big-endian signed number. Returns false and
// leaves `out` unchanged when fewer than four bytes remain.
bool ReadInt32BE(std::int32_t& out, std::span<const std::uint8_t> bytes, std::size_t index);

// Splits a decoded body on the separator. An empty text is one empty field,
// as the fields of an empty body are counted on the wire.
std::vector<std::string> SplitFields(std::string_view text);

std::string JoinFields(std::span<const std::string> fields);
std::string JoinFields(std::initializer_list<std::string_view> fields);

// Byte 0 decides where a message goes: 95 to 255 except 113 and 133 are room
// messages, everything else is a game message.
enum class MessageRoute { Room, Game };
MessageRoute RouteOf(std::uint8_t mainType);

}  // namespace qira::net
