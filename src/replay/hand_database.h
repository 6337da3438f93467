#pragma once

#include <string>
#include <vector>

// The hand log kept in the server's statistics database (table `hands`, see
// docs/hand-log.md), read without the server: opened read-only, so that a
// running server keeps writing while a player looks.
namespace qira::replay {

struct DatabaseHands {
    std::vector<std::string> lines;  // one JSON line per hand, "id" first, oldest first
    std::string error;               // in words, when the file could not be read
};

DatabaseHands ReadDatabaseHands(const std::string& path);

// Whether the file starts as an SQLite database does.
bool LooksLikeDatabase(const std::string& path);

}  // namespace qira::replay
