// The version a program with the client's manifest is told, on the Windows version the system is
// set to (the prefix's, named in CV3_EXPECTED_WINVERSION as "major.minor"). Windows tells a program
// whose manifest does not name 8.1 and 10 that it runs on 8 (6.2), so the manifest must stay true.
#include "cv3client/support/system_info_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "cv3client/support/system_info.h"

namespace cv3 {
namespace {

TEST(SystemInfo, ReportsTheVersionTheSystemIsSetTo) {
  const char* expected = std::getenv("CV3_EXPECTED_WINVERSION");
  if (!expected) GTEST_SKIP() << "CV3_EXPECTED_WINVERSION is not set: no version to expect";
  OsVersion version = QueryOsVersion();
  ASSERT_TRUE(version.ok);
  EXPECT_EQ(cSystemInfo(version.ok, version.major, version.minor).WinVersion(), expected);
}

}  // namespace
}  // namespace cv3
