// guard-bench.exe: how fast the watchdog acts and what it costs. It installs the stand-in game in
// a folder of its own and starts cv3guard.exe as the client does. Over five cycles the game hangs
// at a different point of the probe's ten-second round; each cycle prints the time from the hang
// to the kill and from the kill to the relaunch, beside what the timers promise. Then the game
// runs healthy for a steady span, marked on stdout ("steady start", "steady end") so that
// run_guard_bench.sh can read the watchdog's and the wineserver's CPU time from /proc around
// it (Wine's own figures for another process are not reliable). Last, the watchdog's memory.
// Reports; never a test.
// Usage: guard-bench.exe CV3GUARD_EXE SKYRENDW_EXE
// windows.h first: psapi.h needs it.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <cmath>
#include <cstdio>
#include <string>

#include "common/processes_win32.h"
#include "testbed/game_install_win32.h"
#include "testbed/remote_controls_win32.h"

namespace {

using namespace cv3;
using namespace cv3::testbed;

constexpr DWORD kDeadlineMs = 60000;
// After the game starts listening; the stand-in logs "hang" up to half a second after it has
// stopped answering, the moment taken here. None falls on a probe's moment.
constexpr int kHangSeconds[] = {0, 2, 5, 12, 15};
constexpr DWORD kSteadyMs = 30000;
constexpr WPARAM kExitCommand = 101;

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
  return static_cast<double>(value.QuadPart) / 1e7;
}
double Now() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return Seconds(now);
}
double Created(HANDLE process) {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(process, &created, &ended, &kernel, &user);
  return Seconds(created);
}
double EndedAt(HANDLE process) {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(process, &created, &ended, &kernel, &user);
  return Seconds(ended);
}

size_t LogCount(const GameInstall& game, const std::string& line) {
  size_t n = 0;
  for (const std::string& logged : ReadGameLog(game)) n += logged == line;
  return n;
}

// The running game other than `previous`, opened for waiting and its times.
HANDLE NextGame(Processes& processes, DWORD previous) {
  DWORD id = 0;
  WaitFor(
      [&] {
        for (const ProcessEntry& p : processes.ListProcesses()) {
          if (ExecutableNameMatches(p.exeName, "skyrendw.exe") && p.id != previous) id = p.id;
        }
        return id != 0;
      },
      kDeadlineMs);
  return id ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id) : nullptr;
}

// What the timers promise for a hang `offset` seconds after the launch: the first probe after
// it (every 10 s from the launch) gets no connection, and 7 s later the game is ended.
double PromisedKill(double offset) { return (std::floor(offset / 10) + 1) * 10 + 7 - offset; }

void PrintMemory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory)) {
    std::printf("  memory: GetProcessMemoryInfo failed (error %lu)\n", GetLastError());
    return;
  }
  std::printf("  watchdog working set %.1f MB, peak %.1f MB; commit %.1f MB\n",
              memory.WorkingSetSize / 1048576.0, memory.PeakWorkingSetSize / 1048576.0,
              memory.PagefileUsage / 1048576.0);
}

int Run(const wchar_t* guardExe, const wchar_t* skyrendExe) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  GameInstall game = GameInstallBelow(std::filesystem::path(temp) / L"cv3 guard bench");
  Win32Processes processes;
  KillProcessByName(processes, "skyrendw.exe");
  if (!InstallGame(game, skyrendExe) || !SetGameDWord(L"TerminalServerPort", 0) ||
      !SetGameMode(game, {"hang=" + std::to_string(kHangSeconds[0])})) {
    std::printf("could not install the stand-in game\n");
    return 1;
  }
  std::wstring line = L"\"" + std::wstring(guardExe) + L"\" bench.sav";
  STARTUPINFOW startup{sizeof startup};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION guard{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &guard)) {
    std::printf("could not start %ls\n", guardExe);
    return 1;
  }
  CloseHandle(guard.hThread);

  std::printf("  cycle  hang after launch  hang->kill (promised)  kill->relaunch (promised)\n");
  HANDLE running = NextGame(processes, 0);
  const int cycles = static_cast<int>(std::size(kHangSeconds));
  for (int i = 0; running && i < cycles; ++i) {
    if (!WaitFor([&] { return LogCount(game, "hang") > static_cast<size_t>(i); }, kDeadlineMs)) {
      std::printf("  cycle %d: no hang logged\n", i + 1);
      break;
    }
    double hungAt = Now();
    // The next run reads its mode when it starts: the next hang, or none for the steady span.
    SetGameMode(game, i + 1 < cycles
                          ? std::vector<std::string>{"hang=" + std::to_string(kHangSeconds[i + 1])}
                          : std::vector<std::string>{});
    if (WaitForSingleObject(running, kDeadlineMs) != WAIT_OBJECT_0) {
      std::printf("  cycle %d: the hung game was not ended\n", i + 1);
      break;
    }
    HANDLE next = NextGame(processes, GetProcessId(running));
    double offset = hungAt - Created(running), killed = EndedAt(running);
    std::printf("  %5d  %14.2f s  %9.2f s (%6.2f s)  %11.2f s (%6.2f s)\n", i + 1, offset,
                killed - hungAt, PromisedKill(offset), next ? Created(next) - killed : -1.0, 5.0);
    CloseHandle(running);
    running = next;
  }

  if (running && WaitFor([&] { return LogCount(game, "listening: 9001") > cycles; }, kDeadlineMs)) {
    std::printf("steady start\n");
    std::fflush(stdout);
    Sleep(kSteadyMs);
    std::printf("steady end %lu ms\n", kSteadyMs);
    std::fflush(stdout);
    std::printf("  the healthy game %s the steady span\n",
                WaitForSingleObject(running, 0) == WAIT_TIMEOUT ? "survived" : "did NOT survive");
  }
  PrintMemory(guard.hProcess);

  PostMessageW(FindWindowW(L"Cv3GuardForm1", L"cv3guard"), WM_COMMAND, kExitCommand, 0);
  WaitForSingleObject(guard.hProcess, kDeadlineMs);
  CloseHandle(guard.hProcess);
  KillProcessByName(processes, "skyrendw.exe");
  if (running) {
    WaitForSingleObject(running, kDeadlineMs);
    CloseHandle(running);
  }
  RemoveGame(game);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: guard-bench.exe CV3GUARD_EXE SKYRENDW_EXE\n");
    return 2;
  }
  return Run(argv[1], argv[2]);
}
