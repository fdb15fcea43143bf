#include "cv3client/games/launcher.h"

namespace cv3 {

void GameLauncher::StartJoin(const std::string&, const std::string&) {}

void GameLauncher::StartNewServer(const std::string&, const std::string&, const std::string&,
                                  int) {}

void GameLauncher::StartSavedServer(const std::string&, const std::string&, const std::string&,
                                    int) {}

}  // namespace cv3
