#include "common/game_windows_win32.h"

#include <windows.h>

#include <string>

#include "protocol/cp1252.h"

namespace cv3 {
namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// A name for FindWindowExA: the Windows-1252 bytes, kept alive by the caller's string.
struct AnsiName {
  explicit AnsiName(std::optional<std::string_view> name) {
    if (name) bytes = Utf8ToCp1252Lossy(*name);
    given = name.has_value();
  }
  const char* get() const { return given ? bytes.c_str() : nullptr; }
  std::string bytes;
  bool given = false;
};

}  // namespace

WindowHandle Win32GameWindows::FindTopLevel(std::optional<std::string_view> className,
                                            std::optional<std::string_view> title) {
  AnsiName cls(className), text(title);
  return reinterpret_cast<WindowHandle>(FindWindowA(cls.get(), text.get()));
}

WindowHandle Win32GameWindows::FindChild(WindowHandle parent, WindowHandle after,
                                         std::optional<std::string_view> className,
                                         std::optional<std::string_view> title) {
  if (parent == 0) return 0;  // FindWindowExA would search the top-level windows instead
  AnsiName cls(className), text(title);
  return reinterpret_cast<WindowHandle>(
      FindWindowExA(ToHwnd(parent), ToHwnd(after), cls.get(), text.get()));
}

intptr_t Win32GameWindows::Send(WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam) {
  return SendMessageA(ToHwnd(window), message, wParam, lParam);
}

intptr_t Win32GameWindows::SendText(WindowHandle window, uint32_t message, uintptr_t wParam,
                                    std::string_view text) {
  std::string bytes = Utf8ToCp1252Lossy(text);
  return SendMessageA(ToHwnd(window), message, wParam, reinterpret_cast<LPARAM>(bytes.c_str()));
}

void Win32GameWindows::SetVisible(WindowHandle window, bool visible) {
  ShowWindow(ToHwnd(window), visible ? SW_SHOW : SW_HIDE);
}

}  // namespace cv3
