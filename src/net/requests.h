#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "net/packet.h"

// Every request the client sends, byte for byte. Text requests are nullopt
// when their body would be empty; such a request is never sent.
namespace qira::net::requests {

// 130/0: "500", the game code and the onlooker preference.
std::optional<Bytes> Entry(bool allowWatchCards);
// 130/1: the first hand at this table has started.
Bytes HandStarted();
// 112/1: raise a hand before the first hand, or agree to the owner's settings.
std::optional<Bytes> RaiseHand(std::string_view userName);
// 112/0: the owner confirms the six settings fields.
std::optional<Bytes> ConfirmSettings(std::string_view userName,
                                     std::span<const std::string> settingsFields);
// 110/0: leave the table.
std::optional<Bytes> Leave(std::string_view userName);
// 18: ready for the next hand.
Bytes ReadyForNextHand(std::uint8_t myChair);
// 19/0: a discard with the ready-hand declaration and the first winning tile.
Bytes Discard(std::uint8_t myChair, std::uint8_t tile, std::uint8_t tingDeclaration,
              std::uint8_t firstWinningTile);
// 20/1: a chow named by its lowest tile.
Bytes Chow(std::uint8_t myChair, std::uint8_t lowestTile);
// 21/2: a pung of the current discard.
Bytes Pung(std::uint8_t myChair, std::uint8_t tile);
// 22/kind: a kong, 3 concealed or 4 exposed.
Bytes Kong(std::uint8_t myChair, std::uint8_t kind, std::uint8_t tile);
// 23: a win.
Bytes Win(std::uint8_t myChair);
// 24/6: pass on another player's discard.
Bytes Pass(std::uint8_t myChair);
// 29/answer: rob the kong (true) or decline.
Bytes RobKongAnswer(std::uint8_t myChair, bool rob);
// 30: count three wild indicators as a kong.
Bytes ThreeIndicatorKong(std::uint8_t myChair);
// 28/0: the side bets, 1 for "挂档" plus 2 for "漂".
Bytes SideBets(std::uint8_t myChair, std::uint8_t bets);
// 2/0: ask for the local hand again.
Bytes Resynchronise(std::uint8_t myChair);
// 113/1: the onlooker preference changed.
std::optional<Bytes> AllowWatchCards(std::string_view userName, bool allow);
// 1: a chat line; the ten fields of the chat pane, one-byte header.
std::optional<Bytes> Chat(std::span<const std::string> fields);

}  // namespace qira::net::requests
