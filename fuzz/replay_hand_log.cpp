// libFuzzer target: arbitrary text read as a hand log. Every hand the reader
// takes is replayed from each chair; a replay that builds must give messages
// the protocol knows, and its win record must decode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/protocol.h"
#include "play/win_record.h"
#include "replay/hand_replay.h"

using namespace qira;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto log = replay::ParseHandLog(text);
    for (const auto& hand : log.hands) {
        for (replay::Chair view = 0; view < 4; ++view) {
            const auto built = replay::HandReplay::Build(hand, view);
            if (!built) break;  // the same fault for every chair
            for (std::size_t n = 0; n <= built->StepCount(); ++n) {
                for (const auto& message : built->Step(n).messages) {
                    const auto kind = net::ClassifyServerMessage(message);
                    if (!kind) std::abort();
                    if (*kind == net::ServerMessage::WinRecord && !play::DecodeWinRecord(message))
                        std::abort();
                }
                (void)built->Describe(n);
            }
        }
    }
    return 0;
}
