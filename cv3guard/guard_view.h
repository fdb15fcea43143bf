// What the watchdog's rules ask of its windows (Form1 with its tray icon and menu, and
// frmLaunching), and what those windows report back. Form1 implements the view; tests record it.
// UI thread only.
#pragma once

#include <string_view>

#include "common/message_box.h"

namespace cv3 {

class GuardView {
 public:
  virtual ~GuardView() = default;
  // A modal message box.
  virtual void ShowMessage(const MessageBoxSpec& box) = 0;
  // The notification-area icon of Form1 with this tip; its mouse actions come back as
  // GuardEvents::OnTrayMouse.
  virtual void AddTrayIcon(std::string_view tip) = 0;
  virtual void RemoveTrayIcon() = 0;
  // mnuFile as a pop-up menu at the mouse; returns once the menu has closed (its own loop runs
  // the timers meanwhile). Its Exit comes back afterwards as GuardEvents::mnuExit_Click.
  virtual void ShowTrayMenu() = 0;
  // frmLaunching, above other windows without taking the focus; and hidden again.
  virtual void ShowLaunching() = 0;
  virtual void HideLaunching() = 0;
  // Ends the program once the running handlers have returned (a wait for the game among them).
  virtual void EndProgram() = 0;
};

class GuardEvents {
 public:
  virtual ~GuardEvents() = default;
  // A tray notification by its name ("RIGHTUP", ...; see common/tray.h).
  virtual void OnTrayMouse(std::string_view action) = 0;
  // mnuExit, from the pop-up menu or Form1's own menu.
  virtual void mnuExit_Click() = 0;
  // Form1 closed any other way (its close box, the taskbar, the system).
  virtual void Form_Unload() = 0;
};

}  // namespace cv3
