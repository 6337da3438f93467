#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qira::server {

// Why the server refused a request: logged with the request's bytes and
// counted by reason. A new reason is one row.
// clang-format off
#define QIRA_REFUSALS(X)                                                              \
    /* the request's form */                                                         \
    X(TooShort, "too short")                                                         \
    X(UnknownRequest, "unknown request")                                             \
    X(NotSendersName, "not the sender's name")                                       \
    X(NotSendersChair, "not the sender's chair")                                     \
    X(MalformedSettings, "malformed settings")                                       \
    X(MalformedPreference, "malformed preference")                                   \
    X(MalformedSideBets, "not a side-bet choice")                                    \
    X(MalformedKong, "not a kind of kong")                                           \
    X(ChatFieldCount, "chat needs ten fields")                                       \
    X(NotAHello, "not a hello")                                                      \
    X(InvalidGbk, "the hello is not valid GBK")                                      \
    X(ControlCharacters, "control characters in the name")                           \
    X(NameTooLong, "the name is too long")                                           \
    X(MalformedSecret, "the secret is not letters and digits")                       \
    X(NotAnEntry, "expected the entry message")                                      \
    X(TooManyOnlookers, "the table has as many onlookers as it takes")               \
    X(StatisticsUnavailable, "the statistics database cannot add the user")          \
    /* who may ask */                                                                \
    X(OnlookersHaveNoSay, "onlookers have no say")                                   \
    X(OnlookersDoNotPlay, "onlookers do not play")                                   \
    X(NotTheOwner, "settings from someone who is not the owner")                     \
    /* the table's state */                                                          \
    X(SettingsOutsideLimits, "settings outside the limits")                          \
    X(HandsHaveStarted, "hands have started; use 18")                                \
    X(OwnerHasNotSetTable, "the owner has not set the table yet")                    \
    X(NoHandToGetReadyFor, "no hand to get ready for")                               \
    X(NotABetChoiceNow, "not a side-bet choice now")                                 \
    X(NotThisChairsTurn, "not this chair's turn")                                    \
    X(TileNotInHand, "tile not in hand")                                             \
    X(ReadyHandDiscardsDrawnTile, "a ready hand discards the drawn tile")            \
    X(NoSuchClaimNow, "no such claim now")                                           \
    X(NotAChowOfThisDiscard, "not a chow of this discard")                           \
    X(NotTheDiscard, "not the discard")                                              \
    X(NoSuchKongNow, "no such kong now")                                             \
    X(NoKongNow, "no kong now")                                                      \
    X(NoSuchKongInHand, "no such kong in hand")                                      \
    X(KongBreaksReadyHand, "a ready hand's kong must keep it ready")                 \
    X(KongNotOffered, "not the kong a client offers now")                            \
    X(NoWinOnThisDiscard, "no win on this discard")                                  \
    X(NoWinOnWildDiscard, "no win on a discarded wild tile without declaring ready") \
    X(NoWinNow, "no win now")                                                        \
    X(HandDoesNotWin, "the hand does not win")                                       \
    X(NoKongToRob, "no kong to rob")                                                 \
    X(NoThreeIndicators, "no three indicators")                                      \
    X(UnknownItemOrUser, "unknown item or user")                                     \
    X(ChatTooLong, "chat text too long")                                             \
    X(ChatTooFast, "too many chat lines")                                            \
    /* the server's state */                                                         \
    X(ServerBusy, "the server is busy")
// clang-format on

#define QIRA_REFUSAL_NAME(name, text) name,
enum class Refusal : std::uint8_t { QIRA_REFUSALS(QIRA_REFUSAL_NAME) };
#undef QIRA_REFUSAL_NAME

#define QIRA_REFUSAL_TEXT(name, text) text,
inline constexpr std::string_view kRefusalTexts[] = {QIRA_REFUSALS(QIRA_REFUSAL_TEXT)};
#undef QIRA_REFUSAL_TEXT

inline constexpr std::size_t kRefusalCount = std::size(kRefusalTexts);

constexpr std::string_view TextOf(Refusal refusal) {
    return kRefusalTexts[static_cast<std::size_t>(refusal)];
}

// How often each reason was given.
using RefusalCounts = std::array<std::uint64_t, kRefusalCount>;

}  // namespace qira::server
