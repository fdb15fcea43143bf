// Window subclassing of the roster tree: a hooked window's messages go first to its owner's
// TreeViewMessage, and whatever the owner does not consume goes on to the window's previous
// procedure. The hook lives in two window properties, "VBTWndProc" (the previous procedure; its
// presence marks the window as hooked) and "VBTWndPtr" (the owner). UI thread only.
#pragma once

#include <windows.h>

namespace cv3 {

inline constexpr wchar_t kHookProcProperty[] = L"VBTWndProc";
inline constexpr wchar_t kHookOwnerProperty[] = L"VBTWndPtr";

// Receives every message of a hooked window before the window's own procedure does. Set
// UseRetVal to true to consume the message with RetVal as its result; leave it false to let the
// previous procedure handle it. Must not throw (a throwing handler counts as not consuming).
class HookOwner {
 public:
  virtual void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                               bool& UseRetVal) = 0;

 protected:
  ~HookOwner() = default;
};

// Hooks `hwnd` for `owner`. A window already hooked is left as it is (the first owner and the
// first stored procedure stay). The owner is not owned: it must outlive the hook, so unhook
// before the owner goes away. A window destroyed while hooked unhooks itself. Returns true when
// the window is hooked afterwards.
// When the window's user data (GWLP_USERDATA) is free, the hook keeps a copy of both values
// there, for speed, and the user data belongs to the hook until it is removed; otherwise every
// message reads the properties.
bool HookWindow(HookOwner* owner, HWND hwnd);

// Puts the stored procedure back and removes both properties; does nothing for a window that is
// not hooked.
void UnhookWindow(HWND hwnd);

bool IsWindowHooked(HWND hwnd);

// The procedure installed by HookWindow.
LRESULT CALLBACK HookedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cv3
