// Small Win32 window toolkit shared by the client's windows: one window procedure that finds its
// object (pointer stored at WM_NCCREATE), UTF-8 <-> UTF-16 at the window boundary, DPI-aware
// lengths (the designs are in twips), modal loops and message boxes. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "common/message_box.h"
#include "common/wide_text_win32.h"

namespace cv3 {

// Pixels for a length in twips at the window's DPI (1440 twips per inch).
int TwipsToPixels(int twips, UINT dpi);
UINT DpiOf(HWND hwnd);

// Declares per-monitor DPI awareness (v2 where available) before the first window is created.
void DeclareDpiAwareness();

// A Verdana (or the message font) of the given point size at a DPI; caller deletes it.
HFONT CreateUiFont(UINT dpi, int points = 8, bool bold = false, const wchar_t* face = L"Verdana");

// A modal message box; an empty title shows the program's title (its file name without ".exe").
BoxResult ShowMessageBox(HWND owner, const MessageBoxSpec& box);

// The top-left corner that centres a window of this size over a visible owner (else the work
// area), kept inside the work area of the owner's monitor.
POINT CenteredPosition(HWND owner, int width, int height);

// Base of every window: registers the class once, creates the window with `this` attached, and
// routes messages to HandleMessage. An object is owned one of two ways:
//  - by its creator (the main window, modal windows, panels): the object outlives its window, or
//    its destruction destroys the window, whose remaining messages then no longer reach it;
//  - by its window (windows the player opens and closes): see GiveToWindow below.
// Either way hwnd() turns nullptr once the window is destroyed, and the base touches an object
// no more once it is deleted, even from inside one of its own handlers.
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();
  HWND hwnd() const { return hwnd_; }

 protected:
  bool Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle,
              int x, int y, int width, int height, HWND parent, HMENU menu, HICON icon = nullptr);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
  // Runs once, at the window's last message (WM_NCDESTROY) after HandleMessage has seen it, with
  // hwnd_ already nullptr and before a window-owned object is deleted. Clear the back-pointers to
  // event sinks here (telling a sink that the window is gone if it keeps a pointer to it), so
  // nothing calls a sink from a dead window. Not called when the object is deleted first.
  virtual void OnTeardown() {}

  HWND hwnd_ = nullptr;

 private:
  template <class W>
  friend W* GiveToWindow(std::unique_ptr<W> window);
  // The window owns this object from now on. Deletes it at once (false) when it has no window.
  bool PassToWindow();
  // Deletes a window-owned object once its window is gone and none of its handlers runs.
  void DeleteIfDone();

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // One per message being handled, innermost first: a deleted object marks them all dead so the
  // handlers that are still running never touch it.
  struct Dispatch {
    Dispatch* outer;
    bool alive = true;
  };
  Dispatch* dispatch_ = nullptr;
  bool ownedByWindow_ = false;
};

// Hands an object whose window exists to that window: the object is deleted after the window's
// last message (WM_NCDESTROY, however the window goes: closed, DestroyWindow, or its owner or
// parent destroyed), once none of its handlers is running any more. Returns the object, valid
// until then: whoever keeps the pointer must hear of the end from the window's OnTeardown.
// Returns nullptr when the object has no window (it is deleted then). Use: make the object with
// std::make_unique, create its window, then give it; a failed creation leaves the object to the
// unique_ptr.
template <class W>
W* GiveToWindow(std::unique_ptr<W> window) {
  static_assert(std::is_base_of_v<Window, W>);
  if (!window) return nullptr;
  W* object = window.release();
  return object->Window::PassToWindow() ? object : nullptr;
}

// Runs a modal loop for `dialog` with its owner disabled, until `done` turns true or WM_QUIT
// arrives (which is posted again for the main loop). Tab and Enter work through IsDialogMessage;
// `takeFirst`, when given, sees each message before it and returns true for one it handled.
void RunModalLoop(HWND owner, HWND dialog, const bool& done,
                  const std::function<bool(const MSG&)>& takeFirst = {});

// A multi-line edit in a window that RunModalLoop drives asks the window itself where Tab goes
// (WM_NEXTDLGCTL) and which button Enter presses (DM_GETDEFID): answers both, with `defaultId`
// for Enter. False for any other message.
bool AnswerDialogQuestion(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, int defaultId,
                          LRESULT& result);

// A child control with the window's font.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   int x, int y, int width, int height, int id, HFONT font, DWORD exStyle = 0);

std::string GetControlText(HWND control);
void SetControlText(HWND control, std::string_view utf8);

}  // namespace cv3
