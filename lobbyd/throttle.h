// Per-address rate limit over a sliding window: once `limit` events (failed sign-ins, created
// accounts) from one address fall within `window`, the address is blocked until the oldest of
// them is a window old. Memory stays bounded: only the newest `limit` times of an address are
// kept, and addresses whose events have aged out are forgotten. io thread.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <unordered_map>

namespace lobbyd {

class AddressThrottle {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // `limit` must be at least 1.
  AddressThrottle(size_t limit, std::chrono::seconds window) : limit_(limit), window_(window) {}

  bool Blocked(const std::string& address, TimePoint now) { return Count(address, now) >= limit_; }
  // The address's events within the window (at most `limit`).
  size_t Count(const std::string& address, TimePoint now);
  size_t Limit() const { return limit_; }
  void Record(const std::string& address, TimePoint now);
  size_t TrackedAddresses() const { return events_.size(); }

 private:
  void Forget(std::deque<TimePoint>& times, TimePoint now) const;
  void Sweep(TimePoint now);

  size_t limit_;
  std::chrono::seconds window_;
  std::unordered_map<std::string, std::deque<TimePoint>> events_;
  size_t recordsSinceSweep_ = 0;
};

}  // namespace lobbyd
