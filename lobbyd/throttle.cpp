#include "lobbyd/throttle.h"

namespace lobbyd {

void AddressThrottle::Forget(std::deque<TimePoint>& times, TimePoint now) const {
  while (!times.empty() && now - times.front() >= window_) times.pop_front();
}

size_t AddressThrottle::Count(const std::string& address, TimePoint now) {
  auto it = events_.find(address);
  if (it == events_.end()) return 0;
  Forget(it->second, now);
  if (it->second.empty()) {
    events_.erase(it);
    return 0;
  }
  return it->second.size();
}

void AddressThrottle::Record(const std::string& address, TimePoint now) {
  auto& times = events_[address];
  Forget(times, now);
  times.push_back(now);
  // Only the newest `limit_` matter for the verdict.
  while (times.size() > limit_) times.pop_front();
  if (++recordsSinceSweep_ >= 1024) Sweep(now);
}

void AddressThrottle::Sweep(TimePoint now) {
  recordsSinceSweep_ = 0;
  for (auto it = events_.begin(); it != events_.end();) {
    Forget(it->second, now);
    it = it->second.empty() ? events_.erase(it) : std::next(it);
  }
}

}  // namespace lobbyd
