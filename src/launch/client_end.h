#pragma once

#include <functional>
#include <optional>

// What qira-launch does when a client it started ends: a player the table sent
// away (for example one who did not press start in time) may sit down at a
// new table on the same server; any other end finishes the launcher.
namespace qira::launch {

enum class PlayerChoice { PlayAgain, Quit };

// Whether a client that ended with `status` (nothing when it crashed or never
// started) leaves the player a choice to play again.
bool OffersAnotherGame(std::optional<int> status);

// Starts clients through `runClient` until one ends in a way that offers no
// other game, or the player, asked through `askPlayAgain`, quits. Returns the
// launcher's exit status: the last client's, or 0 when the player chose to quit.
int RunClientsUntilDone(const std::function<std::optional<int>()>& runClient,
                        const std::function<PlayerChoice()>& askPlayAgain);

}  // namespace qira::launch
