#include "net/requests.h"

#include <vector>

namespace qira::net::requests {
namespace {

Bytes Fixed(std::initializer_list<std::uint8_t> bytes) {
    return Bytes(bytes);
}

}  // namespace

std::optional<Bytes> Entry(bool allowWatchCards) {
    return BuildTextPacket(130, 0, JoinFields({"500", "QIRA", allowWatchCards ? "1" : "0"}));
}

Bytes HandStarted() {
    return Fixed({130, 1});
}

std::optional<Bytes> RaiseHand(std::string_view userName) {
    return BuildTextPacket(112, 1, userName);
}

std::optional<Bytes> ConfirmSettings(std::string_view userName,
                                     std::span<const std::string> settingsFields) {
    std::vector<std::string> fields{std::string(userName)};
    fields.insert(fields.end(), settingsFields.begin(), settingsFields.end());
    return BuildTextPacket(112, 0, JoinFields(fields));
}

std::optional<Bytes> Leave(std::string_view userName) {
    return BuildTextPacket(110, 0, userName);
}

Bytes ReadyForNextHand(std::uint8_t myChair) {
    return Fixed({18, myChair});
}

Bytes Discard(std::uint8_t myChair, std::uint8_t tile, std::uint8_t tingDeclaration,
              std::uint8_t firstWinningTile) {
    return Fixed({19, 0, myChair, tile, tingDeclaration, firstWinningTile, 0, 0});
}

Bytes Chow(std::uint8_t myChair, std::uint8_t lowestTile) {
    return Fixed({20, 1, myChair, lowestTile});
}

Bytes Pung(std::uint8_t myChair, std::uint8_t tile) {
    return Fixed({21, 2, myChair, tile});
}

Bytes Kong(std::uint8_t myChair, std::uint8_t kind, std::uint8_t tile) {
    return Fixed({22, kind, myChair, tile});
}

Bytes Win(std::uint8_t myChair) {
    return Fixed({23, myChair});
}

Bytes Pass(std::uint8_t myChair) {
    return Fixed({24, 6, myChair});
}

Bytes RobKongAnswer(std::uint8_t myChair, bool rob) {
    return Fixed({29, static_cast<std::uint8_t>(rob ? 1 : 0), myChair});
}

Bytes ThreeIndicatorKong(std::uint8_t myChair) {
    return Fixed({30, myChair});
}

Bytes SideBets(std::uint8_t myChair, std::uint8_t bets) {
    Bytes message(17, 255);
    message[0] = 28;
    message[1] = 0;
    message[2] = myChair;
    message[3] = bets;
    return message;
}

Bytes Resynchronise(std::uint8_t myChair) {
    return Fixed({2, 0, myChair});
}

std::optional<Bytes> AllowWatchCards(std::string_view userName, bool allow) {
    return BuildTextPacket(113, 1, JoinFields({userName, allow ? "1" : "0"}));
}

std::optional<Bytes> Chat(std::span<const std::string> fields) {
    const std::uint8_t header[] = {1};
    Bytes out;
    if (!BuildPacket(JoinFields(fields), out, 1, header)) return std::nullopt;
    return out;
}

}  // namespace qira::net::requests
