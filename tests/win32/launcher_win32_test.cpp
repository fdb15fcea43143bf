// The real launcher (Win32 timers, windows, processes and files) joining through the stand-in
// game's dialogs, in each of the stand-in's modes. Each join lasts until the launcher's verdict,
// ten seconds after the start.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "common/files_win32.h"
#include "common/game_windows_win32.h"
#include "common/processes_win32.h"
#include "common/registry.h"
#include "common/registry_win32.h"
#include "cv3client/games/launcher.h"
#include "testbed/game_install_win32.h"
#include "testbed/remote_controls_win32.h"
#include "win32/timers_win32.h"

namespace cv3 {
namespace {

constexpr char kAddress[] = "203.0.113.7";
constexpr DWORD kDeadlineMs = 30000;

// Boxes are answered at once and recorded.
class RecordedBoxes : public MessageView {
 public:
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    shown.push_back(box.text);
    return BoxResult::kOk;
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
  std::vector<std::string> shown;
};

// Real timers that tell when the launch is over: its time-out timer stopped.
class WatchedTimers : public Timers {
 public:
  void StartTimer(int id, int intervalMs, Tick tick) override {
    timers_.StartTimer(id, intervalMs, std::move(tick));
  }
  void StopTimer(int id) override {
    if (id == kLaunchStateTimerId) over = true;
    timers_.StopTimer(id);
  }
  bool over = false;

 private:
  WindowTimers timers_;
};

struct Case {
  const char* name;
  std::vector<std::string> mode;
  int altLaunch;  // -1: missing
  std::vector<std::string> log;
  std::vector<std::string> boxes;
  bool gameRuns;  // after the verdict
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The log with repeats in a row folded: a server list that stays is clicked every 3 s.
std::vector<std::string> Folded(std::vector<std::string> lines) {
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

class LauncherTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    game_ = testbed::GameInstallBelow(std::filesystem::path(temp) /
                                      (L"cv3 launcher " + std::to_wstring(GetCurrentProcessId())));
    ASSERT_TRUE(testbed::InstallGame(game_, CV3_SKYRENDW_EXE));
  }
  void TearDown() override {
    KillProcessByName(processes_, "skyrendw.exe");
    testbed::WaitFor([] { return !FindWindowA("KVYMAINWIN", "Skyrend"); }, kDeadlineMs);
    testbed::RemoveGame(game_);
  }
  static bool GameRuns() { return FindWindowA("KVYMAINWIN", "Skyrend") != nullptr; }

  testbed::GameInstall game_;
  Win32Registry backend_;
  Registry registry_{backend_, nullptr, "Corvane"};
  WatchedTimers timers_;
  Win32GameWindows windows_;
  Win32Processes processes_;
  Win32Files files_;
  RecordedBoxes boxes_;
  GameLauncher launcher_{{.timers = timers_,
                          .windows = windows_,
                          .processes = processes_,
                          .registry = registry_,
                          .files = files_,
                          .messages = boxes_,
                          .programFolder = "C:\\"}};
};

TEST_P(LauncherTest, JoinsThroughTheGamesDialogs) {
  const Case& c = GetParam();
  const char* key = "HKEY_CURRENT_USER\\Software\\Corvane";
  registry_.CreateKey(key);
  if (c.altLaunch >= 0) {
    registry_.SetDWord(key, "AltLaunch", c.altLaunch);
  } else {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Corvane", "AltLaunch");
  }
  ASSERT_TRUE(testbed::SetGameMode(game_, c.mode));
  launcher_.StartJoin(game_.runPath.string(), kAddress);
  ASSERT_TRUE(testbed::WaitFor([&] { return timers_.over; }, kDeadlineMs));
  EXPECT_EQ(boxes_.shown, c.boxes);
  EXPECT_TRUE(testbed::WaitFor([&] { return GameRuns() == c.gameRuns; }, kDeadlineMs));
  EXPECT_EQ(Folded(testbed::ReadGameLog(game_)), c.log);
  if (c.altLaunch != 1 && c.mode == std::vector<std::string>{"wrongprovider"}) {
    EXPECT_EQ(registry_.GetDWord(key, "AltLaunch"), 1);
  }
}

const std::string kStarted = "switches: /t:connect";
const std::string kAddressTyped = std::string("address: ") + kAddress;
const std::string kFirstServer = std::string("server: Skyrend at ") + kAddress;

INSTANTIATE_TEST_SUITE_P(
    Modes, LauncherTest,
    ::testing::Values(
        Case{"FourthProviderWithAltLaunchMissing",
             {},
             -1,
             {kStarted, "provider: Internet TCP/IP", kAddressTyped, kFirstServer},
             {},
             true},
        Case{"SecondProviderWithAltLaunch1",
             {},
             1,
             {kStarted, "provider: Internet TCP/IP (alternate)", kAddressTyped, kFirstServer},
             {},
             true},
        Case{"WrongProviderSwitchesToTheAlternateMethod",
             {"wrongprovider"},
             0,
             {kStarted, "provider: Serial Cable"},
             {std::string(kAltLaunchNeededText), std::string(kAltLaunchEnabledText)},
             false},
        Case{"WrongProviderModeStillJoinsByTheAlternateMethod",
             {"wrongprovider"},
             1,
             {kStarted, "provider: Internet TCP/IP (alternate)", kAddressTyped, kFirstServer},
             {},
             true},
        Case{"NeverConnects",
             {"neverconnects"},
             1,
             {kStarted, "provider: Internet TCP/IP (alternate)", kAddressTyped, kFirstServer},
             {std::string(kConnectFailedText)},
             false},
        Case{"NoDialogsEndsSilently", {"nodialogs"}, 0, {kStarted}, {}, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cv3
