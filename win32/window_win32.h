// Small Win32 window toolkit shared by the client's windows: one window procedure that finds its
// object (pointer stored at WM_NCCREATE), UTF-8 <-> UTF-16 at the window boundary, DPI-aware
// lengths (the designs are in twips), modal loops and message boxes. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

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

BoxResult ShowMessageBox(HWND owner, const MessageBoxSpec& box);

// The top-left corner that centres a window of this size over a visible owner (else the work
// area), kept inside the work area of the owner's monitor.
POINT CenteredPosition(HWND owner, int width, int height);

// Base of every window: registers the class once, creates the window with `this` attached, and
// routes messages to HandleMessage. The object must outlive its window.
class Window {
 public:
  virtual ~Window();
  HWND hwnd() const { return hwnd_; }

 protected:
  bool Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle,
              int x, int y, int width, int height, HWND parent, HMENU menu, HICON icon = nullptr);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// Runs a modal loop for `dialog` with its owner disabled, until `done` turns true or WM_QUIT
// arrives (which is posted again for the main loop). Tab and Enter work through IsDialogMessage.
void RunModalLoop(HWND owner, HWND dialog, const bool& done);

// A child control with the window's font.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   int x, int y, int width, int height, int id, HFONT font, DWORD exStyle = 0);

std::string GetControlText(HWND control);
void SetControlText(HWND control, std::string_view utf8);

}  // namespace cv3
