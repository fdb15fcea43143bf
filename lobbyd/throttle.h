// Per-address rate limit over a sliding window: once `limit` events (failed sign-ins, created
// accounts) from one address fall within `window`, the address is blocked until the oldest of
// them is a window old. Memory stays bounded: only the newest `limit` times of an address are
// kept (in a vector: an empty deque alone costs more than half a kilobyte, and every pilot who
// signs in has two entries for a minute), and addresses whose events have aged out are forgotten
// (Sweep). io thread.
#pragma once

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

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
  // Forgets the addresses whose events have all aged out. Record does so every 1024 records; a
  // lobby that goes quiet calls it now and then, so the state of a burst does not stay.
  void Sweep(TimePoint now);

 private:
  void Forget(std::vector<TimePoint>& times, TimePoint now) const;

  size_t limit_;
  std::chrono::seconds window_;
  std::unordered_map<std::string, std::vector<TimePoint>> events_;
  size_t recordsSinceSweep_ = 0;
};

}  // namespace lobbyd
