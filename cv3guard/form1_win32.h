// Form1, the watchdog's main window (caption "cv3guard"): it owns the tray icon "GUARD" and the
// menu mnuFile with its single mnuExit, shown as Form1's menu bar and as the tray's pop-up, and
// frmLaunching. It turns the tray's mouse notifications, the menu and the close box into
// GuardEvents and implements the GuardView the watchdog talks to. UI thread only.
#pragma once

#include <windows.h>

#include "cv3guard/frm_launching_win32.h"
#include "cv3guard/guard_view.h"
#include "win32/tray_win32.h"
#include "win32/window_win32.h"

namespace cv3 {

class Form1 : public Window, public GuardView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3GuardForm1";
  static constexpr wchar_t kCaption[] = L"cv3guard";
  static constexpr int kExitId = 101;  // mnuExit's command

  ~Form1() override;

  // Creates the hidden window, its menu and frmLaunching; events go to `events` from then on.
  bool Load(GuardEvents* events);
  // Shows the window the way the program was started (the client starts it minimized).
  void Show(int showCommand);

  void ShowMessage(const MessageBoxSpec& box) override;
  void AddTrayIcon(std::string_view tip) override;
  void RemoveTrayIcon() override;
  void ShowTrayMenu() override;
  void ShowLaunching() override;
  void HideLaunching() override;
  void EndProgram() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  GuardEvents* events_ = nullptr;
  HMENU menuBar_ = nullptr;
  HMENU mnuFile_ = nullptr;
  HICON icon_ = nullptr;
  TrayIcon tray_;
  frmLaunching launching_;
};

}  // namespace cv3
