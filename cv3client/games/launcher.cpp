#include "cv3client/games/launcher.h"

#include "common/game_installation.h"
#include "common/message_box.h"
#include "cv3client/support/client_settings.h"

namespace cv3 {

namespace {
constexpr std::string_view kGuardExeName = "cv3guard.exe";
// Entries removed from the provider list so that the wanted provider comes first.
constexpr int kProvidersRemoved = 3;
constexpr int kProvidersRemovedAlt = 1;
}  // namespace

void GameLauncher::StartJoin(const std::string& runPath, const std::string& targetAddress) {
  // Every join writes it: a game hosted before left its 9001 (WriteHostSettings).
  parts_.registry.SetDWord(kGameKey, kTerminalServerPort, 0);
  gameWindowHidden_ = false;
  launchTargetAddress_ = targetAddress;
  Run(CommandLineOf({GameExecutable(parts_.files, runPath), "/t:connect"}), ShowMode::kMaximized,
      kGameStartFailedText);
}

bool GameLauncher::StartNewServer(const std::string& runPath, const std::string& savePath,
                                  const std::string& saveFileName, int dedicated) {
  return StartServer(CommandLineOf({GameExecutable(parts_.files, runPath), "/t:newserver",
                                    NewSaveFileArgument(parts_.files, savePath, saveFileName)}),
                     saveFileName, dedicated);
}

bool GameLauncher::StartSavedServer(const std::string& runPath, const std::string& savePath,
                                    const std::string& saveFileName, int dedicated) {
  return StartServer(CommandLineOf({GameExecutable(parts_.files, runPath), "/t:loadserver",
                                    SavedFileArgument(parts_.files, savePath, saveFileName)}),
                     saveFileName, dedicated);
}

bool GameLauncher::StartServer(const std::string& gameCommandLine, const std::string& saveFileName,
                               int dedicated) {
  saveFileName_ = saveFileName;
  gameWindowHidden_ = true;  // a hosted game keeps its main window
  if (dedicated != 1) return Run(gameCommandLine, ShowMode::kNormal, kGameStartFailedText);
  // The watchdog decides by itself between a new and a saved game.
  return Run(CommandLineOf(
                 {parts_.files.ShortPath(parts_.programFolder) + "\\" + std::string(kGuardExeName),
                  saveFileName}),
             ShowMode::kMinimized, kGuardStartFailedText);
}

bool GameLauncher::Run(const std::string& commandLine, ShowMode show, std::string_view failure) {
  StartTimers();
  game_ = parts_.processes.Launch(commandLine, "", show);
  if (game_) return true;
  StopTimers();
  Warn(failure);
  return false;
}

void GameLauncher::StartTimers() {
  EndFailedGame();
  parts_.timers.StartTimer(kHideLaunchTimerId, kHideLaunchMs, [this] { timeHideLaunch_Timer(); });
  parts_.timers.StartTimer(kLaunchHWTimerId, kLaunchHWMs, [this] { timeLaunchHW_Timer(); });
  parts_.timers.StartTimer(kLaunchStateTimerId, kLaunchStateMs,
                           [this] { timeLaunchState_Timer(); });
}

// Before any message box: a box pumps messages, and no tick may run inside it.
void GameLauncher::StopTimers() {
  parts_.timers.StopTimer(kLaunchStateTimerId);
  parts_.timers.StopTimer(kLaunchHWTimerId);
  parts_.timers.StopTimer(kHideLaunchTimerId);
}

// Answers at most one dialog per tick.
void GameLauncher::timeLaunchHW_Timer() {
  if (boxesOpen_ > 0) return;
  WindowHandle mainWindow = parts_.windows.FindTopLevel(kGameMainClass, kGameMainTitle);
  if (mainWindow != 0 && !gameWindowHidden_) {
    parts_.windows.SetVisible(mainWindow, false);
    gameWindowHidden_ = true;
  }

  if (FindDialog(kSerialConnectionTitle) != 0) {
    // The game took the wrong service provider; the next launch uses the alternate method.
    StopTimers();
    failedGame_ = std::move(game_);
    EndFailedGame();
    Warn(kAltLaunchNeededText);
    parts_.registry.SetDWord(settings::kClientKey, settings::kAltLaunch, 1);
    Warn(kAltLaunchEnabledText);
    return;
  }

  if (WindowHandle providers = FindDialog(kProviderListTitle); providers != 0) {
    WindowHandle list = FindControl(providers, "ListBox");
    Click(list);
    bool alternate = parts_.registry.GetDWord(settings::kClientKey, settings::kAltLaunch) == 1;
    for (int i = 0; i < (alternate ? kProvidersRemovedAlt : kProvidersRemoved); ++i) {
      parts_.windows.Send(list, kLbDeleteString, 0, 0);
    }
    Click(FindControl(providers, "ListBox"));  // selects the entry that is now first
    Click(FindControl(providers, "Button", "OK"));
    return;
  }

  if (WindowHandle locate = FindDialog(kLocateSessionTitle); locate != 0) {
    parts_.windows.SendText(FindControl(locate, "Edit"), kWmSetText, 0, launchTargetAddress_);
    Click(FindControl(locate, "Button", "OK"));
    return;
  }

  if (WindowHandle servers = FindDialog(kServerListTitle); servers != 0) {
    parts_.timers.StartTimer(kLaunchHWTimerId, kLaunchHWServerListMs,
                             [this] { timeLaunchHW_Timer(); });
    Click(FindControl(servers, "ListBox"));  // selects the first server
    Click(FindControl(servers, "Button", "OK"));
  }
}

void GameLauncher::timeHideLaunch_Timer() {
  if (boxesOpen_ > 0) return;
  for (std::string_view title : {kProviderListTitle, kLocateSessionTitle, kServerListTitle}) {
    if (WindowHandle dialog = FindDialog(title); dialog != 0) {
      parts_.windows.SetVisible(dialog, false);
    }
  }
}

// Ten seconds after the start: a dialog still open means the launch failed.
void GameLauncher::timeLaunchState_Timer() {
  if (boxesOpen_ > 0) return;
  StopTimers();
  gameWindowHidden_ = false;
  std::string_view failure;
  if (FindDialog(kProviderListTitle) != 0 || FindDialog(kLocateSessionTitle) != 0) {
    failure = kLaunchFailedText;
  } else if (FindDialog(kServerListTitle) != 0) {
    failure = kConnectFailedText;
  }
  if (failure.empty()) return;
  failedGame_ = std::move(game_);
  Warn(failure);
  EndFailedGame();  // unless a launch from inside the box has ended it
}

WindowHandle GameLauncher::FindDialog(std::string_view title) {
  return parts_.windows.FindTopLevel(kDialogClass, title);
}

WindowHandle GameLauncher::FindControl(WindowHandle dialog, std::string_view className,
                                       std::optional<std::string_view> title) {
  return parts_.windows.FindChild(dialog, 0, className, title);
}

// A missing control (0) takes the click and nothing happens.
void GameLauncher::Click(WindowHandle control) {
  parts_.windows.Send(control, kWmLButtonDown, 0, 0);
  parts_.windows.Send(control, kWmLButtonUp, 0, 0);
}

// The box pumps messages: a launch started from inside it keeps its ticks until the box is closed.
void GameLauncher::Warn(std::string_view text) {
  ++boxesOpen_;
  parts_.messages.ShowMessage(WarningBox(std::string(text)));
  --boxesOpen_;
}

void GameLauncher::EndFailedGame() {
  if (!failedGame_) return;
  failedGame_->End();
  failedGame_.reset();
}

}  // namespace cv3
