// The main window's roles as the controllers see them. frmMain implements all of them; each
// controller receives only the roles it uses, and tests record the calls. UI thread only. Modal
// calls (ShowMessage) return when the box is closed; modal windows opened through WindowOpener
// open from the top of the message loop, so those calls return at once.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/message_box.h"
#include "cv3client/model/roster_view.h"

namespace cv3 {

// Status and logo: lblLogoStatus, the status bar's first panel, and which of the two shows.
class StatusView {
 public:
  virtual ~StatusView() = default;
  virtual void SetLogoCaption(const std::string& text) = 0;  // lblLogoStatus
  virtual void SetStatusText(const std::string& text) = 0;   // barStatus, first panel
  // true: the tree is shown, the logo hidden, the toolbar enabled; false: the reverse.
  virtual void ShowRoster(bool visible) = 0;
};

// Menu items whose state the controllers change.
enum class MenuItem { kEditProfile, kLogin, kDisconnect };

// The hidden menus that pop up at the mouse pointer.
enum class PopupMenuId {
  kStatus,  // mnuStatusMenu: status bar click
  kGames,   // popupGames: right click on a game node
  kUsers,   // popupUsers: right click on a pilot node
  kLogin,   // mnuLogin2: right button released on the tray icon
};

class MenuView {
 public:
  virtual ~MenuView() = default;
  virtual void SetMenuEnabled(MenuItem item, bool enabled) = 0;
  // mnuAdminMode with the separator mnuSeperator9021 before "View Profile".
  virtual void SetAdminMenuVisible(bool visible) = 0;
  virtual void ShowPopupMenu(PopupMenuId menu) = 0;
};

// Message boxes and prompts over the main window.
class MessageView {
 public:
  virtual ~MessageView() = default;
  // An empty title stands for the program's title.
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  // A modal prompt with one text box, OK and Cancel: the text as typed, or the empty text when
  // cancelled.
  virtual std::string InputBox(const std::string& prompt, const std::string& title,
                               const std::string& defaultText) = 0;
};

// The program's shell: the main window's visibility, the tray icon, the tiled tree's hook and the
// end of the program.
class ShellView {
 public:
  virtual ~ShellView() = default;
  virtual void ShowMainWindow() = 0;
  virtual void HideMainWindow() = 0;
  virtual void RemoveTrayIcon() = 0;
  // Removes the tiled look's hook from the tree (only hooked when SlowCPU is not 1).
  virtual void UnhookTree() = 0;
  // Ends the program (posts WM_QUIT); the controller has done its part of quitting.
  virtual void EndProgram() = 0;
};

// The windows that come and go, by kind. Each window's wiring registers once what showing and
// closing it means (a modal window defers itself to the top of the message loop); the program's
// opener (WindowRegistry) runs the registered actions, tests record the calls and run them.
enum class WindowKind {
  kLogin,      // frmLogin, modal
  kAbout,      // frmAbout, modal
  kCreateId,   // frmCreateId, modal (account creation)
  kReconnect,  // frmReconnect, modal; opening it while it is open changes nothing
  kAway,       // frmAway, modal; kept hidden between uses
  kHostGame,   // frmHostGame, modal; kept hidden while the server's answer is awaited
  // frmPreferences, modal
  kPreferences,
};

// The kind's short name, as logs and tests show it ("create id").
constexpr std::string_view WindowKindName(WindowKind kind) {
  switch (kind) {
    case WindowKind::kLogin:
      return "login";
    case WindowKind::kAbout:
      return "about";
    case WindowKind::kCreateId:
      return "create id";
    case WindowKind::kReconnect:
      return "reconnect";
    case WindowKind::kAway:
      return "away";
    case WindowKind::kHostGame:
      return "host game";
    case WindowKind::kPreferences:
      return "preferences";
  }
  return "?";
}

class WindowOpener {
 public:
  using Action = std::function<void()>;
  virtual ~WindowOpener() = default;
  // What showing and closing a kind does; registered once, before the first ShowWindow.
  virtual void Register(WindowKind kind, Action show, Action close = {}) = 0;
  virtual void ShowWindow(WindowKind kind) = 0;
  // Closing a window that is not open changes nothing.
  virtual void CloseWindow(WindowKind kind) = 0;
  // Chat windows: close the first one in load order; close all. What closing them means is
  // registered once, like the window kinds.
  virtual void RegisterChatClosers(Action closeFirst, Action closeAll) = 0;
  virtual void CloseFirstChatWindow() = 0;
  virtual void CloseAllChatWindows() = 0;
};

}  // namespace cv3
