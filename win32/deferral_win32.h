// Deferred work over a message window: each Defer posts one message, and each message runs the
// oldest queued work, so work runs in order from the top of the message loop (or of a modal
// loop), never inside the call that queued it. UI thread only.
#pragma once

#include <deque>

#include "common/deferral.h"
#include "win32/message_window_win32.h"

namespace cv3 {

class MessageLoopDeferral : public Deferral {
 public:
  MessageLoopDeferral();
  void Defer(std::function<void()> work) override;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  std::deque<std::function<void()>> queue_;
  MessageWindow window_;
};

}  // namespace cv3
