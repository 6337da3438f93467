#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "server/core/live_view.h"

// The tables as an outsider sees them, handed from the game's loop to the web
// thread. The loop publishes copies; the web side only ever reads them, so it
// has no way to change a game.
namespace qira::server::web {

struct LiveEdition {
    std::uint64_t version = 0;
    std::vector<LiveTable> tables;
};

class LiveFeed {
public:
    void Publish(std::vector<LiveTable> tables) {
        auto edition = std::make_shared<LiveEdition>();
        edition->tables = std::move(tables);
        const std::lock_guard lock(mutex_);
        edition->version = latest_->version + 1;
        latest_ = std::move(edition);
    }
    std::shared_ptr<const LiveEdition> Latest() const {
        const std::lock_guard lock(mutex_);
        return latest_;
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const LiveEdition> latest_ = std::make_shared<LiveEdition>();
};

}  // namespace qira::server::web
