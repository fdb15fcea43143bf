// Chat flood control for one pilot: a burst of kBurst lines, then kPerSecond lines a second
// (a token bucket). Excess lines are dropped; the caller warns once per run of drops.
#pragma once

#include <chrono>

namespace lobbyd {

class ChatFlood {
 public:
  static constexpr double kBurst = 5;
  static constexpr double kPerSecond = 2;
  using TimePoint = std::chrono::steady_clock::time_point;

  enum class Verdict { kPass, kDropAndWarn, kDrop };
  Verdict Take(TimePoint now);

 private:
  double tokens_ = kBurst;
  TimePoint last_{};
  bool started_ = false;
  bool warned_ = false;  // a warning went out for the current run of drops
};

}  // namespace lobbyd
