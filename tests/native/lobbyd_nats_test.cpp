// Two nodes' buses against a real nats-server on loopback, started (and restarted) by the test.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "common/nats_server.h"
#include "lobbyd/cluster/nats_bus.h"

namespace lobbyd::cluster {
namespace {

using cv3::testing::NatsServer;
using std::chrono::milliseconds;
constexpr std::chrono::seconds kDeadline{15};
const std::string kSubject = "corvane.lobby.events";

// What one node's bus reported, in order, as "NODE SEQUENCE PAYLOAD", "disconnected" and
// "reconnected".
class Heard {
 public:
  void Add(std::string line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
    changed_.notify_all();
  }
  std::vector<std::string> WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kDeadline, [&] { return lines_.size() >= count; });
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
};

struct Node {
  Node(std::string nodeName, std::uint64_t nodeIncarnation)
      : name(std::move(nodeName)), incarnation(nodeIncarnation) {}

  std::string name;
  std::uint64_t incarnation;
  Heard heard;
  std::unique_ptr<NatsBus> bus;
  std::string error;

  void Join(const std::string& url) {
    NatsBus::Handlers handlers{[this] { heard.Add("disconnected"); },
                               [this] { heard.Add("reconnected"); }};
    bus = NatsBus::Connect({url, milliseconds(100)}, std::move(handlers), error);
    if (bus) {
      error = bus->Subscribe(kSubject, [this](const ClusterEvent& event) {
        heard.Add(event.node + " " + std::to_string(event.sequence) + " " + event.payload);
      });
    }
  }
  void Tell(std::uint64_t sequence) {
    auto problem = bus->Publish(kSubject, {name, incarnation, sequence, "chat",
                                           name + " says " + std::to_string(sequence)});
    EXPECT_EQ(problem, "");
  }
};

TEST(NatsBus, TwoNodesHearEachOtherInOrderAcrossARestartOfTheServer) {
  auto server = std::make_unique<NatsServer>(0);
  ASSERT_NE(server->port(), 0);
  const int port = server->port();
  Node a{"node-a", 0x1111};
  Node b{"node-b", 0x2222};
  a.Join(server->url());
  b.Join(server->url());
  ASSERT_EQ(a.error + b.error, "");

  for (std::uint64_t sequence : {1, 2, 3}) {
    a.Tell(sequence);
    b.Tell(sequence);
  }
  a.heard.WaitFor(3);
  b.heard.WaitFor(3);
  server.reset();  // killed
  a.heard.WaitFor(4);
  b.heard.WaitFor(4);
  server = std::make_unique<NatsServer>(port);
  ASSERT_EQ(server->port(), port);
  a.heard.WaitFor(5);
  b.heard.WaitFor(5);
  EXPECT_EQ(a.bus->Flush(kDeadline) + b.bus->Flush(kDeadline), "");
  for (std::uint64_t sequence : {4, 5}) {
    a.Tell(sequence);
    b.Tell(sequence);
  }

  for (Node* node : {&a, &b}) {
    const std::string other = node == &a ? "node-b" : "node-a";
    auto said = [&](int sequence) {
      return other + " " + std::to_string(sequence) + " " + other + " says " +
             std::to_string(sequence);
    };
    const std::vector<std::string> want = {said(1),       said(2), said(3), "disconnected",
                                           "reconnected", said(4), said(5)};
    EXPECT_EQ(node->heard.WaitFor(want.size()), want) << node->name;
    EXPECT_EQ(node->bus->Malformed(), 0u);
  }
}

TEST(NatsBus, NoServerIsAnErrorNamingTheUrl) {
  int port = NatsServer(0).port();  // free again once it is gone
  ASSERT_NE(port, 0);
  std::string url = "nats://127.0.0.1:" + std::to_string(port);
  std::string error;
  EXPECT_EQ(NatsBus::Connect({url}, {}, error), nullptr);
  EXPECT_EQ(error, "cannot connect to " + url + ": No server available for connection");
}

}  // namespace
}  // namespace lobbyd::cluster
