// Sign-in throttle: after kMaxFailures failed sign-ins from one address within kWindow, further
// attempts from it are refused without checking until the oldest of those failures is a window
// old. Memory stays bounded: addresses whose failures have aged out are forgotten. io thread.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <unordered_map>

namespace lobbyd {

class SignInThrottle {
 public:
  static constexpr size_t kMaxFailures = 5;
  static constexpr std::chrono::seconds kWindow{60};
  using TimePoint = std::chrono::steady_clock::time_point;

  bool Blocked(const std::string& address, TimePoint now);
  void RecordFailure(const std::string& address, TimePoint now);
  size_t TrackedAddresses() const { return failures_.size(); }

 private:
  void Forget(std::deque<TimePoint>& times, TimePoint now) const;
  void Sweep(TimePoint now);

  std::unordered_map<std::string, std::deque<TimePoint>> failures_;
  size_t recordsSinceSweep_ = 0;
};

}  // namespace lobbyd
