#include "net/packet.h"

#include <gtest/gtest.h>

#include "net/text_codec.h"

namespace qira::net {
namespace {

Bytes Of(std::initializer_list<int> values) {
    Bytes bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

TEST(TextCodec, WritesChineseAsGbkLeadByteFirst) {
    EXPECT_EQ(Utf8ToGbk("ab`中"), std::string("ab`\xD6\xD0"));
    EXPECT_EQ(GbkToUtf8("\xD6\xD0\xB9\xFA"), std::string("中国"));
}

TEST(TextCodec, ReportsBrokenInput) {
    EXPECT_FALSE(GbkToUtf8("a\xD6").has_value()) << "a lead byte at the very end";
    EXPECT_FALSE(Utf8ToGbk("\xE4\xB8").has_value()) << "UTF-8 cut inside a character";
    EXPECT_EQ(Utf8ToGbk("x😀y"), std::string("x?y")) << "a character GBK cannot hold";
    EXPECT_EQ(GbkToUtf8("\xFF\xFF"), std::string("\xEF\xBF\xBD")) << "an invalid pair";
}

TEST(BuildPacket, CopiesHeaderThenGbkBody) {
    Bytes out;
    const std::uint8_t header[] = {130, 0, 99};
    ASSERT_TRUE(BuildPacket("ab`中", out, 2, header));
    EXPECT_EQ(out, Of({130, 0, 97, 98, 96, 0xD6, 0xD0}));
}

TEST(BuildPacket, RefusesEmptyBodyAndShortHeaderWithoutTouchingOutput) {
    Bytes out = Of({7});
    const std::uint8_t header[] = {130};
    EXPECT_FALSE(BuildPacket("", out, 1, header));
    EXPECT_FALSE(BuildPacket("x", out, 2, header));
    EXPECT_EQ(out, Of({7}));
}

TEST(DecodeBody, DecodesFromStartToEnd) {
    const Bytes ab = Of({97, 98});
    EXPECT_EQ(DecodeBody(ab, 0), "ab");
    EXPECT_EQ(DecodeBody(ab, 2), "");
    EXPECT_EQ(DecodeBody(ab, 50), "");
    EXPECT_EQ(DecodeBody(Of({1, 2, 0xD6, 0xD0, 96, 120}), 2), "中`x");
}

TEST(DecodeBody, LeadByteAtTheEndGivesEmptyText) {
    EXPECT_EQ(DecodeBody(Of({1, 2, 97, 0xD6}), 2), "");
}

TEST(ReadInt32BE, ReadsSignedBigEndian) {
    std::int32_t value = 0;
    ASSERT_TRUE(ReadInt32BE(value, Of({255, 255, 255, 254}), 0));
    EXPECT_EQ(value, -2);
    ASSERT_TRUE(ReadInt32BE(value, Of({128, 0, 0, 0}), 0));
    EXPECT_EQ(value, INT32_MIN);
    ASSERT_TRUE(ReadInt32BE(value, Of({9, 0, 0, 1, 0}), 1));
    EXPECT_EQ(value, 256);
}

TEST(ReadInt32BE, ShortInputLeavesOutputUnchanged) {
    std::int32_t value = 42;
    EXPECT_FALSE(ReadInt32BE(value, Of({0, 0, 1}), 0));
    EXPECT_FALSE(ReadInt32BE(value, Of({0, 0, 1, 0}), 1));
    EXPECT_FALSE(ReadInt32BE(value, Of({0, 0, 1, 0}), 99));
    EXPECT_EQ(value, 42);
}

TEST(Fields, SplitAndJoinAreInverse) {
    EXPECT_EQ(SplitFields(""), std::vector<std::string>{""});
    EXPECT_EQ(SplitFields("a``b`"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(JoinFields({"500", "QIRA", "1"}), "500`QIRA`1");
    const std::vector<std::string> fields{"x", "", "中"};
    EXPECT_EQ(SplitFields(JoinFields(fields)), fields);
}

TEST(Routing, SplitsRoomAndGameByMainType) {
    EXPECT_EQ(RouteOf(95), MessageRoute::Room);
    EXPECT_EQ(RouteOf(255), MessageRoute::Room);
    EXPECT_EQ(RouteOf(130), MessageRoute::Room);
    EXPECT_EQ(RouteOf(94), MessageRoute::Game);
    EXPECT_EQ(RouteOf(0), MessageRoute::Game);
    EXPECT_EQ(RouteOf(113), MessageRoute::Game);
    EXPECT_EQ(RouteOf(133), MessageRoute::Game);
}

}  // namespace
}  // namespace qira::net
