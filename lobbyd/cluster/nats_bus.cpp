#include "lobbyd/cluster/nats_bus.h"

#include <nats/nats.h>

#include <limits>

namespace lobbyd::cluster {

namespace {

constexpr std::chrono::milliseconds kSubscribeFlush{2000};
// A handler that never returns would hold the close forever; past this the bus gives up waiting.
constexpr std::chrono::seconds kCloseWait{10};

std::string Problem(const std::string& what, natsStatus status) {
  return what + ": " + natsStatus_GetText(status);
}

}  // namespace

struct NatsBus::Subscription {
  NatsBus* bus = nullptr;
  EventHandler handler;
  natsSubscription* sub = nullptr;
  bool complete = false;  // under bus->mutex_

  static void OnMessage(natsConnection*, natsSubscription*, natsMsg* msg, void* closure) {
    auto* self = static_cast<Subscription*>(closure);
    auto event = DecodeEvent(std::string_view(
        natsMsg_GetData(msg), static_cast<std::size_t>(natsMsg_GetDataLength(msg))));
    natsMsg_Destroy(msg);
    if (!event) {
      self->bus->malformed_.fetch_add(1);
      return;
    }
    self->handler(*event);
  }
  static void OnComplete(void* closure) {
    auto* self = static_cast<Subscription*>(closure);
    std::lock_guard lock(self->bus->mutex_);
    self->complete = true;
    self->bus->done_.notify_all();
  }
};

NatsBus::NatsBus(Handlers handlers) : handlers_(std::move(handlers)) {}

std::unique_ptr<NatsBus> NatsBus::Connect(const Options& options, Handlers handlers,
                                          std::string& error) {
  std::unique_ptr<NatsBus> bus(new NatsBus(std::move(handlers)));
  natsStatus status = natsOptions_Create(&bus->options_);
  if (status == NATS_OK) status = natsOptions_SetURL(bus->options_, options.url.c_str());
  if (status == NATS_OK) status = natsOptions_SetNoEcho(bus->options_, true);
  if (status == NATS_OK) status = natsOptions_SetAllowReconnect(bus->options_, true);
  if (status == NATS_OK) {
    status = natsOptions_SetMaxReconnect(bus->options_, std::numeric_limits<int>::max());
  }
  if (status == NATS_OK) {
    status = natsOptions_SetReconnectWait(bus->options_, options.reconnectWait.count());
  }
  if (status == NATS_OK) {
    status = natsOptions_SetDisconnectedCB(bus->options_, &NatsBus::OnDisconnected, bus.get());
  }
  if (status == NATS_OK) {
    status = natsOptions_SetReconnectedCB(bus->options_, &NatsBus::OnReconnected, bus.get());
  }
  if (status == NATS_OK) {
    status = natsOptions_SetClosedCB(bus->options_, &NatsBus::OnClosed, bus.get());
  }
  if (status != NATS_OK) {
    error = Problem("cannot set up the connection to " + options.url, status);
    return nullptr;
  }
  status = natsConnection_Connect(&bus->connection_, bus->options_);
  if (status != NATS_OK) {
    error = Problem("cannot connect to " + options.url, status);
    return nullptr;
  }
  return bus;
}

NatsBus::~NatsBus() {
  closing_ = true;
  if (connection_) {
    natsConnection_Close(connection_);
    // The closed handler runs after any disconnected one and every subscription's last message
    // after its handler: past both, nothing of this object is touched again.
    std::unique_lock lock(mutex_);
    done_.wait_for(lock, kCloseWait, [this] {
      for (auto& subscription : subscriptions_) {
        if (!subscription->complete) return false;
      }
      return closed_;
    });
  }
  for (auto& subscription : subscriptions_) natsSubscription_Destroy(subscription->sub);
  natsConnection_Destroy(connection_);
  natsOptions_Destroy(options_);
}

std::string NatsBus::Publish(const std::string& subject, const ClusterEvent& event) {
  auto body = EncodeEvent(event);
  if (!body) return "not an event: node \"" + event.node + "\", kind \"" + event.kind + "\"";
  natsStatus status = natsConnection_Publish(connection_, subject.c_str(), body->data(),
                                             static_cast<int>(body->size()));
  return status == NATS_OK ? std::string() : Problem("cannot publish on " + subject, status);
}

std::string NatsBus::Subscribe(const std::string& subject, EventHandler handler) {
  auto subscription = std::make_unique<Subscription>();
  subscription->bus = this;
  subscription->handler = std::move(handler);
  natsStatus status = natsConnection_Subscribe(&subscription->sub, connection_, subject.c_str(),
                                               &Subscription::OnMessage, subscription.get());
  if (status == NATS_OK) {
    status = natsSubscription_SetOnCompleteCB(subscription->sub, &Subscription::OnComplete,
                                              subscription.get());
  }
  std::string problem = status == NATS_OK ? Flush(kSubscribeFlush)
                                          : Problem("cannot subscribe to " + subject, status);
  if (problem.empty()) {
    subscriptions_.push_back(std::move(subscription));
    return {};
  }
  if (subscription->sub) {
    // Not kept: closed here, and waited for like any other at the close of the bus.
    natsSubscription_Unsubscribe(subscription->sub);
    subscriptions_.push_back(std::move(subscription));
  }
  return problem;
}

std::string NatsBus::Flush(std::chrono::milliseconds within) {
  natsStatus status = natsConnection_FlushTimeout(connection_, within.count());
  return status == NATS_OK ? std::string() : Problem("no answer from the server", status);
}

void NatsBus::OnDisconnected(natsConnection*, void* closure) {
  auto* self = static_cast<NatsBus*>(closure);
  if (!self->closing_ && self->handlers_.disconnected) self->handlers_.disconnected();
}

void NatsBus::OnReconnected(natsConnection*, void* closure) {
  auto* self = static_cast<NatsBus*>(closure);
  if (!self->closing_ && self->handlers_.reconnected) self->handlers_.reconnected();
}

void NatsBus::OnClosed(natsConnection*, void* closure) {
  auto* self = static_cast<NatsBus*>(closure);
  std::lock_guard lock(self->mutex_);
  self->closed_ = true;
  self->done_.notify_all();
}

}  // namespace lobbyd::cluster
