// cv3installgame: installs the stand-in game (SkyrendW.exe beside this program) so that the client
// finds Skyrend installed, for a person trying Corvane out without the game.
//   cv3installgame FOLDER [VERSION]   installs below FOLDER and prints the run folder
//   cv3installgame --remove FOLDER    removes that installation and the game's key
#include <windows.h>

#include <cstdio>
#include <string>

#include "testbed/game_install_win32.h"

using namespace cv3::testbed;

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--remove") {
    RemoveGame(GameInstallBelow(argv[2]));
    return 0;
  }
  if (argc < 2 || argc > 3 || argv[1][0] == L'-') {
    std::fprintf(stderr, "usage: cv3installgame FOLDER [VERSION] | --remove FOLDER\n");
    return 2;
  }
  wchar_t self[MAX_PATH];
  std::filesystem::path skyrend(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
  skyrend.replace_filename(L"SkyrendW.exe");
  std::wstring version = argc == 3 ? argv[2] : L"";
  GameInstall game = GameInstallBelow(argv[1]);
  if (!InstallGame(game, skyrend,
                   version.empty() ? kGameVersion : std::string(version.begin(), version.end()))) {
    std::fprintf(stderr, "cv3installgame: could not install below %ls\n", argv[1]);
    return 1;
  }
  std::printf("%ls\n", game.runPath.c_str());
  return 0;
}
