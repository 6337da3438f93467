#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/packet.h"
#include "net/protocol.h"

// Every message the server sends, byte for byte (docs/protocol.md). Tiles are
// the wire's tile codes.
namespace qira::net::server_messages {

using Tile = std::uint8_t;

// --- room messages ---
Bytes OnlookerArrived(std::string_view record);                    // 130/0
Bytes TableReset();                                                // 130/1
Bytes UserList(std::span<const std::string> records);              // 130/2, records joined by "\n"
Bytes Identity(std::string_view name, std::string_view viewName);  // 130/3
Bytes UserArrived(std::string_view record);                        // 130/4
Bytes PlayerBack(std::string_view name);                           // 108/0
Bytes PlayerDropped(std::string_view name);                        // 108/3
Bytes OnlookerLeft(std::string_view name);                         // 108/4
Bytes RefreshUser(std::string_view record);                        // 108/6
Bytes UserLeft(std::string_view name);                             // 110/0

struct SettingsOffer {
    int table = 0;
    int chair = 0;
    std::string ownerName;
    bool youAreOwner = false;
    int seated = 0;
    bool settingsToMake = true;     // field 5
    bool readyForApproval = false;  // field 6
    std::array<std::string, 6> settings;
};
Bytes Settings(const SettingsOffer& offer);  // 111/0
// 112/sub: the name raised a hand; `settings` (six fields) come with the owner's.
Bytes HandRaised(std::string_view name, std::span<const std::string> settings, bool everybodyReady);
Bytes ChatLine(std::string_view text);                 // 105/0, text from offset 3
Bytes Snapshot(std::span<const std::uint8_t> record);  // 109/0 + record from byte 2

// --- game messages ---
struct HandStart {
    std::uint8_t autoPlayLimit = 5;
    std::uint8_t dealer = 0;
    std::uint8_t dice = 1;
    std::uint8_t headWallChair = 0;
    std::uint8_t tailWallChair = 0;
    std::array<std::uint8_t, 8> wallBytes{};  // head, tail of chairs 0-3
    Tile indicator = 0;
    Tile wild = 0;
};
Bytes NewHand(const HandStart& start);                                     // 17
Bytes BetChosen(std::uint8_t chair, std::uint8_t bets);                    // 28/0
Bytes Deal(std::uint8_t chair, Tile curTile, std::span<const Tile> hand);  // 28/1
Bytes ReadyForNext(std::uint8_t chair);                                    // 18
Bytes Draw(std::uint8_t chair, Tile tile);                                 // 25
Bytes Discarded(std::uint8_t chair, Tile tile, std::uint8_t ting, std::uint8_t nextChair,
                Tile nextTile);                                                    // 19
Bytes Chowed(std::uint8_t chair, Tile lowest);                                     // 20
Bytes Punged(std::uint8_t chair, Tile tile);                                       // 21
Bytes Konged(std::uint8_t kind, std::uint8_t chair, Tile tile, Tile replacement);  // 22/kind
Bytes ThreeIndicators(std::uint8_t chair);                                         // 30
Bytes MayRobKong(std::uint8_t chair);                                              // 29
Bytes HandResync(std::span<const Tile> hand);                                      // 2
Bytes DrawnGame();                                                                 // 27
Bytes Notice(std::string_view text);                                               // 26
Bytes MustStop(std::uint8_t chair, std::string_view reason);                       // 5
Bytes WatchPermission(bool allowed);                                               // 113
Bytes ChatRelay(std::string_view joinedFields);                                    // 1
Bytes ItemCatalogue(std::string_view text);                                        // 133/0
Bytes OwnItems(std::string_view text);                                             // 133/1
Bytes ItemUsed(std::uint8_t userA, std::uint8_t userB, std::int32_t item);         // 133/3

// Text bodies that cannot be encoded are sent without their text rather than
// not at all; a message is never empty.
void AppendInt32BE(Bytes& out, std::int32_t value);

}  // namespace qira::net::server_messages
