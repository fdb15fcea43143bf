#include "win32/subclass_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace cv3 {
namespace {

// Both kinds of hook hand a message to their owner alike.
LRESULT Dispatch(HookOwner* owner, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                 bool& consumed) {
  LRESULT RetVal = 0;
  bool UseRetVal = false;
  try {
    owner->TreeViewMessage(hwnd, message, wParam, lParam, RetVal, UseRetVal);
  } catch (...) {
    UseRetVal = false;  // a failing handler leaves the message to the window
  }
  consumed = UseRetVal;
  return RetVal;
}

// A hook in comctl32's chain. The owner is the hook's identity there, and comes back with
// every message.
LRESULT CALLBACK HookedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR id, DWORD_PTR) {
  // A hook must not outlive its window: the last message takes it away first.
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &HookedWindowProc, id);
  bool consumed = false;
  LRESULT result =
      Dispatch(reinterpret_cast<HookOwner*>(id), hwnd, message, wParam, lParam, consumed);
  return consumed ? result : DefSubclassProc(hwnd, message, wParam, lParam);
}

// comctl32 finds a window's chain through a window property on every message, which under Wine
// is a round trip to the window server: far too slow for the roster tree, which gets tens of
// thousands of messages while the roster fills. The newest hook of a window whose user data is
// free is therefore installed directly, with its record in the user data. A property names the
// record too, for the rare calls that must find it while other code has subclassed the window
// over it.
struct DirectHook {
  WNDPROC previous;
  HookOwner* owner;  // nullptr once unhooked while it could not leave the window's line
};

constexpr wchar_t kDirectHookProperty[] = L"Cv3DirectHook";

LRESULT CALLBACK DirectHookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool IsDirectHookOnTop(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == &DirectHookProc;
}

// The window's direct hook, while it is the window's procedure.
DirectHook* DirectHookOf(HWND hwnd) {
  if (!IsDirectHookOnTop(hwnd)) return nullptr;
  return reinterpret_cast<DirectHook*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The window's direct hook wherever it is in the window's line (for the rare calls only).
DirectHook* DirectHookAnywhere(HWND hwnd) {
  return static_cast<DirectHook*>(GetPropW(hwnd, kDirectHookProperty));
}

// Puts the previous procedure back while the hook is still the window's procedure (at the
// window's last message other code may have subclassed it since; no message follows then).
void RemoveDirectHook(HWND hwnd, DirectHook* hook) {
  if (IsDirectHookOnTop(hwnd)) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->previous));
  }
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  RemovePropW(hwnd, kDirectHookProperty);
  delete hook;
}

LRESULT CALLBACK DirectHookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* hook = reinterpret_cast<DirectHook*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  // The handler may remove the hook: keep what the message needs.
  const DirectHook copy = *hook;
  // An unhooked record waits until the code above it has gone, then leaves the line.
  if (message == WM_NCDESTROY || (!copy.owner && IsDirectHookOnTop(hwnd))) {
    RemoveDirectHook(hwnd, hook);
  }
  if (!copy.owner) return CallWindowProcW(copy.previous, hwnd, message, wParam, lParam);
  bool consumed = false;
  LRESULT result = Dispatch(copy.owner, hwnd, message, wParam, lParam, consumed);
  return consumed ? result : CallWindowProcW(copy.previous, hwnd, message, wParam, lParam);
}

bool AddChainedHook(HookOwner* owner, HWND hwnd) {
  return SetWindowSubclass(hwnd, &HookedWindowProc, reinterpret_cast<UINT_PTR>(owner), 0) != FALSE;
}

using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);

// The import library lacks GetWindowSubclass. The name resolves, as the imports did, through the
// program's activation context: the same comctl32 that serves the other subclassing calls.
GetWindowSubclassFn GetWindowSubclassFunction() {
  static const auto function = reinterpret_cast<GetWindowSubclassFn>(
      GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "GetWindowSubclass"));
  return function;
}

}  // namespace

bool HookWindow(HookOwner* owner, HWND hwnd) {
  if (!owner || !IsWindow(hwnd)) return false;
  if (IsWindowHooked(owner, hwnd)) return true;
  DirectHook* newest = DirectHookOf(hwnd);
  if (newest && !newest->owner) {
    // An unhooked record back on top, before a message took it away.
    RemoveDirectHook(hwnd, newest);
    newest = nullptr;
  }
  if (newest) {
    // Another owner comes: the direct hook moves into the chain at its place, on top.
    HookOwner* earlier = newest->owner;
    RemoveDirectHook(hwnd, newest);
    if (!AddChainedHook(earlier, hwnd)) return false;
    return AddChainedHook(owner, hwnd);
  }
  if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) != 0) return AddChainedHook(owner, hwnd);
  // The W calls keep the window a Unicode window.
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  if (!previous) return false;
  auto* hook = new DirectHook{previous, owner};
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook));
  SetPropW(hwnd, kDirectHookProperty, hook);
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DirectHookProc));
  return true;
}

void UnhookWindow(HookOwner* owner, HWND hwnd) {
  if (!owner || !IsWindow(hwnd)) return;
  DirectHook* direct = DirectHookAnywhere(hwnd);
  if (!direct || direct->owner != owner) {
    RemoveWindowSubclass(hwnd, &HookedWindowProc, reinterpret_cast<UINT_PTR>(owner));
  } else if (IsDirectHookOnTop(hwnd)) {
    RemoveDirectHook(hwnd, direct);
  } else {
    // Other code subclassed the window over the direct hook and calls it as its previous
    // procedure: the hook cannot leave the line yet, so it forgets its owner and only passes
    // messages on until it is back on top or the window goes.
    direct->owner = nullptr;
  }
}

bool IsWindowHooked(HookOwner* owner, HWND hwnd) {
  if (!owner || !IsWindow(hwnd)) return false;
  DirectHook* direct = DirectHookAnywhere(hwnd);
  if (direct && direct->owner == owner) return true;
  GetWindowSubclassFn getWindowSubclass = GetWindowSubclassFunction();
  DWORD_PTR data = 0;
  return getWindowSubclass &&
         getWindowSubclass(hwnd, &HookedWindowProc, reinterpret_cast<UINT_PTR>(owner), &data);
}

}  // namespace cv3
