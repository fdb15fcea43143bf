#include "testbed/game_install_win32.h"

#include <fstream>

namespace cv3::testbed {
namespace {

constexpr wchar_t kGameKey[] = L"Software\\Molteno\\VELTROP\\Config";

bool SetGameValue(const std::wstring& name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kGameKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool ok = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
            ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

bool SetGameString(const std::wstring& name, const std::wstring& text) {
  return SetGameValue(name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out.flush());
}

}  // namespace

GameInstall GameInstallBelow(const std::filesystem::path& folder) {
  std::filesystem::path root = folder;
  root.make_preferred();
  return {root, root / L"Run Folder", root / L"Data", root / L"Save Games"};
}

bool InstallGame(const GameInstall& game, const std::filesystem::path& skyrendExe,
                 const std::string& version) {
  std::error_code error;
  for (const auto& folder : {game.runPath, game.dataPath, game.savePath}) {
    std::filesystem::create_directories(folder, error);
    if (error) return false;
  }
  std::filesystem::copy_file(skyrendExe, game.runPath / L"SkyrendW.exe",
                             std::filesystem::copy_options::overwrite_existing, error);
  std::wstring wideVersion(version.begin(), version.end());
  return !error && WriteFile(game.runPath / L"Veltrop.exe", "stand-in launcher\r\n") &&
         WriteFile(game.runPath / L"Skyrend.res", "stand-in resources\r\n") &&
         SetGameString(L"RunPath", game.runPath.wstring()) &&
         SetGameString(L"DataPath", game.dataPath.wstring()) &&
         SetGameString(L"SavePath", game.savePath.wstring()) &&
         SetGameString(L"Version", wideVersion);
}

bool SetGameMode(const GameInstall& game, const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += word + "\r\n";
  return WriteFile(game.runPath / L"SkyrendW.mode", text);
}

std::vector<std::string> ReadGameLog(const GameInstall& game) {
  std::ifstream in(game.runPath / L"SkyrendW.log", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool SetGameDWord(const std::wstring& name, DWORD value) {
  return SetGameValue(name, REG_DWORD, &value, sizeof value);
}

void RemoveGame(const GameInstall& game) {
  std::error_code ignored;
  std::filesystem::remove_all(game.root, ignored);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Molteno");
}

}  // namespace cv3::testbed
