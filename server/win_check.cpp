#include "server/win_check.h"

#include <algorithm>
#include <vector>

namespace qira::server {
namespace {

// Standard shape (sets and one pair) with every tile taken at face value.
// Returns the pair tile on success.
std::optional<Tile> DecomposePlain(std::vector<Tile> tiles) {
    if (tiles.size() > 14 || (tiles.size() - 2) % 3 != 0) return std::nullopt;
    std::array<int, 39> counts{};
    for (Tile t : tiles) {
        if (!IsTile(t)) return std::nullopt;
        if (++counts[t] > 4) return std::nullopt;
    }
    for (int pair = 0; pair <= 38; ++pair) {
        if (counts[pair] < 2) continue;
        auto work = counts;
        work[pair] -= 2;
        bool ok = true;
        for (int code = 0; code <= 38 && ok; ++code) {
            while (work[code] > 0) {
                if (work[code] == 3) {
                    work[code] = 0;
                    break;
                }
                const bool chowable = IsNumbered(static_cast<Tile>(code)) && code % 9 <= 6 &&
                                      work[code + 1] > 0 && work[code + 2] > 0;
                if (!chowable) {
                    ok = false;
                    break;
                }
                --work[code];
                --work[code + 1];
                --work[code + 2];
            }
        }
        if (ok) return static_cast<Tile>(pair);
    }
    return std::nullopt;
}

std::vector<Tile> Candidates(std::span<const Tile> tiles, Tile wild) {
    std::array<bool, 39> marked{};
    for (Tile t : tiles) {
        if (t == wild || !IsTile(t)) continue;
        marked[t] = true;
        if (!IsNumbered(t)) continue;
        if (RankOf(t) > 1) marked[t - 1] = true;
        if (RankOf(t) < 9) marked[t + 1] = true;
    }
    std::vector<Tile> out;
    for (int code = 0; code <= 38; ++code)
        if (marked[code]) out.push_back(static_cast<Tile>(code));
    return out;
}

// Tries every assignment of candidates to the wild tiles.
bool DecomposeWithWilds(std::vector<Tile> work, Tile tile, bool outside, Tile wild) {
    std::vector<std::size_t> wildPositions;
    for (std::size_t i = 0; i < work.size(); ++i)
        if (work[i] == wild) wildPositions.push_back(i);
    if (wildPositions.empty() || wildPositions.size() > 4) return false;
    const auto candidates = Candidates(work, wild);
    if (wildPositions.size() > candidates.size()) return true;
    std::vector<std::size_t> choice(wildPositions.size(), 0);
    while (true) {
        bool standsForTile = false;
        for (std::size_t w = 0; w < wildPositions.size(); ++w) {
            work[wildPositions[w]] = candidates[choice[w]];
            standsForTile = standsForTile || candidates[choice[w]] == tile;
        }
        const auto pair = DecomposePlain(work);
        if (pair && !(outside && *pair == tile && standsForTile)) return true;
        std::size_t w = wildPositions.size();
        while (w > 0) {
            --w;
            if (++choice[w] < candidates.size()) break;
            choice[w] = 0;
            if (w == 0) return false;
        }
    }
}

std::vector<Tile> WorkList(std::span<const Tile> concealed, Tile tile) {
    std::vector<Tile> work(concealed.begin(), concealed.end());
    if ((work.size() + 3 - 2) % 3 != 0) work.push_back(tile);
    return work;
}

bool SevenPairs(std::vector<Tile> work, std::span<const Meld> melds, Tile wild) {
    if (!melds.empty() || work.size() != 14) return false;
    int wilds = 0;
    std::array<int, 39> counts{};
    for (Tile t : work) {
        if (!IsTile(t)) return false;
        ++counts[t];
        if (t == wild) ++wilds;
    }
    if (wilds > 0) counts[wild] -= wilds;
    int odd = 0;
    for (int c : counts) odd += c % 2;
    // Each wild tile pairs one odd tile; wild tiles left over pair each other.
    return odd <= wilds && (wilds - odd) % 2 == 0;
}

bool DiscardWinBarred(std::span<const Tile> concealed, Tile wild);

bool CanWinImpl(const HandInfo& hand, Tile tile, bool checkBar) {
    const bool outside = (hand.concealed.size() + 3 - 2) % 3 != 0;
    if (hand.noWin) return false;
    if (outside && checkBar && DiscardWinBarred(hand.concealed, hand.wild)) return false;
    auto work = WorkList(hand.concealed, tile);
    if (SevenPairs(work, hand.melds, hand.wild)) return true;
    const auto pair = DecomposePlain(work);
    if (pair && !(*pair == hand.wild && outside && tile == *pair)) return true;
    return DecomposeWithWilds(std::move(work), tile, outside, hand.wild);
}

bool DiscardWinBarred(std::span<const Tile> concealed, Tile wild) {
    if (concealed.size() % 3 != 1) return false;
    const int wilds = CountOf(concealed, wild);
    if (wilds == 0) return false;
    if (wilds >= 3) return true;
    std::array<bool, 27> near{};
    for (Tile t : concealed) {
        if (t == wild || !IsNumbered(t)) continue;
        for (int d = -2; d <= 2; ++d) {
            const int code = t + d;
            if (code >= 0 && code <= 26 && SuitOf(static_cast<Tile>(code)) == SuitOf(t))
                near[code] = true;
        }
    }
    std::array<bool, 27> winning{};
    for (int b = 0; b < 27; ++b)
        if (near[b])
            winning[b] = DecomposeWithWilds(WorkList(concealed, static_cast<Tile>(b)),
                                            static_cast<Tile>(b), true, wild);
    for (Tile t : concealed) {
        if (!IsNumbered(t) || t == wild || !winning[t]) continue;
        bool all = true;
        for (int d = -2; d <= 2 && all; ++d) {
            if (d == 0) continue;
            const int code = t + d;
            if (code < 0 || code > 26 || SuitOf(static_cast<Tile>(code)) != SuitOf(t)) continue;
            all = winning[code];
        }
        if (all) return true;
    }
    return false;
}

}  // namespace

bool CanWinWith(const HandInfo& hand, Tile tile) {
    return CanWinImpl(hand, tile, true);
}

std::optional<Tile> FirstWinningTile(const HandInfo& hand) {
    for (int kind = 0; kind < kKinds; ++kind)
        if (CanWinWith(hand, TileOfKind(kind))) return TileOfKind(kind);
    return std::nullopt;
}

bool IsSevenPairs(std::span<const Tile> concealed, std::span<const Meld> melds, Tile wild) {
    return SevenPairs(std::vector<Tile>(concealed.begin(), concealed.end()), melds, wild);
}

}  // namespace qira::server
