// cv3guard.exe under Wine with the stand-in game installed in a folder of the test's own: the
// launch of a new game, the probe's end of a hung one (and of nothing else of its name) and its
// relaunch from the save file, Exit and the close box that leave the game running, and a second
// copy that ends at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/processes_win32.h"
#include "common/wide_text_win32.h"
#include "testbed/game_install_win32.h"
#include "testbed/remote_controls_win32.h"

namespace cv3::testbed {
namespace {

constexpr DWORD kDeadlineMs = 40000;
constexpr double kSlackSeconds = 1.0;  // timers and process starts under a loaded Wine
constexpr char kSaveFile[] = "dedi.sav";
constexpr char kGameExe[] = "skyrendw.exe";
constexpr wchar_t kForm1Class[] = L"Cv3GuardForm1";
constexpr wchar_t kLaunchingClass[] = L"Cv3GuardLaunching";
constexpr WPARAM kExitCommand = 101;

std::string ShortPath(const std::filesystem::path& path) {
  char shortPath[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(path.string().c_str(), shortPath, MAX_PATH);
  return std::string(shortPath, n < MAX_PATH ? n : 0);
}

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
  return static_cast<double>(value.QuadPart) / 1e7;  // 100 ns units
}

// When a process started and ended, in seconds.
struct Lifetime {
  double created, ended;
};
Lifetime LifetimeOf(HANDLE process) {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(process, &created, &ended, &kernel, &user);
  return {Seconds(created), Seconds(ended)};
}

bool Ended(HANDLE process, DWORD ms = kDeadlineMs) {
  return WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
}

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAll();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    game_ = GameInstallBelow(std::filesystem::path(temp) /
                             (L"cv3 guard " + std::to_wstring(GetCurrentProcessId())));
    ASSERT_TRUE(InstallGame(game_, CV3_SKYRENDW_EXE));
    ASSERT_TRUE(SetGameDWord(L"TerminalServerPort", 0));
  }
  void TearDown() override {
    EndAll();
    for (HANDLE handle : handles_) CloseHandle(handle);
    RemoveGame(game_);
  }
  void EndAll() {
    KillProcessByName(processes_, "cv3guard.exe");
    KillProcessByName(processes_, kGameExe);
    WaitFor([&] { return Listed("cv3guard.exe").empty() && Listed(kGameExe).empty(); },
            kDeadlineMs);
  }
  std::vector<uint32_t> Listed(const char* exe) {
    std::vector<uint32_t> ids;
    for (const ProcessEntry& p : processes_.ListProcesses()) {
      if (ExecutableNameMatches(p.exeName, exe)) ids.push_back(p.id);
    }
    return ids;
  }
  HANDLE Keep(HANDLE handle) {
    if (handle) handles_.push_back(handle);
    return handle;
  }
  // Started as the client starts it: minimized, the save-file name its only argument.
  HANDLE StartGuard(const std::string& arguments) {
    std::wstring line = L"\"" CV3_GUARD_EXE L"\" " + Widen(arguments);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      return nullptr;
    }
    CloseHandle(process.hThread);
    return Keep(process.hProcess);
  }
  // The game once it runs, another than `previous` and than the player's own copy.
  HANDLE NextGame(DWORD previous = 0) {
    DWORD id = 0;
    WaitFor(
        [&] {
          for (uint32_t listed : Listed(kGameExe)) {
            if (listed != previous && listed != ownCopy_) id = listed;
          }
          return id != 0;
        },
        kDeadlineMs);
    return Keep(id ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)
                   : nullptr);
  }
  std::vector<std::string> LogOf(size_t lines) {
    WaitFor([&] { return ReadGameLog(game_).size() >= lines; }, kDeadlineMs);
    return ReadGameLog(game_);
  }
  static HWND Form1() {
    HWND form = nullptr;
    WaitFor([&] { return (form = FindWindowW(kForm1Class, L"cv3guard")) != nullptr; }, kDeadlineMs);
    return form;
  }

  // A program of the game's name that the watchdog did not start, as the player's own game
  // would be: a sleeper copied to a folder of its own as "SkyrendW.exe".
  HANDLE StartOwnCopy() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::filesystem::path folder = std::filesystem::path(temp) / L"cv3 own game";
    std::filesystem::create_directories(folder);
    std::filesystem::path exe = folder / L"SkyrendW.exe";
    if (!CopyFileW(CV3_SLEEPER_EXE, exe.c_str(), FALSE)) return nullptr;
    std::wstring line = L"\"" + exe.wstring() + L"\" 120000";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      return nullptr;
    }
    CloseHandle(process.hThread);
    ownCopy_ = process.dwProcessId;
    return Keep(process.hProcess);
  }

  GameInstall game_;
  DWORD ownCopy_ = 0;
  Win32Processes processes_;
  std::vector<HANDLE> handles_;
};

// "hang=0": the stand-in stops answering as soon as it listens, as a game whose terminal server
// never opens.
TEST_F(GuardTest, HungGameIsEndedAndLoadedFromItsSave) {
  ASSERT_TRUE(SetGameMode(game_, {"hang=0"}));
  HANDLE own = StartOwnCopy();
  ASSERT_TRUE(own);
  HANDLE guard = StartGuard(kSaveFile);
  ASSERT_TRUE(guard);
  HWND notice = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (notice = FindWindowW(kLaunchingClass, nullptr)) && IsWindowVisible(notice); },
      kDeadlineMs));
  EXPECT_TRUE(GetWindowLongW(notice, GWL_EXSTYLE) & WS_EX_TOPMOST);
  std::vector<std::string> labels;
  for (HWND label : ChildrenByClass(notice, L"Static")) labels.push_back(ReadWindowText(label));
  EXPECT_EQ(labels, (std::vector<std::string>{"GUARD for Corvane",
                                              "is starting your dedicated Skyrend server"}));

  HANDLE first = NextGame();
  ASSERT_TRUE(first);
  ASSERT_TRUE(Ended(first));
  HANDLE second = NextGame(GetProcessId(first));
  ASSERT_TRUE(second);
  std::string newFile = ShortPath(game_.savePath) + "\\" + kSaveFile;
  std::string savedFile = ShortPath(game_.savePath / kSaveFile);
  EXPECT_EQ(LogOf(8), (std::vector<std::string>{
                          "switches: /t:newded " + newFile, "save file: " + newFile + " (new)",
                          "listening: 9001", "hang", "switches: /t:loadded " + savedFile,
                          "save file: " + savedFile + " (loaded)", "listening: 9001", "hang"}));
  EXPECT_FALSE(IsWindowVisible(notice));
  // Ended 17 s after its launch (the first probe 10 s after it, then 7 s without a connection),
  // started again 5 s after its end.
  Lifetime one = LifetimeOf(first), two = LifetimeOf(second);
  EXPECT_NEAR(one.ended - one.created, 17.0, kSlackSeconds);
  EXPECT_NEAR(two.created - one.ended, 5.0, kSlackSeconds);
  EXPECT_FALSE(Ended(own, 0)) << "the time-out ends the game it started, not the player's own";

  PostMessageW(Form1(), WM_COMMAND, kExitCommand, 0);
  ASSERT_TRUE(Ended(guard));
  EXPECT_FALSE(Ended(second, 0)) << "Exit leaves the game running";
}

TEST_F(GuardTest, SecondCopyEndsAtOnceAndClosingLeavesTheGame) {
  HANDLE guard = StartGuard(kSaveFile);
  ASSERT_TRUE(guard);
  HANDLE game = NextGame();
  ASSERT_TRUE(game);
  ASSERT_EQ(LogOf(3).back(), "listening: 9001");
  HANDLE second = StartGuard("other.sav");
  ASSERT_TRUE(second);
  ASSERT_TRUE(Ended(second, 4000)) << "before its first launch could come";
  DWORD code = 1;
  GetExitCodeProcess(second, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(Ended(guard, 0));

  PostMessageW(Form1(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(Ended(guard));
  EXPECT_FALSE(Ended(game, 0)) << "closing leaves the game running";
  std::vector<std::string> log = ReadGameLog(game_);
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) { return line.starts_with("switches:"); }),
            1);
}

}  // namespace
}  // namespace cv3::testbed
