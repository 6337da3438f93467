#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What qira-launch does when a client it started ends. A player the table
// sent away may sit down at a new table on the same server; a player whose
// connection failed or broke is told so and may connect again (a new client
// with the same name and hello secret takes the chair back during a hand).
// A window the player closed, a bad command line or a crash ends the launcher
// without a question.
namespace qira::launch {

enum class PlayerChoice { StartAnother, Quit };

struct ClientEnd {
    std::optional<int> status;  // nothing: the client crashed or never started
    std::string reason;         // the client's end report, see client_exit.h
    std::string serverAddress;  // as ServerAddress writes it
    std::string note = {};      // why the table sent the player away, see exit_note.h
};

// The small window shown after a client ended: its text and the caption of the
// button that starts another client (the other one is "退出").
struct EndNotice {
    std::string text;
    std::string againCaption;
    bool failure = false;  // the connection failed: shown with the warning sign
};

// The server's address as a player reads it: "host:port", "[v6]:port".
std::string ServerAddress(std::string_view host, std::string_view port);

// The window for a client's end, or nothing when the launcher just ends.
std::optional<EndNotice> NoticeFor(const ClientEnd& end);

// Starts clients through `runClient` until one ends without a notice or the
// player, asked through `ask`, quits. Returns the launcher's exit status: the
// last client's, except 0 for a player the table sent away who chose to quit
// (nothing failed), and 1 for a client that crashed.
int RunClientsUntilDone(const std::function<ClientEnd()>& runClient,
                        const std::function<PlayerChoice(const EndNotice&)>& ask);

}  // namespace qira::launch
