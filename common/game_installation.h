// The installed game as both Windows programs find it: the game's own registry key, its four
// folder and version values, and the installation test. The game itself creates the key; we only
// read it (and write the values hosting and joining set). UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "common/files.h"
#include "common/message_box.h"
#include "common/registry.h"

namespace cv3 {

inline constexpr std::string_view kGameKey =
    "HKEY_CURRENT_USER\\Software\\Molteno\\VELTROP\\Config";
inline constexpr std::string_view kNotInstalledText = "Skyrend does not appear to be installed!";
// The game's executable as command lines name it, below the short form of RunPath.
inline constexpr std::string_view kGameExeName = "skyrendw.exe";
inline constexpr std::string_view kTerminalServerPort = "TerminalServerPort";

// The installed-game record: each value as read, "Error" when it is missing.
struct InstalledGame {
  std::string runPath;
  std::string savePath;
  std::string dataPath;
  std::string version;
  bool operator==(const InstalledGame&) const = default;
};

InstalledGame ReadInstalledGame(Registry& registry);

// Passes when "\Veltrop.exe", "\Skyrend.res" and "\SkyrendW.exe" exist in RunPath and none of
// RunPath, Version and DataPath reads "Error". Every condition is evaluated every time.
bool InstallationComplete(Files& files, const InstalledGame& game);

// The pieces every game command line is built from, each the short form where the system gives
// one: the game's executable (short RunPath + "\skyrendw.exe"), a save file that does not exist
// yet (short SavePath + "\" + name: a missing file has no short form) and one that exists (the
// short form of the whole path). A volume without short names gives the long path, spaces and
// all, so command lines quote every piece (CommandLineOf).
std::string GameExecutable(Files& files, std::string_view runPath);
std::string NewSaveFileArgument(Files& files, std::string_view savePath, std::string_view fileName);
std::string SavedFileArgument(Files& files, std::string_view savePath, std::string_view fileName);

// The refusal of an incomplete installation: critical stop, caption "Warning!".
inline MessageBoxSpec NotInstalledBox() {
  return {std::string(kNotInstalledText), "Warning!", BoxIcon::kCritical, BoxButtons::kOk};
}

}  // namespace cv3
