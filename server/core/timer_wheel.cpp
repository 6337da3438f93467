#include "server/core/timer_wheel.h"

#include <algorithm>
#include <bit>

namespace qira::server {

TimerWheel::TimerWheel(Milliseconds now) : slots_(kSlots), swept_(now) {}

std::size_t TimerWheel::SlotOf(Milliseconds time) {
    return static_cast<std::size_t>(time.count()) % kSlots;
}

TimerWheel::TimerId TimerWheel::Start(Milliseconds deadline, Task task) {
    const TimerId id = ++lastId_;
    live_.emplace(id, Pending{deadline, std::move(task)});
    if (deadline <= swept_) {
        late_.push_back({deadline, id});
        return id;
    }
    const std::size_t slot = SlotOf(deadline);
    slots_[slot].push_back({deadline, id});
    Mark(slot, true);
    return id;
}

void TimerWheel::Cancel(TimerId id) {
    live_.erase(id);
}

std::vector<TimerWheel::TimerId> TimerWheel::Due(Milliseconds now) {
    std::vector<Entry> due;
    for (const Entry& entry : std::exchange(late_, {}))
        if (live_.contains(entry.id)) due.push_back(entry);
    if (now > swept_) {
        const auto steps = std::min<std::int64_t>((now - swept_).count(), kSlots);
        for (std::int64_t step = 1; step <= steps; ++step)
            Sweep(SlotOf(swept_ + Milliseconds{step}), now, due);
        swept_ = now;
    }
    std::sort(due.begin(), due.end(), [](const Entry& a, const Entry& b) {
        return std::pair(a.deadline, a.id) < std::pair(b.deadline, b.id);
    });
    std::vector<TimerId> ids;
    ids.reserve(due.size());
    for (const Entry& entry : due) ids.push_back(entry.id);
    return ids;
}

// Takes the slot's timers due by `now` and drops the cancelled ones; those
// of later laps stay.
void TimerWheel::Sweep(std::size_t slot, Milliseconds now, std::vector<Entry>& due) {
    auto& entries = slots_[slot];
    if (entries.empty()) return;
    std::erase_if(entries, [&](const Entry& entry) {
        if (!live_.contains(entry.id)) return true;
        if (entry.deadline > now) return false;
        due.push_back(entry);
        return true;
    });
    Mark(slot, !entries.empty());
}

std::optional<TimerWheel::Task> TimerWheel::Take(TimerId id) {
    const auto it = live_.find(id);
    if (it == live_.end()) return std::nullopt;
    Task task = std::move(it->second.task);
    live_.erase(it);
    return task;
}

void TimerWheel::Mark(std::size_t slot, bool occupied) {
    const std::uint64_t bit = std::uint64_t{1} << (slot % kWordBits);
    if (occupied)
        occupied_[slot / kWordBits] |= bit;
    else
        occupied_[slot / kWordBits] &= ~bit;
}

// The first occupied slot at or after `slot`, going round the wheel once.
std::optional<std::size_t> TimerWheel::FirstOccupiedFrom(std::size_t slot) const {
    const std::size_t first = slot / kWordBits;
    const std::uint64_t head = occupied_[first] & (~std::uint64_t{0} << (slot % kWordBits));
    if (head != 0) return first * kWordBits + static_cast<std::size_t>(std::countr_zero(head));
    for (std::size_t i = 1; i <= occupied_.size(); ++i) {
        const std::size_t word = (first + i) % occupied_.size();
        if (occupied_[word] != 0)
            return word * kWordBits + static_cast<std::size_t>(std::countr_zero(occupied_[word]));
    }
    return std::nullopt;
}

std::optional<Milliseconds> TimerWheel::NextCheck() const {
    if (live_.empty()) return std::nullopt;
    if (!late_.empty()) return swept_;
    const std::size_t from = SlotOf(swept_ + Milliseconds{1});
    const auto slot = FirstOccupiedFrom(from);
    if (!slot) return std::nullopt;
    const auto ahead = static_cast<std::int64_t>((*slot + kSlots - from) % kSlots);
    return swept_ + Milliseconds{1 + ahead};
}

}  // namespace qira::server
