#include "lobbyd/flood.h"

#include <algorithm>

namespace lobbyd {

bool Flood::Take(TimePoint now) {
  if (started_) {
    std::chrono::duration<double> elapsed = now - last_;
    tokens_ = std::min(burst_, tokens_ + elapsed.count() * perSecond_);
  }
  started_ = true;
  last_ = now;
  if (tokens_ < 1) return false;
  tokens_ -= 1;
  return true;
}

bool Flood::Rested(TimePoint now) const {
  std::chrono::duration<double> elapsed = now - last_;
  return !started_ || tokens_ + elapsed.count() * perSecond_ >= burst_;
}

}  // namespace lobbyd
