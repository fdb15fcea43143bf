// A node's link to the rest of its cluster, on the lobby's io thread: publishes what the node's
// mirror tells (numbered in this incarnation), a heartbeat every second, and hands the other
// nodes' events to the mirror in each node's order. A gap in a node's numbers, a node not known
// or restarted, or a reconnect of our own to NATS takes that node's (every node's) whole state
// again; a node silent for 5 s is dropped, its pilots signed off.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "lobbyd/clock.h"
#include "lobbyd/cluster/cluster_events.h"
#include "lobbyd/cluster/nats_bus.h"
#include "lobbyd/event_log.h"
#include "lobbyd/metrics.h"
#include "lobbyd/node_mirror.h"

namespace lobbyd::cluster {

class ClusterLink {
 public:
  struct Settings {
    std::string url;   // nats://HOST:PORT
    std::string node;  // this node's name, a cluster token
  };

  // Connected and subscribed, or null with `error` naming the URL. Events that come before
  // Attach wait on the io thread.
  static std::unique_ptr<ClusterLink> Connect(asio::io_context& io, const Clock& clock,
                                              EventLog& log, Metrics& metrics,
                                              const Settings& settings, std::string& error);
  ~ClusterLink();
  ClusterLink(const ClusterLink&) = delete;
  ClusterLink& operator=(const ClusterLink&) = delete;

  // What this node's mirror publishes, numbered and sent.
  NodeMirror::Publish Publisher();
  // Starts the heartbeat and asks every node for its state; `mirror` gets their events. Before
  // the io_context runs, or on its thread.
  void Attach(NodeMirror& mirror);
  // No more heartbeats, nor events taken (the io_context may then run out of work); what the
  // lobby tells while its pilots leave still goes out. io thread.
  void Stop();

 private:
  ClusterLink(asio::io_context& io, const Clock& clock, EventLog& log, Metrics& metrics,
              std::string node);
  void Publish(std::string_view kind, std::string payload);
  void OnEvent(const ClusterEvent& event);
  // Asks `node` ("*": every node) for its whole state.
  void Ask(const std::string& node);
  void Tick();

  asio::io_context& io_;
  const Clock& clock_;
  EventLog& log_;
  Metrics& metrics_;
  std::string node_;
  std::uint64_t incarnation_;
  std::uint64_t sequence_ = 0;
  PeerTracker peers_;
  std::set<std::string> known_;  // the nodes heard and not gone silent
  // Snapshots asked for and not yet had, with when they were asked.
  std::map<std::string, std::chrono::steady_clock::time_point> asked_;
  NodeMirror* mirror_ = nullptr;
  asio::steady_timer ticks_;
  std::chrono::steady_clock::time_point lastBeat_{};
  bool stopped_ = false;
  // Last: gone first, so no handler of the bus runs once the rest is gone.
  std::unique_ptr<NatsBus> bus_;
};

}  // namespace lobbyd::cluster
