#include "net/frame_codec.h"

#include <gtest/gtest.h>

namespace qira::net {
namespace {

std::vector<Bytes> DecodeAll(FrameDecoder& decoder, std::span<const std::uint8_t> bytes,
                             FrameDecoder::Status* status = nullptr) {
    std::vector<Bytes> messages;
    const auto result = decoder.Feed(bytes, [&](std::span<const std::uint8_t> message) {
        messages.emplace_back(message.begin(), message.end());
    });
    if (status) *status = result;
    return messages;
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(FrameDecoder, DeliversEveryMessageWhateverTheSplitPoint) {
    const std::vector<Bytes> messages{{130, 0, 'a'}, {25, 0, 1, 7}, Bytes(300, 9)};
    std::vector<Bytes> frames;
    for (const auto& message : messages) frames.push_back(FrameMessage(message));
    const Bytes wire = Concat(frames);

    for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
        FrameDecoder decoder;
        auto first = DecodeAll(decoder, std::span(wire).first(cut));
        const auto second = DecodeAll(decoder, std::span(wire).subspan(cut));
        first.insert(first.end(), second.begin(), second.end());
        EXPECT_EQ(first, messages) << "cut at " << cut;
        EXPECT_EQ(decoder.buffered(), 0u);
    }
}

TEST(FrameDecoder, ByteByByteDelivery) {
    const Bytes wire = FrameMessage(Bytes{1, 2, 3});
    FrameDecoder decoder;
    std::vector<Bytes> got;
    for (const auto byte : wire) {
        const auto part = DecodeAll(decoder, std::span(&byte, 1));
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, std::vector<Bytes>{Bytes({1, 2, 3})});
}

TEST(FrameDecoder, GivesBackTheRoomOfALargeFrameOnceItIsHandled) {
    FrameDecoder decoder;
    const Bytes large = FrameMessage(Bytes(kMaxMessageBytes, 7));
    DecodeAll(decoder, std::span(large).first(large.size() - 1));
    EXPECT_GE(decoder.capacity(), kMaxMessageBytes) << "the half frame is held";
    EXPECT_EQ(DecodeAll(decoder, std::span(large).last(1)).size(), 1u);
    const Bytes next = FrameMessage(Bytes{1, 2, 3});
    DecodeAll(decoder, std::span(next).first(3));
    EXPECT_LE(decoder.capacity(), 4096u) << "a small half frame holds little";
}

TEST(FrameDecoder, RejectsZeroAndOversizedLengthsAsSoonAsTheHeaderArrives) {
    for (const Bytes& header : {Bytes{0, 0, 0, 0}, Bytes{0, 1, 0, 1}, Bytes{255, 255, 255, 255}}) {
        FrameDecoder decoder;
        FrameDecoder::Status status{};
        EXPECT_TRUE(DecodeAll(decoder, header, &status).empty());
        EXPECT_EQ(status, FrameDecoder::Status::ProtocolError);
        EXPECT_EQ(decoder.buffered(), 0u);
        const Bytes good = FrameMessage(Bytes{1, 2});
        EXPECT_TRUE(DecodeAll(decoder, good, &status).empty()) << "stays failed";
        EXPECT_EQ(status, FrameDecoder::Status::ProtocolError);
    }
}

TEST(FrameDecoder, AcceptsTheLargestAllowedMessage) {
    const Bytes message(kMaxMessageBytes, 7);
    FrameDecoder decoder;
    FrameDecoder::Status status{};
    const auto got = DecodeAll(decoder, FrameMessage(message), &status);
    EXPECT_EQ(status, FrameDecoder::Status::Ok);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), kMaxMessageBytes);
}

TEST(FrameDecoder, MessagesBeforeABadHeaderAreStillDelivered) {
    Bytes wire = FrameMessage(Bytes{5, 6});
    wire.insert(wire.end(), {0, 0, 0, 0});
    FrameDecoder decoder;
    FrameDecoder::Status status{};
    EXPECT_EQ(DecodeAll(decoder, wire, &status), std::vector<Bytes>{Bytes({5, 6})});
    EXPECT_EQ(status, FrameDecoder::Status::ProtocolError);
}

TEST(Hello, CarriesTheUserNameInGbk) {
    const auto hello = BuildHello("张三");
    ASSERT_TRUE(hello);
    EXPECT_EQ(std::string(hello->begin(), hello->end()), "QIRA/1`\xD5\xC5\xC8\xFD");
    EXPECT_EQ(ParseHello(*hello), "张三");
    EXPECT_FALSE(ParseHello(Bytes{130, 0, 'Q'}));
    EXPECT_EQ(ParseHello(*BuildHello("")), "") << "an empty name is still a hello";
}

}  // namespace
}  // namespace qira::net
