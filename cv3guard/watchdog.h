// The watchdog's rules (Form1 of cv3guard): starts the game as a dedicated server, probes its
// terminal server every ten seconds, terminates it when a probe gets no connection within seven
// seconds, and starts it again five seconds after it has ended, from its save file once there is
// one. It runs until the player chooses Exit. Owned by the program; UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/files.h"
#include "common/game_installation.h"
#include "common/processes.h"
#include "common/registry.h"
#include "common/timers.h"
#include "cv3guard/guard_view.h"
#include "cv3guard/probe_socket.h"

namespace cv3 {

// Form1's timers and their intervals.
inline constexpr int kTestStateTimerId = 5101;  // timeTestState: the next probe
inline constexpr int kTimeOutTimerId = 5102;    // timeTimeOut: the probe's time to connect
inline constexpr int kRelaunchTimerId = 5103;   // timeRelaunch: the next launch
inline constexpr int kTestStateMs = 10000;
inline constexpr int kTimeOutMs = 7000;
inline constexpr int kRelaunchMs = 5000;
// The game's terminal server as the probe reaches it; the port is written before every launch.
inline constexpr std::string_view kProbeHost = "localhost";
inline constexpr int kProbePort = 9001;
inline constexpr std::string_view kGuardTrayTip = "GUARD";
// The pause after the tray icon is removed, before the program ends.
inline constexpr int kEndPauseMs = 100;
// A launch that fell due while the tray menu was open follows this soon after it has closed.
inline constexpr int kAfterMenuMs = 1;

// ArgSaveFile from the command line's arguments: every double quote removed, then everything up
// to and including each backslash, so a path gives its last component. Spaces and tabs around
// the result are dropped (a file name does not end in one).
std::string ArgSaveFileOf(std::string_view arguments);

class Watchdog : public GuardEvents {
 public:
  enum class State { kStarting, kWaitingToLaunch, kRunning, kIdle, kEnded };

  struct Parts {
    Registry& registry;
    Files& files;
    Processes& processes;
    Timers& timers;
    ProbeSocket& probe;
    GuardView& view;
    std::function<void(int ms)> wait;  // WaitWhileProcessing; may be empty
  };
  explicit Watchdog(Parts parts) : parts_(std::move(parts)) {}

  // Form1's load, once the program knows it is the only copy. False when the program is to end:
  // the game is not installed (after its message), or the arguments name no save file.
  bool Start(std::string_view arguments);

  // Winsock1's Connect event: the probe's connection is established.
  void Winsock1_Connect();

  void OnTrayMouse(std::string_view action) override;
  void mnuExit_Click() override;
  void Form_Unload() override;

  State state() const { return state_; }

 private:
  void timeRelaunch_Timer();
  void timeTestState_Timer();
  void timeTimeOut_Timer();
  std::string GameCommandLine();
  void StartTimer(int id, int ms, void (Watchdog::*tick)());
  // Stops both probe timers and drops the probe's connection.
  void RestProbe();
  // Removes the tray icon and ends the program; the game, if running, runs on.
  void EndWatchdog();

  Parts parts_;
  InstalledGame game_;
  std::string argSaveFile_;          // ArgSaveFile
  bool guardExiting_ = false;        // GuardExiting
  bool awaitingConnection_ = false;  // a probe is out and timeTimeOut runs
  // The game being waited for, while the wait lasts: the time-out ends it and what it started,
  // never another copy of the game (the player's own).
  LaunchedProcess* runningGame_ = nullptr;
  bool menuOpen_ = false;   // the tray menu is open: its own loop runs the ticks
  bool launchDue_ = false;  // timeRelaunch ticked while the menu was open
  State state_ = State::kStarting;
};

}  // namespace cv3
