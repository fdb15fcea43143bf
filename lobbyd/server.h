// The listening side: binds the address, accepts connections and hands them to the Lobby; owns
// the hash pool. Construct and Start before running the io_context; Stop from the io thread.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/hasher.h"
#include "lobbyd/lobby.h"
#include "lobbyd/proxy_intake.h"
#include "lobbyd/store.h"
#include "lobbyd/store_worker.h"

namespace lobbyd {

class Server {
 public:
  // `hashThreads` 0 means one per core.
  Server(asio::io_context& io, Store& store, const PasswordHasher& hasher, const Clock& clock,
         EventLog& log, LobbyOptions options, unsigned hashThreads = 0);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Loads the lobby and starts listening: in plain text on `plain`, over TLS on `tls` with
  // `context`; either may be left out. Empty text on success, else what failed.
  std::string Start(const std::optional<asio::ip::tcp::endpoint>& plain,
                    const std::optional<asio::ip::tcp::endpoint>& tls = std::nullopt,
                    std::shared_ptr<asio::ssl::context> context = nullptr);
  asio::ip::tcp::endpoint LocalEndpoint() const;
  asio::ip::tcp::endpoint TlsEndpoint() const;
  // New TLS handshakes use `context`; sessions already open keep theirs. From the io thread.
  void ReplaceTlsContext(std::shared_ptr<asio::ssl::context> context);
  // Stops accepting and closes every connection; io_context::run returns once they are gone.
  void Stop();

  // For the web side, from any thread. `done` gets the lobby as it is now, on the io thread.
  void TakeView(std::function<void(LobbyView)> done);
  // `done` gets, on the io thread, whether the store answered a read just now.
  void ProbeStore(std::function<void(bool)> done);
  const Metrics& Counts() const { return metrics_; }
  // Before Start: see Lobby::JoinCluster.
  NodeMirror& JoinCluster(std::string node, NodeMirror::Publish publish) {
    return lobby_.JoinCluster(std::move(node), std::move(publish));
  }
  Metrics& Counts() { return metrics_; }

 private:
  struct Listener {
    explicit Listener(asio::io_context& io) : acceptor(io), pause(io) {}
    asio::ip::tcp::acceptor acceptor;
    asio::steady_timer pause;
    bool tls = false;
  };
  std::string Listen(Listener& listener, const asio::ip::tcp::endpoint& endpoint);
  void AcceptNext(Listener& listener);
  // Hands a new connection to the lobby, through the intake of its PROXY protocol header when it
  // comes from a listed proxy; over TLS with `tls`.
  void Admit(asio::ip::tcp::socket socket, std::shared_ptr<asio::ssl::context> tls);

  asio::io_context& io_;
  EventLog& log_;
  const LobbyOptions options_;
  Metrics metrics_;  // before everything that counts
  HashPool pool_;
  StoreWorker worker_;  // before the lobby, which hands it work, and gone after it
  Lobby lobby_;
  Listener plain_;
  Listener tls_;
  std::shared_ptr<asio::ssl::context> tlsContext_;
  bool stopped_ = false;
  std::unordered_map<ProxyIntake*, std::shared_ptr<ProxyIntake>> intakes_;
  int spare_;  // a descriptor held in reserve for refusing when the process has none left
};

// A hash nobody's digest matches, verified in place of an unknown ID's.
std::string MakeDummyHash(const PasswordHasher& hasher);

}  // namespace lobbyd
