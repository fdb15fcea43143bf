// Flood control for one pilot: a burst of lines, then a steady rate (a token bucket). Excess
// lines are dropped. Chat takes a burst of 5 and 2 a second; changes that every pilot is told of
// (status, games, profile) a burst of 5 and one every 2 s; list requests are limited like chat.
#pragma once

#include <chrono>
#include <cstddef>

namespace lobbyd {

class Flood {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  Flood(double burst, double perSecond) : burst_(burst), perSecond_(perSecond), tokens_(burst) {}

  // False when the line is to be dropped.
  bool Take(TimePoint now);
  // Full again by `now`: the bucket is then as good as a new one.
  bool Rested(TimePoint now) const;

 private:
  double burst_;
  double perSecond_;
  double tokens_;
  TimePoint last_{};
  bool started_ = false;
};

enum class FloodKind { kChat, kChanges, kLists };
inline constexpr size_t kFloodKinds = 3;

// The flood control of one account, or of one address, kept across its connections: signing in
// again starts with what the last connection left. An address's buckets are `scale` times an
// account's, so the pilots behind one address together may do what that many pilots may.
struct Floods {
  explicit Floods(double scale = 1)
      : chat(5 * scale, 2 * scale), changes(5 * scale, 0.5 * scale), lists(5 * scale, 2 * scale) {}
  Flood chat;     // chat lines
  Flood changes;  // status, game and profile changes, which fan out to everyone
  Flood lists;    // list requests
  Flood& Of(FloodKind kind) {
    switch (kind) {
      case FloodKind::kChat:
        return chat;
      case FloodKind::kChanges:
        return changes;
      case FloodKind::kLists:
        break;
    }
    return lists;
  }
  bool Rested(Flood::TimePoint now) const {
    return chat.Rested(now) && changes.Rested(now) && lists.Rested(now);
  }
};

}  // namespace lobbyd
