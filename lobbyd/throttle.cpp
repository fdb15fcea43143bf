#include "lobbyd/throttle.h"

#include <algorithm>

namespace lobbyd {

void AddressThrottle::Forget(std::vector<TimePoint>& times, TimePoint now) const {
  auto young = std::find_if(times.begin(), times.end(),
                            [&](TimePoint time) { return now - time < window_; });
  times.erase(times.begin(), young);
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
  if (times.size() > limit_) times.erase(times.begin(), times.end() - limit_);
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
