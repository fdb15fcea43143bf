// A hidden message-only window whose messages go to one handler: the way timers, deferred work
// and socket events reach the message loop without a visible window. UI thread only.
#pragma once

#include <windows.h>

#include <functional>

namespace cv3 {

class MessageWindow {
 public:
  // Returns the message's result; messages it does not handle go to DefWindowProc.
  using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

  explicit MessageWindow(Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // nullptr when the window could not be created.
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  Handler handler_;
  HWND hwnd_ = nullptr;
};

}  // namespace cv3
