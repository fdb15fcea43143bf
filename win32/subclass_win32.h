// Window subclassing for the tiled looks (the roster tree; the chat boxes and their window): a
// hooked window's messages go first to its owners' TreeViewMessage, and whatever they do not
// consume goes on to the procedure they were hooked over. Several owners may hook one window.
// UI thread only (the window's own thread).
#pragma once

#include <windows.h>

namespace cv3 {

// Receives every message of a hooked window before the procedures it was hooked over. Set
// UseRetVal to true to consume the message with RetVal as its result; leave it false to pass it
// on, and the message then gets exactly the result of the next procedure. Must not throw (a
// throwing handler counts as not consuming).
class HookOwner {
 public:
  virtual void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                               bool& UseRetVal) = 0;

 protected:
  ~HookOwner() = default;
};

// Hooks `hwnd` for `owner`. The owner hooked last sees a message first; what it passes on reaches
// the earlier owners, then the window's own procedure. Hooking the same owner again changes
// nothing. The owner is not owned: it must outlive its hook, so unhook before it goes away. A
// window destroyed while hooked removes each hook before that hook's owner sees the window's last
// message (WM_NCDESTROY). Returns true when the owner's hook is on the window afterwards.
// The hooks of a window are kept in comctl32's per-window chain, except the newest one of a
// window whose user data (GWLP_USERDATA) is free: that one keeps its owner in the user data,
// which belongs to it until it is removed or another owner comes.
bool HookWindow(HookOwner* owner, HWND hwnd);

// Removes `owner`'s hook of `hwnd`; the other owners' hooks stay, and once the last is gone the
// window has its own procedure back. Does nothing when the owner does not hook the window. The
// owner is never called again, even when other code has subclassed the window over its hook
// since: such a hook stays in the window's line, passing messages on, until that code is gone.
void UnhookWindow(HookOwner* owner, HWND hwnd);

bool IsWindowHooked(HookOwner* owner, HWND hwnd);

}  // namespace cv3
