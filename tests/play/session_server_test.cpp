// The client session against the real room server in one process: the lobby
// runs on a virtual-time scheduler, the session plays through its public
// operations as a quick player would. Whole hands must pass without the
// client ever losing track of its hand (no resynchronisation request) and
// without the program ending.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>
#include <span>

#include "net/frame_codec.h"
#include "net/requests.h"
#include "server/core/room.h"
#include "server/core/scheduler.h"
#include "server/core/stats_store.h"
#include "session_fakes.h"

namespace qira::play::testing {
namespace {

struct InboxPeer final : server::Peer {
    std::deque<Bytes> inbox;
    bool disconnected = false;
    void Deliver(const Bytes& message) override { inbox.push_back(message); }
    void Disconnect() override { disconnected = true; }
    std::string Describe() const override { return "session under test"; }
};

enum class ClaimStyle { TakeEverything, PassEverything };

// One client: a session over the recording fakes, its link to the lobby, and
// a quick player's habits.
class Client {
public:
    Client(server::Lobby& lobby, std::string name, ClaimStyle style, std::string watch = {})
        : rig(name), lobby_(lobby), style_(style), name_(std::move(name)) {
        rig.preferences.allowWatchCards = true;
        const auto hello = net::BuildHello(watch.empty() ? name_ : name_ + "`" + watch);
        lobby_.OnHello(peer_, *hello);
        rig.session->OnConnected();
        Forward();
    }

    // Handles one waiting message; false when none waits.
    bool HandleOne() {
        if (peer_.inbox.empty() || rig.session->ended()) return false;
        const Bytes message = std::move(peer_.inbox.front());
        peer_.inbox.pop_front();
        if (message.size() >= 2 && message[0] == 27 && message[1] <= 1) ++drawnHands_;
        rig.session->OnMessage(message);
        Act();
        Forward();
        return true;
    }

    bool Idle() const { return peer_.inbox.empty(); }
    int HandsEnded() const { return static_cast<int>(rig.log.Count("LoadHuResult")) + drawnHands_; }

    SessionRig rig;
    int resyncRequests = 0;
    int claimsMade = 0;
    int discardsMade = 0;
    std::vector<Bytes> requests;  // everything this client sent

private:
    void Forward() {
        for (auto& request : rig.TakeSent()) {
            if (!request.empty() && request[0] == 2) ++resyncRequests;
            requests.push_back(request);
            lobby_.OnMessage(peer_, request);
        }
    }

    void AnswerSettingsDialog() {
        const auto& calls = rig.gameSet.calls;
        if (calls.size() < 2 || calls.back() != "Show") return;
        const std::string ownerPrefix = "SetInit owner ";
        const bool owner = calls[calls.size() - 2].starts_with(ownerPrefix);
        const std::string settings = calls[calls.size() - 2].substr(
            owner ? ownerPrefix.size() : std::string("SetInit player ").size());
        rig.gameSet.calls.push_back("Answered");
        const auto request = owner
                                 ? net::requests::ConfirmSettings(name_, net::SplitFields(settings))
                                 : net::requests::RaiseHand(name_);
        rig.session->SendGameSetResult(*request);
    }

    void Act() {
        auto& session = *rig.session;
        AnswerSettingsDialog();
        if (session.globals().blnShowStart) session.OnStartButtonClick();
        if (session.table().bytBetButtonStates[0] != 0) session.OnGameButtonClick(2);
        const auto& offer = session.offer();
        if (offer.AnyOffered()) {
            ActionButton choice = ActionButton::Pass;
            if (offer.Offered(ActionButton::Win)) {
                choice = ActionButton::Win;
            } else if (style_ == ClaimStyle::TakeEverything) {
                for (auto button : {ActionButton::Kong, ActionButton::Pung, ActionButton::Chow})
                    if (offer.Offered(button)) {
                        choice = button;
                        break;
                    }
            }
            if (choice != ActionButton::Pass) ++claimsMade;
            session.OnActionButton(static_cast<int>(choice), MouseButton::Left);
        }
        const auto& table = session.table();
        if (!session.globals().blnIsWatcher && rig.clock.RunningFor(table.bytMyChair) &&
            table.bytTurnChair == table.bytMyChair && table.bytTurnPhase != 0 &&
            table.bytMyHand.size() % 3 == 2) {
            ++discardsMade;
            session.OnHandTileClick(static_cast<int>(table.bytMyHand.size()), MouseButton::Left);
        }
    }

    InboxPeer peer_;
    server::Lobby& lobby_;
    ClaimStyle style_;
    std::string name_;
    int drawnHands_ = 0;
};

// The lobby on a virtual-time scheduler and the clients connected to it. The
// lobby goes first when the room is destroyed, while its peers still exist.
class RoomUnderTest {
public:
    RoomUnderTest() {
        server::ServerConfig config;
        config.log = false;
        config.botThink = server::Milliseconds{50};
        lobby_ = std::make_unique<server::Lobby>(scheduler_, stats_, config);
    }

    Client& Join(std::string name, ClaimStyle style, std::string watch = {}) {
        clients_.push_back(
            std::make_unique<Client>(*lobby_, std::move(name), style, std::move(watch)));
        return *clients_.back();
    }

    // Runs until the first client has seen `hands` hands end, or nothing is
    // left to do. `check` runs whenever every client has handled everything
    // sent to it.
    void PlayHands(int hands, const std::function<void()>& check = {}) {
        Client& first = *clients_.front();
        for (std::uint64_t step = 0; step < 2'000'000; ++step) {
            if (first.HandsEnded() >= hands || first.rig.session->ended()) return;
            bool handled = false;
            for (auto& client : clients_) handled = client->HandleOne() || handled;
            if (handled) continue;
            if (check) check();
            if (!scheduler_.Step()) return;
        }
    }

private:
    server::ManualScheduler scheduler_;
    server::MemoryStatsStore stats_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::unique_ptr<server::Lobby> lobby_;
};

TEST(SessionAgainstServer, PlaysHandsTakingEveryClaim) {
    RoomUnderTest room;
    Client& me = room.Join("me", ClaimStyle::TakeEverything);
    room.PlayHands(10);
    EXPECT_GE(me.HandsEnded(), 10);
    EXPECT_FALSE(me.rig.session->ended());
    EXPECT_EQ(me.resyncRequests, 0);
    EXPECT_GT(me.claimsMade, 0);
    EXPECT_GT(me.discardsMade, 10);
    EXPECT_EQ(me.rig.session->table().bytAutoPlayCount, 0);
}

TEST(SessionAgainstServer, OnlookerMirrorsTheWatchedPlayersHand) {
    RoomUnderTest room;
    Client& me = room.Join("me", ClaimStyle::PassEverything);
    Client& eye = room.Join("eye", ClaimStyle::PassEverything, "me");
    int comparisons = 0;
    room.PlayHands(6, [&] {
        const auto& mine = me.rig.session->table();
        const auto& seen = eye.rig.session->table();
        if (mine.blnHandIdle || seen.blnHandIdle) return;
        ++comparisons;
        EXPECT_EQ(seen.bytMyHand, mine.bytMyHand);
        EXPECT_EQ(seen.bytTurnChair, mine.bytTurnChair);
        EXPECT_EQ(seen.bytTurnPhase, mine.bytTurnPhase);
        for (int chair = 0; chair < 4; ++chair)
            EXPECT_EQ(seen.Seats[chair].Discards, mine.Seats[chair].Discards);
    });
    EXPECT_GE(me.HandsEnded(), 6);
    EXPECT_GT(comparisons, 20);
    EXPECT_TRUE(eye.rig.session->globals().blnIsWatcher);
    EXPECT_EQ(eye.rig.session->table().bytMyChair, me.rig.session->table().bytMyChair);
    EXPECT_EQ(me.resyncRequests, 0);
    EXPECT_EQ(eye.resyncRequests, 0);
    // An onlooker plays nothing: no request of the game goes out.
    const std::set<int> gameRequests{2, 18, 19, 20, 21, 22, 23, 24, 28, 29, 30};
    for (const auto& request : eye.requests)
        EXPECT_FALSE(gameRequests.contains(request[0]))
            << "onlooker sent main type " << int(request[0]);
}

}  // namespace
}  // namespace qira::play::testing
