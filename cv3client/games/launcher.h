// The launcher: starts the game (a join or a server) and answers the game's network dialogs from
// three timers of the main window, then judges the start ten seconds later. Owned by ClientCore;
// UI thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/files.h"
#include "common/game_windows.h"
#include "common/processes.h"
#include "common/registry.h"
#include "common/timers.h"
#include "cv3client/games/game_starter.h"
#include "cv3client/model/views.h"

namespace cv3 {

// The main window's launch timers and their intervals.
inline constexpr int kHideLaunchTimerId = 7310;   // timeHideLaunch
inline constexpr int kLaunchStateTimerId = 7311;  // timeLaunchState
inline constexpr int kLaunchHWTimerId = 7312;     // timeLaunchHW
inline constexpr int kHideLaunchMs = 1;
inline constexpr int kLaunchStateMs = 10000;  // the automation's time-out
inline constexpr int kLaunchHWMs = 1;
inline constexpr int kLaunchHWServerListMs = 3000;  // once the server list has been seen

// The game's windows, by class and title.
inline constexpr std::string_view kGameMainClass = "KVYMAINWIN";
inline constexpr std::string_view kGameMainTitle = "Skyrend";
inline constexpr std::string_view kDialogClass = "#32770";
inline constexpr std::string_view kSerialConnectionTitle = "Serial Connection";
inline constexpr std::string_view kProviderListTitle = "Select service provider";
inline constexpr std::string_view kLocateSessionTitle = "Locate Session";
inline constexpr std::string_view kServerListTitle = "Select Skyrend server...";

inline constexpr std::string_view kAltLaunchNeededText =
    "Your computer requires the alternate method for launching Skyrend!";
inline constexpr std::string_view kAltLaunchEnabledText =
    "Corvane has automatically enabled the alternate Skyrend launching method.";
inline constexpr std::string_view kLaunchFailedText = "Corvane failed to launch Skyrend!";
inline constexpr std::string_view kConnectFailedText = "Skyrend failed to connect to host server!";
// A program that could not be started at all: the game, or the watchdog.
inline constexpr std::string_view kGameStartFailedText = "Corvane failed to start Skyrend!";
inline constexpr std::string_view kGuardStartFailedText = "Corvane failed to start cv3guard.exe!";

class GameLauncher : public GameStarter {
 public:
  struct Parts {
    Timers& timers;
    GameWindows& windows;
    Processes& processes;
    Registry& registry;
    Files& files;
    MessageView& messages;
    std::string programFolder;  // the client's own folder, where cv3guard.exe lives
  };
  explicit GameLauncher(Parts parts) : parts_(std::move(parts)) {}

  void StartJoin(const std::string& runPath, const std::string& targetAddress) override;
  bool StartNewServer(const std::string& runPath, const std::string& savePath,
                      const std::string& saveFileName, int dedicated) override;
  bool StartSavedServer(const std::string& runPath, const std::string& savePath,
                        const std::string& saveFileName, int dedicated) override;

  // The address typed into the session dialog by the last join, and the save-file name of the
  // last hosted game.
  const std::string& LaunchTargetAddress() const { return launchTargetAddress_; }
  const std::string& SaveFileName() const { return saveFileName_; }

 private:
  // Enables the three timers, timeLaunchHW at its fast interval; a launch already running starts
  // over with fresh timers.
  void StartTimers();
  void StopTimers();
  bool StartServer(const std::string& gameCommandLine, const std::string& saveFileName,
                   int dedicated);
  // Starts the timers, then the program; a program that cannot be started stops them again and
  // is reported with `failure`.
  bool Run(const std::string& commandLine, ShowMode show, std::string_view failure);

  void timeLaunchHW_Timer();
  void timeHideLaunch_Timer();
  void timeLaunchState_Timer();

  WindowHandle FindDialog(std::string_view title);
  WindowHandle FindControl(WindowHandle dialog, std::string_view className,
                           std::optional<std::string_view> title = std::nullopt);
  void Click(WindowHandle control);
  void Warn(std::string_view text);
  // Ends the game a failed launch started, and only that: other copies of the game (the player's
  // own server) run on.
  void EndFailedGame();

  Parts parts_;
  bool gameWindowHidden_ = false;  // GameWindowHidden
  std::string launchTargetAddress_;
  std::string saveFileName_;
  std::unique_ptr<LaunchedProcess> game_;  // what the last launch started
  // Set while a failed launch's message is open and its game not yet ended: a launch started
  // from inside that box ends the failed game first.
  std::unique_ptr<LaunchedProcess> failedGame_;
  // The launcher's own message boxes open now; ticks wait until they are closed.
  int boxesOpen_ = 0;
};

}  // namespace cv3
