#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "net/hand_log_names.h"
#include "net/protocol.h"

// What varies per claim on a discard, one row per kind, in the order of
// precedence: a later row beats an earlier one (a pung and a kong never
// compete for the same discard). A new kind of claim is one row, plus the
// receivers and switch cases the compiler then asks for.
namespace qira::net {

// name: the claim; request: what the claimer sends; announcement: what the
// server sends when it goes through; meld: the kind byte of the meld it lays
// (0: none); phase: the turn phase it leaves; act: the hand log's word;
// button: its place among the client's five action buttons.
// clang-format off
#define QIRA_CLAIMS(X)                                                                       \
    /* name  request  announcement               meld  phase                 act                   button */ \
    X(Pass,  Pass,    std::nullopt,              0,    phase::kDiscarded,    std::nullopt,         4)  \
    X(Chow,  Chow,    ServerMessage::Chowed,     1,    phase::kChowed,       hand_log::Act::Chow,  0)  \
    X(Pung,  Pung,    ServerMessage::Punged,     2,    phase::kPunged,       hand_log::Act::Pung,  1)  \
    X(Kong,  Kong,    ServerMessage::Konged,     4,    phase::kExposedKong,  hand_log::Act::Kong,  2)  \
    X(Win,   Win,     ServerMessage::WinRecord,  0,    phase::kIdle,         hand_log::Act::Win,   3)
// clang-format on

#define QIRA_CLAIM_NAME(name, request, announcement, meld, phase, act, button) name,
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
};

#define QIRA_CLAIM_ROW(name, request, announcement, meld, phase, act, button) \
    ClaimRow{Request::request, announcement, meld, phase, act, button},
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

// The claim a server message announces, if it announces one.
constexpr std::optional<ClaimKind> ClaimAnnouncedBy(ServerMessage message) {
    for (std::size_t i = 0; i < std::size(kClaimRows); ++i)
        if (kClaimRows[i].announcement == message) return static_cast<ClaimKind>(i + 1);
    return std::nullopt;
}

}  // namespace qira::net
