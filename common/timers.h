// Interval timers as a controller sees them: started and stopped by id, ticks delivered back as
// the controller's TimerFired(id) from the message loop. The Win32 backend is SetTimer on the
// owning window; tests fire ticks by hand. UI thread only.
#pragma once

namespace cv3 {

class Timers {
 public:
  virtual ~Timers() = default;
  // Starts (or restarts) the timer: it ticks every intervalMs until stopped.
  virtual void StartTimer(int id, int intervalMs) = 0;
  // Stops the timer; harmless when it is not running.
  virtual void StopTimer(int id) = 0;
};

}  // namespace cv3
