// What the shell knows of a window's tray icon, and Explorer starting again, for the tray tests
// of both programs' windows.
#pragma once

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstring>

#include "win32/tray_win32.h"

namespace cv3 {

// Whether the shell knows an icon of this window and number: changing only its tip succeeds.
inline bool ShellHasIcon(HWND hwnd) {
  NOTIFYICONDATAA probe{};
  probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
  probe.hWnd = hwnd;
  probe.uID = TrayIcon::kIconNumber;
  probe.uFlags = NIF_TIP;
  std::strcpy(probe.szTip, "probe");
  return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// Explorer ends, taking the window's icon with it, starts again and tells every top-level window.
inline void TaskbarStartsAgain(HWND hwnd) {
  NOTIFYICONDATAA lost{};
  lost.cbSize = NOTIFYICONDATAA_V1_SIZE;
  lost.hWnd = hwnd;
  lost.uID = TrayIcon::kIconNumber;
  Shell_NotifyIconA(NIM_DELETE, &lost);
  SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
}

}  // namespace cv3
