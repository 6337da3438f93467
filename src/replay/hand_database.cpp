#include "replay/hand_database.h"

#include <sqlite3.h>
#include <array>
#include <fstream>
#include <memory>

namespace qira::replay {
namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinishStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

std::string WithId(sqlite3_int64 id, const char* log) {
    const std::string text = log ? log : "";
    if (text.size() < 2 || text.front() != '{') return text;
    const bool empty = text.find_first_not_of(" \t", 1) == text.rfind('}');
    return "{\"id\":" + std::to_string(id) + (empty ? "" : ",") + text.substr(1);
}

}  // namespace

DatabaseHands ReadDatabaseHands(const std::string& path) {
    sqlite3* opened = nullptr;
    const int status =
        sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> db(opened);
    if (status != SQLITE_OK)
        return {{}, "无法打开 " + path + "：" + (db ? sqlite3_errmsg(db.get()) : "内存不足")};
    sqlite3_busy_timeout(db.get(), 2000);
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT id, log FROM hands ORDER BY id", -1, &prepared,
                           nullptr) != SQLITE_OK)
        return {{}, path + " 里没有牌局记录：" + sqlite3_errmsg(db.get())};
    std::unique_ptr<sqlite3_stmt, FinishStatement> statement(prepared);
    DatabaseHands hands;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW)
        hands.lines.push_back(
            WithId(sqlite3_column_int64(statement.get(), 0),
                   reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 1))));
    if (step != SQLITE_DONE) hands.error = "读取 " + path + " 出错：" + sqlite3_errmsg(db.get());
    return hands;
}

bool LooksLikeDatabase(const std::string& path) {
    static constexpr std::string_view kHeader{"SQLite format 3\0", 16};
    std::array<char, 16> start{};
    std::ifstream file(path, std::ios::binary);
    return file.read(start.data(), start.size()) &&
           std::string_view(start.data(), start.size()) == kHeader;
}

}  // namespace qira::replay
