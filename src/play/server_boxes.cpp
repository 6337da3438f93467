// The boxes the server's messages open (notices, a drawn game, a player who
// must stop, item notices). Each waits for its button in a nested loop that
// delivers the next message; a box that message opens waits behind the open
// one instead of nesting, so a server cannot stack boxes without bound.
#include "play/client_session.h"

namespace qira::play {

void ClientSession::ShowServerBox(ServerBox box) {
    if (serverBoxOpen_) return QueueServerBox(std::move(box));
    serverBoxOpen_ = true;
    waitingServerBoxes_.push_front(std::move(box));
    while (!waitingServerBoxes_.empty() && !ended_) {
        const ServerBox next = std::move(waitingServerBoxes_.front());
        waitingServerBoxes_.pop_front();
        if (next.platformWarning) {
            DeliverHeldMessages();
            host_.messages.ShowPlatformWarning(next.box.caption, next.box.note);
        } else {
            ShowPrompt(next.box);
        }
        if (ended_) break;
        FollowUp(next.then);
    }
    serverBoxOpen_ = false;
}

void ClientSession::QueueServerBox(ServerBox box) {
    if (waitingServerBoxes_.size() < kWaitingServerBoxLimit) {
        waitingServerBoxes_.push_back(std::move(box));
        return;
    }
    ServerBox& last = waitingServerBoxes_.back();
    BoxFollowUp then = last.then;
    then.evaluateTurn = then.evaluateTurn || box.then.evaluateTurn;
    if (box.then.endHand) then.endHand = box.then.endHand;
    if (box.then.leaveTable) then.leaveTable = box.then.leaveTable;
    last = std::move(box);
    last.then = then;
}

void ClientSession::FollowUp(const BoxFollowUp& then) {
    // A drawn-game box that waited while a new hand started does not end it.
    if (then.endHand && *then.endHand == handSerial_) EndHand();
    if (then.evaluateTurn) EvaluateTurn();
    if (ended_) return;
    if (then.leaveTable) LeaveTable(*then.leaveTable);
}

}  // namespace qira::play
