// The listening side: binds the address, accepts connections and hands them to the Lobby; owns
// the hash pool. Construct and Start before running the io_context; Stop from the io thread.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
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

  // Loads the lobby and starts listening. Empty text on success, else what failed.
  std::string Start(const asio::ip::tcp::endpoint& endpoint);
  asio::ip::tcp::endpoint LocalEndpoint() const;
  // Stops accepting and closes every connection; io_context::run returns once they are gone.
  void Stop();

  // For the web side, from any thread. `done` gets the lobby as it is now, on the io thread.
  void TakeView(std::function<void(LobbyView)> done);
  // `done` gets, on the io thread, whether the store answered a read just now.
  void ProbeStore(std::function<void(bool)> done);
  const Metrics& Counts() const { return metrics_; }

 private:
  void AcceptNext();
  // Hands a new connection to the lobby, through the intake of its PROXY protocol header when it
  // comes from a listed proxy.
  void Admit(asio::ip::tcp::socket socket);

  asio::io_context& io_;
  EventLog& log_;
  const LobbyOptions options_;
  Metrics metrics_;  // before everything that counts
  HashPool pool_;
  StoreWorker worker_;  // before the lobby, which hands it work, and gone after it
  Lobby lobby_;
  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer acceptPause_;
  bool stopped_ = false;
  std::unordered_map<ProxyIntake*, std::shared_ptr<ProxyIntake>> intakes_;
  int spare_;  // a descriptor held in reserve for refusing when the process has none left
};

// A hash nobody's digest matches, verified in place of an unknown ID's.
std::string MakeDummyHash(const PasswordHasher& hasher);

}  // namespace lobbyd
