// What the in-process window tests share: a modal call driven from inside its own loop, a
// snapshot of a shown window for a look at it, and the preferences window over Wine's registry.
#pragma once

#include <gtest/gtest.h>

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
// clang-format on

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "common/client_fakes.h"
#include "common/registry_win32.h"
#include "cv3client/ui/frm_preferences_win32.h"
#include "win32/timers_win32.h"

namespace cv3 {

// Under Xvfb without a window manager, Wine waits 2 s for every hidden managed window to be
// confirmed withdrawn by a manager that is not there. Wine's per-program setting makes the
// program's windows unmanaged; its display driver reads it when the first window is made.
inline void MakeWindowsUnmanaged(const wchar_t* programKey) {
  RegSetKeyValueW(HKEY_CURRENT_USER, programKey, L"Managed", REG_SZ, L"N", sizeof L"N");
}

// The main window stand-in that the modal windows disable while they are shown.
class OwnerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }

  HWND owner_ = nullptr;
};

// Calls `modal` and, every 20 ms from inside its loop, `step` until it returns true. False when
// the deadline came first (its WM_QUIT ended the loop, and is taken off the queue here).
inline bool Drive(const std::function<void()>& modal, const std::function<bool()>& step) {
  WindowTimers timers;
  bool late = false;
  timers.StartTimer(1, 20, [&] {
    if (step()) timers.StopTimer(1);
  });
  timers.StartTimer(2, 10000, [&] {
    late = true;
    timers.StopTimer(2);
    PostQuitMessage(0);
  });
  modal();
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  return !late;
}

// With CV3_SNAPSHOT_DIR set, the screen around a shown window is saved as <name>.bmp there, for
// a look at the layout (its fourth byte is no alpha: `convert -alpha off`).
inline void Snapshot(HWND window, const std::string& name) {
  const char* folder = std::getenv("CV3_SNAPSHOT_DIR");
  if (!folder) return;
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  // Wine puts the painted window on the X screen when the queue is looked at, through another
  // display connection than the one the capture reads: give it a moment (a manual tool only).
  for (int i = 0; i < 20; ++i) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    Sleep(10);
  }
  RECT r;
  GetWindowRect(window, &r);
  InflateRect(&r, 16, 16);
  RECT screenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&r, &r, &screenRect);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  BITMAPINFOHEADER header{sizeof header, width, height, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  DWORD size = static_cast<DWORD>(width) * height * 4;
  DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof header;
  BITMAPFILEHEADER file{0x4D42, offset + size, 0, 0, offset};
  std::ofstream out(std::string(folder) + "/" + name + ".bmp", std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(static_cast<const char*>(bits), size);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// Wine's own registry without the client's key and the start-up entry, as on a fresh
// installation; the same again afterwards, so no later program finds the entry and starts.
struct FreshSettings {
  FreshSettings() { Clear(); }
  ~FreshSettings() { Clear(); }
  static void Clear() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "CV30");
  }
};

// The preferences window and its controller over Wine's registry, with an empty roster.
struct PreferencesOnWine {
  explicit PreferencesOnWine(HWND owner) : window(owner) {}
  FreshSettings fresh;
  Win32Registry backend;
  Registry registry{backend, nullptr, "Corvane"};
  bool keyMade = registry.CreateKey("HKEY_CURRENT_USER\\Software\\Corvane");  // as at start-up
  testing::Log log;
  testing::RecordingViews tree{log};
  RosterModel roster{tree, registry};
  Identity session{.name = "pilot", .passwordDigest = "0123456789ABCDEF"};
  frmPreferences window;
  PreferencesController controller{window, {registry, roster, session, "C:\\Corvane"}};
};

}  // namespace cv3
