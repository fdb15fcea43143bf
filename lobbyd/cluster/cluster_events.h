// What one lobbyd node tells the others, as one message body on the bus, and the bookkeeping a
// node keeps of every peer it hears (order, incarnation, silence). Portable; no bus here.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/clock.h"

namespace lobbyd::cluster {

// One event as a node publishes it. `incarnation` is drawn at random when the node starts, so a
// restarted node (whose sequence starts again) is told apart from the one before it.
struct ClusterEvent {
  std::string node;
  std::uint64_t incarnation = 0;
  std::uint64_t sequence = 0;
  std::string kind;
  std::string payload;

  bool operator==(const ClusterEvent&) const = default;
};

// Node names and kinds are short tokens of letters, digits, '.', '_' and '-'.
bool IsClusterToken(std::string_view text);

// The body is one header line "NODE INCARNATION SEQUENCE KIND" (incarnation in 16 hex digits,
// sequence in decimal) and the payload after it, byte for byte. Nothing when the node or kind is
// not a token.
std::optional<std::string> EncodeEvent(const ClusterEvent& event);
// Nothing for any body that is not exactly what EncodeEvent writes.
std::optional<ClusterEvent> DecodeEvent(std::string_view body);

// What an incoming event means for the replica of its node's state.
enum class Arrival {
  kNext,            // the one after the last seen: apply it
  kGap,             // some were lost: take that node's snapshot again
  kStale,           // seen already (or older): drop it
  kNewIncarnation,  // a node not known, or restarted: take its snapshot
};

// Per peer, the last sequence seen and when it was last heard. Not thread-safe: one owner.
class PeerTracker {
 public:
  static constexpr std::chrono::seconds kSilenceLimit{5};

  explicit PeerTracker(const Clock& clock) : clock_(clock) {}

  Arrival Note(const ClusterEvent& event);
  // The peers not heard from for kSilenceLimit, which are forgotten: each is reported once, and
  // if it speaks again it is a new incarnation to take a snapshot of.
  std::vector<std::string> TakeSilent();

 private:
  struct Peer {
    std::uint64_t incarnation = 0;
    std::uint64_t lastSequence = 0;
    std::chrono::steady_clock::time_point lastHeard;
  };

  const Clock& clock_;
  std::map<std::string, Peer> peers_;
};

}  // namespace lobbyd::cluster
