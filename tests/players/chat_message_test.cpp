#include "players/chat_message.h"

#include <gtest/gtest.h>

namespace qira::platform {
namespace {

players::ChatMessage SampleMessage() {
    players::ChatMessage message;
    message.sender = "张三";
    message.target = "李四";
    message.colour = "#C00000";
    message.font = "宋体";
    message.pointSize = 12;
    message.style = players::ChatStyle::BoldItalic;
    message.face = 3;
    message.text = "碰！";
    return message;
}

TEST(ChatSendFields, CarryRecipientKindAndTheEightDisplayFields) {
    const auto fields = players::ChatSendFields(SampleMessage());
    ASSERT_EQ(fields.size(), players::kChatSendFieldCount);
    EXPECT_EQ(fields[0], "李四");
    EXPECT_EQ(fields[1], "0");
    EXPECT_EQ(fields[2], "张三");
    EXPECT_EQ(fields[3], "李四");
    EXPECT_EQ(fields[4], "#C00000");
    EXPECT_EQ(fields[5], "宋体");
    EXPECT_EQ(fields[6], "12");
    EXPECT_EQ(fields[7], "3");
    EXPECT_EQ(fields[8], "3");
    EXPECT_EQ(fields[9], "碰！");
}

TEST(ChatSendFields, RelayedDisplayFieldsGiveTheSameMessageBack) {
    const players::ChatMessage sent = SampleMessage();
    const auto fields = players::ChatSendFields(sent);
    const auto shown = players::ChatMessageFromDisplayFields(std::span(fields).subspan(2));
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, sent);
}

TEST(ChatSendFields, NoFieldCanSmuggleInASeparator) {
    players::ChatMessage message = SampleMessage();
    message.sender = "a`b";
    message.target = "c`d";
    message.text = "x`y`z";
    for (const auto& field : players::ChatSendFields(message))
        EXPECT_EQ(field.find('`'), std::string::npos) << field;
}

TEST(ChatDisplayFields, FewerThanEightOrNoTextShowNothing) {
    const std::vector<std::string> seven{"a", "b", "#000000", "f", "10", "0", "0"};
    EXPECT_FALSE(players::ChatMessageFromDisplayFields(seven).has_value());
    std::vector<std::string> blank = seven;
    blank.push_back("   ");
    EXPECT_FALSE(players::ChatMessageFromDisplayFields(blank).has_value());
}

TEST(ChatDisplayFields, UnreadableValuesFallBackToDefaults) {
    const std::vector<std::string> fields{"张三", "", "red", "", "999", "7x", "-4", "你好"};
    const auto message = players::ChatMessageFromDisplayFields(fields);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->target, players::kChatEveryone);
    EXPECT_EQ(message->colour, "#000000");
    EXPECT_EQ(message->font, "宋体");
    EXPECT_EQ(message->pointSize, 24);
    EXPECT_EQ(message->style, players::ChatStyle::Plain);
    EXPECT_EQ(message->face, 0);
    EXPECT_EQ(message->text, "你好");
}

TEST(CleanChatText, TrimsAndBlanksControlCharactersAndSeparators) {
    EXPECT_EQ(players::CleanChatText("  hello\tthere\n  "), "hello there");
    EXPECT_EQ(players::CleanChatText("a`b"), "a b");
    EXPECT_EQ(players::CleanChatText("   "), "");
}

TEST(CleanChatText, KeepsTwoHundredCharactersWithoutSplittingOne) {
    std::string typed;
    for (int i = 0; i < 250; ++i) typed += "中";
    const std::string cleaned = players::CleanChatText(typed);
    EXPECT_EQ(cleaned.size(), 200u * 3u);
    EXPECT_EQ(cleaned.substr(0, 3), "中");
}

TEST(CleanChatText, DropsBrokenUtf8) {
    EXPECT_EQ(players::CleanChatText("ok\xFF\xC3"), "ok");
    EXPECT_EQ(players::CleanChatText("\xE4\xB8"), "");               // cut in the middle
    EXPECT_EQ(players::CleanChatText("a\xE4\x41\xB8\xADz"), "aAz");  // bad continuation
}

}  // namespace
}  // namespace qira::platform
