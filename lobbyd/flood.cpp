#include "lobbyd/flood.h"

#include <algorithm>

namespace lobbyd {

Flood::Verdict Flood::Take(TimePoint now) {
  if (started_) {
    std::chrono::duration<double> elapsed = now - last_;
    tokens_ = std::min(burst_, tokens_ + elapsed.count() * perSecond_);
  }
  started_ = true;
  last_ = now;
  if (tokens_ >= 1) {
    tokens_ -= 1;
    warned_ = false;
    return Verdict::kPass;
  }
  if (warned_) return Verdict::kDrop;
  warned_ = true;
  return Verdict::kDropAndWarn;
}

bool Flood::Rested(TimePoint now) const {
  std::chrono::duration<double> elapsed = now - last_;
  return !started_ || tokens_ + elapsed.count() * perSecond_ >= burst_;
}

}  // namespace lobbyd
