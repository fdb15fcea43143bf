#include "lobbyd/throttle.h"

namespace lobbyd {

void SignInThrottle::Forget(std::deque<TimePoint>& times, TimePoint now) const {
  while (!times.empty() && now - times.front() >= kWindow) times.pop_front();
}

bool SignInThrottle::Blocked(const std::string& address, TimePoint now) {
  auto it = failures_.find(address);
  if (it == failures_.end()) return false;
  Forget(it->second, now);
  if (it->second.empty()) {
    failures_.erase(it);
    return false;
  }
  return it->second.size() >= kMaxFailures;
}

void SignInThrottle::RecordFailure(const std::string& address, TimePoint now) {
  auto& times = failures_[address];
  Forget(times, now);
  times.push_back(now);
  // Only the newest kMaxFailures matter for the verdict.
  while (times.size() > kMaxFailures) times.pop_front();
  if (++recordsSinceSweep_ >= 1024) Sweep(now);
}

void SignInThrottle::Sweep(TimePoint now) {
  recordsSinceSweep_ = 0;
  for (auto it = failures_.begin(); it != failures_.end();) {
    Forget(it->second, now);
    it = it->second.empty() ? failures_.erase(it) : std::next(it);
  }
}

}  // namespace lobbyd
