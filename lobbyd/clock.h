// Time as lobbyd sees it: a steady clock for rate limits and a wall clock for profile dates.
// The server takes a Clock so tests can drive the sign-in throttle and chat flood control by
// hand. Implementations must be safe to call from any thread.
#pragma once

#include <chrono>
#include <mutex>

namespace lobbyd {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::chrono::steady_clock::time_point Steady() const = 0;
  virtual std::chrono::system_clock::time_point Wall() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::chrono::steady_clock::time_point Steady() const override {
    return std::chrono::steady_clock::now();
  }
  std::chrono::system_clock::time_point Wall() const override {
    return std::chrono::system_clock::now();
  }
};

// A clock that moves only when told to; both faces move together.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::chrono::system_clock::time_point wallStart =
                           std::chrono::system_clock::time_point(std::chrono::seconds(1700000000)))
      : wall_(wallStart) {}

  std::chrono::steady_clock::time_point Steady() const override {
    std::lock_guard lock(mutex_);
    return steady_;
  }
  std::chrono::system_clock::time_point Wall() const override {
    std::lock_guard lock(mutex_);
    return wall_;
  }
  void Advance(std::chrono::milliseconds by) {
    std::lock_guard lock(mutex_);
    steady_ += by;
    wall_ += by;
  }

 private:
  mutable std::mutex mutex_;
  std::chrono::steady_clock::time_point steady_{std::chrono::hours(1)};
  std::chrono::system_clock::time_point wall_;
};

}  // namespace lobbyd
