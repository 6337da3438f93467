#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "net/hand_log_names.h"
#include "net/packet.h"
#include "net/protocol.h"

// What varies per claim on a discard, one row per kind, in the order of
// precedence: a later row beats an earlier one (a pung and a kong never
// compete for the same discard). A new kind of claim is one row, plus the
// receivers and switch cases the compiler then asks for.
namespace qira::net {

// name: the claim; request: what the claimer sends; announcement: what the
// server sends when it goes through; meld: the kind byte of the meld it lays
// (0: none); phase: the turn phase it leaves; act: the hand log's word;
// button: its place among the client's five action buttons; word: the
// button's caption and what the status line says; sound: the client's state
// sound (0: none); display: the action display's code (none: not shown);
// chairAt, length: where the request names the claimer's chair and how many
// bytes it has (with the chair at byte 2, byte 1 is the sub type; with four
// bytes, byte 3 is the tile).
// clang-format off
#define QIRA_CLAIMS(X)                                                                       \
    /* name  request  announcement               meld  phase                 act                   button word  sound display       chairAt length */ \
    X(Pass,  Pass,    std::nullopt,              0,    phase::kDiscarded,    std::nullopt,         4,     "过", 0,    std::nullopt,  2,      3)  \
    X(Chow,  Chow,    ServerMessage::Chowed,     1,    phase::kChowed,       hand_log::Act::Chow,  0,     "吃", 1,    1,             2,      4)  \
    X(Pung,  Pung,    ServerMessage::Punged,     2,    phase::kPunged,       hand_log::Act::Pung,  1,     "碰", 2,    2,             2,      4)  \
    X(Kong,  Kong,    ServerMessage::Konged,     4,    phase::kExposedKong,  hand_log::Act::Kong,  2,     "杠", 3,    3,             2,      4)  \
    X(Win,   Win,     ServerMessage::WinRecord,  0,    phase::kIdle,         hand_log::Act::Win,   3,     "胡", 5,    std::nullopt,  1,      2)
// clang-format on

#define QIRA_CLAIM_NAME(name, ...) name,
// None: no answer yet.
enum class ClaimKind : std::uint8_t { None, QIRA_CLAIMS(QIRA_CLAIM_NAME) };
#undef QIRA_CLAIM_NAME

struct ClaimRow {
    Request request;
    std::optional<ServerMessage> announcement;
    std::uint8_t meld;
    std::uint8_t phase;
    std::optional<hand_log::Act> act;
    std::uint8_t button;
    const char* word;
    std::uint8_t sound;
    std::optional<std::uint8_t> display;
    std::uint8_t chairAt;
    std::uint8_t length;
};

#define QIRA_CLAIM_ROW(name, request, announcement, meld, phase, act, button, word, sound, \
                       display, chairAt, length)                                           \
    ClaimRow{Request::request, announcement, meld,  phase, act, button, word, sound,       \
             display,          chairAt,      length},
inline constexpr ClaimRow kClaimRows[] = {QIRA_CLAIMS(QIRA_CLAIM_ROW)};
#undef QIRA_CLAIM_ROW

// The row of a claim; ClaimKind::None has none.
constexpr const ClaimRow& RowOf(ClaimKind kind) {
    return kClaimRows[static_cast<std::size_t>(kind) - 1];
}

// The claim a request makes, if it is one.
constexpr std::optional<ClaimKind> ClaimOf(Request request) {
    for (std::size_t i = 0; i < std::size(kClaimRows); ++i)
        if (kClaimRows[i].request == request) return static_cast<ClaimKind>(i + 1);
    return std::nullopt;
}

// The claim whose button stands at `button` (0 to the number of claims - 1).
constexpr std::optional<ClaimKind> ClaimAtButton(std::size_t button) {
    for (std::size_t i = 0; i < std::size(kClaimRows); ++i)
        if (kClaimRows[i].button == button) return static_cast<ClaimKind>(i + 1);
    return std::nullopt;
}

// The claim a hand-log act records, if it records one.
constexpr std::optional<ClaimKind> ClaimLoggedAs(hand_log::Act act) {
    for (std::size_t i = 0; i < std::size(kClaimRows); ++i)
        if (kClaimRows[i].act == act) return static_cast<ClaimKind>(i + 1);
    return std::nullopt;
}

// The buttons fill the places 0 to N - 1, one claim each.
constexpr bool ButtonsFillTheirPlaces() {
    for (std::size_t place = 0; place < std::size(kClaimRows); ++place)
        if (!ClaimAtButton(place)) return false;
    return true;
}
static_assert(ButtonsFillTheirPlaces(), "two claims share an action button");

// The claim a server message announces, if it announces one.
constexpr std::optional<ClaimKind> ClaimAnnouncedBy(ServerMessage message) {
    for (std::size_t i = 0; i < std::size(kClaimRows); ++i)
        if (kClaimRows[i].announcement == message) return static_cast<ClaimKind>(i + 1);
    return std::nullopt;
}

// A claim request: its sub type (a kong's kind), the claimer's chair and the
// tile (0 for a request without one).
struct ClaimRequestMessage {
    std::uint8_t sub = 0;
    std::uint8_t chair = 0;
    std::uint8_t tile = 0;
};

// The request laid out as the claim's row says.
inline Bytes EncodeClaimRequest(ClaimKind claim, const ClaimRequestMessage& request) {
    const ClaimRow& row = RowOf(claim);
    Bytes out(row.length, 0);
    out[0] = MainOf(row.request);
    if (row.chairAt == 2) out[1] = request.sub;
    out[row.chairAt] = request.chair;
    if (row.length > 3) out[3] = request.tile;
    return out;
}

// A request shorter than the claim's row decodes to nothing; bytes after it
// are not read.
inline std::optional<ClaimRequestMessage> DecodeClaimRequest(ClaimKind claim,
                                                             std::span<const std::uint8_t> m) {
    const ClaimRow& row = RowOf(claim);
    if (m.size() < row.length) return std::nullopt;
    return ClaimRequestMessage{m[1], m[row.chairAt], row.length > 3 ? m[3] : std::uint8_t{0}};
}

}  // namespace qira::net
