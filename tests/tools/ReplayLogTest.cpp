// The mouse log of quillmote-render --replay.
#include "tools/render/ReplayLog.h"

#include <gtest/gtest.h>

namespace {

std::vector<ReplayEvent> Parse(std::string_view text) {
    std::vector<ReplayEvent> events;
    ReplayParseError error;
    EXPECT_TRUE(ParseReplayLog(text, &events, &error)) << "line " << error.line << ": " << error.reason;
    return events;
}

ReplayParseError Fail(std::string_view text) {
    std::vector<ReplayEvent> events{ReplayEvent{}};
    ReplayParseError error;
    EXPECT_FALSE(ParseReplayLog(text, &events, &error));
    EXPECT_TRUE(events.empty()) << "a refused log must yield no events";
    return error;
}

TEST(ReplayLogReading, ReadsTheThreeEventKindsInOrder) {
    const auto events = Parse("down 10 20\nmove 15 20 lbutton\nmove 300 -4\n");
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, ReplayEvent::Kind::Down);
    EXPECT_EQ(events[0].x, 10);
    EXPECT_EQ(events[0].y, 20);
    EXPECT_EQ(events[1].kind, ReplayEvent::Kind::Move);
    EXPECT_TRUE(events[1].leftButton);
    EXPECT_EQ(events[1].x, 15);
    EXPECT_EQ(events[2].kind, ReplayEvent::Kind::Move);
    EXPECT_FALSE(events[2].leftButton);
    EXPECT_EQ(events[2].y, -4);
}

TEST(ReplayLogReading, IgnoresCommentsBlankLinesAndWindowsLineEnds) {
    const auto events = Parse("# a drag\r\n\r\n  move 1 2  \r\n\t\ndown 3 4");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].x, 1);
    EXPECT_EQ(events[1].kind, ReplayEvent::Kind::Down);
    EXPECT_EQ(events[1].y, 4);
}

TEST(ReplayLogReading, AnEmptyLogHasNoEvents) { EXPECT_TRUE(Parse("").empty()); }

TEST(ReplayLogRefusal, NamesTheLineOfAnUnknownEvent) {
    const ReplayParseError error = Fail("move 1 1\nclick 2 2\n");
    EXPECT_EQ(error.line, 2u);
    EXPECT_NE(error.reason.find("click"), std::string::npos);
}

TEST(ReplayLogRefusal, RefusesCoordinatesThatAreNotWholeNumbers) {
    EXPECT_EQ(Fail("move 1.5 2\n").line, 1u);
    EXPECT_EQ(Fail("move 1 2x\n").line, 1u);
    EXPECT_EQ(Fail("\n\nmove 99999999999 2\n").line, 3u);  // past 32 bits
    EXPECT_EQ(Fail("down - 2\n").line, 1u);
}

TEST(ReplayLogRefusal, RefusesMissingOrExtraWords) {
    EXPECT_EQ(Fail("move 1\n").line, 1u);
    EXPECT_EQ(Fail("down 1 2 lbutton\n").line, 1u);
    EXPECT_EQ(Fail("move 1 2 rbutton\n").line, 1u);
    EXPECT_EQ(Fail("move 1 2 lbutton extra\n").line, 1u);
}

TEST(ReplayLogRefusal, RefusesALineLongerThanTheLimit) {
    const std::string longest = "#" + std::string(kMaxReplayLineBytes - 1, 'c');
    EXPECT_EQ(Parse(longest + "\nmove 1 2\n").size(), 1u);
    const ReplayParseError error = Fail("move 1 2\n" + longest + "c\n");
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(error.reason, "line longer than 1024 bytes");
}

}  // namespace
