#include "lobbyd/cluster/cluster_link.h"

#include <asio/post.hpp>
#include <random>

namespace lobbyd::cluster {
namespace {

// Every node hears every event on one subject: one numbering per node then covers what it
// broadcasts and what it sends to one pilot, so a pilot's lines keep his order and any loss
// shows as a gap. Each node keeps what is meant for it.
const std::string kSubject = "corvane.lobby";

constexpr std::string_view kHeartbeat = "beat";
constexpr std::string_view kAsk = "ask";      // NODE or "*": send your state
constexpr std::string_view kState = "state";  // the sender's pilots (NodeMirror::Snapshot)
const std::string kEveryNode = "*";

constexpr std::chrono::seconds kHeartbeatEvery{1};
// Silence is looked for this often, so a node is dropped soon after its 5 s.
constexpr std::chrono::milliseconds kTickEvery{250};
// A state asked for and not had by then (the ask or the answer lost) is asked for again.
constexpr std::chrono::seconds kAskAgainAfter{2};

std::uint64_t NewIncarnation() {
  std::random_device random;
  return (std::uint64_t{random()} << 32) ^ random();
}

}  // namespace

ClusterLink::ClusterLink(asio::io_context& io, const Clock& clock, EventLog& log, Metrics& metrics,
                         std::string node)
    : io_(io),
      clock_(clock),
      log_(log),
      metrics_(metrics),
      node_(std::move(node)),
      incarnation_(NewIncarnation()),
      peers_(clock),
      ticks_(io) {}

std::unique_ptr<ClusterLink> ClusterLink::Connect(asio::io_context& io, const Clock& clock,
                                                  EventLog& log, Metrics& metrics,
                                                  const Settings& settings, std::string& error) {
  std::unique_ptr<ClusterLink> link(new ClusterLink(io, clock, log, metrics, settings.node));
  ClusterLink* self = link.get();
  // The bus's handlers run on its threads; the work is the io thread's. The io_context does not
  // run once the link is gone (the program's order), so what is posted never outlives it.
  NatsBus::Handlers handlers{
      [self] {
        asio::post(self->io_, [self] {
          if (!self->stopped_) self->log_.Server("cluster: NATS lost; reconnecting");
        });
      },
      [self] {
        asio::post(self->io_, [self] {
          if (self->stopped_) return;
          // Whatever was published meanwhile, either way, may be lost.
          self->log_.Server("cluster: NATS back; taking every node's state again");
          self->Ask(kEveryNode);
        });
      }};
  link->bus_ = NatsBus::Connect({settings.url}, std::move(handlers), error);
  if (!link->bus_) return nullptr;
  error = link->bus_->Subscribe(kSubject, [self](const ClusterEvent& event) {
    asio::post(self->io_, [self, event] {
      if (!self->stopped_) self->OnEvent(event);
    });
  });
  if (!error.empty()) return nullptr;
  return link;
}

ClusterLink::~ClusterLink() {
  // The sign-offs of a stopping node's pilots reach the others before it goes.
  if (bus_) bus_->Flush(std::chrono::seconds(1));
}

NodeMirror::Publish ClusterLink::Publisher() {
  return [this](std::string_view kind, std::string payload) { Publish(kind, std::move(payload)); };
}

void ClusterLink::Attach(NodeMirror& mirror) {
  mirror_ = &mirror;
  metrics_.clustered = true;
  log_.Server("cluster: node " + node_ + " joined");
  Publish(kHeartbeat, {});
  Ask(kEveryNode);
  Tick();
}

void ClusterLink::Stop() {
  stopped_ = true;
  ticks_.cancel();
}

void ClusterLink::Publish(std::string_view kind, std::string payload) {
  ClusterEvent event{node_, incarnation_, ++sequence_, std::string(kind), std::move(payload)};
  if (auto problem = bus_->Publish(kSubject, event); !problem.empty()) {
    // Lost like any event NATS drops: the others see the gap and take this node's state.
    log_.Server("cluster: " + problem);
    return;
  }
  if (kind == kHeartbeat) lastBeat_ = clock_.Steady();
  Metrics::Add(metrics_.clusterEventsOut);
}

void ClusterLink::Ask(const std::string& node) {
  auto now = clock_.Steady();
  if (node == kEveryNode) {
    for (const auto& known : known_) asked_[known] = now;
  } else {
    asked_[node] = now;
  }
  Publish(kAsk, node);
}

void ClusterLink::OnEvent(const ClusterEvent& event) {
  if (!mirror_ || event.node == node_) return;
  Metrics::Add(metrics_.clusterEventsIn);
  switch (peers_.Note(event)) {
    case Arrival::kStale:
      return;
    case Arrival::kNext:
      break;
    case Arrival::kGap:
      Metrics::Add(metrics_.clusterMissed);
      log_.Server("cluster: events of node " + event.node + " were lost; taking its state again");
      Ask(event.node);
      break;
    case Arrival::kNewIncarnation:
      if (known_.insert(event.node).second) {
        metrics_.clusterNodes.store(known_.size(), std::memory_order_relaxed);
      }
      log_.Server("cluster: node " + event.node + " heard; taking its state");
      Ask(event.node);
      break;
  }
  if (event.kind == kHeartbeat) return;
  if (event.kind == kAsk) {
    if (event.payload == node_ || event.payload == kEveryNode) Publish(kState, mirror_->Snapshot());
    return;
  }
  if (event.kind == kState) {
    // Any node's state is the truth as of its place in that node's order, whoever asked.
    size_t pilots = mirror_->Replace(event.node, event.payload);
    Metrics::Add(metrics_.clusterSnapshots);
    if (asked_.erase(event.node)) {
      log_.Server("cluster: took node " + event.node + "'s state (" + std::to_string(pilots) +
                  (pilots == 1 ? " pilot)" : " pilots)"));
    }
    return;
  }
  if (!mirror_->Apply(event.node, event.kind, event.payload)) {
    log_.Server("cluster: node " + event.node + " told of \"" + event.kind + "\", not known here");
  }
}

void ClusterLink::Tick() {
  if (stopped_) return;
  auto now = clock_.Steady();
  if (now - lastBeat_ >= kHeartbeatEvery) Publish(kHeartbeat, {});
  for (const auto& node : peers_.TakeSilent()) {
    known_.erase(node);
    asked_.erase(node);
    metrics_.clusterNodes.store(known_.size(), std::memory_order_relaxed);
    size_t pilots = mirror_->Drop(node);
    log_.Server("cluster: node " + node + " silent for 5 s; its " + std::to_string(pilots) +
                (pilots == 1 ? " pilot" : " pilots") + " signed off");
  }
  for (auto& [node, when] : asked_) {
    if (now - when >= kAskAgainAfter) {
      when = now;
      Publish(kAsk, node);
    }
  }
  ticks_.expires_after(kTickEvery);
  ticks_.async_wait([this](const asio::error_code& error) {
    if (!error) Tick();
  });
}

}  // namespace lobbyd::cluster
