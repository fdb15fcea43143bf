// The first step of a connection from a proxy named by --proxy-from: reads its PROXY protocol
// header within the sign-in deadline, taking no byte past it, and hands the connection on with
// the client the header names. io thread only.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "lobbyd/event_log.h"

namespace lobbyd {

class ProxyIntake final : public std::enable_shared_from_this<ProxyIntake> {
 public:
  // Gets the connection and its client: whom the header names, or the proxy itself for its own
  // connections.
  using Admit = std::function<void(asio::ip::tcp::socket, const asio::ip::tcp::endpoint&)>;
  // Called once the intake is over, whichever way it ended.
  using Done = std::function<void(ProxyIntake&)>;

  ProxyIntake(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& proxy, EventLog& log,
              Admit admit, Done done);

  void Start(std::chrono::seconds deadline);
  // Closes the connection without handing it on (the server is stopping).
  void Cancel();

 private:
  void WaitReadable();
  void OnReadable(const asio::error_code& error);
  void Close(std::string_view reason);
  void Finish();

  asio::ip::tcp::socket socket_;
  asio::ip::tcp::endpoint proxy_;
  EventLog& log_;
  Admit admit_;
  Done done_;
  asio::steady_timer deadline_;
  std::string received_;  // the header's bytes so far
  bool finished_ = false;
};

}  // namespace lobbyd
