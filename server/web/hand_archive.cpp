#include "server/web/hand_archive.h"

#include <sqlite3.h>

#include <memory>

#include "server/core/stats_engine.h"
#include "server/core/stats_store.h"

namespace qira::server::web {
namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinishStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinishStatement>;

Database OpenReadOnly(const std::string& path, std::string& error) {
    sqlite3* opened = nullptr;
    const int status =
        sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(opened);
    if (status != SQLITE_OK) {
        error = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db.get()) : "out of memory");
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), 500);
    return db;
}

Statement Prepare(sqlite3* db, const char* sql, std::string& error) {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &prepared, nullptr) != SQLITE_OK)
        error = std::string("cannot read the database: ") + sqlite3_errmsg(db);
    return Statement(prepared);
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

void AddTo(replay::RecordFigures& figures, const replay::MyHand& hand) {
    using replay::MyResult;
    ++figures.hands;
    const bool won = hand.result == MyResult::WonOnDiscard || hand.result == MyResult::SelfDrawn;
    figures.wins += won ? 1 : 0;
    figures.selfDrawn += hand.result == MyResult::SelfDrawn ? 1 : 0;
    figures.dealtIn += hand.result == MyResult::PaidAsDiscarder ? 1 : 0;
}

}  // namespace

HandArchive::HandArchive(std::string path) : path_(std::move(path)) {}

RecordReader& HandArchive::Records() const {
    if (!records_) records_ = OpenPostgresRecords(path_);
    return *records_;
}

// A connection that failed is dropped and opened again on the next call.
std::string HandArchive::RefreshFromPostgres() {
    try {
        for (const auto& [id, log] : Records().HandsAfter(lastId_)) {
            lastId_ = id;
            auto parsed = replay::ParseHandLine(WithHandId(id, log));
            if (parsed.hand) AddHand(*parsed.hand);
        }
        for (const auto& [name, points] : Records().Points()) {
            PlayerEntry& player = players_[name];
            player.name = name;
            player.points = points;
        }
        return {};
    } catch (const std::exception& fault) {
        records_.reset();
        return fault.what();
    }
}

HandArchive::~HandArchive() = default;

std::string HandArchive::Refresh() {
    if (IsPostgresTarget(path_)) return RefreshFromPostgres();
    std::string error = ReadNewHands();
    const std::string pointsError = ReadPoints();
    return error.empty() ? pointsError : error;
}

std::string HandArchive::ReadNewHands() {
    std::string error;
    const Database db = OpenReadOnly(path_, error);
    if (!db) return error;
    const Statement statement =
        Prepare(db.get(), "SELECT id, log FROM hands WHERE id > ? ORDER BY id", error);
    if (!statement) return error;
    sqlite3_bind_int64(statement.get(), 1, lastId_);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        lastId_ = sqlite3_column_int64(statement.get(), 0);
        auto parsed = replay::ParseHandLine(WithHandId(lastId_, ColumnText(statement.get(), 1)));
        if (parsed.hand) AddHand(*parsed.hand);
    }
    if (step != SQLITE_DONE)
        return std::string("cannot read the hands: ") + sqlite3_errmsg(db.get());
    return {};
}

std::string HandArchive::ReadPoints() {
    std::string error;
    const Database db = OpenReadOnly(path_, error);
    if (!db) return error;
    const Statement statement = Prepare(db.get(), "SELECT name, points FROM users", error);
    if (!statement) return error;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        const std::string name = ColumnText(statement.get(), 0);
        PlayerEntry& player = players_[name];
        player.name = name;
        player.points = sqlite3_column_int64(statement.get(), 1);
    }
    return {};
}

void HandArchive::AddHand(const replay::HandLog& hand) {
    const std::vector<replay::HandLog> one{hand};
    for (replay::Chair chair = 0; chair < 4; ++chair) {
        const std::string& name = hand.players[chair];
        if (name.empty()) continue;
        for (const replay::MyHand& mine : replay::MyHands(one, name)) {
            if (mine.seat != chair) continue;
            PlayerEntry& player = players_[name];
            player.name = name;
            player.computer = hand.levels[chair] > 0;
            player.hands.push_back(mine);
            AddTo(player.figures, mine);
        }
    }
}

std::optional<replay::HandLog> HandArchive::ReadHand(std::int64_t id) const {
    if (IsPostgresTarget(path_)) {
        try {
            const auto log = Records().HandLog(id);
            if (!log) return std::nullopt;
            return replay::ParseHandLine(WithHandId(id, *log)).hand;
        } catch (const std::exception&) {
            records_.reset();
            return std::nullopt;
        }
    }
    std::string error;
    const Database db = OpenReadOnly(path_, error);
    if (!db) return std::nullopt;
    const Statement statement = Prepare(db.get(), "SELECT log FROM hands WHERE id = ?", error);
    if (!statement) return std::nullopt;
    sqlite3_bind_int64(statement.get(), 1, id);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) return std::nullopt;
    return replay::ParseHandLine(WithHandId(id, ColumnText(statement.get(), 0))).hand;
}

}  // namespace qira::server::web
