#include "common/processes_win32.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <algorithm>

#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

constexpr char kSleeper[] = "cv3sleeper.exe";

// The folder of this test program and of the sleeper beside it.
std::wstring TestFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  dir.resize(dir.rfind(L'\\') + 1);
  return dir;
}

// The sleeper beside this test program, quoted, with its sleep in milliseconds.
std::string SleeperCommand(int ms) {
  return "\"" + Narrow(TestFolder()) + kSleeper + "\" " + std::to_string(ms);
}

// The names of the running sleepers, whatever their case.
std::vector<std::string> SleepersListed(Processes& processes) {
  std::vector<std::string> names;
  for (const ProcessEntry& p : processes.ListProcesses()) {
    if (ExecutableNameMatches(p.exeName, kSleeper)) names.push_back(p.exeName);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool SleeperListed(Processes& processes) { return !SleepersListed(processes).empty(); }

// Termination and start-up are not instant: poll the snapshot until it shows what we expect.
bool SleepersListedWithin(Processes& processes, size_t count, DWORD ms) {
  for (ULONGLONG end = GetTickCount64() + ms;; Sleep(20)) {
    if (SleepersListed(processes).size() == count) return true;
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
    ASSERT_TRUE(SleepersListedWithin(processes_, 0, 5000));
  }
  void TearDown() override { KillProcessByName(processes_, kSleeper); }
  Win32Processes processes_;
};

// Two copies whose names differ in case, as two games started from differently spelled folders
// would be listed: one call ends both.
TEST_F(Win32ProcessesTest, KillByNameEndsEveryCopyWhateverTheCaseOfItsName) {
  std::wstring copyFolder = TestFolder() + L"kill case\\";
  CreateDirectoryW(copyFolder.c_str(), nullptr);
  std::wstring copy = copyFolder + L"CV3Sleeper.EXE";
  ASSERT_TRUE(CopyFileW((TestFolder() + Widen(kSleeper)).c_str(), copy.c_str(), FALSE));
  ASSERT_TRUE(processes_.Start(SleeperCommand(60000), "", ShowMode::kHidden));
  ASSERT_TRUE(processes_.Start("\"" + Narrow(copy) + "\" 60000", "", ShowMode::kHidden));
  ASSERT_TRUE(SleepersListedWithin(processes_, 2, 5000));
  EXPECT_EQ(SleepersListed(processes_), (std::vector<std::string>{"CV3Sleeper.EXE", kSleeper}));
  KillProcessByName(processes_, "Cv3sleeper.exe");
  EXPECT_TRUE(SleepersListedWithin(processes_, 0, 5000));
}

// The watchdog waits here for as long as the game runs: asleep until a message comes or the
// process ends, so it looks around once per message, not over and over.
TEST_F(Win32ProcessesTest, WaitHandlesMessagesUntilTheProcessEnds) {
  g_ticks = 0;
  int looks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, CountTick);
  WaitOutcome outcome = processes_.StartAndWait(SleeperCommand(1000), "", nullptr, [&] {
    ++looks;
    return false;
  });
  KillTimer(nullptr, timer);
  EXPECT_EQ(outcome, WaitOutcome::kEnded);
  EXPECT_GT(g_ticks, 0);
  EXPECT_LE(looks, 2 * g_ticks + 10) << g_ticks << " ticks";
  EXPECT_FALSE(SleeperListed(processes_));  // so it did wait for the end
}

TEST_F(Win32ProcessesTest, StoppedWaitLeavesTheProcessRunning) {
  g_stop = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, StopOnTick);
  WaitOutcome outcome =
      processes_.StartAndWait(SleeperCommand(60000), "", nullptr, [] { return g_stop; });
  KillTimer(nullptr, timer);
  EXPECT_EQ(outcome, WaitOutcome::kStopped);
  EXPECT_TRUE(SleeperListed(processes_));
}

// The ids of the running sleepers.
std::vector<uint32_t> SleeperIds(Processes& processes) {
  std::vector<uint32_t> ids;
  for (const ProcessEntry& p : processes.ListProcesses()) {
    if (ExecutableNameMatches(p.exeName, kSleeper)) ids.push_back(p.id);
  }
  return ids;
}

// Ending a launch ends the process and the copy it started, not another copy of the same program
// (the player's own game); letting go of a launch leaves it running.
TEST_F(Win32ProcessesTest, EndingALaunchEndsItAndWhatItStartedOnly) {
  ASSERT_TRUE(processes_.Start(SleeperCommand(60000), "", ShowMode::kHidden));
  ASSERT_TRUE(SleepersListedWithin(processes_, 1, 5000));
  const std::vector<uint32_t> own = SleeperIds(processes_);
  std::unique_ptr<LaunchedProcess> launched =
      processes_.Launch(SleeperCommand(60000) + " child", "", ShowMode::kHidden);
  ASSERT_TRUE(launched);
  ASSERT_TRUE(SleepersListedWithin(processes_, 3, 5000));
  launched->End();
  EXPECT_TRUE(SleepersListedWithin(processes_, 1, 5000));
  EXPECT_EQ(SleeperIds(processes_), own);
  launched->End();  // harmless once ended

  processes_.Launch(SleeperCommand(60000), "", ShowMode::kHidden).reset();
  EXPECT_TRUE(SleepersListedWithin(processes_, 2, 5000));
}

// What a game starts out of its job (an updater, a browser) starts, and outlives the game's end.
TEST_F(Win32ProcessesTest, AGameMayStartAProgramOutOfItsJob) {
  std::unique_ptr<LaunchedProcess> launched =
      processes_.Launch(SleeperCommand(60000) + " breakaway", "", ShowMode::kHidden);
  ASSERT_TRUE(launched);
  EXPECT_TRUE(SleepersListedWithin(processes_, 2, 5000)) << "the program it started";
  launched->End();
  EXPECT_TRUE(SleepersListedWithin(processes_, 1, 5000));
}

// The watchdog's time-out ends the game it waits for from inside the wait, here once the game
// and the copy it started both run: the wait then sees its end, and the copy ends with it.
LaunchedProcess* g_waited = nullptr;
Processes* g_processes = nullptr;
void CALLBACK EndWhenBothRun(HWND, UINT, UINT_PTR, DWORD) {
  if (g_waited && SleeperIds(*g_processes).size() == 2) g_waited->End();
}

TEST_F(Win32ProcessesTest, EndingTheWaitedProcessFromInsideTheWaitEndsItsTree) {
  g_processes = &processes_;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, EndWhenBothRun);
  WaitOutcome outcome = processes_.StartAndWait(
      SleeperCommand(60000) + " child", "", [](LaunchedProcess& p) { g_waited = &p; },
      [] { return false; });
  g_waited = nullptr;
  KillTimer(nullptr, timer);
  EXPECT_EQ(outcome, WaitOutcome::kEnded);
  EXPECT_TRUE(SleepersListedWithin(processes_, 0, 5000));
}

// The system's own parser reads each quoted word back whole, as the game and the watchdog do.
TEST(QuoteArgumentWin32, CommandLineToArgvReadsEachWordBackWhole) {
  for (std::string word : {"C:\\Program Files\\Skyrend\\Save Games\\Raid.sav", "a\tb", "",
                           "say \"hi\"", "a\\\"b", "C:\\My Games\\", "/t:newded"}) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(
        Widen(CommandLineOf({"C:\\Program Files\\Corvane\\cv3guard.exe", word, "next"})).c_str(),
        &argc);
    ASSERT_NE(argv, nullptr);
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i) words.push_back(Narrow(argv[i]));
    LocalFree(argv);
    EXPECT_EQ(words,
              (std::vector<std::string>{"C:\\Program Files\\Corvane\\cv3guard.exe", word, "next"}));
  }
}

TEST_F(Win32ProcessesTest, MissingProgramIsNotStarted) {
  const std::string missing = "Z:\\no\\such\\folder\\cv3nothing.exe";
  EXPECT_FALSE(processes_.Start(missing, "", ShowMode::kNormal));
  EXPECT_FALSE(processes_.Launch(missing, "", ShowMode::kNormal));
  EXPECT_EQ(processes_.StartAndWait(missing, "", nullptr, [] { return false; }),
            WaitOutcome::kNotStarted);
}

}  // namespace
}  // namespace cv3
