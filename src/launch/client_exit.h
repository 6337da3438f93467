#pragma once

#include <string>
#include <string_view>

// How qira-client ends, as its exit status, so that whoever started it (a
// lobby or qira-launch) can tell a player who closed the window from one the
// table sent away or one whose connection failed.
//
// The status says what happened; the system's reason for a failed or broken
// connection ("Connection refused") travels beside it in the end report: when
// the environment variable `kEndReportVariable` names a file, the client
// writes the reason there, one line of UTF-8, as it ends. A file rather than
// standard error keeps the reason apart from whatever else the client prints
// (Qt's warnings, a sanitizer's report) and leaves standard error the
// launcher's to pass on untouched. The client also prints the reason on
// standard error for a person reading a terminal.
namespace qira::launch {

enum class ClientExit : int {
    ClosedByPlayer = 0,  // the player closed the window
    // 1 and 2 are the launch errors' statuses (a bad command line)
    LeftTable = 3,          // the table sent the player away: start clock, escape, removal
    ConnectionLost = 4,     // the server ended a connection that was up
    ServerUnreachable = 5,  // the connection never came up
};

constexpr int StatusOf(ClientExit exit) {
    return static_cast<int>(exit);
}

inline constexpr const char* kEndReportVariable = "QIRA_END_REPORT";

// The longest reason kept: a report is one short line.
inline constexpr std::size_t kMaxEndReportBytes = 400;

// Writes `reason` to the file `path`; false when it cannot be written.
bool WriteEndReport(const std::string& path, std::string_view reason);

// The reason in the file `path`: its first line, at most kMaxEndReportBytes,
// with control characters dropped; empty when there is no such file.
std::string ReadEndReport(const std::string& path);

}  // namespace qira::launch
