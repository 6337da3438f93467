#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "replay/hand_log.h"
#include "replay/my_record.h"

// The statistics database (an SQLite file or PostgreSQL) read for the web
// pages: its own read-only connection, so the server's writer never waits for a reader. New hands
// are read as they are written and each is parsed once; only what the players' pages need is kept,
// a whole hand is read again when it is asked for.
namespace qira::server {
class RecordReader;
}

namespace qira::server::web {

struct PlayerEntry {
    std::string name;
    std::int64_t points = 0;
    bool computer = false;
    std::vector<replay::MyHand> hands;  // oldest first
    replay::RecordFigures figures;
};

class HandArchive {
public:
    explicit HandArchive(std::string path);
    ~HandArchive();
    HandArchive(const HandArchive&) = delete;
    HandArchive& operator=(const HandArchive&) = delete;

    // Reads what the database gained since the last call; the error in words,
    // or empty. The earlier contents stay when the database cannot be read.
    std::string Refresh();

    // The kept hand with number `id`, read from the database; nothing when
    // there is none or it cannot be read.
    std::optional<replay::HandLog> ReadHand(std::int64_t id) const;
    // Every player with a points row or a logged hand, by name.
    const std::map<std::string, PlayerEntry, std::less<>>& Players() const { return players_; }

private:
    std::string RefreshFromPostgres();
    RecordReader& Records() const;
    std::string ReadNewHands();
    std::string ReadPoints();
    void AddHand(const replay::HandLog& hand);

    std::string path_;
    mutable std::unique_ptr<RecordReader> records_;  // PostgreSQL, opened on first use
    std::int64_t lastId_ = 0;
    std::map<std::string, PlayerEntry, std::less<>> players_;
};

}  // namespace qira::server::web
