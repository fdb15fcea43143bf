#include "cv3guard/watchdog.h"

namespace cv3 {

std::string ArgSaveFileOf(std::string_view arguments) {
  std::string text;
  for (char c : arguments) {
    if (c != '"') text += c;
  }
  if (size_t slash = text.rfind('\\'); slash != std::string::npos) text.erase(0, slash + 1);
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool Watchdog::Start(std::string_view arguments) {
  game_ = ReadInstalledGame(parts_.registry);
  if (!InstallationComplete(parts_.files, game_)) {
    state_ = State::kEnded;
    parts_.view.ShowMessage(NotInstalledBox());
    return false;
  }
  argSaveFile_ = ArgSaveFileOf(arguments);
  if (argSaveFile_.empty()) {
    state_ = State::kEnded;
    return false;
  }
  parts_.view.AddTrayIcon(kGuardTrayTip);
  parts_.view.ShowLaunching();
  state_ = State::kWaitingToLaunch;
  StartTimer(kRelaunchTimerId, kRelaunchMs, &Watchdog::timeRelaunch_Timer);
  return true;
}

void Watchdog::StartTimer(int id, int ms, void (Watchdog::*tick)()) {
  parts_.timers.StartTimer(id, ms, [this, tick] { (this->*tick)(); });
}

// Tested at every launch, so a game that has saved itself is loaded from its file next time.
std::string Watchdog::GameCommandLine() {
  std::string exe = GameExecutable(parts_.files, game_.runPath);
  if (FileExists(parts_.files, game_.savePath + "\\" + argSaveFile_)) {
    return CommandLineOf(
        {exe, "/t:loadded", SavedFileArgument(parts_.files, game_.savePath, argSaveFile_)});
  }
  return CommandLineOf(
      {exe, "/t:newded", NewSaveFileArgument(parts_.files, game_.savePath, argSaveFile_)});
}

// Stays inside the wait while the game runs; the probe, the tray menu and Exit run meanwhile.
void Watchdog::timeRelaunch_Timer() {
  parts_.timers.StopTimer(kRelaunchTimerId);
  if (menuOpen_) {
    // A wait inside the menu's own loop would leave the menu unable to close while the game
    // runs: the launch waits until the menu has closed.
    launchDue_ = true;
    return;
  }
  // The probe timer starts with each launch, the first one included (it does not run from the
  // program's start): every launch has the same 17 s to open its terminal server.
  StartTimer(kTestStateTimerId, kTestStateMs, &Watchdog::timeTestState_Timer);
  std::string commandLine = GameCommandLine();
  parts_.view.HideLaunching();
  parts_.registry.SetDWord(kGameKey, kTerminalServerPort, kProbePort);
  state_ = State::kRunning;
  WaitOutcome outcome = parts_.processes.StartAndWait(
      commandLine, parts_.files.ShortPath(game_.runPath),
      [this](LaunchedProcess& game) { runningGame_ = &game; }, [this] { return guardExiting_; });
  runningGame_ = nullptr;
  if (state_ == State::kEnded) return;  // Exit ended the program from inside the wait
  switch (outcome) {
    case WaitOutcome::kNotStarted:
      // No retry. The probe rests too: left running it would end any copy of the game the
      // player starts by hand.
      RestProbe();
      state_ = State::kIdle;
      return;
    case WaitOutcome::kStopped:  // closed, or told to quit: the game runs on
      EndWatchdog();
      return;
    case WaitOutcome::kEnded:
      RestProbe();
      if (guardExiting_) {
        EndWatchdog();
        return;
      }
      state_ = State::kWaitingToLaunch;
      StartTimer(kRelaunchTimerId, kRelaunchMs, &Watchdog::timeRelaunch_Timer);
      return;
  }
}

void Watchdog::timeTestState_Timer() {
  parts_.timers.StopTimer(kTestStateTimerId);
  StartTimer(kTimeOutTimerId, kTimeOutMs, &Watchdog::timeTimeOut_Timer);
  awaitingConnection_ = true;
  parts_.probe.Close();
  parts_.probe.Connect(std::string(kProbeHost), kProbePort);
}

// Nothing is sent: an established connection is the whole test.
void Watchdog::Winsock1_Connect() {
  if (!awaitingConnection_) return;  // a late answer after the time-out or the game's end
  awaitingConnection_ = false;
  parts_.timers.StopTimer(kTimeOutTimerId);
  StartTimer(kTestStateTimerId, kTestStateMs, &Watchdog::timeTestState_Timer);
}

// Ends the game that is being waited for (and what it started, never another copy); its end lets
// the wait return and the relaunch follows from there. The probe rests until the next launch.
void Watchdog::timeTimeOut_Timer() {
  parts_.timers.StopTimer(kTimeOutTimerId);
  awaitingConnection_ = false;
  parts_.probe.Close();
  if (runningGame_) runningGame_->End();
}

void Watchdog::RestProbe() {
  parts_.timers.StopTimer(kTestStateTimerId);
  parts_.timers.StopTimer(kTimeOutTimerId);
  awaitingConnection_ = false;
  parts_.probe.Close();
}

void Watchdog::OnTrayMouse(std::string_view action) {
  if (state_ == State::kEnded || menuOpen_ || action != "RIGHTUP") return;
  menuOpen_ = true;
  parts_.view.ShowTrayMenu();
  menuOpen_ = false;
  // On a timer, not here: the menu's choice comes first, and Exit then launches nothing.
  if (launchDue_ && state_ == State::kWaitingToLaunch) {
    launchDue_ = false;
    StartTimer(kRelaunchTimerId, kAfterMenuMs, &Watchdog::timeRelaunch_Timer);
  }
}

void Watchdog::mnuExit_Click() {
  guardExiting_ = true;
  EndWatchdog();
}

// A running wait sees GuardExiting and ends the program; anywhere else nothing would ever end
// it, and a relaunch would start a game that nobody watches, so it ends now.
void Watchdog::Form_Unload() {
  guardExiting_ = true;
  if (state_ != State::kRunning) EndWatchdog();
}

void Watchdog::EndWatchdog() {
  if (state_ == State::kEnded) return;
  state_ = State::kEnded;
  guardExiting_ = true;
  // Nothing may tick during the pause below: a time-out there would end the game Exit leaves.
  parts_.timers.StopTimer(kRelaunchTimerId);
  RestProbe();
  parts_.view.RemoveTrayIcon();
  if (parts_.wait) parts_.wait(kEndPauseMs);
  parts_.view.EndProgram();
}

}  // namespace cv3
