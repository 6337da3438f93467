#include "reference_analysis.h"

#include <array>
#include <utility>
#include <vector>

namespace qira::rules::reference {

namespace {

constexpr int kCounterSlots = 256;  // per-code counters; codes 0-38 are tiles

int Size(const std::vector<TileCode>& oneBased) {
    return static_cast<int>(oneBased.size()) - 1;
}

// The work list: the list, plus the tile when the list does not hold 3k + 2 tiles.
std::vector<TileCode> WorkList(const std::vector<TileCode>& list, TileCode tile) {
    std::vector<TileCode> work = list;
    const int n = Size(list);
    if ((n - 2) % 3 != 0) work.push_back(tile);
    return work;
}

}  // namespace

ReferenceAnalysis::ReferenceAnalysis(const HandView& view) {
    for (TileCode tile : view.hand) LocalHand.push_back(tile);
    for (const MeldRecord& meld : view.melds) Melds.push_back(meld);
    bytWildTile = view.wildTile;
    blnNoWin = view.noWin;
}

bool ReferenceAnalysis::CanWinWith(TileCode tile) {
    const bool outside = (HandCount() - 2) % 3 != 0;
    for (int i = 1; i <= 4; ++i) bytWildStandIns[i] = 50;
    if (blnNoWin) return false;
    if (outside && DiscardWinBarred()) return false;
    if (SevenPairsTest(tile)) return true;
    if (DecomposePlain(LocalHand, tile)) {
        const bool discardedWildPairsHeldOne =
            bytPairTile == bytWildTile && outside && tile == bytPairTile;
        if (!discardedWildPairsHeldOne) return true;
    }
    return DecomposeWithWilds(LocalHand, tile, outside);
}

bool ReferenceAnalysis::DecomposePlain(const std::vector<TileCode>& list, TileCode tile) {
    bytPairTile = 0;
    const int n = Size(list);
    if (n > 14) return false;
    std::array<int, 16> work{};  // slots 1-15
    int size = 0;
    for (int i = 1; i <= n; ++i) work[++size] = list[i];
    if ((n - 2) % 3 != 0) work[++size] = tile;

    // Exchange sort, ascending.
    for (int j = 1; j <= size; ++j) {
        for (int k = j + 1; k <= size; ++k) {
            if (work[k] < work[j]) std::swap(work[j], work[k]);
        }
    }

    if (size == 2) {
        if (work[1] == work[2]) {
            bytPairTile = static_cast<TileCode>(work[1]);
            return true;
        }
    }

    // Rows of (code, count) for the distinct codes, ascending.
    std::array<int, 16> rowCode{};
    std::array<int, 16> rowCount{};
    int rows = 0;
    for (int i = 1; i <= size; ++i) {
        if (rows > 0 && rowCode[rows] == work[i]) {
            rowCount[rows] += 1;
        } else {
            rows += 1;
            rowCode[rows] = work[i];
            rowCount[rows] = 1;
        }
    }
    for (int r = 1; r <= rows; ++r) {
        if (rowCount[r] > 4) return false;
    }

    for (int pair = 1; pair <= rows; ++pair) {
        if (rowCount[pair] < 2) continue;
        std::array<int, 16> left = rowCount;
        left[pair] -= 2;
        bytPairTile = static_cast<TileCode>(rowCode[pair]);
        bool failed = false;
        while (!failed) {
            int first = 0;
            for (int r = 1; r <= rows; ++r) {
                if (left[r] != 0) {
                    first = r;
                    break;
                }
            }
            if (first == 0) return true;
            if (left[first] == 3) {
                left[first] = 0;
                continue;
            }
            const int code = rowCode[first];
            const bool opensChow = first + 2 <= rows && rowCode[first + 1] == code + 1 &&
                                   rowCode[first + 2] == code + 2 &&
                                   rowCode[first + 2] / 9 == code / 9 && code / 9 <= 2 &&
                                   left[first + 1] != 0 && left[first + 2] != 0;
            if (!opensChow) {
                failed = true;
                continue;
            }
            left[first] -= 1;
            left[first + 1] -= 1;
            left[first + 2] -= 1;
        }
    }
    return false;
}

bool ReferenceAnalysis::DecomposeWithWilds(const std::vector<TileCode>& list, TileCode tile,
                                           bool outside) {
    for (int i = 0; i <= 4; ++i) bytWildStandIns[i] = 50;
    const int n = Size(list);
    if (n > 14) return false;
    std::vector<TileCode> work = WorkList(list, tile);
    const int size = Size(work);

    std::array<int, 5> wildPosition{};
    int w = 0;
    for (int i = 1; i <= size; ++i) {
        if (IsWild(work[i]) && w < 4) wildPosition[++w] = i;
    }

    std::array<bool, kCounterSlots> marked{};
    for (int i = 1; i <= size; ++i) {
        const TileCode t = work[i];
        if (IsWild(t)) continue;
        marked[t] = true;
        if (t <= 26) {
            const int rank = t % 9 + 1;
            if (rank != 1) marked[t - 1] = true;
            if (rank != 9) marked[t + 1] = true;
        }
    }
    std::vector<TileCode> candidates{0};
    for (int code = 0; code < kCounterSlots; ++code) {
        if (marked[code]) candidates.push_back(static_cast<TileCode>(code));
    }
    const int c = Size(candidates);

    if (w == 0) return false;
    if (w > c) return true;

    // Every assignment, wild 1 outermost; a missing wild runs one pass.
    const int range2 = w >= 2 ? c : 1;
    const int range3 = w >= 3 ? c : 1;
    const int range4 = w >= 4 ? c : 1;
    for (int a = 1; a <= c; ++a) {
        for (int b = 1; b <= range2; ++b) {
            for (int d = 1; d <= range3; ++d) {
                for (int e = 1; e <= range4; ++e) {
                    const std::array<int, 5> choice{0, a, b, d, e};
                    for (int k = 1; k <= w; ++k) {
                        work[wildPosition[k]] = candidates[choice[k]];
                        bytWildStandIns[k] = candidates[choice[k]];
                    }
                    if (!DecomposePlain(work, tile)) continue;
                    bool wildStandsForTile = false;
                    for (int k = 1; k <= w; ++k) {
                        if (bytWildStandIns[k] == tile) wildStandsForTile = true;
                    }
                    if (outside && bytPairTile == tile && wildStandsForTile) continue;
                    return true;
                }
            }
        }
    }
    return false;
}

bool ReferenceAnalysis::SevenPairsTest(TileCode tile) {
    for (int i = 1; i <= 4; ++i) bytWildStandIns[i] = 50;
    if (Melds.size() > 1) return false;
    std::vector<TileCode> work = WorkList(LocalHand, tile);
    const int size = Size(work);
    if (size > 20) return false;

    std::array<int, 5> wildPosition{};
    int w = 0;
    for (int i = 1; i <= size; ++i) {
        if (IsWild(work[i]) && w < 4) wildPosition[++w] = i;
    }

    auto countOdd = [&work, size]() {
        std::array<int, kCounterSlots> count{};
        for (int i = 1; i <= size; ++i) count[work[i]] += 1;
        int odd = 0;
        for (int code = 0; code <= 38; ++code) odd += count[code] % 2;
        return odd;
    };
    std::array<int, kCounterSlots> count{};
    for (int i = 1; i <= size; ++i) count[work[i]] += 1;
    std::vector<TileCode> odd{0};
    for (int code = 0; code <= 38; ++code) {
        if (count[code] % 2 != 0) odd.push_back(static_cast<TileCode>(code));
    }
    const int o = Size(odd);
    if (o == 0) return true;
    if (w == 0) return false;

    const int range2 = w >= 2 ? o : 1;
    const int range3 = w >= 3 ? o : 1;
    const int range4 = w >= 4 ? o : 1;
    for (int a = 1; a <= o; ++a) {
        for (int b = 1; b <= range2; ++b) {
            for (int d = 1; d <= range3; ++d) {
                for (int e = 1; e <= range4; ++e) {
                    const std::array<int, 5> choice{0, a, b, d, e};
                    for (int k = 1; k <= w; ++k) {
                        work[wildPosition[k]] = odd[choice[k]];
                        bytWildStandIns[k] = odd[choice[k]];
                    }
                    if (countOdd() == 0) return true;
                }
            }
        }
    }
    return false;
}

bool ReferenceAnalysis::DiscardWinBarred() {
    const int n = HandCount();
    if (n % 3 != 1) return false;
    int w = 0;
    for (int i = 1; i <= n; ++i) {
        if (IsWild(LocalHand[i])) w += 1;
    }
    if (w == 0) return false;
    if (w >= 3) return true;

    std::array<bool, 27> near{};
    for (int i = 1; i <= n; ++i) {
        const TileCode t = LocalHand[i];
        if (IsWild(t) || t > 26) continue;
        for (int b = 0; b <= 26; ++b) {
            if (b / 9 == t / 9 && b - t >= -2 && b - t <= 2) near[b] = true;
        }
    }
    std::array<bool, kCounterSlots> winning{};
    for (int b = 0; b <= 26; ++b) {
        if (near[b] && DecomposeWithWilds(LocalHand, static_cast<TileCode>(b), true)) {
            winning[b] = true;
        }
    }

    for (int i = 1; i <= n; ++i) {
        const int t = LocalHand[i];
        if (!winning[t]) continue;
        const int rank = t % 9 + 1;
        std::vector<int> neighbours;
        switch (rank) {
            case 1:
                neighbours = {t + 1, t + 2};
                break;
            case 2:
                neighbours = {t - 1, t + 1, t + 2};
                break;
            case 8:
                neighbours = {t - 2, t - 1, t + 1};
                break;
            case 9:
                neighbours = {t - 2, t - 1};
                break;
            default:
                neighbours = {t - 2, t - 1, t + 1, t + 2};
                break;
        }
        bool allWin = true;
        for (int neighbour : neighbours) {
            if (!winning[neighbour]) allWin = false;
        }
        if (allWin) return true;
    }
    return false;
}

bool ReferenceAnalysis::FindWinningTile() {
    for (int s = 0; s <= 4; ++s) {
        for (int r = 0; r <= 8; ++r) {
            const int c = 9 * s + r;
            if ((c >= 31 && c <= 35) || c > 38) continue;
            if (CanWinWith(static_cast<TileCode>(c))) {
                bytFirstWinningTile = static_cast<TileCode>(c);
                return true;
            }
        }
    }
    return false;
}

bool ReferenceAnalysis::KongKeepsReady(TileCode tile, MeldKind kind) {
    const std::vector<TileCode> savedHand = LocalHand;
    const std::vector<MeldRecord> savedMelds = Melds;

    std::vector<TileCode> kept{0};
    for (int i = 1; i <= HandCount(); ++i) {
        if (LocalHand[i] != tile) kept.push_back(LocalHand[i]);
    }
    LocalHand = kept;

    bool upgraded = false;
    for (std::size_t m = 1; m < Melds.size(); ++m) {
        if (Melds[m].bytKind == MeldKind::Pung && Melds[m].bytTile == tile) {
            Melds[m].bytKind = kind;
            upgraded = true;
            break;
        }
    }
    if (!upgraded) Melds.push_back({kind, tile, 0});

    const bool answer = FindWinningTile();

    LocalHand = savedHand;
    Melds = savedMelds;
    return answer;
}

}  // namespace qira::rules::reference
