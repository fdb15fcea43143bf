#include "protocol/wire.h"

#include <gtest/gtest.h>

#include <vector>

namespace cv3 {
namespace {

std::vector<std::string> CutAll(LineBuffer& buffer, int* tooLong = nullptr) {
  std::vector<std::string> lines;
  std::string line;
  for (;;) {
    auto cut = buffer.Next(line);
    if (cut == LineBuffer::Cut::kNone) break;
    if (cut == LineBuffer::Cut::kTooLong) {
      if (tooLong) ++*tooLong;
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

TEST(ParseLine, OnlyTheFirstColonSeparatesTheName) {
  EXPECT_EQ(ParseLine("ERROR:Server: full"), (Line{"ERROR", "Server: full"}));
  EXPECT_EQ(ParseLine("AUTH_ACK"), (Line{"AUTH_ACK", ""}));
  EXPECT_EQ(ParseLine(":"), (Line{"", ""}));
  EXPECT_EQ(ParseLine("USER:bob:away:back in 5: really"),
            (Line{"USER", "bob:away:back in 5: really"}));
  EXPECT_EQ(ParseLine(""), (Line{"", ""}));
}

TEST(FormatLine, JoinsNameAndArguments) {
  EXPECT_EQ(FormatLine("AUTH", "bob:ABC"), "AUTH:bob:ABC");
  EXPECT_EQ(FormatLine("AWAY", ""), "AWAY:");
}

// One arrival of whole lines: the lines cut from it in order, and how many were too long.
TEST(LineBuffer, WholeLinesInOneArrival) {
  struct Row {
    size_t limit;
    std::string arrival;
    std::vector<std::string> lines;
    int tooLong;
  };
  const size_t kAny = LineBuffer::kDefaultLimit;
  const Row rows[] = {
      {kAny, "USERS_ACK\r\nGAME:Arena:up\r\n", {"USERS_ACK", "GAME:Arena:up"}, 0},
      {kAny, "LMSG:a\rb\n\r\n", {"LMSG:a\rb\n"}, 0},      // a lone CR or LF is text
      {kAny, "\r\n:\r\n", {"", ":"}, 0},                  // empty and colon-only lines
      {8, "123456789\r\n12345678\r\n", {"12345678"}, 1},  // the overlong line is dropped
  };
  for (const Row& row : rows) {
    LineBuffer buffer(row.limit);
    int tooLong = 0;
    buffer.Append(row.arrival);
    EXPECT_EQ(CutAll(buffer, &tooLong), row.lines) << row.arrival;
    EXPECT_EQ(tooLong, row.tooLong) << row.arrival;
    EXPECT_EQ(buffer.Pending(), 0u) << row.arrival;
  }
}

TEST(LineBuffer, LineOverTwoArrivalsWaitsForItsCrLf) {
  LineBuffer buffer;
  buffer.Append("ISON:al");
  EXPECT_TRUE(CutAll(buffer).empty());
  buffer.Append("ice\r");
  EXPECT_TRUE(CutAll(buffer).empty());
  buffer.Append("\nISOFF:b");
  EXPECT_EQ(CutAll(buffer), (std::vector<std::string>{"ISON:alice"}));
  EXPECT_EQ(buffer.Pending(), 7u);
}

TEST(LineBuffer, OverlongLineWithoutCrLfIsDroppedAndLaterLinesSurvive) {
  LineBuffer buffer(16);
  int tooLong = 0;
  buffer.Append("ISON:a\r\n");
  buffer.Append(std::string(40, 'x'));
  EXPECT_EQ(CutAll(buffer, &tooLong), (std::vector<std::string>{"ISON:a"}));
  EXPECT_EQ(tooLong, 1);
  EXPECT_LE(buffer.Pending(), 1u);  // the buffer does not keep growing
  buffer.Append(std::string(100, 'y'));
  buffer.Append("yyy\r");
  EXPECT_TRUE(CutAll(buffer, &tooLong).empty());
  buffer.Append("\nISOFF:b\r\n");
  EXPECT_EQ(CutAll(buffer, &tooLong), (std::vector<std::string>{"ISOFF:b"}));
  EXPECT_EQ(tooLong, 1);  // reported once
}

TEST(LineBuffer, LineOfExactlyTheLimitSplitBetweenCrAndLfIsALine) {
  LineBuffer buffer(8);
  int tooLong = 0;
  buffer.Append("12345678\r");
  EXPECT_TRUE(CutAll(buffer, &tooLong).empty());
  buffer.Append("\n");
  EXPECT_EQ(CutAll(buffer, &tooLong), (std::vector<std::string>{"12345678"}));
  EXPECT_EQ(tooLong, 0);
}

TEST(LineBuffer, DefaultLimitIsOneMebibyte) {
  LineBuffer buffer;
  int tooLong = 0;
  std::string almost(LineBuffer::kDefaultLimit, 'a');
  buffer.Append(almost);
  EXPECT_TRUE(CutAll(buffer, &tooLong).empty());
  EXPECT_EQ(tooLong, 0);
  buffer.Append("\r\n");
  EXPECT_EQ(CutAll(buffer, &tooLong).size(), 1u);
  buffer.Append(almost + "b");
  CutAll(buffer, &tooLong);
  EXPECT_EQ(tooLong, 1);
}

TEST(Dispatcher, ExactCaseSensitiveNamesAndUnknownDropped) {
  Dispatcher dispatcher;
  std::vector<std::string> seen;
  dispatcher.On("ISON", [&](const std::string& args) { seen.push_back("ISON " + args); });
  EXPECT_TRUE(dispatcher.Dispatch({"ISON", "bob"}));
  EXPECT_FALSE(dispatcher.Dispatch({"ison", "bob"}));
  EXPECT_FALSE(dispatcher.Dispatch({"ISON ", "bob"}));
  EXPECT_FALSE(dispatcher.Dispatch({"FOO", ""}));
  EXPECT_EQ(seen, (std::vector<std::string>{"ISON bob"}));
}

}  // namespace
}  // namespace cv3
