#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/frame_codec.h"
#include "net/protocol.h"
#include "net/requests.h"
#include "server/core/bot_client.h"
#include "server/core/room.h"

namespace qira::server::testing {

// A human's client in process: the computer player's logic plays its hands,
// but it presses start for the next hand only when the test says so.
class HumanAtTable final : public Peer {
public:
    HumanAtTable(Lobby& lobby, Scheduler& scheduler, const std::string& name, bool slowToStart,
                 BotStyle style = BotStyle::Smart)
        : lobby_(lobby),
          player_(
              scheduler, [this](const net::Bytes& m) { Forward(m); }, name, style, 11,
              Milliseconds{0}),
          slowToStart_(slowToStart) {
        player_.SetSearchBudget(lobby.config().botBudgetMs, false);
        lobby_.OnHello(*this, *net::BuildHello(name));
        lobby_.OnMessage(*this, *net::requests::Entry(false));
    }

    void Deliver(const net::Bytes& message) override {
        received.push_back(message);
        player_.Deliver(message);
    }
    void Disconnect() override { disconnected = true; }
    std::string Describe() const override { return "test player"; }

    bool WaitsToStart() const { return heldStart_.has_value(); }
    int chair() const { return chair_; }
    void PressStart() {
        slowToStart_ = false;
        if (heldStart_) lobby_.OnMessage(*this, *std::exchange(heldStart_, std::nullopt));
    }
    // The chairs that said they are ready for the next hand, in order.
    std::vector<int> ReadyChairs(std::size_t from) const {
        std::vector<int> chairs;
        for (std::size_t i = from; i < received.size(); ++i)
            if (net::ClassifyServerMessage(received[i]) == net::ServerMessage::ReadyForNext &&
                received[i].size() >= 2)
                chairs.push_back(received[i][1]);
        return chairs;
    }

    std::vector<net::Bytes> received;
    bool disconnected = false;

private:
    void Forward(const net::Bytes& request) {
        if (disconnected) return;
        if (net::ClassifyRequest(request) == net::Request::ReadyForNextHand) {
            chair_ = request.size() >= 2 ? request[1] : -1;
            if (slowToStart_) {
                heldStart_ = request;
                return;
            }
        }
        lobby_.OnMessage(*this, request);
    }

    Lobby& lobby_;
    BotClient player_;
    bool slowToStart_;
    std::optional<net::Bytes> heldStart_;
    int chair_ = -1;
};

}  // namespace qira::server::testing
