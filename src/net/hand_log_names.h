// The words of the hand log (docs/hand-log.md): the acts of a hand, the kinds
// of kong and the ends of the wall, as the server writes them and the replay
// reads them. A new act is one row.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qira::net::hand_log {

#define QIRA_HAND_LOG_ACTS(X)          \
    X(Draw, "draw")                    \
    X(Discard, "discard")              \
    X(Chow, "chow")                    \
    X(Pung, "pung")                    \
    X(Kong, "kong")                    \
    X(IndicatorKong, "indicator_kong") \
    X(Ting, "ting")                    \
    X(PassWin, "pass_win")             \
    X(Win, "win")

#define QIRA_HAND_LOG_ENUM(name, word) name,
#define QIRA_HAND_LOG_WORD(name, word) word,

// One act of a hand.
enum class Act : std::uint8_t { QIRA_HAND_LOG_ACTS(QIRA_HAND_LOG_ENUM) };
inline constexpr auto kActWords =
    std::to_array<std::string_view>({QIRA_HAND_LOG_ACTS(QIRA_HAND_LOG_WORD)});

#undef QIRA_HAND_LOG_ENUM
#undef QIRA_HAND_LOG_WORD
#undef QIRA_HAND_LOG_ACTS

enum class KongKind : std::uint8_t { Concealed, Exposed, Added };
inline constexpr auto kKongKindWords =
    std::to_array<std::string_view>({"concealed", "exposed", "added"});

// Which end of the wall a draw took its tile from: the head for ordinary
// draws, the tail for the replacement after a kong.
enum class WallEnd : std::uint8_t { Head, Tail };
inline constexpr auto kWallEndWords = std::to_array<std::string_view>({"head", "tail"});

constexpr std::string_view WordOf(Act act) {
    return kActWords[static_cast<std::size_t>(act)];
}
constexpr std::string_view WordOf(KongKind kind) {
    return kKongKindWords[static_cast<std::size_t>(kind)];
}
constexpr std::string_view WordOf(WallEnd end) {
    return kWallEndWords[static_cast<std::size_t>(end)];
}

// The value a word of the log names, or nothing for a word it does not use.
template <typename Word, std::size_t N>
constexpr std::optional<Word> Named(const std::array<std::string_view, N>& words,
                                    std::string_view word) {
    for (std::size_t i = 0; i < N; ++i)
        if (words[i] == word) return static_cast<Word>(i);
    return std::nullopt;
}

constexpr std::optional<Act> ActNamed(std::string_view word) {
    return Named<Act>(kActWords, word);
}
constexpr std::optional<KongKind> KongKindNamed(std::string_view word) {
    return Named<KongKind>(kKongKindWords, word);
}
constexpr std::optional<WallEnd> WallEndNamed(std::string_view word) {
    return Named<WallEnd>(kWallEndWords, word);
}

static_assert(WordOf(Act::Win) == "win" && WordOf(Act::IndicatorKong) == "indicator_kong");
static_assert(ActNamed("pass_win") == Act::PassWin && !ActNamed("wait"));

}  // namespace qira::net::hand_log
