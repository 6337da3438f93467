#include "server/web/onlooker_sight.h"

#include "net/byte_reader.h"

namespace qira::server::web {
namespace {

constexpr int kChairs = rules::kChairCount;
constexpr int kSegmentUsedUp = 34;

bool ReadMelds(net::ByteReader& in, TableSight& sight) {
    for (SeatSight& seat : sight.seats) {
        const auto count = in.Byte();
        if (!count || *count > 6) return false;
        for (int i = 0; i < *count; ++i) {
            const auto kind = in.Byte(), tile = in.Byte(), source = in.Byte();
            if (!source || *kind < 1 || *kind > 4) return false;
            seat.melds.push_back({static_cast<rules::MeldKind>(*kind), *tile, *source});
        }
    }
    return true;
}

bool ReadDiscardsAndWall(net::ByteReader& in, TableSight& sight) {
    for (SeatSight& seat : sight.seats) {
        const auto count = in.Byte();
        if (!count) return false;
        for (int i = 0; i < *count; ++i) {
            const auto tile = in.Byte();
            if (!tile) return false;
            seat.discards.push_back(*tile);
        }
    }
    for (SeatSight& seat : sight.seats) {
        const auto head = in.Byte(), tail = in.Byte(), ting = in.Byte();
        if (!ting) return false;
        seat.wallLeft = *head >= kSegmentUsedUp || *tail < *head ? 0 : *tail - *head + 1;
        seat.ting = *ting != 0;
        sight.wallLeft += seat.wallLeft;
    }
    for (int skipped = 0; skipped < 2 * kChairs; ++skipped)  // no-win marks, side bets
        if (!in.Byte()) return false;
    return true;
}

// One chair's snapshot: the table, and the watched chair's hand size.
struct OneSight {
    TableSight table;
    int watchedCount = 0;
};

std::optional<OneSight> ReadRunning(net::ByteReader& in) {
    TableSight sight;
    sight.running = true;
    if (!ReadMelds(in, sight) || !ReadDiscardsAndWall(in, sight)) return std::nullopt;
    const auto count = in.Byte();
    if (!count) return std::nullopt;
    for (int i = 0; i < *count; ++i)
        if (in.Byte() != kFaceDown) return std::nullopt;  // a visible hand is not ours to show
    const int watchedCount = *count;
    std::array<std::uint8_t, 11> tail{};
    for (std::uint8_t& byte : tail) {
        const auto value = in.Byte();
        if (!value) return std::nullopt;
        byte = *value;
    }
    if (tail[6] != 0) return std::nullopt;
    sight.dealer = tail[0] % kChairs;
    sight.turn = tail[3] % kChairs;
    sight.phase = tail[4];
    sight.current = tail[5];
    sight.indicator = tail[7];
    sight.wild = tail[8];
    return OneSight{sight, watchedCount};
}

std::optional<OneSight> ReadOne(const net::Bytes& snapshot) {
    net::ByteReader in(snapshot);
    const auto running = in.Byte();
    if (!running || !in.Byte()) return std::nullopt;
    if (*running) return ReadRunning(in);
    TableSight sight;
    for (SeatSight& seat : sight.seats) {
        const auto ready = in.Byte();
        if (!ready) return std::nullopt;
        seat.ready = *ready != 0;
    }
    if (in.Byte() != std::uint8_t{0}) return std::nullopt;
    return OneSight{sight, 0};
}

}  // namespace

std::optional<TableSight> ReadSight(const std::array<net::Bytes, rules::kChairCount>& snapshots) {
    std::array<OneSight, kChairs> views;
    for (int chair = 0; chair < kChairs; ++chair) {
        auto view = ReadOne(snapshots[chair]);
        if (!view || (chair > 0 && view->table.running != views[0].table.running))
            return std::nullopt;
        views[chair] = std::move(*view);
        if (!views[0].table.running) return views[0].table;
    }
    TableSight sight = views[0].table;
    for (int chair = 0; chair < kChairs; ++chair) {
        sight.seats[chair].concealedCount = views[chair].watchedCount;
        // The snapshot of the chair's own onlooker shows its concealed kongs:
        // take the melds from another chair's.
        sight.seats[chair].melds = views[(chair + 1) % kChairs].table.seats[chair].melds;
    }
    return sight;
}

std::vector<std::uint8_t> MeldTiles(const MeldSight& meld) {
    switch (meld.kind) {
        case rules::MeldKind::Chow:
            return {meld.tile, static_cast<std::uint8_t>(meld.tile + 1),
                    static_cast<std::uint8_t>(meld.tile + 2)};
        case rules::MeldKind::Pung:
            return std::vector<std::uint8_t>(3, meld.tile);
        case rules::MeldKind::ConcealedKong:
        case rules::MeldKind::ExposedKong:
            return std::vector<std::uint8_t>(4, meld.tile);
    }
    return {};
}

}  // namespace qira::server::web
