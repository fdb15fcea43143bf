#include "win32/window_win32.h"

#include <vector>

namespace cv3 {

int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

UINT DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"));
  if (hwnd && getDpi) {
    if (UINT dpi = getDpi(hwnd)) return dpi;
  }
  HDC screen = GetDC(nullptr);
  UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  return dpi ? dpi : 96;
}

void DeclareDpiAwareness() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  auto setContext = reinterpret_cast<SetContextFn>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then V1, then system awareness.
  if (setContext &&
      (setContext(reinterpret_cast<HANDLE>(-4)) || setContext(reinterpret_cast<HANDLE>(-3)))) {
    return;
  }
  SetProcessDPIAware();
}

HFONT CreateUiFont(UINT dpi, int points, bool bold, const wchar_t* face) {
  return CreateFontW(-MulDiv(points, static_cast<int>(dpi), 72), 0, 0, 0,
                     bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, face);
}

namespace {

// The program's title: its file name without ".exe", shown by a box that has no title of its own.
std::wstring ProgramTitle() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  name.erase(0, name.find_last_of(L"\\/") + 1);
  size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && _wcsicmp(name.c_str() + dot, L".exe") == 0) name.resize(dot);
  return name;
}

}  // namespace

BoxResult ShowMessageBox(HWND owner, const MessageBoxSpec& box) {
  UINT flags = MB_SETFOREGROUND;
  switch (box.icon) {
    case BoxIcon::kNone:
      break;
    case BoxIcon::kExclamation:
      flags |= MB_ICONEXCLAMATION;
      break;
    case BoxIcon::kCritical:
      flags |= MB_ICONHAND;
      break;
    case BoxIcon::kInformation:
      flags |= MB_ICONINFORMATION;
      break;
    case BoxIcon::kQuestion:
      flags |= MB_ICONQUESTION;
      break;
  }
  switch (box.buttons) {
    case BoxButtons::kOk:
      flags |= MB_OK;
      break;
    case BoxButtons::kOkCancel:
      flags |= MB_OKCANCEL;
      break;
    case BoxButtons::kYesNo:
      flags |= MB_YESNO;
      break;
  }
  // A hidden owner (the main window in the tray) would hide the box too.
  if (owner && !IsWindowVisible(owner)) owner = nullptr;
  std::wstring title = box.title.empty() ? ProgramTitle() : Widen(box.title);
  switch (MessageBoxW(owner, Widen(box.text).c_str(), title.c_str(), flags)) {
    case IDCANCEL:
      return BoxResult::kCancel;
    case IDYES:
      return BoxResult::kYes;
    case IDNO:
      return BoxResult::kNo;
    default:
      return BoxResult::kOk;
  }
}

POINT CenteredPosition(HWND owner, int width, int height) {
  MONITORINFO monitor{sizeof monitor};
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT work = monitor.rcWork;
  RECT area = work;
  if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
  LONG x = (area.left + area.right - width) / 2, y = (area.top + area.bottom - height) / 2;
  x = std::max(work.left, std::min(x, work.right - width));
  y = std::max(work.top, std::min(y, work.bottom - height));
  return {x, y};
}

Window::~Window() {
  for (Dispatch* dispatch = dispatch_; dispatch; dispatch = dispatch->outer) {
    dispatch->alive = false;
  }
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool Window::Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle,
                    int x, int y, int width, int height, HWND parent, HMENU menu, HICON icon) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{sizeof existing};
  if (!GetClassInfoExW(instance, className, &existing)) {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    RegisterClassExW(&wc);
  }
  return CreateWindowExW(exStyle, className, title.c_str(), style, x, y, width, height, parent,
                         menu, instance, this) != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  Dispatch dispatch{self->dispatch_};
  self->dispatch_ = &dispatch;
  LRESULT result = self->HandleMessage(message, wParam, lParam);
  if (dispatch.alive && message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnTeardown();
  }
  // A handler (or a sink told of the teardown) may have deleted the object.
  if (!dispatch.alive) return result;
  self->dispatch_ = dispatch.outer;
  return result;
}

void RunModalLoop(HWND owner, HWND dialog, const bool& done,
                  const std::function<bool(const MSG&)>& takeFirst) {
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  MSG message;
  // The window first: `done` may belong to an object deleted with its window.
  while (IsWindow(dialog) && !done) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (takeFirst && takeFirst(message)) continue;
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (ownerWasEnabled) {
    EnableWindow(owner, TRUE);
    if (IsWindowVisible(owner)) SetForegroundWindow(owner);
  }
}

bool AnswerDialogQuestion(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, int defaultId,
                          LRESULT& result) {
  if (message == WM_NEXTDLGCTL) {
    HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                               : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
    if (next) SetFocus(next);
    result = 0;
    return true;
  }
  if (message == DM_GETDEFID) {
    result = MAKELRESULT(defaultId, DC_HASDEFID);
    return true;
  }
  return false;
}

HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   int x, int y, int width, int height, int id, HFONT font, DWORD exStyle) {
  HWND control = CreateWindowExW(
      exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return control;
}

void NameForScreenReaders(HWND control, const wchar_t* name) {
  SetWindowTextW(control, name);
  HWND label = CreateWindowExW(0, L"STATIC", name, WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0,
                               GetParent(control), nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND before = GetWindow(control, GW_HWNDPREV);
  SetWindowPos(label, before ? before : HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::string GetControlText(HWND control) {
  int length = GetWindowTextLengthW(control);
  std::wstring text(length + 1, L'\0');
  GetWindowTextW(control, text.data(), length + 1);
  text.resize(length);
  return Narrow(text);
}

void SetControlText(HWND control, std::string_view utf8) {
  SetWindowTextW(control, Widen(utf8).c_str());
}

}  // namespace cv3
