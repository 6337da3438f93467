#include "net/win_record_message.h"

#include "net/byte_reader.h"

namespace qira::net {
namespace {

constexpr std::size_t kMaxMelds = 5;
constexpr std::size_t kMaxConcealed = 15;

std::optional<WinnerBlock> ReadWinner(ByteReader& reader) {
    WinnerBlock winner;
    const auto chair = reader.Byte();
    const auto meldBytes = reader.Byte();
    if (!chair || !meldBytes || *chair > 3) return std::nullopt;
    winner.chair = *chair;
    for (int i = 0; i < *meldBytes / 2; ++i) {
        const auto kind = reader.Byte();
        const auto tile = reader.Byte();
        if (!kind || !tile) return std::nullopt;
        if (winner.melds.size() < kMaxMelds) winner.melds.push_back({*kind, *tile});
    }
    const auto concealed = reader.Byte();
    if (!concealed) return std::nullopt;
    for (int i = 0; i < *concealed; ++i) {
        const auto tile = reader.Byte();
        if (!tile) return std::nullopt;
        if (winner.concealedTiles.size() < kMaxConcealed) winner.concealedTiles.push_back(*tile);
    }
    for (std::size_t item = 1; item <= 17; ++item) {
        const auto value = reader.Byte();
        if (!value) return std::nullopt;
        winner.items[item] = *value;
    }
    return winner;
}

}  // namespace

std::optional<WinRecord> DecodeWinRecord(std::span<const std::uint8_t> message) {
    ByteReader reader(message, 1);
    const auto count = reader.Byte();
    if (!count || *count < 1 || *count > 4) return std::nullopt;
    WinRecord record;
    for (int i = 0; i < *count; ++i) {
        auto winner = ReadWinner(reader);
        if (!winner) return std::nullopt;
        record.winners.push_back(std::move(*winner));
    }
    for (auto* scores : {&record.actualScore, &record.dueScore}) {
        for (auto& score : *scores) {
            const auto value = reader.Int32BE();
            if (!value) return std::nullopt;
            score = *value;
        }
    }
    const auto reserved = reader.Int32BE();
    if (!reserved) return std::nullopt;
    record.reserved = *reserved;
    for (std::size_t chair = 0; chair < 4; ++chair) {
        const auto concealed = reader.Byte();
        const auto exposed = reader.Byte();
        if (!concealed || !exposed) return std::nullopt;
        record.concealedKongs[chair] = *concealed;
        record.exposedKongs[chair] = *exposed;
    }
    const auto winningTile = reader.Byte();
    if (!winningTile) return std::nullopt;
    record.winningTile = *winningTile;
    for (auto& items : record.payerItems) {
        for (auto& item : items) {
            const auto value = reader.Byte();
            if (!value) return std::nullopt;
            item = *value;
        }
    }
    return record;
}

}  // namespace qira::net
