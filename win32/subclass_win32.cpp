#include "win32/subclass_win32.h"

#include <cstdint>

namespace cv3 {
namespace {

WNDPROC StoredProc(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetPropW(hwnd, kHookProcProperty));
}

// Reading a window property is a round trip to the window server under Wine, far too slow for
// every message of a tree holding thousands of pilots. The hook therefore also keeps a copy of
// the two values in the window's user data, when that is free, and reads them from there.
struct HookRecord {
  static constexpr uint32_t kMagic = 0x4B4F4F48;  // "HOOK"
  uint32_t magic = kMagic;
  WNDPROC previous;
  HookOwner* owner;
};

// Only windows hooked through HookedWindowProc carry a record; the other procedure, for windows
// whose user data was taken, reads the properties.
HookRecord* RecordOf(HWND hwnd) {
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) != &HookedWindowProc) {
    return nullptr;
  }
  return reinterpret_cast<HookRecord*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC previous,
                 HookOwner* owner);

LRESULT CALLBACK HookedByPropertiesProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return Dispatch(hwnd, message, wParam, lParam, StoredProc(hwnd),
                  static_cast<HookOwner*>(GetPropW(hwnd, kHookOwnerProperty)));
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
  WNDPROC procedure = &HookedByPropertiesProc;
  if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 0) {
    auto* record = new HookRecord{HookRecord::kMagic, reinterpret_cast<WNDPROC>(previous), owner};
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    procedure = &HookedWindowProc;
  }
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
  return true;
}

void UnhookWindow(HWND hwnd) {
  WNDPROC previous = StoredProc(hwnd);
  if (!previous) return;
  HookRecord* record = RecordOf(hwnd);
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  if (record) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete record;
  }
  RemovePropW(hwnd, kHookProcProperty);
  RemovePropW(hwnd, kHookOwnerProperty);
}

bool IsWindowHooked(HWND hwnd) { return StoredProc(hwnd) != nullptr; }

LRESULT CALLBACK HookedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = reinterpret_cast<HookRecord*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!record || record->magic != HookRecord::kMagic) {
    return HookedByPropertiesProc(hwnd, message, wParam, lParam);
  }
  return Dispatch(hwnd, message, wParam, lParam, record->previous, record->owner);
}

namespace {

LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC previous,
                 HookOwner* owner) {
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

}  // namespace

}  // namespace cv3
