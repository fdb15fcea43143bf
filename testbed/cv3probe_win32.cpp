// cv3probe: watches a running cv3client.exe from outside, for scripts.
//   cv3probe wait-status TEXT [TIMEOUT_MS]   exits 0 once the status bar reads TEXT
//   cv3probe dump                            prints the status text and the roster tree
//   cv3probe command ID                      sends the main window the menu command ID
//   cv3probe close CLASS                     closes the window of that class (WM_CLOSE)
//   cv3probe click CLASS TEXT                presses the button TEXT in the window of that class
#include <windows.h>

#include <cstdio>
#include <string>

#include "testbed/remote_controls_win32.h"

using namespace cv3::testbed;

namespace {

HWND MainWindow() { return FindWindowW(L"Cv3MainWindow", nullptr); }

std::string StatusText() {
  HWND main = MainWindow();
  HWND status = main ? FindChildByClass(main, L"msctls_statusbar32") : nullptr;
  return status ? ReadStatusText(status) : std::string();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wstring(argv[1]) == L"wait-status") {
    char wanted[512];
    WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, wanted, sizeof wanted, nullptr, nullptr);
    DWORD timeout = argc >= 4 ? static_cast<DWORD>(_wtoi(argv[3])) : 30000;
    bool ok = WaitFor([&] { return StatusText() == wanted; }, timeout);
    std::printf("%s\n", StatusText().c_str());
    return ok ? 0 : 1;
  }
  if (argc >= 2 && std::wstring(argv[1]) == L"dump") {
    HWND main = MainWindow();
    if (!main) {
      std::printf("no main window\n");
      return 1;
    }
    std::printf("status: %s\n", StatusText().c_str());
    HWND tree = FindChildByClass(main, L"SysTreeView32");
    for (const auto& item : ReadTree(tree)) {
      std::printf("%s%s [%d]%s\n", item.parent.empty() ? "" : "  ", item.text.c_str(), item.image,
                  item.bold ? " bold" : "");
    }
    return 0;
  }
  if (argc >= 3 && std::wstring(argv[1]) == L"command") {
    HWND main = MainWindow();
    if (!main) return 1;
    PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[2])), 0);
    return 0;
  }
  if (argc >= 3 && std::wstring(argv[1]) == L"close") {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindWindowW(argv[2], nullptr)) != nullptr; }, 10000);
    if (!window) return 1;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (argc >= 4 && std::wstring(argv[1]) == L"click") {
    // A window is found as soon as it is created; it takes clicks once it is shown.
    HWND window = nullptr;
    WaitFor(
        [&] {
          window = FindWindowW(argv[2], nullptr);
          return window && IsWindowVisible(window) && IsWindowEnabled(window);
        },
        10000);
    HWND button = window ? FindWindowExW(window, nullptr, L"Button", argv[3]) : nullptr;
    if (!button) return 1;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return 0;
  }
  std::fprintf(stderr,
               "usage: cv3probe wait-status TEXT [TIMEOUT_MS] | dump | command ID | close CLASS | "
               "click CLASS TEXT\n");
  return 2;
}
