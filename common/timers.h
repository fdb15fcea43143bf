// Interval timers as a controller sees them: each timer is started with the function its ticks
// call, so every timer has its own consumer. The Win32 backend is SetTimer on a message window;
// tests fire ticks by hand. UI thread only.
#pragma once

#include <functional>

namespace cv3 {

class Timers {
 public:
  using Tick = std::function<void()>;
  virtual ~Timers() = default;
  // Starts (or restarts) timer `id`: `tick` runs from the message loop every intervalMs until the
  // timer is stopped. Ids are the program's; each controller uses its own constants.
  virtual void StartTimer(int id, int intervalMs, Tick tick) = 0;
  // Stops the timer; harmless when it is not running. A tick may stop its own timer.
  virtual void StopTimer(int id) = 0;
};

}  // namespace cv3
