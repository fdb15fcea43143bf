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
  // Full again by `now`: the bucket is then as good as a new one.
  bool Rested(TimePoint now) const;

 private:
  double burst_;
  double perSecond_;
  double tokens_;
  TimePoint last_{};
  bool started_ = false;
  bool warned_ = false;  // a warning went out for the current run of drops
};

// The flood control of one account, or of one address, kept across its connections: signing in
// again starts with what the last connection left. An address's buckets are `scale` times an
// account's, so the pilots behind one address together may do what that many pilots may.
struct Floods {
  explicit Floods(double scale = 1)
      : chat(5 * scale, 2 * scale), changes(5 * scale, 0.5 * scale), lists(5 * scale, 2 * scale) {}
  Flood chat;     // chat lines
  Flood changes;  // status, game and profile changes, which fan out to everyone
  Flood lists;    // list requests, limited like chat
  bool Rested(Flood::TimePoint now) const {
    return chat.Rested(now) && changes.Rested(now) && lists.Rested(now);
  }
};

}  // namespace lobbyd
