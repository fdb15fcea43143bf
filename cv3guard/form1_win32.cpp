#include "cv3guard/form1_win32.h"

#include <windowsx.h>

#include "common/tray.h"

namespace cv3 {

Form1::~Form1() {
  tray_.RemoveTrayIcon();
  if (hwnd_) DestroyWindow(hwnd_);  // takes its menu bar, and mnuFile with it
  hwnd_ = nullptr;
  if (icon_) DestroyIcon(icon_);
}

bool Form1::Load(GuardEvents* events) {
  events_ = events;
  // The tray wants the small size; the program's icon is resource 1.
  icon_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXSMICON),
                                        GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  menuBar_ = CreateMenu();
  mnuFile_ = CreatePopupMenu();
  AppendMenuW(mnuFile_, MF_STRING, kExitId, L"E&xit");
  AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(mnuFile_), L"&File");
  UINT dpi = DpiOf(nullptr);
  if (!Create(kClassName, kCaption, WS_OVERLAPPEDWINDOW, 0, CW_USEDEFAULT, CW_USEDEFAULT,
              TwipsToPixels(4800, dpi), TwipsToPixels(2400, dpi), nullptr, menuBar_, icon_)) {
    DestroyMenu(menuBar_);
    return false;
  }
  return launching_.Load();
}

void Form1::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
}

void Form1::ShowMessage(const MessageBoxSpec& box) {
  ShowMessageBox(IsWindowVisible(hwnd_) ? hwnd_ : nullptr, box);
}

void Form1::AddTrayIcon(std::string_view tip) { tray_.AddTrayIcon(icon_, hwnd_, tip); }

void Form1::RemoveTrayIcon() { tray_.RemoveTrayIcon(); }

void Form1::ShowTrayMenu() {
  POINT at;
  GetCursorPos(&at);
  // The window must be foreground for the menu to close when the player clicks elsewhere.
  SetForegroundWindow(hwnd_);
  TrackPopupMenu(mnuFile_, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void Form1::ShowLaunching() { launching_.Show(); }

void Form1::HideLaunching() { launching_.Hide(); }

void Form1::EndProgram() { PostQuitMessage(0); }

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (tray_.OnTaskbarCreated(message)) return 0;
  switch (message) {
    case TrayIcon::kCallbackMessage: {
      // The tray icon's mouse action: its number is where a mouse move carries its x.
      std::string action = TrayMouseMessageName(GET_X_LPARAM(lParam));
      if (events_ && !action.empty()) events_->OnTrayMouse(action);
      return 0;
    }
    case WM_COMMAND:
      if (events_ && HIWORD(wParam) == 0 && LOWORD(wParam) == kExitId) events_->mnuExit_Click();
      return 0;
    case WM_CLOSE:
      // The watchdog decides when the program ends; the window stays until then.
      if (events_) events_->Form_Unload();
      return 0;
    case WM_DESTROY:
      events_ = nullptr;
      return 0;
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3
