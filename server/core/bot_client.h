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
    // Each wait lasts think × (1 ± spread), uniformly drawn, instead of the
    // same time every move: many players that started together stop acting
    // in step, as people do. 0 (the default) keeps every wait equal.
    void SetThinkSpread(double spread);
    std::string Describe() const override { return "computer player"; }
    // What the player decides from now.
    BotView View() const { return bots::ViewOf(knowledge_); }

private:
    void OnRoom(std::span<const std::uint8_t> m);
    void OnGame(std::span<const std::uint8_t> m);
    void OnDiscarded(std::span<const std::uint8_t> m);
    void OnHandOver();
    void LoadSnapshot(std::span<const std::uint8_t> m);
    void Send(net::Bytes request);
    void SendLater(net::Bytes request);
    void AnswerClaimWindowLater(net::Bytes answer);
    void ActSoon();
    void AfterThinking(Scheduler::Task task);
    void Act();
    void ActOnOwnTurn();
    net::Bytes AnswerToDiscard();
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
    std::uint64_t claimWindow_ = 0;  // grows with every discard
    std::uint64_t version_ = 0;      // grows with every game message; a stale plan is dropped
};

}  // namespace qira::server
