// Flood control for one pilot: a burst of lines, then a steady rate (a token bucket). Excess
// lines are dropped; the caller warns once per run of drops. Chat takes a burst of 5 and 2 a
// second; changes that every pilot is told of (status, games, profile) a burst of 5 and one
// every 2 s.
#pragma once

#include <chrono>

namespace lobbyd {

class Flood {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  Flood(double burst, double perSecond) : burst_(burst), perSecond_(perSecond), tokens_(burst) {}

  enum class Verdict { kPass, kDropAndWarn, kDrop };
  Verdict Take(TimePoint now);

 private:
  double burst_;
  double perSecond_;
  double tokens_;
  TimePoint last_{};
  bool started_ = false;
  bool warned_ = false;  // a warning went out for the current run of drops
};

}  // namespace lobbyd
