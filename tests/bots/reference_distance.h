#pragma once

// The distance to a ready hand by a plain block search over the whole hand,
// as the yardstick for the computer player's ShantenOf.

#include <algorithm>
#include <span>

#include "rules/table_state.h"

namespace qira::bots::reference {

class BlockSearch {
public:
    BlockSearch(const rules::KindCounts& counts, int setsNeeded)
        : counts_(counts), setsNeeded_(setsNeeded), best_(2 * setsNeeded) {
        for (int c : counts) left_ += c;
    }

    int Best() {
        Run(0, 0, 0, 0);
        return best_;
    }

private:
    // Every collection of disjoint blocks (pungs, chows, pairs, partial sets),
    // kind by kind, cutting off what cannot do better than the best so far.
    void Run(int index, int sets, int partials, int pair) {
        while (index < rules::kDistinctTiles && counts_[index] == 0) ++index;
        const int usable = std::min(partials, setsNeeded_ - sets);
        const int now = 2 * (setsNeeded_ - sets) - usable - pair;
        if (index == rules::kDistinctTiles) {
            best_ = std::min(best_, now);
            return;
        }
        // Every tile still to place lowers the distance by one at the most.
        if (now - left_ >= best_ || sets + partials > setsNeeded_ + 1) return;
        const bool numbered = rules::IsNumbered(rules::TileOfKind(index));
        const int rank = index % 9;
        int& c = counts_[index];
        if (c >= 3) {
            c -= 3, left_ -= 3;
            Run(index, sets + 1, partials, pair);
            c += 3, left_ += 3;
        }
        if (numbered && rank <= 6 && counts_[index + 1] > 0 && counts_[index + 2] > 0) {
            --c, --counts_[index + 1], --counts_[index + 2], left_ -= 3;
            Run(index, sets + 1, partials, pair);
            ++c, ++counts_[index + 1], ++counts_[index + 2], left_ += 3;
        }
        if (c >= 2) {
            c -= 2, left_ -= 2;
            if (pair == 0) Run(index, sets, partials, 1);
            Run(index, sets, partials + 1, pair);
            c += 2, left_ += 2;
        }
        if (numbered && rank <= 7 && counts_[index + 1] > 0) {
            --c, --counts_[index + 1], left_ -= 2;
            Run(index, sets, partials + 1, pair);
            ++c, ++counts_[index + 1], left_ += 2;
        }
        if (numbered && rank <= 6 && counts_[index + 2] > 0) {
            --c, --counts_[index + 2], left_ -= 2;
            Run(index, sets, partials + 1, pair);
            ++c, ++counts_[index + 2], left_ += 2;
        }
        const int saved = c;
        c = 0, left_ -= saved;
        Run(index + 1, sets, partials, pair);
        c = saved, left_ += saved;
    }

    rules::KindCounts counts_;
    int setsNeeded_;
    int best_;
    int left_ = 0;
};

// Tiles still to go before a ready hand (-1: complete), wild tiles standing
// for whatever is missing, seven pairs included.
inline int Distance(std::span<const rules::TileCode> hand, std::size_t meldCount,
                    rules::TileCode wild) {
    rules::KindCounts counts{};
    int wilds = 0;
    for (rules::TileCode t : hand) {
        if (t == wild)
            ++wilds;
        else if (rules::IsTileCode(t))
            ++counts[rules::KindIndex(t)];
    }
    const int setsNeeded = 4 - static_cast<int>(std::min<std::size_t>(meldCount, 4));
    int shanten = BlockSearch(counts, setsNeeded).Best();
    if (meldCount == 0) {
        int pairs = 0;
        for (int c : counts) pairs += c / 2;
        shanten = std::min(shanten, 6 - std::min(pairs, 7));
    }
    return std::max(-1, shanten - wilds);
}

}  // namespace qira::bots::reference
