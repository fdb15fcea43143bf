// The events lobbyd's nodes tell each other: their message body, and how a node reads order,
// loss, restarts and silence from them.
#include <gtest/gtest.h>

#include <optional>

#include "lobbyd/clock.h"
#include "lobbyd/cluster/cluster_events.h"

namespace lobbyd::cluster {

// Failures print the event as its header line and the arrival by name.
void PrintTo(const ClusterEvent& event, std::ostream* out) {
  *out << event.node << ' ' << event.incarnation << ' ' << event.sequence << ' ' << event.kind
       << " +" << event.payload.size() << " bytes";
}
void PrintTo(Arrival arrival, std::ostream* out) {
  const char* names[] = {"kNext", "kGap", "kStale", "kNewIncarnation"};
  *out << names[static_cast<int>(arrival)];
}

namespace {

using std::chrono::milliseconds;
using std::string_literals::operator""s;

struct BodyCase {
  std::string body;
  std::optional<ClusterEvent> event;  // nothing: refused
};

TEST(ClusterEvent, BodiesAreReadExactlyAsWrittenAndAnythingElseIsRefused) {
  const ClusterEvent chat{"node-a", 0x00ff00000000abcdULL, 42, "chat", "pilot\nhello \xB6 \0 x"s};
  const BodyCase cases[] = {
      {"node-a 00ff00000000abcd 42 chat\npilot\nhello \xB6 \0 x"s, chat},
      {"b.2_X 0000000000000000 0 hb\n", ClusterEvent{"b.2_X", 0, 0, "hb", ""}},
      {"n ffffffffffffffff 18446744073709551615 k\np",
       ClusterEvent{"n", ~0ULL, 18446744073709551615ULL, "k", "p"}},
      {"", std::nullopt},
      {"node-a 00ff00000000abcd 42 chat", std::nullopt},                      // no end of header
      {"node-a 00ff00000000abcd 42\n", std::nullopt},                         // no kind
      {"node-a 00ff00000000abcd 42 chat extra\n", std::nullopt},              // a field too many
      {"node-a  00ff00000000abcd 42 chat\n", std::nullopt},                   // empty field
      {"node-a 00ff00000000abcd 42 chat \n", std::nullopt},                   // trailing space
      {"node/a 00ff00000000abcd 42 chat\n", std::nullopt},                    // not a token
      {std::string(65, 'n') + " 00ff00000000abcd 42 chat\n", std::nullopt},   // name too long
      {"node-a ff00000000abcd 42 chat\n", std::nullopt},                      // short incarnation
      {"node-a 00FF00000000ABCD 42 chat\n", std::nullopt},                    // upper-case hex
      {"node-a 00ff00000000abcg 42 chat\n", std::nullopt},                    // not hex
      {"node-a 00ff00000000abcd 042 chat\n", std::nullopt},                   // leading zero
      {"node-a 00ff00000000abcd -1 chat\n", std::nullopt},                    // sign
      {"node-a 00ff00000000abcd 18446744073709551616 chat\n", std::nullopt},  // overflow
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeEvent(c.body), c.event) << c.body;
    if (c.event) {
      EXPECT_EQ(EncodeEvent(*c.event), c.body);
    }
  }
  EXPECT_EQ(EncodeEvent(ClusterEvent{"node a", 1, 1, "chat", ""}), std::nullopt);
  EXPECT_EQ(EncodeEvent(ClusterEvent{"node-a", 1, 1, "", ""}), std::nullopt);
}

// One step: time passes, then (unless `node` is empty) an event arrives; then the silent peers
// are taken.
struct Step {
  int advanceMs;
  std::string node;
  std::uint64_t incarnation;
  std::uint64_t sequence;
  std::optional<Arrival> arrival;
  std::vector<std::string> silent;
};

TEST(PeerTracker, TellsOrderLossRestartsAndSilencePerPeer) {
  const Step steps[] = {
      {0, "a", 7, 1, Arrival::kNewIncarnation, {}},  // first heard: its state is unknown
      {0, "a", 7, 2, Arrival::kNext, {}},
      {0, "b", 9, 30, Arrival::kNewIncarnation, {}},  // joined late: whatever it counts from
      {0, "a", 7, 2, Arrival::kStale, {}},            // a duplicate
      {0, "a", 7, 5, Arrival::kGap, {}},              // 3 and 4 lost
      {0, "a", 7, 4, Arrival::kStale, {}},            // late, after the gap
      {0, "a", 7, 6, Arrival::kNext, {}},
      {0, "b", 9, 31, Arrival::kNext, {}},           // peers count on their own
      {0, "a", 8, 1, Arrival::kNewIncarnation, {}},  // restarted: counts from 1 again
      {0, "a", 8, 2, Arrival::kNext, {}},
      {0, "a", 7, 7, Arrival::kNewIncarnation, {}},  // any other incarnation is taken again
      {4999, "b", 9, 32, Arrival::kNext, {}},
      {1, "", 0, 0, std::nullopt, {"a"}},  // 5 s without a word from a
      {4998, "", 0, 0, std::nullopt, {}},  // reported once
      {1, "", 0, 0, std::nullopt, {"b"}},
      {0, "a", 7, 8, Arrival::kNewIncarnation, {}},  // back after being given up
  };
  ManualClock clock;
  PeerTracker tracker(clock);
  int index = 0;
  for (const auto& step : steps) {
    clock.Advance(milliseconds(step.advanceMs));
    std::optional<Arrival> arrival;
    if (!step.node.empty()) {
      arrival = tracker.Note(ClusterEvent{step.node, step.incarnation, step.sequence, "k", ""});
    }
    EXPECT_EQ(arrival, step.arrival) << "step " << index;
    EXPECT_EQ(tracker.TakeSilent(), step.silent) << "step " << index;
    ++index;
  }
}

}  // namespace
}  // namespace lobbyd::cluster
