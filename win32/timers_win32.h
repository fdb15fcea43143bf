// Timers over SetTimer on a message window of their own: each timer's ticks call the function it
// was started with, from the message loop (modal loops included). UI thread only.
#pragma once

#include <map>

#include "common/timers.h"
#include "win32/message_window_win32.h"

namespace cv3 {

class WindowTimers : public Timers {
 public:
  WindowTimers();
  ~WindowTimers() override;
  void StartTimer(int id, int intervalMs, Tick tick) override;
  void StopTimer(int id) override;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  std::map<int, Tick> ticks_;
  MessageWindow window_;
};

}  // namespace cv3
