// The stand-in game installed below a folder of a test (or of a person trying the client out),
// as the installation test wants it: the run folder with SkyrendW.exe, Veltrop.exe and
// Skyrend.res, a data and a save folder, and the game's key
// "HKEY_CURRENT_USER\Software\Molteno\VELTROP\Config" with "RunPath", "DataPath", "SavePath" and
// "Version". The run and save folders have spaces in their names, so command lines need short
// paths. Also the stand-in's mode file and log (see testbed/fakegame/skyrendw_win32.cpp).
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace cv3::testbed {

inline constexpr char kGameVersion[] = "1.3.0";

struct GameInstall {
  std::filesystem::path root;
  std::filesystem::path runPath;   // root\Run Folder: the three files, the mode file and the log
  std::filesystem::path dataPath;  // root\Data
  std::filesystem::path savePath;  // root\Save Games
};

// The folders of an installation below `folder`; nothing is created.
GameInstall GameInstallBelow(const std::filesystem::path& folder);

// Creates the folders, copies the stand-in `skyrendExe` in as SkyrendW.exe, writes the two other
// files and the game's key. Overwrites an earlier installation. False when a step fails.
bool InstallGame(const GameInstall& game, const std::filesystem::path& skyrendExe,
                 const std::string& version = kGameVersion);

// Writes the mode file that the stand-in reads when it starts, one word a line ({} for normal):
// "wrongprovider", "neverconnects", "nodialogs", "hang=N".
bool SetGameMode(const GameInstall& game, const std::vector<std::string>& words);

// The stand-in's log lines so far, in order, without line ends; empty without a log.
std::vector<std::string> ReadGameLog(const GameInstall& game);

// Sets a DWORD value of the game's key, such as "TerminalServerPort".
bool SetGameDWord(const std::wstring& name, DWORD value);

// Deletes the folder tree and the key "HKEY_CURRENT_USER\Software\Molteno" with everything below
// it. A running stand-in keeps its program file: end it first.
void RemoveGame(const GameInstall& game);

}  // namespace cv3::testbed
