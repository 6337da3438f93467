#include "launch/play_again.h"

#include "launch/client_exit.h"

namespace qira::launch {

bool OffersAnotherGame(std::optional<int> status) {
    return status == StatusOf(ClientExit::LeftTable);
}

int RunClientsUntilDone(const std::function<std::optional<int>()>& runClient,
                        const std::function<PlayerChoice()>& askPlayAgain) {
    for (;;) {
        const std::optional<int> status = runClient();
        if (!OffersAnotherGame(status)) return status.value_or(1);
        if (askPlayAgain() == PlayerChoice::Quit) return 0;
    }
}

}  // namespace qira::launch
