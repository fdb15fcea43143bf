// Timers that tick only when a test says so, over a manual clock: Fire runs one tick now, Advance
// moves the clock on and runs every tick that falls due on the way, in time order. A tick may
// start, stop or restart timers, and may itself advance the clock (a wait that handles events).
// Every start and stop is logged.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/timers.h"

namespace cv3::testing {

using Log = std::vector<std::string>;

class ManualTimers : public Timers {
 public:
  explicit ManualTimers(Log& log) : log_(log) {}
  void StartTimer(int id, int intervalMs, Tick tick) override {
    running[id] = {intervalMs, std::move(tick), nowMs + intervalMs};
    log_.push_back("start timer " + std::to_string(id) + " " + std::to_string(intervalMs));
  }
  void StopTimer(int id) override {
    running.erase(id);
    log_.push_back("stop timer " + std::to_string(id));
  }
  // One tick of a running timer; a timer that is not running does not tick.
  void Fire(int id) {
    auto found = running.find(id);
    if (found == running.end()) return;
    Tick tick = found->second.tick;  // the tick may stop or restart its own timer
    tick();
  }
  // Moves the clock on by ms, ticking each timer whenever its interval has passed.
  void Advance(int64_t ms) {
    const int64_t until = nowMs + ms;
    for (;;) {
      auto next = std::min_element(
          running.begin(), running.end(),
          [](const auto& a, const auto& b) { return a.second.dueMs < b.second.dueMs; });
      if (next == running.end() || next->second.dueMs > until) break;
      nowMs = std::max(nowMs, next->second.dueMs);
      next->second.dueMs = nowMs + next->second.intervalMs;
      Fire(next->first);
    }
    nowMs = std::max(nowMs, until);
  }

  struct Running {
    int intervalMs;
    Tick tick;
    int64_t dueMs = 0;
  };
  std::map<int, Running> running;
  int64_t nowMs = 0;

 private:
  Log& log_;
};

}  // namespace cv3::testing
