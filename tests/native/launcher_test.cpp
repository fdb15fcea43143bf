#include "cv3client/games/launcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "common/game_fakes.h"
#include "common/game_installation.h"

namespace cv3 {
namespace {

using testing::Log;

// The game's windows, named, with every message, show and hide written into the test's log.
class LoggingWindows : public FakeGameWindows {
 public:
  explicit LoggingWindows(Log& log) : log_(log) {}
  WindowHandle Open(WindowHandle parent, std::string className, std::string title,
                    std::string name) {
    WindowHandle handle = Add(parent, std::move(className), std::move(title));
    names_[handle] = std::move(name);
    return handle;
  }
  intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    static const std::map<uint32_t, std::string> kNames = {
        {kWmLButtonDown, "down"}, {kWmLButtonUp, "up"}, {kLbDeleteString, "delete"}};
    log_.push_back(Name(window) + " " + kNames.at(message));
    return FakeGameWindows::Send(window, message, wParam, lParam);
  }
  intptr_t SendText(WindowHandle window, uint32_t message, uintptr_t wParam,
                    std::string_view text) override {
    EXPECT_EQ(message, kWmSetText);
    log_.push_back(Name(window) + " settext " + std::string(text));
    return FakeGameWindows::SendText(window, message, wParam, text);
  }
  void SetVisible(WindowHandle window, bool visible) override {
    log_.push_back((visible ? "show " : "hide ") + Name(window));
    FakeGameWindows::SetVisible(window, visible);
  }

 private:
  std::string Name(WindowHandle window) { return window == 0 ? "0" : names_.at(window); }
  Log& log_;
  std::map<WindowHandle, std::string> names_;
};

constexpr char kRun[] = "C:\\Program Files\\Skyrend";
constexpr char kSave[] = "C:\\Program Files\\Skyrend\\Save Games";
constexpr char kFile[] = "FridayNightRaid.sav";
constexpr char kAddress[] = "192.168.1.20";
constexpr uint32_t kOwnServerPid = 4242;

const std::string kRunJoin = "run maximized C:\\PROGRA~1\\Skyrend\\skyrendw.exe /t:connect";
const Log kStartTimers = {"start timer 7310 1", "start timer 7312 1", "start timer 7311 10000"};
const Log kStopTimers = {"stop timer 7311", "stop timer 7312", "stop timer 7310"};

Log AfterStops(Log tail) {
  tail.insert(tail.begin(), kStopTimers.begin(), kStopTimers.end());
  return tail;
}

std::string Box(std::string_view text) { return "box Warning! exclamation " + std::string(text); }

// A launcher over recording parts, everything it does in one log.
struct LaunchHarness {
  // Without short names (a volume that makes none) the system gives the long paths.
  explicit LaunchHarness(bool shortNames = true) {
    auto add = [&](const std::string& path, const std::string& shortForm) {
      files.Add(path, shortNames ? shortForm : path);
    };
    add(kRun, "C:\\PROGRA~1\\Skyrend");
    add(kSave, "C:\\PROGRA~1\\Skyrend\\SAVEGA~1");
    add(std::string(kSave) + "\\" + kFile, "C:\\PROGRA~1\\Skyrend\\SAVEGA~1\\FRIDAY~1.SAV");
    add("C:\\Program Files\\Corvane", "C:\\PROGRA~1\\Corvane");
    // A copy of the game this launcher did not start (the player's own dedicated server): no
    // failure may end it.
    processes.running = {{"explorer.exe", 1}, {"SkyrendW.exe", kOwnServerPid}};
  }
  // The game's windows: its main window and each dialog with its controls, Cancel before OK.
  void OpenMain() { windows.Open(0, "KVYMAINWIN", "Skyrend", "main"); }
  void OpenSerial() { windows.Open(0, "#32770", "Serial Connection", "serial"); }
  void OpenDialog(std::string_view title, std::string_view control, std::string name) {
    WindowHandle dialog = windows.Open(0, "#32770", std::string(title), name);
    windows.Open(dialog, "Static", "", name + " label");
    if (!control.empty()) windows.Open(dialog, std::string(control), "", name + " " + "control");
    windows.Open(dialog, "Button", "Cancel", name + " cancel");
    if (!control.empty()) windows.Open(dialog, "Button", "OK", name + " ok");
  }
  void OpenProviders(bool complete = true) {
    OpenDialog("Select service provider", complete ? "ListBox" : "", "providers");
  }
  void OpenLocate() { OpenDialog("Locate Session", "Edit", "locate"); }
  void OpenServers() { OpenDialog("Select Skyrend server...", "ListBox", "servers"); }
  void StartJoin() { launcher.StartJoin(kRun, kAddress); }
  void StartHost() { launcher.StartNewServer(kRun, kSave, kFile, 0); }
  Log Take() { return std::exchange(log, {}); }

  Log log;
  testing::ManualTimers timers{log};
  LoggingWindows windows{log};
  testing::LoggingProcesses processes{log};
  testing::TestRegistry settings;
  FakeFiles files;
  testing::ScriptedMessages boxes{log};
  GameLauncher launcher{{.timers = timers,
                         .windows = windows,
                         .processes = processes,
                         .registry = settings.registry,
                         .files = files,
                         .messages = boxes,
                         .programFolder = "C:\\Program Files\\Corvane"}};
};

// Each start enables the three timers at their intervals, then runs its command line: short
// forms where the system makes them, and without short names every path that holds a space
// quoted, so that the program and its save file arrive whole.
TEST(Launcher, StartsRunTheirCommandLines) {
  using Start = std::function<void(GameLauncher&)>;
  struct Case {
    Start start;
    std::string run;             // with short names
    std::string runWithoutThem;  // on a volume without them
  };
  const Case cases[] = {
      {[](GameLauncher& l) { l.StartJoin(kRun, kAddress); }, kRunJoin,
       "run maximized \"C:\\Program Files\\Skyrend\\skyrendw.exe\" /t:connect"},
      {[](GameLauncher& l) { l.StartNewServer(kRun, kSave, kFile, 0); },
       "run normal C:\\PROGRA~1\\Skyrend\\skyrendw.exe /t:newserver "
       "C:\\PROGRA~1\\Skyrend\\SAVEGA~1\\FridayNightRaid.sav",
       "run normal \"C:\\Program Files\\Skyrend\\skyrendw.exe\" /t:newserver "
       "\"C:\\Program Files\\Skyrend\\Save Games\\FridayNightRaid.sav\""},
      {[](GameLauncher& l) { l.StartSavedServer(kRun, kSave, kFile, 0); },
       "run normal C:\\PROGRA~1\\Skyrend\\skyrendw.exe /t:loadserver "
       "C:\\PROGRA~1\\Skyrend\\SAVEGA~1\\FRIDAY~1.SAV",
       "run normal \"C:\\Program Files\\Skyrend\\skyrendw.exe\" /t:loadserver "
       "\"C:\\Program Files\\Skyrend\\Save Games\\FridayNightRaid.sav\""},
      {[](GameLauncher& l) { l.StartNewServer(kRun, kSave, kFile, 1); },
       "run minimized C:\\PROGRA~1\\Corvane\\cv3guard.exe FridayNightRaid.sav",
       "run minimized \"C:\\Program Files\\Corvane\\cv3guard.exe\" FridayNightRaid.sav"},
      {[](GameLauncher& l) { l.StartSavedServer(kRun, kSave, kFile, 1); },
       "run minimized C:\\PROGRA~1\\Corvane\\cv3guard.exe FridayNightRaid.sav",
       "run minimized \"C:\\Program Files\\Corvane\\cv3guard.exe\" FridayNightRaid.sav"},
  };
  for (bool shortNames : {true, false}) {
    LaunchHarness h(shortNames);
    for (const Case& c : cases) {
      c.start(h.launcher);
      Log expected = kStartTimers;
      expected.push_back(shortNames ? c.run : c.runWithoutThem);
      EXPECT_EQ(h.Take(), expected);
    }
    EXPECT_EQ(h.launcher.LaunchTargetAddress(), kAddress);
    EXPECT_EQ(h.launcher.SaveFileName(), kFile);
  }
}

// A join writes the game's terminal server port 0 before it runs the game, even one that then
// cannot start; a hosted game's 9001 came with the host settings.
TEST(Launcher, AJoinWritesTheTerminalServerPort) {
  LaunchHarness h;
  Registry& registry = h.settings.registry;
  registry.CreateKey(kGameKey);
  auto port = [&] { return registry.GetDWord(kGameKey, kTerminalServerPort).ToText(); };
  registry.SetDWord(kGameKey, kTerminalServerPort, 9001);
  h.StartHost();
  EXPECT_EQ(port(), "9001");
  h.processes.startsFail = true;
  h.StartJoin();
  EXPECT_EQ(port(), "0");
}

// A program that cannot be started: the player is told, and no timer is left to judge a launch
// that never happened.
TEST(Launcher, AProgramThatCannotStartIsReportedAndStopsTheTimers) {
  struct Case {
    std::function<bool(GameLauncher&)> start;
    std::string run;
    std::string_view text;
  };
  const Case cases[] = {
      {[](GameLauncher& l) { return l.StartJoin(kRun, kAddress), false; }, kRunJoin,
       kGameStartFailedText},
      {[](GameLauncher& l) { return l.StartNewServer(kRun, kSave, kFile, 0); },
       "run normal C:\\PROGRA~1\\Skyrend\\skyrendw.exe /t:newserver "
       "C:\\PROGRA~1\\Skyrend\\SAVEGA~1\\FridayNightRaid.sav",
       kGameStartFailedText},
      {[](GameLauncher& l) { return l.StartSavedServer(kRun, kSave, kFile, 1); },
       "run minimized C:\\PROGRA~1\\Corvane\\cv3guard.exe FridayNightRaid.sav",
       kGuardStartFailedText},
  };
  for (const Case& c : cases) {
    LaunchHarness h;
    h.processes.startsFail = true;
    EXPECT_FALSE(c.start(h.launcher));
    Log expected = kStartTimers;
    expected.push_back(c.run);
    expected.insert(expected.end(), kStopTimers.begin(), kStopTimers.end());
    expected.push_back(Box(c.text));
    EXPECT_EQ(h.Take(), expected);
    EXPECT_TRUE(h.timers.running.empty());
  }
  EXPECT_EQ(kGameStartFailedText, "Corvane failed to start Skyrend!");
  LaunchHarness h;
  EXPECT_TRUE(h.launcher.StartNewServer(kRun, kSave, kFile, 1));
}

// timeLaunchHW: what one or two ticks send, per set of open windows. A join hides the game's main
// window once, a hosted game never; one dialog is answered per tick.
TEST(Launcher, LaunchTickAnswersTheDialogs) {
  struct Case {
    std::string name;
    bool join;
    std::function<void(LaunchHarness&)> open;
    std::optional<int32_t> altLaunch;
    int ticks;
    Log expected;
    std::string altLaunchAfter;
  };
  const Log providersOnce = {"providers control down",   "providers control up",
                             "providers control delete", "providers control down",
                             "providers control up",     "providers ok down",
                             "providers ok up"};
  Log providersThrice = providersOnce;
  providersThrice.insert(providersThrice.begin() + 3, 2, "providers control delete");
  const Log locate = {"locate control settext 192.168.1.20", "locate ok down", "locate ok up"};
  const Log servers = {"start timer 7312 3000", "servers control down", "servers control up",
                       "servers ok down", "servers ok up"};
  const Case cases[] = {
      {"join, main window",
       true,
       [](LaunchHarness& t) { t.OpenMain(); },
       {},
       2,
       {"hide main"},
       "Error"},
      {"host, main window", false, [](LaunchHarness& t) { t.OpenMain(); }, {}, 2, {}, "Error"},
      {"nothing open", true, [](LaunchHarness&) {}, {}, 2, {}, "Error"},
      {"main window and Serial Connection",
       true,
       [](LaunchHarness& t) {
         t.OpenMain();
         t.OpenSerial();
       },
       0,
       2,
       {"hide main", "stop timer 7311", "stop timer 7312", "stop timer 7310", "end launch 1",
        Box(kAltLaunchNeededText), Box(kAltLaunchEnabledText)},
       "1"},
      {"providers, AltLaunch 1", true, [](LaunchHarness& t) { t.OpenProviders(); }, 1, 1,
       providersOnce, "1"},
      {"providers, AltLaunch 0", true, [](LaunchHarness& t) { t.OpenProviders(); }, 0, 1,
       providersThrice, "0"},
      {"providers, AltLaunch 2", true, [](LaunchHarness& t) { t.OpenProviders(); }, 2, 1,
       providersThrice, "2"},
      {"providers, AltLaunch missing",
       true,
       [](LaunchHarness& t) { t.OpenProviders(); },
       {},
       1,
       providersThrice,
       "Error"},
      {"providers without list or OK",
       true,
       [](LaunchHarness& t) { t.OpenProviders(false); },
       {},
       1,
       {"0 down", "0 up", "0 delete", "0 delete", "0 delete", "0 down", "0 up", "0 down", "0 up"},
       "Error"},
      {"locate session", true, [](LaunchHarness& t) { t.OpenLocate(); }, {}, 1, locate, "Error"},
      {"server list", false, [](LaunchHarness& t) { t.OpenServers(); }, {}, 1, servers, "Error"},
      {"all three dialogs: providers first", true,
       [](LaunchHarness& t) {
         t.OpenServers();
         t.OpenLocate();
         t.OpenProviders();
       },
       1, 1, providersOnce, "1"},
      {"locate and servers: locate first",
       true,
       [](LaunchHarness& t) {
         t.OpenServers();
         t.OpenLocate();
       },
       {},
       1,
       locate,
       "Error"},
  };
  for (const Case& c : cases) {
    LaunchHarness t;
    if (c.altLaunch) t.settings.SetDWord("AltLaunch", *c.altLaunch);
    c.open(t);
    c.join ? t.StartJoin() : t.StartHost();
    t.Take();
    for (int i = 0; i < c.ticks; ++i) t.timers.Fire(kLaunchHWTimerId);
    EXPECT_EQ(t.Take(), c.expected) << c.name;
    EXPECT_EQ(t.settings.GetDWord("AltLaunch").ToText(), c.altLaunchAfter) << c.name;
    EXPECT_TRUE(t.processes.terminated.empty()) << c.name;
    for (const FakeGameWindows::Sent& sent : t.windows.sent) {
      EXPECT_EQ(sent.wParam, 0u) << c.name;
      EXPECT_EQ(sent.lParam, 0) << c.name;
    }
  }
}

TEST(Launcher, HideTickHidesEachDialogThatIsOpenEveryTick) {
  LaunchHarness h;
  h.StartJoin();
  h.timers.Fire(kHideLaunchTimerId);
  h.OpenMain();
  h.OpenServers();
  h.OpenProviders();
  h.Take();
  h.timers.Fire(kHideLaunchTimerId);
  h.timers.Fire(kHideLaunchTimerId);
  EXPECT_EQ(h.Take(), (Log{"hide providers", "hide servers", "hide providers", "hide servers"}));
}

// timeLaunchState, ten seconds after the start: a dialog still open is a failure, and the game
// that launch started is ended with whatever it started; nothing is ended by name.
TEST(Launcher, StateTickJudgesTheLaunch) {
  struct Case {
    std::string name;
    std::function<void(LaunchHarness&)> open;
    Log expected;
  };
  const Case cases[] = {
      {"no dialog ever seen", [](LaunchHarness& t) { t.OpenMain(); }, kStopTimers},
      {"providers", [](LaunchHarness& t) { t.OpenProviders(); },
       AfterStops({Box(kLaunchFailedText), "end launch 1"})},
      {"locate session", [](LaunchHarness& t) { t.OpenLocate(); },
       AfterStops({Box(kLaunchFailedText), "end launch 1"})},
      {"server list", [](LaunchHarness& t) { t.OpenServers(); },
       AfterStops({Box(kConnectFailedText), "end launch 1"})},
      {"servers and providers",
       [](LaunchHarness& t) {
         t.OpenServers();
         t.OpenProviders();
       },
       AfterStops({Box(kLaunchFailedText), "end launch 1"})},
  };
  for (const Case& c : cases) {
    LaunchHarness t;
    t.StartJoin();
    t.timers.Fire(kHideLaunchTimerId);
    t.timers.Fire(kLaunchHWTimerId);
    c.open(t);
    t.Take();
    t.timers.Fire(kLaunchStateTimerId);
    EXPECT_EQ(t.Take(), c.expected) << c.name;
    EXPECT_TRUE(t.timers.running.empty()) << c.name;
    EXPECT_TRUE(t.processes.terminated.empty()) << c.name;
  }
}

// A join started while the failure box is open (the box pumps messages): the failed game ends
// before the new one starts, no tick runs inside the box, and the new game is not ended after it.
TEST(Launcher, LaunchFromInsideTheFailureBoxKeepsItsGame) {
  LaunchHarness h;
  h.StartJoin();
  h.OpenMain();
  h.OpenServers();
  h.boxes.whileOpen = [&h] {
    h.boxes.whileOpen = nullptr;
    h.StartJoin();
    h.timers.Fire(kLaunchHWTimerId);
    h.timers.Fire(kHideLaunchTimerId);
    h.timers.Fire(kLaunchStateTimerId);
  };
  h.Take();
  h.timers.Fire(kLaunchStateTimerId);
  Log expected = AfterStops({Box(kConnectFailedText), "end launch 1"});
  expected.insert(expected.end(), kStartTimers.begin(), kStartTimers.end());
  expected.push_back(kRunJoin);
  EXPECT_EQ(h.Take(), expected);

  h.timers.Fire(kLaunchHWTimerId);  // the new launch runs: its main window is hidden once
  EXPECT_EQ(h.Take(), (Log{"hide main", "start timer 7312 3000", "servers control down",
                           "servers control up", "servers ok down", "servers ok up"}));
}

// A second launch while one runs starts afresh: timeLaunchHW is fast again, the time-out restarts
// and the new join hides the main window again.
TEST(Launcher, SecondLaunchRestartsTheTimers) {
  LaunchHarness h;
  h.OpenMain();
  h.OpenServers();
  h.StartJoin();
  h.timers.Fire(kLaunchHWTimerId);
  h.StartJoin();
  EXPECT_EQ(h.timers.running.at(kLaunchHWTimerId).intervalMs, 1);
  EXPECT_EQ(h.timers.running.at(kLaunchStateTimerId).intervalMs, 10000);
  EXPECT_EQ(h.timers.running.at(kHideLaunchTimerId).intervalMs, 1);
  h.Take();
  h.timers.Fire(kLaunchHWTimerId);
  EXPECT_EQ(h.Take().front(), "hide main");
}

}  // namespace
}  // namespace cv3
