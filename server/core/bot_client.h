#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "bots/seat_knowledge.h"
#include "net/byte_reader.h"
#include "server/core/bot_brain.h"
#include "server/core/peer.h"
#include "server/core/scheduler.h"
#include "server/core/win_check.h"

namespace qira::server {

class Lobby;

// A computer player as a client: it receives the messages a human's client
// receives, keeps its own view of the table from them, and answers with the
// very request bytes a human's client sends, through the same entry point
// of the lobby.
class BotClient final : public Peer {
public:
    // Where the player's requests go: the lobby's entry point in process, or
    // a socket for a player on its own connection.
    using RequestSink = std::function<void(const net::Bytes&)>;

    BotClient(Lobby& lobby, std::string name, BotStyle style, std::uint32_t seed,
              Milliseconds think);
    BotClient(Scheduler& scheduler, RequestSink sink, std::string name, BotStyle style,
              std::uint32_t seed, Milliseconds think);

    void Deliver(const net::Bytes& message) override;
    void Disconnect() override { gone_ = true; }
    void SetStyle(BotStyle style) { brain_.set_style(style); }
    // Level 4's time for a decision; watching the clock ends it on time on
    // a slow machine, at the cost of reproducible choices.
    void SetSearchBudget(int milliseconds, bool watchClock) {
        brain_.set_budget(milliseconds, watchClock);
    }
    // Each wait lasts think × (1 ± spread), uniformly drawn, instead of the
    // same time every move: many players that started together stop acting
    // in step, as people do. 0 (the default) keeps every wait equal.
    void SetThinkSpread(double spread);
    std::string Describe() const override { return "computer player"; }
    // What the player decides from now.
    BotView View() const { return bots::ViewOf(knowledge_); }

private:
    // One receiver per server message of the protocol's table; the hand's
    // facts are learnt by knowledge_ first.
    template <typename Handler>
    friend bool net::DispatchServerMessage(Handler&, std::span<const std::uint8_t>);
    using Message = std::span<const std::uint8_t>;
    void ReceiveOnlookerArrived(Message) {}
    void ReceiveTableReset(Message) {}
    void ReceiveUserList(Message m);
    void ReceiveIdentity(Message m);
    void ReceiveUserArrived(Message m);
    void ReceiveWindowHidden(Message) {}
    void ReceivePlayerBack(Message) {}
    void ReceivePlayerDropped(Message) {}
    void ReceiveOnlookerLeft(Message) {}
    void ReceiveRefreshUser(Message) {}
    void ReceiveUserLeft(Message) {}
    void ReceiveSettings(Message m);
    void ReceiveHandRaised(Message m);
    void ReceiveSnapshot(Message m);
    void ReceiveChatLine(Message) {}
    void ReceiveNewHand(Message m);
    void ReceiveBetChosen(Message m);
    void ReceiveDeal(Message) {}
    void ReceiveReadyForNext(Message) {}
    void ReceiveDraw(Message) {}
    void ReceiveDiscarded(Message m);
    void ReceiveChowed(Message) {}
    void ReceivePunged(Message) {}
    void ReceiveKonged(Message) {}
    void ReceiveThreeIndicators(Message m);
    void ReceiveMayRobKong(Message) {}
    void ReceiveHandResync(Message) {}
    void ReceiveWinRecord(Message m);
    void ReceiveDrawnGame(Message m);
    void ReceiveNotice(Message) {}
    void ReceiveMustStop(Message) {}
    void ReceiveWatchPermission(Message) {}
    void ReceiveChatRelay(Message) {}
    void ReceiveItemCatalogue(Message) {}
    void ReceiveOwnItems(Message) {}
    void ReceiveItemNotice(Message) {}
    void ReceiveItemUsed(Message) {}
    void TakeChairFromRecord(std::span<const std::string> user);
    void OnHandOver();
    void Send(net::Bytes request);
    void SendLater(net::Bytes request);
    void AnswerClaimWindowLater(net::Bytes answer);
    void ActSoon();
    void AfterThinking(Scheduler::Task task);
    void Act();
    void ActOnOwnTurn();
    net::Bytes AnswerToDiscard();
    net::Bytes AnswerBySampling(const BotView& view, Tile tile, bool mayKong);
    HandInfo OwnHand() const;

    Scheduler& scheduler_;
    RequestSink sink_;
    std::string name_;
    BotBrain brain_;
    std::uint32_t seed_;
    Milliseconds think_;
    double thinkSpread_ = 0;
    std::mt19937 thinkRandom_;
    bool gone_ = false;
    int chair_ = -1;
    bool betChosen_ = true;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    bots::SeatKnowledge knowledge_;
    bool indicatorsAsked_ = false;
    std::vector<Tile> declinedKongs_;  // kongs let pass: a client never offers them again
    std::uint64_t claimWindow_ = 0;    // grows with every discard
    std::uint64_t version_ = 0;        // grows with every game message; a stale plan is dropped
};

}  // namespace qira::server
