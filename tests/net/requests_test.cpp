#include "net/requests.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "net/claims.h"

namespace qira::net::requests {
namespace {

Bytes Text(std::initializer_list<int> header, std::string_view gbk) {
    Bytes bytes;
    for (int v : header) bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.insert(bytes.end(), gbk.begin(), gbk.end());
    return bytes;
}

TEST(Requests, EntryCarriesGameCodeAndOnlookerPreference) {
    EXPECT_EQ(Entry(true), Text({130, 0}, "500`QIRA`1"));
    EXPECT_EQ(Entry(false), Text({130, 0}, "500`QIRA`0"));
}

TEST(Requests, FixedLengthBodiesAreExact) {
    EXPECT_EQ(Discard(2, 17, 0, 9), (Bytes{19, 0, 2, 17, 0, 9, 0, 0}));
    EXPECT_EQ(Chow(1, 3), (Bytes{20, 1, 1, 3}));
    EXPECT_EQ(Pung(3, 27), (Bytes{21, 2, 3, 27}));
    EXPECT_EQ(Kong(0, 3, 5), (Bytes{22, 3, 0, 5}));
    EXPECT_EQ(Win(2), (Bytes{23, 2}));
    EXPECT_EQ(Pass(1), (Bytes{24, 6, 1}));
    EXPECT_EQ(RobKongAnswer(1, true), (Bytes{29, 1, 1}));
    EXPECT_EQ(RobKongAnswer(1, false), (Bytes{29, 0, 1}));
    EXPECT_EQ(ThreeIndicatorKong(3), (Bytes{30, 3}));
    EXPECT_EQ(Resynchronise(2), (Bytes{2, 0, 2}));
    EXPECT_EQ(ReadyForNextHand(1), (Bytes{18, 1}));
    EXPECT_EQ(HandStarted(), (Bytes{130, 1}));
}

// Whatever the client builds for a claim, the server reads back; a byte less
// is no claim.
TEST(Requests, EveryClaimReadsBackAsBuilt) {
    const std::pair<ClaimKind, Bytes> built[] = {{ClaimKind::Chow, Chow(1, 3)},
                                                 {ClaimKind::Pung, Pung(3, 27)},
                                                 {ClaimKind::Kong, Kong(0, 3, 5)},
                                                 {ClaimKind::Win, Win(2)},
                                                 {ClaimKind::Pass, Pass(1)}};
    const std::array<std::uint8_t, 5> chairs = {1, 3, 0, 2, 1}, tiles = {3, 27, 5, 0, 0};
    for (std::size_t i = 0; i < std::size(built); ++i) {
        const auto& [claim, bytes] = built[i];
        const auto read = DecodeClaimRequest(claim, bytes);
        ASSERT_TRUE(read) << i;
        EXPECT_EQ(read->chair, chairs[i]) << i;
        EXPECT_EQ(read->tile, tiles[i]) << i;
        EXPECT_EQ(ClassifyRequest(bytes), RowOf(claim).request) << i;
        EXPECT_FALSE(DecodeClaimRequest(claim, std::span(bytes).first(bytes.size() - 1))) << i;
    }
    EXPECT_EQ(DecodeClaimRequest(ClaimKind::Kong, Kong(0, 3, 5))->sub, 3);
}

TEST(Requests, SideBetsAreSeventeenBytesPaddedWith255) {
    const Bytes bets = SideBets(2, 3);
    ASSERT_EQ(bets.size(), 17u);
    EXPECT_EQ(Bytes(bets.begin(), bets.begin() + 4), (Bytes{28, 0, 2, 3}));
    for (std::size_t i = 4; i < 17; ++i) EXPECT_EQ(bets[i], 255) << i;
}

TEST(Requests, TextRequestsUseTheNameAndRefuseAnEmptyOne) {
    EXPECT_EQ(RaiseHand("王"), Text({112, 1}, "\xCD\xF5"));
    EXPECT_EQ(Leave("bob"), Text({110, 0}, "bob"));
    EXPECT_FALSE(Leave("").has_value());
    EXPECT_FALSE(RaiseHand("").has_value());
    EXPECT_EQ(AllowWatchCards("bob", true), Text({113, 1}, "bob`1"));
    const std::vector<std::string> settings{"1", "2", "3", "4", "5", "6"};
    EXPECT_EQ(ConfirmSettings("bob", settings), Text({112, 0}, "bob`1`2`3`4`5`6"));
}

TEST(Requests, ChatHasAOneByteHeader) {
    const std::vector<std::string> fields{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    EXPECT_EQ(Chat(fields), Text({1}, "a`b`c`d`e`f`g`h`i`j"));
}

}  // namespace
}  // namespace qira::net::requests
