// Leaving the table: why the table sent the player away and what it cost,
// put in words for whoever started the program (`farewell()`).
#include <string>

#include "play/client_session.h"
#include "play/text_fields.h"

namespace qira::play {

void ClientSession::RememberEscapePenalty(std::span<const std::string> settings) {
    // The settings text: stake, its limits, the escape penalty, its limits.
    constexpr std::size_t kPenaltyField = 3;
    if (settings.size() <= kPenaltyField) return;
    const auto penalty = NumberOf(settings[kPenaltyField]);
    if (penalty >= 0) escapePenalty_ = static_cast<std::int32_t>(penalty);
}

// Leaving a running hand ends like a connection that does not come back:
// the server plays the chair to the end, charges the hand to the player and
// takes the escape penalty when the hand ends. The server closes the
// connection at once, so the client never hears the hand's result.
std::string ClientSession::CostOfLeaving() const {
    if (table_.blnHandIdle) return "当时没有牌局在进行，不扣分。";
    const std::string penalty = escapePenalty_
                                    ? "扣逃跑分 " + std::to_string(*escapePenalty_) + " 分"
                                    : "按本桌设置扣逃跑分";
    return "这算逃跑：" + penalty + "，本局由电脑替你打完，输赢也算在你名下。";
}

void ClientSession::LeaveTable(const std::string& why) {
    if (ended_) return;
    farewell_ = why + CostOfLeaving();
    CloseMainWindow(launch::ClientExit::LeftTable);
}

}  // namespace qira::play
