// Arbitrary frames from three connections into the room server on the
// virtual-time scheduler, with computer players filling the chairs. Nothing
// may crash or leak, and a seated player never receives another chair's
// concealed tiles.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "net/game_messages.h"
#include "net/packet.h"
#include "net/protocol.h"
#include "server/core/room.h"
#include "support/fuzz_lobby.h"

namespace {

using namespace qira;

// A connection of the fuzzer: it remembers who it is and where it sits, and
// checks every message it receives.
class WatchingPeer final : public server::Peer {
public:
    void Deliver(const net::Bytes& message) override {
        Learn(message);
        CheckNothingHiddenLeaks(message);
    }
    void Disconnect() override { connected = false; }
    // A new hello is a new user: name and chair are learned again.
    void ForgetIdentity() {
        name_.clear();
        chair_ = -1;
    }
    std::string Describe() const override { return "fuzz peer"; }

    bool connected = false;

private:
    void Learn(std::span<const std::uint8_t> m) {
        const auto kind = net::ClassifyServerMessage(m);
        if (!kind || m.size() < 2) return;
        const auto fields = net::SplitFields(net::DecodeBody(m, 2));
        if (*kind == net::ServerMessage::Identity && !fields.empty()) name_ = fields[0];
        if (*kind == net::ServerMessage::TableReset) chair_ = -1;
        if (*kind == net::ServerMessage::UserArrived) LearnChair(fields);
        if (*kind == net::ServerMessage::UserList) {
            const std::string text = net::DecodeBody(m, 2);
            std::size_t begin = 0;
            while (begin <= text.size()) {
                const auto end = std::min(text.find('\n', begin), text.size());
                LearnChair(net::SplitFields(std::string_view(text).substr(begin, end - begin)));
                begin = end + 1;
            }
        }
    }

    // An onlooker (a record that watches someone) sits nowhere; what it may
    // see of the player it watches is the table's permission, not checked here.
    void LearnChair(const std::vector<std::string>& record) {
        namespace field = net::user_record;
        if (record.size() != field::kFieldCount || record[field::kName] != name_) return;
        chair_ = record[field::kWatched].empty() ? std::atoi(record[field::kChair].c_str()) : -1;
    }

    // A tile of `chair` shown to this peer must be face down unless it is
    // this peer's own chair.
    void Expect(int chair, std::uint8_t tile) const {
        if (chair_ < 0 || chair == chair_ || tile == net::kFaceDownTileCode) return;
        std::abort();
    }

    void CheckNothingHiddenLeaks(std::span<const std::uint8_t> m) const {
        const auto kind = net::ClassifyServerMessage(m);
        if (!kind || chair_ < 0) return;
        using enum net::ServerMessage;
        switch (*kind) {
            case Deal:
                if (const auto deal = net::DecodeSideBetsOrDeal(m)) {
                    Expect(deal->chair, deal->tile);
                    for (const std::uint8_t tile : deal->tiles) Expect(deal->chair, tile);
                }
                return;
            case Draw:
                if (const auto draw = net::DecodeChairTile(m)) Expect(draw->chair, draw->tile);
                return;
            case Discarded:
                if (const auto discard = net::DecodeDiscard(m); discard && discard->nextChair < 4)
                    Expect(discard->nextChair, discard->nextTile);
                return;
            case Konged:
                if (const auto kong = net::DecodeKong(m)) Expect(kong->chair, kong->replacement);
                return;
            default:
                return;
        }
    }

    std::string name_;
    int chair_ = -1;
};

// Reads the fuzzer's bytes as a script of operations.
class Script {
public:
    explicit Script(std::span<const std::uint8_t> data) : data_(data) {}
    bool Done() const { return at_ >= data_.size(); }
    std::uint8_t Byte() { return at_ < data_.size() ? data_[at_++] : 0; }
    std::span<const std::uint8_t> Bytes(std::size_t count) {
        count = std::min(count, data_.size() - at_);
        const auto out = data_.subspan(at_, count);
        at_ += count;
        return out;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
};

constexpr int kPeers = 3;
constexpr int kMaxOperations = 48;
constexpr int kMaxStepsPerPause = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<WatchingPeer, kPeers> peers;
    fuzz::FuzzLobby lobby;

    Script script({data, size});
    for (int op = 0; op < kMaxOperations && !script.Done(); ++op) {
        const std::uint8_t code = script.Byte();
        WatchingPeer& peer = peers[(code >> 2) % kPeers];
        switch (code & 3) {
            case 0: {  // a hello: "QIRA/1`name[`watch]" from the next bytes
                const auto length = script.Byte() % 24;
                const auto text = script.Bytes(length);
                std::string hello = "QIRA/1`";
                hello.append(text.begin(), text.end());
                if (peer.connected) lobby->OnDisconnected(peer);
                peer.ForgetIdentity();
                peer.connected = true;
                lobby->OnHello(peer, std::span(reinterpret_cast<const std::uint8_t*>(hello.data()),
                                               hello.size()));
                break;
            }
            case 1: {  // one message of up to 63 bytes
                const auto message = script.Bytes(script.Byte() % 64);
                if (peer.connected && !message.empty()) lobby->OnMessage(peer, message);
                break;
            }
            case 2:  // the connection ends
                if (peer.connected) lobby->OnDisconnected(peer);
                peer.connected = false;
                break;
            default:  // time passes: a few tasks or timers
                lobby.Run(1 + script.Byte() % kMaxStepsPerPause);
                break;
        }
    }
    for (auto& peer : peers)
        if (peer.connected) lobby->OnDisconnected(peer);
    return 0;
}
