#include "session/core/heartbeat_rules.h"
#include "text/split.h"

#include <gtest/gtest.h>

namespace {

TEST(HeartbeatRules, SplittingKeepsEveryEmptyPiece) {
    EXPECT_EQ(SplitKeepingEmpty(L"", L'|'), std::vector<std::wstring>{L""});
    EXPECT_EQ(SplitKeepingEmpty(L"a||b|", L'|'), (std::vector<std::wstring>{L"a", L"", L"b", L""}));
    EXPECT_EQ(SplitKeepingEmpty(L"|", L'|'), (std::vector<std::wstring>{L"", L""}));
}

TEST(HeartbeatRules, KindDecidesCountAndSound) {
    struct Case {
        const wchar_t* kind;
        bool counts;
        std::optional<std::size_t> sound;
    };
    const Case cases[] = {
        {L"0", true, 0},
        {L"1", true, 0},
        {L"2", true, 0},
        {L"3", false, 2},
        {L"4", false, {}},
        {L"5", true, {}},
        {L"12", true, {}},
        {L"", true, 0},
        {L"x", true, 0},
        {L"3x", true, 2},
        {L" 3", true, 0},
        {L"03", true, 2},
        {L"99999999999999999999", true, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountsAsNew(c.kind), c.counts) << c.kind;
        EXPECT_EQ(SoundForKind(c.kind), c.sound) << c.kind;
    }
}

TEST(HeartbeatRules, MessagesReachThePageAsFields04123InReplyOrder) {
    const auto messages = ReadHeartbeatMessages(L"id1;13900000000;10:00;你好;0|id2;139;10:01;bye;4");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].pageArguments,
              (std::array<std::wstring, 5>{L"id1", L"0", L"13900000000", L"10:00", L"你好"}));
    EXPECT_TRUE(messages[0].countsAsNew);
    EXPECT_EQ(messages[1].pageArguments,
              (std::array<std::wstring, 5>{L"id2", L"4", L"139", L"10:01", L"bye"}));
    EXPECT_FALSE(messages[1].countsAsNew);
    // Fields past the fifth travel nowhere but do not disturb the order.
    EXPECT_EQ(ReadHeartbeatMessages(L"a;b;c;d;1;extra")[0].pageArguments[1], L"1");
}

TEST(HeartbeatRules, PiecesWithoutFiveFieldsAreNoMessages) {
    EXPECT_TRUE(ReadHeartbeatMessages(L"").empty()) << "an empty data field is no news";
    EXPECT_TRUE(ReadHeartbeatMessages(L"a;b;c;d").empty());
    EXPECT_EQ(ReadHeartbeatMessages(L"|a;b;c;d;0||x").size(), 1u);
    EXPECT_EQ(ReadHeartbeatMessages(L";;;;").size(), 1u) << "five empty fields are a message";
}

} // namespace
