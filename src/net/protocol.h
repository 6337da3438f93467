#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The protocol's vocabulary, defined once for the client, the server, the
// computer players and the tests: every message by name with its main and sub
// type, the turn phases, the wire markers and the user record's fields.
// docs/protocol.md describes the same names.
namespace qira::net {

// How a row's sub type is read. Exact: the message is (main, sub). MainOnly:
// the main type alone names the message; its sub byte is data (a kong's
// kind) or not read, and the row's sub is what a builder writes by default.
// An Exact row wins over a MainOnly row of the same main type.
enum class SubMatch : std::uint8_t { Exact, MainOnly };

// Messages the server sends. Append only: a new message is one row.
// clang-format off
#define QIRA_SERVER_MESSAGES(X)                                                      \
    /* room messages */                                                            \
    X(OnlookerArrived, 130, 0, Exact)   /* an onlooker's record */                 \
    X(TableReset, 130, 1, Exact)        /* the table starts over */                \
    X(UserList, 130, 2, Exact)          /* every record, one per line */           \
    X(Identity, 130, 3, Exact)          /* name`viewed name */                     \
    X(UserArrived, 130, 4, Exact)       /* a player's record */                    \
    X(WindowHidden, 130, 5, Exact)      /* byte 2: hide the main window */         \
    X(PlayerBack, 108, 0, Exact)        /* a dropped player reconnected */         \
    X(PlayerDropped, 108, 3, Exact)     /* a player lost the connection */         \
    X(OnlookerLeft, 108, 4, Exact)      /* name */                                 \
    X(RefreshUser, 108, 6, Exact)       /* a changed record */                     \
    X(UserLeft, 110, 0, Exact)          /* name */                                 \
    X(Settings, 111, 0, MainOnly)       /* the settings negotiation */             \
    X(HandRaised, 112, 1, MainOnly)     /* sub 2: everybody has raised a hand */   \
    X(Snapshot, 109, 0, MainOnly)       /* the table as it stands */               \
    X(ChatLine, 105, 0, MainOnly)       /* a server line, text from offset 3 */    \
    /* game messages */                                                            \
    X(NewHand, 17, 0, MainOnly)         /* the 29-byte new-hand record */          \
    X(BetChosen, 28, 0, Exact)          /* chair, side bets */                     \
    X(Deal, 28, 1, MainOnly)            /* chair, current tile, dealt tiles */     \
    X(ReadyForNext, 18, 0, MainOnly)    /* byte 1: the chair */                    \
    X(Draw, 25, 0, MainOnly)            /* chair, tile */                          \
    X(Discarded, 19, 0, MainOnly)       /* see DiscardMessage */                   \
    X(Chowed, 20, 1, MainOnly)          /* chair, lowest tile */                   \
    X(Punged, 21, 2, MainOnly)          /* chair, tile */                          \
    X(Konged, 22, 0, MainOnly)          /* sub: the kong's kind; see KongMessage */ \
    X(ThreeIndicators, 30, 0, MainOnly) /* byte 1: the chair */                    \
    X(MayRobKong, 29, 0, MainOnly)      /* chair that may rob */                   \
    X(HandResync, 2, 0, MainOnly)       /* count, the hand as the client keeps it */ \
    X(WinRecord, 23, 0, MainOnly)       /* the win record */                       \
    X(DrawnGame, 27, 0, MainOnly)       /* the wall is used up */                  \
    X(Notice, 26, 0, MainOnly)          /* text from offset 1 */                   \
    X(MustStop, 5, 0, MainOnly)         /* chair, reason from offset 3 */          \
    X(WatchPermission, 113, 0, MainOnly) /* byte 2: onlookers see the hand */      \
    X(ChatRelay, 1, 0, MainOnly)        /* ten chat fields from offset 1 */        \
    X(ItemCatalogue, 133, 0, Exact)                                                \
    X(OwnItems, 133, 1, Exact)                                                     \
    X(ItemNotice, 133, 2, Exact)                                                   \
    X(ItemUsed, 133, 3, Exact)          /* user, user, item number */

// Requests a client sends. Append only.
#define QIRA_CLIENT_REQUESTS(X)                                                    \
    /* room requests */                                                          \
    X(Entry, 130, 0, Exact)             /* "500"`game code`onlooker preference */ \
    X(HandStarted, 130, 1, Exact)       /* the first hand at the table began */  \
    X(ConfirmSettings, 112, 0, Exact)   /* name and the six settings */          \
    X(RaiseHand, 112, 1, Exact)         /* name */                               \
    X(Leave, 110, 0, Exact)             /* name */                               \
    /* game requests */                                                          \
    X(ReadyForNextHand, 18, 0, MainOnly) /* byte 1: the chair */                 \
    X(Discard, 19, 0, MainOnly)          /* see DiscardMessage */                \
    X(Chow, 20, 1, MainOnly)             /* chair, lowest tile */                \
    X(Pung, 21, 2, MainOnly)             /* chair, tile */                       \
    X(Kong, 22, 0, MainOnly)             /* sub: the kong's kind; chair, tile */ \
    X(Win, 23, 0, MainOnly)              /* byte 1: the chair */                 \
    X(Pass, 24, 6, MainOnly)             /* chair */                             \
    X(SideBets, 28, 0, MainOnly)         /* chair, bets; 17 bytes */             \
    X(RobKongAnswer, 29, 0, MainOnly)    /* sub 1: rob; chair */                 \
    X(ThreeIndicatorKong, 30, 0, MainOnly) /* byte 1: the chair */               \
    X(Resynchronise, 2, 0, MainOnly)     /* chair */                             \
    X(AllowWatchCards, 113, 1, MainOnly) /* name`0|1; another sub is refused */ \
    X(Chat, 1, 0, MainOnly)              /* ten chat fields from offset 1 */
// clang-format on

#define QIRA_MESSAGE_NAME(name, main, sub, match) name,
enum class ServerMessage : std::uint8_t { QIRA_SERVER_MESSAGES(QIRA_MESSAGE_NAME) };
enum class Request : std::uint8_t { QIRA_CLIENT_REQUESTS(QIRA_MESSAGE_NAME) };
#undef QIRA_MESSAGE_NAME

struct MessageId {
    std::uint8_t main = 0;
    std::uint8_t sub = 0;
    SubMatch match = SubMatch::Exact;
};

#define QIRA_MESSAGE_ID(name, main, sub, match) MessageId{main, sub, SubMatch::match},
inline constexpr MessageId kServerMessageIds[] = {QIRA_SERVER_MESSAGES(QIRA_MESSAGE_ID)};
inline constexpr MessageId kRequestIds[] = {QIRA_CLIENT_REQUESTS(QIRA_MESSAGE_ID)};
#undef QIRA_MESSAGE_ID

// No two rows of a table may claim the same message.
template <std::size_t N>
constexpr bool IdsAreUnique(const MessageId (&ids)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j) {
            if (ids[i].main != ids[j].main || ids[i].match != ids[j].match) continue;
            if (ids[i].match == SubMatch::MainOnly || ids[i].sub == ids[j].sub) return false;
        }
    return true;
}
static_assert(IdsAreUnique(kServerMessageIds), "two server messages share a type");
static_assert(IdsAreUnique(kRequestIds), "two requests share a type");

constexpr MessageId IdOf(ServerMessage message) {
    return kServerMessageIds[static_cast<std::size_t>(message)];
}
constexpr MessageId IdOf(Request request) {
    return kRequestIds[static_cast<std::size_t>(request)];
}
constexpr std::uint8_t MainOf(ServerMessage message) {
    return IdOf(message).main;
}
constexpr std::uint8_t MainOf(Request request) {
    return IdOf(request).main;
}

namespace detail {
template <typename Name, std::size_t N>
constexpr std::optional<Name> Classify(const MessageId (&ids)[N], std::span<const std::uint8_t> m) {
    if (m.empty()) return std::nullopt;
    if (m.size() >= 2)
        for (std::size_t i = 0; i < N; ++i)
            if (ids[i].match == SubMatch::Exact && ids[i].main == m[0] && ids[i].sub == m[1])
                return static_cast<Name>(i);
    for (std::size_t i = 0; i < N; ++i)
        if (ids[i].match == SubMatch::MainOnly && ids[i].main == m[0]) return static_cast<Name>(i);
    return std::nullopt;
}
}  // namespace detail

// The message a server message or a request is, or nullopt for one the
// protocol does not know.
constexpr std::optional<ServerMessage> ClassifyServerMessage(std::span<const std::uint8_t> m) {
    return detail::Classify<ServerMessage>(kServerMessageIds, m);
}
constexpr std::optional<Request> ClassifyRequest(std::span<const std::uint8_t> m) {
    return detail::Classify<Request>(kRequestIds, m);
}

// Hands a message to the function its row names, handler.Receive<Name>(m). Every row
// needs its function, so a side that leaves a message out does not compile;
// bytes the protocol does not know reach no function and return false.
#define QIRA_DISPATCH_CASE(Kind, name) \
    case Kind::name:                   \
        handler.Receive##name(m);      \
        return true;
#define QIRA_DISPATCH_SERVER_MESSAGE(name, main, sub, match) QIRA_DISPATCH_CASE(ServerMessage, name)
#define QIRA_DISPATCH_REQUEST(name, main, sub, match) QIRA_DISPATCH_CASE(Request, name)

template <typename Handler>
bool DispatchServerMessage(Handler& handler, std::span<const std::uint8_t> m) {
    const auto kind = ClassifyServerMessage(m);
    if (!kind) return false;
    switch (*kind) { QIRA_SERVER_MESSAGES(QIRA_DISPATCH_SERVER_MESSAGE) }
    return false;
}

template <typename Handler>
bool DispatchRequest(Handler& handler, std::span<const std::uint8_t> m) {
    const auto kind = ClassifyRequest(m);
    if (!kind) return false;
    switch (*kind) { QIRA_CLIENT_REQUESTS(QIRA_DISPATCH_REQUEST) }
    return false;
}

#undef QIRA_DISPATCH_REQUEST
#undef QIRA_DISPATCH_SERVER_MESSAGE
#undef QIRA_DISPATCH_CASE

// Turn phases as the game messages set them. The two kong phases are also
// the sub type of a kong message (22/3, 22/4) and equal the meld kinds.
namespace phase {
inline constexpr std::uint8_t kDiscarded = 0;  // the others may claim the current tile
inline constexpr std::uint8_t kChowed = 1;
inline constexpr std::uint8_t kPunged = 2;
inline constexpr std::uint8_t kConcealedKong = 3;
inline constexpr std::uint8_t kExposedKong = 4;
inline constexpr std::uint8_t kDrew = 5;
inline constexpr std::uint8_t kRobKong = 9;
inline constexpr std::uint8_t kSideBets = 10;
inline constexpr std::uint8_t kIdle = 100;
}  // namespace phase

// Wire markers.
inline constexpr std::uint8_t kWireNoChair = 255;       // "no chair" in a discard's next draw
inline constexpr std::uint8_t kFaceDownTileCode = 100;  // a tile the receiver may not know
inline constexpr std::uint8_t kBetsNotChosen = 4;       // a seat's side bets before its choice
inline constexpr std::uint8_t kHandRaisedAllReady = 2;  // sub type of 112 once all have raised
inline constexpr std::size_t kChatFieldCount = 10;

// The sixteen fields of a user record (130/0, 130/2, 130/4, 108/6), joined by
// the separator.
namespace user_record {
inline constexpr std::size_t kName = 0;
inline constexpr std::size_t kUserNumber = 1;
inline constexpr std::size_t kScore = 2;
inline constexpr std::size_t kLevelValue = 3;
inline constexpr std::size_t kWatched = 4;  // empty for a player
inline constexpr std::size_t kHandsPlayed = 5;
inline constexpr std::size_t kWinRate = 6;
inline constexpr std::size_t kEscapeRate = 7;
inline constexpr std::size_t kWins = 8;
inline constexpr std::size_t kLosses = 9;
inline constexpr std::size_t kDraws = 10;
inline constexpr std::size_t kReserved = 11;
inline constexpr std::size_t kPortrait = 12;
inline constexpr std::size_t kChair = 13;  // an onlooker: the watched chair
inline constexpr std::size_t kRaised = 14;
inline constexpr std::size_t kDropped = 15;
inline constexpr std::size_t kFieldCount = 16;
}  // namespace user_record

// The front door: one line each way over its own TCP port, in UTF-8.
// Asked "WHERE\t<name>\t<hello secret>\n", it answers "SERVER\t<host>:<port>\n",
// or "NONE\n" when no server is alive, and closes.
namespace front_door {
inline constexpr std::string_view kAsk = "WHERE";
inline constexpr std::string_view kServer = "SERVER";
inline constexpr std::string_view kNone = "NONE";
inline constexpr std::size_t kLongestLine = 512;
}  // namespace front_door

}  // namespace qira::net
