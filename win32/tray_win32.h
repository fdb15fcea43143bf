// The notification-area icon of a program (Shell_NotifyIconA). The icon's mouse actions arrive at
// the given window as kCallbackMessage, a private message, whose lParam holds the action's mouse
// message number (decoded by common/tray.h). A private message, because real mouse moves over
// the window would otherwise pass for the icon's clicks. One TrayIcon per shown icon; UI thread
// only.
#pragma once

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string_view>

namespace cv3 {

class TrayIcon {
 public:
  static constexpr UINT kIconNumber = 1;
  static constexpr UINT kCallbackMessage = WM_APP + 30;

  TrayIcon();
  ~TrayIcon();  // removes the icon if it is still shown
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Fills the record (icon number 1, message + icon + tip, callback kCallbackMessage to `hwnd`) and
  // adds the icon. `tip` is ANSI text, laid out by TrayTipField (common/tray.h): stored with its
  // terminating zero, a tip longer than 63 characters cut so the zero still fits. Returns the
  // platform's answer, which callers may ignore.
  bool AddTrayIcon(HICON icon, HWND hwnd, std::string_view tip);

  // Deletes the icon described by the kept record. Does nothing when no icon was added or it
  // was already removed.
  void RemoveTrayIcon();

  // Explorer, started again, broadcasts "TaskbarCreated" over an empty notification area: the
  // shown icon is added again from the kept record. The window that shows the icon passes every
  // message; true when it was that broadcast (handled).
  bool OnTaskbarCreated(UINT message);

  bool shown() const { return shown_; }
  // The record as last filled, for inspection.
  const NOTIFYICONDATAA& record() const { return record_; }

 private:
  NOTIFYICONDATAA record_;
  bool shown_ = false;
  UINT taskbarCreated_;  // the broadcast's registered message number
};

}  // namespace cv3
