#include "common/game_installation.h"

namespace cv3 {

namespace {
constexpr std::string_view kMissing = "Error";
}

InstalledGame ReadInstalledGame(Registry& registry) {
  return {registry.GetString(kGameKey, "RunPath"), registry.GetString(kGameKey, "SavePath"),
          registry.GetString(kGameKey, "DataPath"), registry.GetString(kGameKey, "Version")};
}

bool InstallationComplete(Files& files, const InstalledGame& game) {
  // No early exit: each file is looked at even when an earlier condition has failed.
  bool complete = true;
  for (std::string_view file : {"\\Veltrop.exe", "\\Skyrend.res", "\\SkyrendW.exe"}) {
    complete &= FileExists(files, game.runPath + std::string(file));
  }
  complete &= game.runPath != kMissing;
  complete &= game.version != kMissing;
  complete &= game.dataPath != kMissing;
  return complete;
}

std::string GameExecutable(Files& files, std::string_view runPath) {
  return files.ShortPath(runPath) + "\\" + std::string(kGameExeName);
}

std::string NewSaveFileArgument(Files& files, std::string_view savePath,
                                std::string_view fileName) {
  return files.ShortPath(savePath) + "\\" + std::string(fileName);
}

std::string SavedFileArgument(Files& files, std::string_view savePath, std::string_view fileName) {
  return files.ShortPath(std::string(savePath) + "\\" + std::string(fileName));
}

}  // namespace cv3
