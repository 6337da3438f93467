// Feeds arbitrary bytes to the frame decoder and every decoded message to the
// text and number readers; re-encodes what decodes and checks the round trip.
#include <cstddef>
#include <cstdint>
#include <span>

#include "net/frame_codec.h"
#include "net/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qira::net;
    const std::span<const std::uint8_t> input(data, size);
    FrameDecoder decoder;
    const std::size_t cut = size > 0 ? data[0] % (size + 1) : 0;
    auto visit = [](std::span<const std::uint8_t> message) {
        std::int32_t number = 0;
        for (std::size_t i = 0; i <= message.size(); ++i) ReadInt32BE(number, message, i);
        const std::string text = DecodeBody(message, 2);
        Bytes again;
        const std::uint8_t header[] = {1, 2};
        // Invalid pairs decode to U+FFFD, which GBK cannot hold: no round trip for those.
        const bool replaced = text.find("\xEF\xBF\xBD") != std::string::npos;
        if (!text.empty() && !replaced && BuildPacket(text, again, 2, header)) {
            if (DecodeBody(again, 2) != text) __builtin_trap();
        }
        SplitFields(text);
    };
    decoder.Feed(input.first(cut), visit);
    decoder.Feed(input.subspan(cut), visit);
    return 0;
}
