// The events of a hand put in words for the status line (`statusLine`).
#include "play/client_session.h"
#include "play/table_words.h"
#include "play/win_record.h"

namespace qira::play {

void ClientSession::Announce(std::string words) {
    statusLine_ = std::move(words);
    if (announcer_) announcer_(statusLine_);
}

void ClientSession::AnnounceOwnTurn() {
    const auto turnPhase = table_.bytTurnPhase;
    if (turnPhase == phase::kChowed || turnPhase == phase::kPunged)
        Announce("轮到你出牌");
    else
        Announce("轮到你出牌，摸到 " + HandTileName(table_, FreshTile()));
}

void ClientSession::AnnounceWinners(const WinRecord& record) {
    std::string names;
    for (const WinnerBlock& winner : record.winners)
        names += (names.empty() ? "" : "、") + ChairName(table_, winner.chair);
    Announce(names + " 胡牌");
}

}  // namespace qira::play
