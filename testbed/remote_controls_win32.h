// Reading another process's (or our own) controls through their own messages, with buffers
// allocated in the owning process: the status bar's text and the tree view's items. Used by the
// end-to-end tests and the probe tool to watch cv3client.exe from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace cv3::testbed {

struct TreeItemInfo {
  std::string text;    // UTF-8
  std::string parent;  // the parent's text, empty for a root
  int image = 0;       // the roster's image number (1..8)
  bool bold = false;
  void* handle = nullptr;  // the HTREEITEM
};

std::string ReadStatusText(HWND statusBar, int part = 0);
std::vector<TreeItemInfo> ReadTree(HWND tree);
std::string ReadWindowText(HWND window);

// The first descendant of `parent` with the class name, or null.
HWND FindChildByClass(HWND parent, const wchar_t* className);
// Every descendant of `parent` with the class name, in creation (tab) order.
std::vector<HWND> ChildrenByClass(HWND parent, const wchar_t* className);
// Selects the first node with this text (as a click would); false when there is none.
bool SelectTreeItem(HWND tree, const std::string& text);

// Whether the control's window style has any of the bits of `style`.
inline bool HasStyle(HWND control, LONG style) {
  return (GetWindowLongW(control, GWL_STYLE) & style) != 0;
}
// The face name of the control's font; "system" when it has none of its own.
std::string FontFace(HWND control);

// Polls `check` (pumping our own messages) until it returns true or the deadline passes.
template <typename Check>
bool WaitFor(Check check, DWORD timeoutMs) {
  ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (check()) return true;
    if (GetTickCount64() > end) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

}  // namespace cv3::testbed
