#include "cv3client/support/subclass_win32.h"

namespace cv3 {
namespace {

WNDPROC StoredProc(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetPropW(hwnd, kHookProcProperty));
}

}  // namespace

bool HookWindow(HookOwner* owner, HWND hwnd) {
  if (!owner || !IsWindow(hwnd)) return false;
  if (StoredProc(hwnd)) return true;
  // The W calls keep the window a Unicode window; the property names are the same atoms to the
  // A calls.
  auto previous = reinterpret_cast<HANDLE>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  if (!previous || !SetPropW(hwnd, kHookProcProperty, previous)) return false;
  if (!SetPropW(hwnd, kHookOwnerProperty, static_cast<HANDLE>(owner))) {
    RemovePropW(hwnd, kHookProcProperty);
    return false;
  }
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookedWindowProc));
  return true;
}

void UnhookWindow(HWND hwnd) {
  WNDPROC previous = StoredProc(hwnd);
  if (!previous) return;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  RemovePropW(hwnd, kHookProcProperty);
  RemovePropW(hwnd, kHookOwnerProperty);
}

bool IsWindowHooked(HWND hwnd) { return StoredProc(hwnd) != nullptr; }

LRESULT CALLBACK HookedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = StoredProc(hwnd);
  auto* owner = static_cast<HookOwner*>(GetPropW(hwnd, kHookOwnerProperty));
  // Properties must not outlive the window: the last message takes the hook away first.
  if (message == WM_NCDESTROY) UnhookWindow(hwnd);
  LRESULT RetVal = 0;
  bool UseRetVal = false;
  if (owner) {
    try {
      owner->TreeViewMessage(hwnd, message, wParam, lParam, RetVal, UseRetVal);
    } catch (...) {
      UseRetVal = false;  // a failing handler leaves the message to the window
    }
  }
  if (UseRetVal) return RetVal;
  if (!previous) return DefWindowProcW(hwnd, message, wParam, lParam);
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

}  // namespace cv3
