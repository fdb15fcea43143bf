#include "win32/tray_win32.h"

#include <cstring>

#include "common/tray.h"

namespace cv3 {

TrayIcon::TrayIcon() : taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
  std::memset(&record_, 0, sizeof record_);
}

TrayIcon::~TrayIcon() { RemoveTrayIcon(); }

bool TrayIcon::AddTrayIcon(HICON icon, HWND hwnd, std::string_view tip) {
  // Adding again replaces the shown icon rather than leaving an orphan the record forgot.
  RemoveTrayIcon();
  std::memset(&record_, 0, sizeof record_);
  // The first-generation record: a 64-character tip field, understood by every shell.
  record_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record_.hWnd = hwnd;
  record_.uID = kIconNumber;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = kCallbackMessage;
  record_.hIcon = icon;
  static_assert(sizeof record_.szTip >= kTrayTipField);
  std::memcpy(record_.szTip, TrayTipField(tip).data(), kTrayTipField);
  const bool added = Shell_NotifyIconA(NIM_ADD, &record_) != FALSE;
  // An elevated copy hears the broadcast of an ordinary Explorer only when it lets it through.
  if (taskbarCreated_) ChangeWindowMessageFilterEx(hwnd, taskbarCreated_, MSGFLT_ALLOW, nullptr);
  // A shell that reports failure may still show the icon (a late taskbar): delete it anyway.
  shown_ = true;
  return added;
}

bool TrayIcon::OnTaskbarCreated(UINT message) {
  if (taskbarCreated_ == 0 || message != taskbarCreated_) return false;
  if (shown_) Shell_NotifyIconA(NIM_ADD, &record_);
  return true;
}

void TrayIcon::RemoveTrayIcon() {
  if (!shown_) return;
  shown_ = false;
  Shell_NotifyIconA(NIM_DELETE, &record_);
}

}  // namespace cv3
