#include "replay/json.h"

#include <gtest/gtest.h>

namespace qira::replay {
namespace {

TEST(Json, ReadsObjectsArraysAndEveryKindOfValue) {
    const auto parsed = ParseJson(R"( {"n": -12, "f": 2.5e1, "t": true, "no": false, "z": null,
                       "s": "a\"b\\c\/\n", "list": [1, [2], {}], "empty": []} )");
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& v = *parsed.value;
    EXPECT_EQ(v.Find("n")->Integer(), -12);
    EXPECT_EQ(v.Find("f")->Integer(), 25);
    EXPECT_FALSE(v.Find("t")->IsNull());
    EXPECT_TRUE(v.Find("z")->IsNull());
    EXPECT_EQ(*v.Find("s")->String(), "a\"b\\c/\n");
    const auto* list = v.Find("list")->AsArray();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[1].AsArray()->at(0).Integer(), 2);
    EXPECT_TRUE((*list)[2].IsObject());
    EXPECT_TRUE(v.Find("empty")->AsArray()->empty());
    EXPECT_EQ(v.Find("missing"), nullptr);
    EXPECT_EQ(list->at(0).Find("n"), nullptr);  // not an object
}

TEST(Json, DecodesUnicodeEscapesToUtf8) {
    const auto parsed = ParseJson(R"(["\u4e2d\u6587", "\ud83c\udc04", "\u00e9", "中"])");
    ASSERT_TRUE(parsed.value) << parsed.error;
    const auto& items = *parsed.value->AsArray();
    EXPECT_EQ(*items[0].String(), "中文");
    EXPECT_EQ(*items[1].String(), "\xF0\x9F\x80\x84");  // a surrogate pair
    EXPECT_EQ(*items[2].String(), "é");
    EXPECT_EQ(*items[3].String(), "中");
}

TEST(Json, WholeNumbersOnlyAreIntegers) {
    EXPECT_FALSE(ParseJson("1.5").value->Integer());
    EXPECT_FALSE(ParseJson("\"7\"").value->Integer());
    EXPECT_FALSE(ParseJson("1e300").value->Integer());
    EXPECT_EQ(ParseJson("0").value->Integer(), 0);
    EXPECT_EQ(ParseJson("4503599627370496").value->Integer(), 4503599627370496);
}

TEST(Json, RefusesWhatIsNotJsonAndSaysWhere) {
    for (const char* bad : {"",
                            "{",
                            "[1,]",
                            "{\"a\":1,}",
                            "{\"a\" 1}",
                            "{1:2}",
                            "[1 2]",
                            "01",
                            "-",
                            "1.",
                            "1e",
                            "\"open",
                            "\"bad \\x escape\"",
                            "\"\\ud800\"",
                            "\"\\udc00\"",
                            "\"\\u12\"",
                            "tru",
                            "nul",
                            "{} x",
                            "\"tab\there\"",
                            "[1]]"}) {
        const auto parsed = ParseJson(bad);
        EXPECT_FALSE(parsed.value) << bad;
        EXPECT_NE(parsed.error.find("at offset"), std::string::npos) << bad;
    }
}

TEST(Json, RefusesNestingTooDeepInsteadOfRecursingWithoutEnd) {
    EXPECT_FALSE(ParseJson(std::string(100000, '[')).value);
    const std::string deepButFine = std::string(40, '[') + std::string(40, ']');
    EXPECT_TRUE(ParseJson(deepButFine).value);
}

}  // namespace
}  // namespace qira::replay
