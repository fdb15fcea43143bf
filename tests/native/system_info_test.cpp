#include "cv3client/support/system_info.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

TEST(WinVersion, IsMajorDotMinorWithoutLeadingZeros) {
  EXPECT_EQ(cSystemInfo(true, 6, 1).WinVersion(), "6.1");
  EXPECT_EQ(cSystemInfo(true, 4, 90).WinVersion(), "4.90");
  EXPECT_EQ(cSystemInfo(true, 4, 10).WinVersion(), "4.10");
  EXPECT_EQ(cSystemInfo(true, 10, 0).WinVersion(), "10.0");
}

TEST(WinVersion, AFailedQueryGivesZeroDotZero) {
  EXPECT_EQ(cSystemInfo(false, 6, 1).WinVersion(), "0.0");
}

TEST(OsMajorVersion, IsTheNumberBeforeTheFirstDot) {
  EXPECT_EQ(OsMajorVersion("6.1"), 6);
  EXPECT_EQ(OsMajorVersion("4.90"), 4);
  EXPECT_EQ(OsMajorVersion("10.0"), 10);
  EXPECT_EQ(OsMajorVersion("0.0"), 0);
  EXPECT_EQ(OsMajorVersion(cSystemInfo(false, 0, 0).WinVersion()), 0);
}

TEST(OsMajorVersion, TextThatIsNoNumberGivesZero) {
  EXPECT_EQ(OsMajorVersion("7"), 7);
  EXPECT_EQ(OsMajorVersion(""), 0);
  EXPECT_EQ(OsMajorVersion("x.1"), 0);
  EXPECT_EQ(OsMajorVersion("99999.1"), 0);
}

}  // namespace
}  // namespace cv3
