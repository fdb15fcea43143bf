#include "cv3client/support/system_info.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace cv3 {
namespace {

// Major dot minor without leading zeros; a failed query gives "0.0".
TEST(WinVersion, IsMajorDotMinorOrZeroDotZero) {
  const std::tuple<bool, int, int, const char*> rows[] = {{true, 6, 1, "6.1"},
                                                          {true, 4, 90, "4.90"},
                                                          {true, 4, 10, "4.10"},
                                                          {true, 10, 0, "10.0"},
                                                          {false, 6, 1, "0.0"}};
  for (auto [ok, major, minor, text] : rows) {
    EXPECT_EQ(cSystemInfo(ok, major, minor).WinVersion(), text) << text;
  }
}

// The number before the first dot; text that is no number gives 0.
TEST(OsMajorVersion, IsTheNumberBeforeTheFirstDotOrZero) {
  const std::pair<std::string, int> rows[] = {{"6.1", 6}, {"4.90", 4},   {"10.0", 10},
                                              {"0.0", 0}, {"7", 7},      {"", 0},
                                              {"x.1", 0}, {"99999.1", 0}};
  for (const auto& [text, major] : rows) EXPECT_EQ(OsMajorVersion(text), major) << text;
}

}  // namespace
}  // namespace cv3
