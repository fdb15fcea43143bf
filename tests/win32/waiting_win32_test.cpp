#include <gtest/gtest.h>
#include <windows.h>

#include "win32/waiting.h"

namespace cv3 {
namespace {

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST(WaitWhileProcessing, ReturnsOnlyAfterTheTimeHasPassed) {
  ULONGLONG start = GetTickCount64();
  WaitWhileProcessing(50);
  EXPECT_GT(GetTickCount64() - start, 50u);
}

TEST(WaitWhileProcessing, HandlesPendingMessagesMeanwhile) {
  g_ticks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, CountTick);
  // The timer posts WM_TIMER; only a pumping wait lets its callback run.
  for (int i = 0; i < 200 && g_ticks == 0; ++i) WaitWhileProcessing(10);
  KillTimer(nullptr, timer);
  EXPECT_GT(g_ticks, 0);
}

TEST(WaitWhileProcessing, LeavesQuitForTheMainLoop) {
  PostQuitMessage(3);
  WaitWhileProcessing(5);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

}  // namespace
}  // namespace cv3
