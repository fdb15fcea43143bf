#include "lobbyd/metrics.h"

#include <algorithm>

namespace lobbyd {

void Histogram::Observe(std::chrono::nanoseconds duration) {
  double seconds = std::chrono::duration<double>(duration).count();
  size_t bucket = std::lower_bound(kBounds.begin(), kBounds.end(), seconds) - kBounds.begin();
  buckets_[bucket].fetch_add(1, std::memory_order_relaxed);
  sumNanoseconds_.fetch_add(uint64_t(std::max<int64_t>(duration.count(), 0)),
                            std::memory_order_relaxed);
}

Histogram::Reading Histogram::Read() const {
  Reading reading;
  uint64_t running = 0;
  for (size_t i = 0; i < kBounds.size(); ++i) {
    running += buckets_[i].load(std::memory_order_relaxed);
    reading.cumulative[i] = running;
  }
  reading.count = running + buckets_.back().load(std::memory_order_relaxed);
  reading.sumSeconds = double(sumNanoseconds_.load(std::memory_order_relaxed)) / 1e9;
  return reading;
}

}  // namespace lobbyd
