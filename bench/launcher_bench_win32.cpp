// launcher-bench.exe: what the launcher's fast timers cost. It runs the real launcher over the real
// timers and game-window backend, starts a join that starts nothing (no game window ever exists),
// and lets timeLaunchHW and timeHideLaunch look for the game's windows at their 1 ms interval
// until timeLaunchState ends the automation ten seconds later. It prints, beside an idle span of
// the same message loop, the ticks of each timer and this process's CPU time over the span.
// Under Wine the window searches also cost wineserver time, which this process does not see;
// run_launcher_bench.sh adds it from outside. Reports; never a test.
// Usage: launcher-bench.exe
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "common/files_win32.h"
#include "common/game_windows_win32.h"
#include "common/processes_win32.h"
#include "common/registry.h"
#include "common/registry_memory.h"
#include "cv3client/games/launcher.h"
#include "testbed/game_install_win32.h"
#include "win32/timers_win32.h"

namespace {

using namespace cv3;

constexpr UINT kIdleMs = 3000;
constexpr UINT kDeadlineMs = 20000;  // the launch ends after 10 s; this is the last resort

// The program's timers, counting each timer's ticks; the end of the automation ends the loop.
class CountingTimers : public Timers {
 public:
  void StartTimer(int id, int intervalMs, Tick tick) override {
    timers_.StartTimer(id, intervalMs, [this, id, tick = std::move(tick)] {
      ++ticks[id];
      tick();
      if (id == kLaunchStateTimerId) PostQuitMessage(0);
    });
  }
  void StopTimer(int id) override { timers_.StopTimer(id); }
  std::map<int, long> ticks;

 private:
  WindowTimers timers_;
};

// Starts nothing: the bench measures the automation, not a game.
class NoProcesses : public Processes {
 public:
  bool Start(const std::string& commandLine, const std::string&, ShowMode) override {
    std::printf("  (not started: %s)\n", commandLine.c_str());
    return true;
  }
  // Taken as started, so that the automation runs; ending it ends nothing.
  std::unique_ptr<LaunchedProcess> Launch(const std::string& commandLine, const std::string& folder,
                                          ShowMode show) override {
    struct Nothing : LaunchedProcess {
      void End() override {}
    };
    Start(commandLine, folder, show);
    return std::make_unique<Nothing>();
  }
  WaitOutcome StartAndWait(const std::string&, const std::string&,
                           const std::function<void(LaunchedProcess&)>&,
                           const std::function<bool()>&) override {
    return WaitOutcome::kNotStarted;
  }
  std::vector<ProcessEntry> ListProcesses() override { return {}; }
  bool Terminate(uint32_t) override { return false; }
};

class PrintedBoxes : public MessageView {
 public:
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    std::printf("  box: %s\n", box.text.c_str());
    return BoxResult::kOk;
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
};

double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

// Runs the message loop until a quit message or the deadline; the CPU and wall milliseconds.
std::pair<double, double> RunLoop(UINT deadlineMs) {
  UINT_PTR deadline =
      SetTimer(nullptr, 0, deadlineMs, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(1); });
  double cpu = CpuMs();
  ULONGLONG wall = GetTickCount64();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  KillTimer(nullptr, deadline);
  return {CpuMs() - cpu, static_cast<double>(GetTickCount64() - wall)};
}

void Report(const char* what, std::pair<double, double> span) {
  std::printf("%-28s CPU %7.1f ms over %7.0f ms wall = %5.2f %% of one core\n", what, span.first,
              span.second, 100.0 * span.first / span.second);
}

// Joins through the stand-in game installed below the temporary folder: Play to the server list
// answered (the stand-in logs the server chosen), and to the verdict, over five joins.
void JoinTheStandIn(CountingTimers& timers, GameWindows& windows, Registry& registry, Files& files,
                    MessageView& boxes) {
  wchar_t exe[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::filesystem::path standIn = std::filesystem::path(exe).parent_path() / L"SkyrendW.exe";
  GetTempPathW(MAX_PATH, temp);
  testbed::GameInstall game = testbed::GameInstallBelow(std::filesystem::path(temp) / L"cv3 bench");
  if (!testbed::InstallGame(game, standIn)) {
    std::printf("launcher-bench: no stand-in game to join (%ls)\n", standIn.c_str());
    return;
  }
  Win32Processes processes;
  GameLauncher launcher({.timers = timers,
                         .windows = windows,
                         .processes = processes,
                         .registry = registry,
                         .files = files,
                         .messages = boxes,
                         .programFolder = "C:\\"});
  std::printf("joins through the stand-in game (ms from Play):\n");
  for (int join = 1; join <= 5; ++join) {
    size_t logged = testbed::ReadGameLog(game).size();
    double start = static_cast<double>(GetTickCount64());
    double answered = 0;
    launcher.StartJoin(game.runPath.string(), "203.0.113.7");
    // The loop ends at the verdict; the log is read at each of its turns until the server shows.
    UINT_PTR poll = SetTimer(nullptr, 0, 5, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.message == WM_TIMER && message.wParam == poll && answered == 0) {
        std::vector<std::string> lines = testbed::ReadGameLog(game);
        for (size_t i = logged; i < lines.size(); ++i) {
          if (lines[i].rfind("server:", 0) == 0) answered = GetTickCount64() - start;
        }
        continue;
      }
      DispatchMessageW(&message);
    }
    KillTimer(nullptr, poll);
    double verdict = GetTickCount64() - start;
    std::printf("  join %d: server list answered %7.0f, verdict %7.0f\n", join, answered, verdict);
    KillProcessByName(processes, "skyrendw.exe");
    while (FindWindowA("KVYMAINWIN", "Skyrend")) Sleep(10);
  }
  testbed::RemoveGame(game);
}

}  // namespace

int main() {
  CountingTimers timers;
  Win32GameWindows windows;
  NoProcesses processes;
  MemoryRegistry backend;
  Registry registry(
      backend, [](const MessageBoxSpec&) {}, "launcher-bench");
  Win32Files files;
  PrintedBoxes boxes;
  GameLauncher launcher({.timers = timers,
                         .windows = windows,
                         .processes = processes,
                         .registry = registry,
                         .files = files,
                         .messages = boxes,
                         .programFolder = "C:\\"});

  std::printf("launcher-bench: the launch automation's timers with no game window\n");
  Report("idle message loop", RunLoop(kIdleMs));
  launcher.StartJoin("C:\\windows", "127.0.0.1");
  std::pair<double, double> launch = RunLoop(kDeadlineMs);
  Report("launch (10 s automation)", launch);
  for (auto [id, name] : {std::pair{kLaunchHWTimerId, "timeLaunchHW"},
                          std::pair{kHideLaunchTimerId, "timeHideLaunch"},
                          std::pair{kLaunchStateTimerId, "timeLaunchState"}}) {
    long ticks = timers.ticks[id];
    std::printf("  %-16s %6ld ticks, one every %.1f ms\n", name, ticks,
                ticks ? launch.second / ticks : 0.0);
  }
  JoinTheStandIn(timers, windows, registry, files, boxes);
  return 0;
}
