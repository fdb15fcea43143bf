// What lobbyd counts for its operator (served as /metrics by the web side). Written by the io
// thread, the store's thread and the check threads, read by the web side's threads: every count is
// a relaxed atomic, so counting costs the lobby next to nothing and a reader never waits.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lobbyd {

// How a sign-in ended.
enum class SignInResult { kOk, kFailed, kBanned, kSuspended, kThrottled, kBusy, kCount };
inline constexpr std::array<std::string_view, size_t(SignInResult::kCount)> kSignInResultNames = {
    "ok", "failed", "banned", "suspended", "throttled", "busy"};

// Why the server turned a connection or a request away.
enum class Refusal {
  kAddressCap,      // too many connections from one address
  kTotalCap,        // the server has its fill of connections
  kBusy,            // too many password checks waiting
  kThrottled,       // signing in (or failing to) too often
  kSignInDeadline,  // connected but not signed in in time
  kNotReading,      // lines queued past the limits
  kCount
};
inline constexpr std::array<std::string_view, size_t(Refusal::kCount)> kRefusalNames = {
    "address_cap", "total_cap", "busy", "throttled", "sign_in_deadline", "not_reading"};

// A histogram of durations in seconds over fixed bounds, as Prometheus reads them.
class Histogram {
 public:
  static constexpr std::array<double, 12> kBounds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                     0.1,   0.25,   0.5,   1,    2.5,   10};
  void Observe(std::chrono::nanoseconds duration);

  struct Reading {
    std::array<uint64_t, kBounds.size()> cumulative{};  // at or below each bound
    uint64_t count = 0;
    double sumSeconds = 0;
  };
  Reading Read() const;

 private:
  std::array<std::atomic<uint64_t>, kBounds.size() + 1> buckets_{};  // the last: above all bounds
  std::atomic<uint64_t> sumNanoseconds_{0};
};

struct Metrics {
  void Count(SignInResult result) { Add(signIns[size_t(result)]); }
  void Count(Refusal reason) { Add(refusals[size_t(reason)]); }
  static void Add(std::atomic<uint64_t>& counter, uint64_t n = 1) {
    counter.fetch_add(n, std::memory_order_relaxed);
  }

  std::array<std::atomic<uint64_t>, size_t(SignInResult::kCount)> signIns{};
  std::array<std::atomic<uint64_t>, size_t(Refusal::kCount)> refusals{};
  Histogram passwordCheckWait;  // from asking to the check's start
  Histogram storeCommits;       // each batch of the store's work, until committed
  std::atomic<uint64_t> linesWritten{0};
  std::atomic<uint64_t> bytesWritten{0};
  std::atomic<uint64_t> noticesDropped{0};  // chat lines and changes dropped by flood control
  // A node of a cluster (--cluster) counts its view of the others; shown only then.
  std::atomic<bool> clustered{false};
  std::atomic<uint64_t> clusterNodes{0};  // other nodes heard and not gone silent
  std::atomic<uint64_t> clusterEventsIn{0};
  std::atomic<uint64_t> clusterEventsOut{0};
  std::atomic<uint64_t> clusterSnapshots{0};  // other nodes' whole states taken
  std::atomic<uint64_t> clusterMissed{0};     // gaps in another node's events
};

}  // namespace lobbyd
