// The launcher: starts the game (a join or a server) and answers the game's network dialogs from
// three timers of the main window, then judges the start ten seconds later. Owned by ClientCore;
// UI thread only.
#pragma once

#include <string>

#include "common/files.h"
#include "common/game_windows.h"
#include "common/processes.h"
#include "common/registry.h"
#include "common/timers.h"
#include "cv3client/games/game_starter.h"
#include "cv3client/ui/views.h"

namespace cv3 {

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
  void StartNewServer(const std::string& runPath, const std::string& savePath,
                      const std::string& saveFileName, int dedicated) override;
  void StartSavedServer(const std::string& runPath, const std::string& savePath,
                        const std::string& saveFileName, int dedicated) override;

 private:
  Parts parts_;
};

}  // namespace cv3
