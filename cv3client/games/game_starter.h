// What the game windows ask of the launcher: start a join, or a game server (new or from its save
// file, in the game or as a dedicated server under the watchdog). The launcher then answers the
// game's dialogs from the main window's timers and judges the start ten seconds later.
#pragma once

#include <string>

namespace cv3 {

class GameStarter {
 public:
  virtual ~GameStarter() = default;

  // The join: "TerminalServerPort" 0, then "skyrendw.exe /t:connect" below the short form of
  // runPath, maximised; the address is typed into the game's session dialog. The caller has
  // checked the installation. A game that cannot be started is reported to the player.
  virtual void StartJoin(const std::string& runPath, const std::string& targetAddress) = 0;

  // A hosted game: dedicated 1 runs the watchdog with the save-file name instead of the game.
  // False when the program could not be started; the player has been told.
  virtual bool StartNewServer(const std::string& runPath, const std::string& savePath,
                              const std::string& saveFileName, int dedicated) = 0;
  virtual bool StartSavedServer(const std::string& runPath, const std::string& savePath,
                                const std::string& saveFileName, int dedicated) = 0;
};

}  // namespace cv3
