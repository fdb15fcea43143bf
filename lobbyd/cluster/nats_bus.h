// A node's link to the other nodes: a NATS core connection (nats.c) that publishes cluster
// events on subjects and hands those it receives to the owner. NATS core delivers at most once
// and in each publisher's order only; the owner reads order and loss with a PeerTracker, and takes
// snapshots again when the bus says it was disconnected. Failures are returned, never thrown.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lobbyd/cluster/cluster_events.h"

struct __natsConnection;
struct __natsOptions;

namespace lobbyd::cluster {

class NatsBus {
 public:
  // Every handler runs on one of the library's threads, never inside a call of the owner's:
  // the owner hands the work to its own thread. Events of one subscription come one at a time, in
  // the order the server delivered them.
  using EventHandler = std::function<void(const ClusterEvent&)>;
  struct Handlers {
    std::function<void()> disconnected;  // the server is lost; reconnecting goes on
    std::function<void()> reconnected;   // back: whatever was published meanwhile may be lost
  };
  struct Options {
    std::string url;  // nats://HOST:PORT
    std::chrono::milliseconds reconnectWait{1000};
  };

  // Connected, with reconnects on (a node never hears its own events) for as long as the bus lives;
  // null with `error` set (naming the URL) when the server cannot be reached now.
  static std::unique_ptr<NatsBus> Connect(const Options& options, Handlers handlers,
                                          std::string& error);
  // Closes the connection and returns once no handler runs or will run.
  ~NatsBus();
  NatsBus(const NatsBus&) = delete;
  NatsBus& operator=(const NatsBus&) = delete;

  // Empty when handed to the library (sent, or buffered while reconnecting); else why not.
  std::string Publish(const std::string& subject, const ClusterEvent& event);
  // Empty once the server has the subscription; else why not (and nothing is subscribed).
  // Bodies that are not events are dropped and counted in Malformed().
  std::string Subscribe(const std::string& subject, EventHandler handler);
  // Empty once the server has had everything sent before (after a reconnect: the subscriptions
  // too); else why not.
  std::string Flush(std::chrono::milliseconds within);

  std::uint64_t Malformed() const { return malformed_.load(); }

 private:
  struct Subscription;

  explicit NatsBus(Handlers handlers);
  static void OnDisconnected(__natsConnection*, void* closure);
  static void OnReconnected(__natsConnection*, void* closure);
  static void OnClosed(__natsConnection*, void* closure);

  Handlers handlers_;
  __natsOptions* options_ = nullptr;
  __natsConnection* connection_ = nullptr;
  std::vector<std::unique_ptr<Subscription>> subscriptions_;
  std::atomic<bool> closing_{false};
  std::atomic<std::uint64_t> malformed_{0};
  std::mutex mutex_;
  std::condition_variable done_;
  bool closed_ = false;
};

}  // namespace lobbyd::cluster
