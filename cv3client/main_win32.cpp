// cv3client.exe: the Corvane lobby client.
#include <windows.h>

#include "cv3client/client_app_win32.h"
#include "win32/window_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  cv3::DeclareDpiAwareness();
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir = path;
  dir = dir.substr(0, dir.find_last_of(L"\\/"));
  cv3::ClientApp app({dir});
  return app.Run();
}
