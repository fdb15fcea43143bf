// What the session, presence, roster and command controllers need of the main window (frmMain).
// The Win32 window implements it; tests implement it with a recorder. UI thread only. Modal calls
// (ShowMessage) return when the box is closed; other windows may be opened from the top of the
// message loop (the real view posts itself a message), so Show*Window calls may return at once.
#pragma once

#include <string>

#include "common/message_box.h"
#include "cv3client/ui/roster_view.h"

namespace cv3 {

// Menu items whose state the controllers change.
enum class MenuItem { kEditProfile, kLogin, kDisconnect };

// The hidden menus that pop up at the mouse pointer.
enum class PopupMenuId {
  kStatus,  // mnuStatusMenu: status bar click
  kGames,   // popupGames: right click on a game node
  kUsers,   // popupUsers: right click on a pilot node
  kLogin,   // mnuLogin2: right button released on the tray icon
};

class MainView : public RosterView {
 public:
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void SetLogoCaption(const std::string& text) = 0;  // lblLogoStatus
  virtual void SetStatusText(const std::string& text) = 0;   // barStatus, first panel
  virtual void SetMenuEnabled(MenuItem item, bool enabled) = 0;
  // mnuAdminMode with the separator mnuSeperator9021 before "View Profile".
  virtual void SetAdminMenuVisible(bool visible) = 0;
  // true: the tree is shown, the logo hidden, the toolbar enabled; false: the reverse.
  virtual void ShowRoster(bool visible) = 0;
  // The key of tvObjects' selected node (SelectedItem); empty when none is selected. Commands
  // act on this node, never on the one under the mouse pointer.
  virtual std::string SelectedNodeKey() = 0;
  virtual void ShowPopupMenu(PopupMenuId menu) = 0;

  virtual void ShowLoginWindow() = 0;     // frmLogin, modal
  virtual void ShowAboutWindow() = 0;     // frmAbout, modal
  virtual void ShowCreateIdWindow() = 0;  // frmCreateId, modal (account creation; may be empty)
  // frmReconnect, modal; showing it while it is open changes nothing. Closing it when it is not
  // open changes nothing. (The reconnect window comes later; until then both may be empty.)
  virtual void ShowReconnectWindow() = 0;
  virtual void CloseReconnectWindow() = 0;
  // Runs a command line as a hidden process without waiting ("cmd /c start " + URL).
  virtual void RunHidden(const std::string& commandLine) = 0;
  virtual void ShowMainWindow() = 0;
  virtual void HideMainWindow() = 0;
  virtual void RemoveTrayIcon() = 0;
  // Removes the tiled look's hook from the tree (only hooked when SlowCPU is not 1).
  virtual void UnhookTree() = 0;
  // Chat windows (their behaviour comes with chat): close the first one in load order with a
  // non-empty partner name; close all of them.
  virtual void CloseFirstChatWindow() = 0;
  virtual void CloseAllChatWindows() = 0;
  // Ends the program (posts WM_QUIT); the controller has done its part of quitting.
  virtual void EndProgram() = 0;
};

}  // namespace cv3
