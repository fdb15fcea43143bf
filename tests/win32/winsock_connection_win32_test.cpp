#include "win32/winsock_connection_win32.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

// Refuses every window this thread tries to create while it is installed.
LRESULT CALLBACK RefuseWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) return 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(WinsockConnection, WithoutItsWindowConnectReportsTheErrorAtOnce) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseWindows, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  int errors = 0;
  WinsockConnection connection({nullptr, nullptr, [&] { ++errors; }});
  UnhookWindowsHookEx(hook);

  EXPECT_FALSE(connection.ok());
  connection.Connect("127.0.0.1", 9001);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(connection.State(), WinsockConnection::kError);
}

TEST(WinsockConnection, WithItsWindowIsOk) {
  WinsockConnection connection({});
  EXPECT_TRUE(connection.ok());
}

}  // namespace
}  // namespace cv3
