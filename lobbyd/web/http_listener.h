// The sockets of lobbyd's web side, all on one io thread that never blocks on a client: accepts,
// reads each request head within one deadline and fixed bounds, hands the complete request on
// and writes the reply it is given, streaming files chunk by chunk. A connection carries one
// request. An address at its cap gives up its oldest connection still sending a request, so a
// client trickling on many connections cannot keep its own next request (or its NAT's) out; when
// none of them is still sending, or all connections are taken, a new one is told "busy" and
// closed unread.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "lobbyd/web/http_reply.h"
#include "lobbyd/web/http_request.h"

namespace lobbyd::web {

struct ListenerLimits {
  unsigned connectionsPerAddress = 8;  // an IPv6 peer counted by its /64
  unsigned connections = 256;
  std::chrono::milliseconds head{5000};   // from accept to the end of the request head
  std::chrono::milliseconds reply{5000};  // to write a whole page
  std::chrono::milliseconds chunk{5000};  // for a client to take each chunk of a file
};

class HttpListener {
 public:
  // Answers a reply once, from any thread; a connection gone meanwhile drops it.
  using Respond = std::function<void(Reply)>;
  // Gets each complete request on the io thread; must not block.
  using Handler =
      std::function<void(const Request&, const asio::ip::address& peer, Respond respond)>;

  HttpListener(asio::io_context& io, ListenerLimits limits, Handler handler);
  ~HttpListener();
  HttpListener(const HttpListener&) = delete;
  HttpListener& operator=(const HttpListener&) = delete;

  // Binds; accepting starts with the io thread. Empty text on success, else what failed.
  std::string Listen(const asio::ip::tcp::endpoint& endpoint);
  uint16_t Port() const { return port_; }
  // io thread: stops accepting and closes every connection.
  void Close();

  class Connection;

 private:
  void AcceptNext();
  void Admit(asio::ip::tcp::socket socket);
  void Forget(Connection& connection);
  // Closes the oldest connection from `key` still sending its request; false when there is none.
  bool DropOldestSending(const std::string& key);

  asio::io_context& io_;
  const ListenerLimits limits_;
  const Handler handler_;
  asio::ip::tcp::acceptor acceptor_;
  uint16_t port_ = 0;
  bool closed_ = false;
  uint64_t accepted_ = 0;  // connections admitted so far: their order
  std::map<std::string, unsigned> perAddress_;
  std::map<Connection*, std::weak_ptr<Connection>> open_;
};

}  // namespace lobbyd::web
