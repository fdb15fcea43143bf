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
// routes messages to HandleMessage. The object belongs to its creator (the main window, a window's
// controller, which makes it when the window opens and deletes it when it closes): it outlives
// its window, or its destruction destroys the window, whose remaining messages then no longer
// reach it. hwnd() turns nullptr once the window is destroyed, and the base touches an object no
// more once it is deleted, even from inside one of its own handlers.
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
  // hwnd_ already nullptr. Clear the back-pointers to event sinks here (telling a sink that the
  // window is gone if it keeps a pointer to it), so nothing calls a sink from a dead window. Not
  // called when the object is deleted first.
  virtual void OnTeardown() {}

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // One per message being handled, innermost first: a deleted object marks them all dead so the
  // handlers that are still running never touch it.
  struct Dispatch {
    Dispatch* outer;
    bool alive = true;
  };
  Dispatch* dispatch_ = nullptr;
};

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

// Names a control whose class shows no text (a tree, a toolbar, a tab strip, a list) for screen
// readers: Wine's oleacc reads its window text, Windows' the static label just before it in the
// z-order, which is added hidden.
void NameForScreenReaders(HWND control, const wchar_t* name);

std::string GetControlText(HWND control);
void SetControlText(HWND control, std::string_view utf8);

}  // namespace cv3
