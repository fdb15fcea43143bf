#include "common/processes_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

constexpr char kSleeper[] = "cv3sleeper.exe";

// The sleeper beside this test program, quoted, with its sleep in milliseconds.
std::string SleeperCommand(int ms) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  dir.resize(dir.rfind(L'\\') + 1);
  return "\"" + Narrow(dir) + kSleeper + "\" " + std::to_string(ms);
}

bool SleeperListed(Processes& processes) {
  auto list = processes.ListProcesses();
  return std::any_of(list.begin(), list.end(),
                     [](const ProcessEntry& p) { return p.exeName == kSleeper; });
}

// Termination and start-up are not instant: poll the snapshot until it shows what we expect.
bool SleeperListedWithin(Processes& processes, bool listed, DWORD ms) {
  for (ULONGLONG end = GetTickCount64() + ms;; Sleep(20)) {
    if (SleeperListed(processes) == listed) return true;
    if (GetTickCount64() > end) return false;
  }
}

int g_ticks = 0;
bool g_stop = false;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }
void CALLBACK StopOnTick(HWND, UINT, UINT_PTR, DWORD) { g_stop = true; }

class Win32ProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KillProcessByName(processes_, kSleeper);
    ASSERT_TRUE(SleeperListedWithin(processes_, false, 5000));
  }
  void TearDown() override { KillProcessByName(processes_, kSleeper); }
  Win32Processes processes_;
};

TEST_F(Win32ProcessesTest, StartedProcessIsListedAndKilledByName) {
  ASSERT_TRUE(processes_.Start(SleeperCommand(60000), "", ShowMode::kHidden));
  ASSERT_TRUE(SleeperListedWithin(processes_, true, 5000));
  KillProcessByName(processes_, "CV3Sleeper.EXE");
  EXPECT_TRUE(SleeperListedWithin(processes_, false, 5000));
}

TEST_F(Win32ProcessesTest, WaitHandlesMessagesUntilTheProcessEnds) {
  g_ticks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, CountTick);
  ULONGLONG start = GetTickCount64();
  WaitOutcome outcome = processes_.StartAndWait(SleeperCommand(500), "", [] { return false; });
  KillTimer(nullptr, timer);
  EXPECT_EQ(outcome, WaitOutcome::kEnded);
  EXPECT_GE(GetTickCount64() - start, 500u);
  EXPECT_GT(g_ticks, 0);
  EXPECT_FALSE(SleeperListed(processes_));
}

TEST_F(Win32ProcessesTest, StoppedWaitLeavesTheProcessRunning) {
  g_stop = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, StopOnTick);
  WaitOutcome outcome = processes_.StartAndWait(SleeperCommand(60000), "", [] { return g_stop; });
  KillTimer(nullptr, timer);
  EXPECT_EQ(outcome, WaitOutcome::kStopped);
  EXPECT_TRUE(SleeperListed(processes_));
}

TEST_F(Win32ProcessesTest, MissingProgramIsNotStarted) {
  const std::string missing = "Z:\\no\\such\\folder\\cv3nothing.exe";
  EXPECT_FALSE(processes_.Start(missing, "", ShowMode::kNormal));
  EXPECT_EQ(processes_.StartAndWait(missing, "", [] { return false; }), WaitOutcome::kNotStarted);
}

}  // namespace
}  // namespace cv3
