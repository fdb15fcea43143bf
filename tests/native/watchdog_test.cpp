// The watchdog's rules over a manual clock. The game is a script of runs (can it start, does its
// terminal server answer, does it end by itself), the probe is answered when the running game
// answers, and every act the player or the program can see is logged with the clock's time.
#include "cv3guard/watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <ostream>

#include "common/fake_files.h"
#include "common/manual_timers.h"
#include "common/registry_memory.h"

namespace cv3::testing {
namespace {

constexpr char kRunPath[] = "C:\\Program Files\\Skyrend";
constexpr char kRunShort[] = "C:\\PROGRA~1\\SKYREND";
constexpr char kSavePath[] = "C:\\Program Files\\Skyrend\\Saved Games";
constexpr char kSaveShort[] = "C:\\PROGRA~1\\SKYREND\\SAVEDG~1";
constexpr char kSaveFile[] = "FridayRaid.sav";
constexpr char kSavedShort[] = "C:\\PROGRA~1\\SKYREND\\SAVEDG~1\\FRIDAY~1.SAV";
constexpr int64_t kStepMs = 100;       // how often the simulated loop looks around
constexpr int64_t kGiveUpMs = 600000;  // a scenario that has not ended by then is broken

const std::string kExe = std::string(kRunShort) + "\\skyrendw.exe";
const std::string kIn = std::string(" in ") + kRunShort + " port 9001";
const std::string kNewRun = "run " + kExe + " /t:newded " + kSaveShort + "\\" + kSaveFile + kIn;
const std::string kLoadRun = "run " + kExe + " /t:loadded " + kSavedShort + kIn;
const std::string kExeLong = std::string("\"") + kRunPath + "\\skyrendw.exe\"";
const std::string kSaveLong = std::string("\"") + kSavePath + "\\" + kSaveFile + "\"";
const std::string kInLong = std::string(" in ") + kRunPath + " port 9001";
const std::string kNewRunLong = "run " + kExeLong + " /t:newded " + kSaveLong + kInLong;
const std::string kLoadRunLong = "run " + kExeLong + " /t:loadded " + kSaveLong + kInLong;

std::string At(int64_t ms, const std::string& what) { return std::to_string(ms) + " " + what; }

// One launch of the game.
struct GameRun {
  bool starts = true;        // the process can be created
  bool answers = true;       // its terminal server accepts connections
  int64_t endsAfterMs = -1;  // it ends by itself this long after its launch; -1: never
};

// What the player does, and when: "exit" (the tray menu's Exit), "close" (Form1 closed any
// other way) or "tray <action>"; a menu that opens stays open for holdMs, and "tray RIGHTUP
// exit" then chooses Exit in it.
struct Act {
  int64_t atMs;
  std::string what;
  int64_t holdMs = 0;
};

struct Scenario {
  const char* name;
  std::string arguments;
  std::vector<GameRun> runs;  // one per launch; the last one repeats
  std::vector<Act> acts;
  Log expected;
  bool installed = true;
  bool shortNames = true;  // false: a volume without them, where paths keep their spaces
};

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

// The game, the probe and the windows as the watchdog meets them.
class GuardSim : public Processes, public ProbeSocket, public GuardView {
 public:
  explicit GuardSim(const Scenario& s) : s_(s), acts_(s.acts.begin(), s.acts.end()) {
    registry.CreateKey(kGameKey);
    registry.SetString(kGameKey, "RunPath", kRunPath);
    registry.SetString(kGameKey, "SavePath", kSavePath);
    registry.SetString(kGameKey, "DataPath", "C:\\Program Files\\Skyrend\\Data");
    if (s.installed) registry.SetString(kGameKey, "Version", "1.3.0");
    registry.SetDWord(kGameKey, kTerminalServerPort, 0);
    for (const char* file : {"\\Veltrop.exe", "\\Skyrend.res", "\\SkyrendW.exe"}) {
      AddFile(kRunPath + std::string(file), kRunShort + std::string(file));
    }
    AddFile(kRunPath, kRunShort);
    AddFile(kSavePath, kSaveShort);
  }
  void AddFile(const std::string& path, const std::string& shortForm) {
    files.Add(path, s_.shortNames ? shortForm : path);
  }

  // Starts the watchdog and runs the clock until the program ends.
  Log Run() {
    if (guard.Start(s_.arguments)) {
      while (guard.state() != Watchdog::State::kEnded && timers.nowMs < kGiveUpMs) Step();
    }
    EXPECT_EQ(guard.state(), Watchdog::State::kEnded);
    return log;
  }

  bool Start(const std::string&, const std::string&, ShowMode) override { return false; }

  // The game runs, and the loop goes on handling events, until it ends or the caller stops.
  std::unique_ptr<LaunchedProcess> Launch(const std::string&, const std::string&,
                                          ShowMode) override {
    return nullptr;
  }

  WaitOutcome StartAndWait(const std::string& commandLine, const std::string& directory,
                           const std::function<void(LaunchedProcess&)>& started,
                           const std::function<bool()>& stopWaiting) override {
    Note("run " + commandLine + " in " + directory + " port " +
         registry.GetDWord(kGameKey, kTerminalServerPort).ToText());
    const GameRun run = s_.runs[std::min(launches_++, s_.runs.size() - 1)];
    if (!run.starts) return WaitOutcome::kNotStarted;
    if (commandLine.find("/t:newded") != std::string::npos) {
      AddFile(std::string(kSavePath) + "\\" + kSaveFile, kSavedShort);  // the game saves
    }
    gameId_ = static_cast<uint32_t>(launches_);
    answers_ = run.answers;
    Game game(*this, gameId_);
    started(game);
    const int64_t launchedAt = timers.nowMs;
    while (!stopWaiting()) {
      if (run.endsAfterMs >= 0 && timers.nowMs - launchedAt >= run.endsAfterMs) {
        Note("game ends");
        gameId_ = 0;
      }
      if (gameId_ == 0) {
        // Between runs the player's own joins set the port to 0.
        registry.SetDWord(kGameKey, kTerminalServerPort, 0);
        return WaitOutcome::kEnded;
      }
      if (timers.nowMs >= kGiveUpMs) return WaitOutcome::kStopped;
      Step();
    }
    return WaitOutcome::kStopped;
  }

  // The player's own copy of the game runs beside the watched one; nothing may end it.
  std::vector<ProcessEntry> ListProcesses() override {
    std::vector<ProcessEntry> list = {{"explorer.exe", 100}, {"SkyrendW.exe", 77}};
    if (gameId_) list.push_back({"SkyrendW.exe", gameId_});
    return list;
  }
  bool Terminate(uint32_t id) override {
    Note("terminate " + std::to_string(id));
    if (id == gameId_) gameId_ = 0;
    return true;
  }

  void Connect(const std::string& host, int port) override {
    Note("probe " + host + ":" + std::to_string(port));
    probeOut_ = true;
  }
  void Close() override { probeOut_ = false; }

  void ShowMessage(const MessageBoxSpec& box) override {
    Note("box " + box.title + (box.icon == BoxIcon::kCritical ? " critical " : " other ") +
         box.text);
  }
  void AddTrayIcon(std::string_view tip) override { Note("tray " + std::string(tip)); }
  void RemoveTrayIcon() override { Note("tray removed"); }
  void ShowTrayMenu() override {
    Note("menu");
    timers.Advance(menuHoldMs_);  // the menu's own loop runs the timers
    Note("menu closed");
  }
  void ShowLaunching() override { Note("launching shown"); }
  void HideLaunching() override { Note("launching hidden"); }
  void EndProgram() override { Note("end"); }

  Log log;
  Log timerLog;
  ManualTimers timers{timerLog};
  MemoryRegistry backend;
  Registry registry{backend, [](const MessageBoxSpec&) { ADD_FAILURE(); }, "cv3guard"};
  FakeFiles files;
  Watchdog guard{{registry, files, *this, timers, *this, *this, [this](int ms) {
                    Note("pause " + std::to_string(ms));
                    timers.Advance(ms);
                  }}};

 private:
  // The game StartAndWait started, as the watchdog may end it.
  class Game : public LaunchedProcess {
   public:
    Game(GuardSim& sim, uint32_t id) : sim_(sim), id_(id) {}
    void End() override {
      sim_.Note("end game " + std::to_string(id_));
      if (sim_.gameId_ == id_) sim_.gameId_ = 0;
    }

   private:
    GuardSim& sim_;
    uint32_t id_;
  };

  void Note(const std::string& what) { log.push_back(At(timers.nowMs, what)); }

  // One turn of the message loop: timers, the player's acts, the probe's connection.
  void Step() {
    timers.Advance(kStepMs);
    while (!acts_.empty() && acts_.front().atMs <= timers.nowMs) {
      std::string what = acts_.front().what;
      menuHoldMs_ = acts_.front().holdMs;
      acts_.pop_front();
      if (what == "exit") guard.mnuExit_Click();
      if (what == "close") guard.Form_Unload();
      if (what.starts_with("tray ")) {
        guard.OnTrayMouse(what.substr(5, what.find(' ', 5) - 5));
        if (what.ends_with(" exit")) guard.mnuExit_Click();  // posted as the menu closes
      }
    }
    if (probeOut_ && gameId_ && answers_) {
      probeOut_ = false;
      guard.Winsock1_Connect();
    }
  }

  const Scenario& s_;
  std::deque<Act> acts_;
  size_t launches_ = 0;
  uint32_t gameId_ = 0;  // the running game's process id; 0 when none runs
  bool answers_ = false;
  bool probeOut_ = false;
  int64_t menuHoldMs_ = 0;
};

class WatchdogTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(WatchdogTest, FollowsTheScript) {
  GuardSim sim(GetParam());
  EXPECT_EQ(sim.Run(), GetParam().expected);
}

const GameRun kHealthy{};
const GameRun kHung{.answers = false};
const Log kStarted = {At(0, "tray GUARD"), At(0, "launching shown")};

Log Started(std::initializer_list<std::string> rest) {
  Log log = kStarted;
  log.insert(log.end(), rest);
  return log;
}
// Exit or a close at `ms`: the icon goes, a pause, the end.
Log Ending(int64_t ms) {
  return {At(ms, "tray removed"), At(ms, "pause 100"), At(ms + 100, "end")};
}
Log Join(Log a, const Log& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    States, WatchdogTest,
    ::testing::Values(
        Scenario{"NotInstalled",
                 kSaveFile,
                 {kHealthy},
                 {},
                 {At(0, "box Warning! critical Skyrend does not appear to be installed!")},
                 false},
        Scenario{"NoSaveFileNameEndsSilently", "\"C:\\Saved Games\\\"", {kHealthy}, {}, {}},
        // A probe that connects: the game is left alone, every ten seconds; Exit leaves it running.
        Scenario{
            "AnsweringGameRunsUntilExit",
            kSaveFile,
            {kHealthy},
            {{31000, "exit"}},
            Join(Started({At(5000, "launching hidden"), At(5000, kNewRun),
                          At(15000, "probe localhost:9001"), At(25000, "probe localhost:9001")}),
                 Ending(31000))},
        // A probe that times out: the game is ended 17 s after its launch (the probe timer starts
        // with the launch, so every launch gets as long) and started again from the file it saved
        // 5 s after its end. The player's own copy of the game runs on.
        Scenario{"HungGameIsEndedAndLoadedAgain",
                 kSaveFile,
                 {kHung},
                 {{30000, "exit"}},
                 Join(Started({At(5000, "launching hidden"), At(5000, kNewRun),
                               At(15000, "probe localhost:9001"), At(22000, "end game 1"),
                               At(27000, "launching hidden"), At(27000, kLoadRun)}),
                      Ending(30000))},
        Scenario{
            "GameThatEndsIsLoadedAgain",
            "\"C:\\Program Files\\Skyrend\\Saved Games\\FridayRaid.sav\"",
            {{.endsAfterMs = 3000}, kHealthy},
            {{14000, "exit"}},
            Join(Started({At(5000, "launching hidden"), At(5000, kNewRun), At(8000, "game ends"),
                          At(13000, "launching hidden"), At(13000, kLoadRun)}),
                 Ending(14000))},
        // Without short names the paths keep their spaces: each arrives quoted, whole.
        Scenario{"HungGameWithoutShortNames",
                 kSaveFile,
                 {kHung},
                 {{30000, "exit"}},
                 Join(Started({At(5000, "launching hidden"), At(5000, kNewRunLong),
                               At(15000, "probe localhost:9001"), At(22000, "end game 1"),
                               At(27000, "launching hidden"), At(27000, kLoadRunLong)}),
                      Ending(30000)),
                 true,
                 false},
        // Exit just before the time-out: nothing ticks in the pause, the game runs on.
        Scenario{"ExitWhileTheProbeWaits",
                 kSaveFile,
                 {kHung},
                 {{21900, "exit"}},
                 Join(Started({At(5000, "launching hidden"), At(5000, kNewRun),
                               At(15000, "probe localhost:9001")}),
                      Ending(21900))},
        Scenario{"ClosedWhileWaitingForTheGame",
                 kSaveFile,
                 {kHealthy},
                 {{12000, "close"}},
                 Join(Started({At(5000, "launching hidden"), At(5000, kNewRun)}), Ending(12000))},
        Scenario{"ClosedWhileWaitingToLaunch",
                 kSaveFile,
                 {kHealthy},
                 {{2000, "close"}},
                 Join(kStarted, Ending(2000))},
        // No retry and no probe once the game cannot be started; the tray menu still works.
        Scenario{"GameThatCannotStartLeavesTheTray",
                 kSaveFile,
                 {{.starts = false}},
                 {{40000, "tray LEFTDOUBLE"},
                  {41000, "tray RIGHTDOWN"},
                  {42000, "tray RIGHTUP"},
                  {60000, "exit"}},
                 Join(Started({At(5000, "launching hidden"), At(5000, kNewRun), At(42000, "menu"),
                               At(42000, "menu closed")}),
                      Ending(60000))},
        // The launch waits while the tray menu is open, and follows once it has closed.
        Scenario{"LaunchDueWhileTheMenuIsOpen",
                 kSaveFile,
                 {kHealthy},
                 {{3000, "tray RIGHTUP", 4000}, {9001, "exit"}},
                 Join(Started({At(3000, "menu"), At(7000, "menu closed"),
                               At(7001, "launching hidden"), At(7001, kNewRun)}),
                      Ending(9001))},
        Scenario{"ExitFromTheMenuWhileTheLaunchIsDue",
                 kSaveFile,
                 {kHealthy},
                 {{3000, "tray RIGHTUP exit", 4000}},
                 Join(Started({At(3000, "menu"), At(7000, "menu closed")}), Ending(7000))}),
    [](const auto& info) { return std::string(info.param.name); });

struct Reduction {
  const char* arguments;
  const char* saveFile;
};

TEST(ArgSaveFileOf, KeepsTheLastComponentWithoutQuotes) {
  for (const Reduction& r : std::vector<Reduction>{
           {"FridayRaid.sav", "FridayRaid.sav"},
           {"\"C:\\Program Files\\Corvane\\FridayRaid.sav\"", "FridayRaid.sav"},
           {"C:\\Saves\\\"Friday\"Raid.sav", "FridayRaid.sav"},
           {" FridayRaid.sav\t", "FridayRaid.sav"},
           {"C:\\Saves\\", ""},
           {"\"\"", ""},
       }) {
    EXPECT_EQ(ArgSaveFileOf(r.arguments), r.saveFile) << r.arguments;
  }
}

}  // namespace
}  // namespace cv3::testing
