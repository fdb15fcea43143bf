// lobbyd in-process for conversation tests: listens on a free loopback port, runs its io_context
// on a thread of its own, hashes with the least cost libsodium allows, and takes its time from a
// ManualClock. The database file lives in a temporary folder that outlives restarts of the server.
#pragma once

#include <asio/io_context.hpp>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/hasher.h"
#include "lobbyd/server.h"
#include "lobbyd/startup.h"
#include "lobbyd/store.h"
#include "lobbyd/testing/test_client.h"

namespace lobbyd::testing {

// Cheapest real hashing, counted: tests see that a verify ran without timing anything.
class CountingHasher final : public PasswordHasher {
 public:
  std::optional<std::string> Hash(std::string_view digest) const override;
  bool Verify(std::string_view hash, std::string_view digest) const override;
  int Verifies() const { return verifies_; }
  int Hashes() const { return hashes_; }
  // While held, verifications wait before they start: checks stay in flight as long as a test
  // needs them to.
  void Hold(bool held) const;
  bool Held() const;
  // Verifications waiting at the gate.
  int Waiting() const { return waiting_; }

 private:
  SodiumHasher inner_ = SodiumHasher::Cheapest();
  mutable std::mutex gate_;
  mutable std::condition_variable opened_;
  mutable bool held_ = false;
  mutable std::atomic<int> waiting_{0};
  mutable std::atomic<int> verifies_{0};
  mutable std::atomic<int> hashes_{0};
};

// A temporary folder, removed with everything in it when this goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class TestServer {
 public:
  // Uses the SQLite file `database` (created if missing); an empty path means a fresh one of its
  // own.
  explicit TestServer(std::string database = {}, LobbyOptions options = {});
  // Uses the store at `location`.
  TestServer(LobbyOptions options, StoreLocation location);
  ~TestServer();

  // Applies operator actions to the database; only while the server is stopped.
  std::string Seed(const StartupActions& actions);
  // Empty text when listening on `address` (an IPv4 address), on a free port; from the next
  // Start, serves over TLS with `context` too, on TlsPort.
  void ServeTls(std::shared_ptr<asio::ssl::context> context) { tls_ = std::move(context); }
  std::string Start(std::string address = "127.0.0.1");
  // Stops the server the way SIGTERM does and waits for its thread.
  void Stop();

  unsigned short Port() const { return port_; }
  unsigned short TlsPort() const { return tlsPort_; }
  const std::string& Database() const { return location_.where; }
  ManualClock& Clock() { return clock_; }
  const CountingHasher& Hasher() const { return hasher_; }
  Server& GetServer() { return *server_; }
  // What was logged; read it after Stop.
  std::string LogText() const { return logText_.str(); }

  std::unique_ptr<TestClient> Connect(int receiveBuffer = 0, const char* source = nullptr) {
    return std::make_unique<TestClient>(port_, receiveBuffer, source, address_.c_str());
  }
  // Creates an account over the wire ("CREATE:") and returns its client once "AUTH_ACK:OK" and
  // its own "ISON:" have come; null when anything else came.
  std::unique_ptr<TestClient> Join(std::string_view name, std::string_view password = "pw");
  // The same with "AUTH:" for an existing account.
  std::unique_ptr<TestClient> SignIn(std::string_view name, std::string_view password = "pw");

 private:
  std::unique_ptr<TempFolder> folder_;
  StoreLocation location_;
  LobbyOptions options_;
  ManualClock clock_;
  CountingHasher hasher_;
  std::ostringstream logText_;
  EventLog log_{&logText_, clock_};
  std::unique_ptr<Store> store_;
  std::unique_ptr<asio::io_context> io_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
  unsigned short port_ = 0;
  std::string address_;
  std::shared_ptr<asio::ssl::context> tls_;
  unsigned short tlsPort_ = 0;
};

// The digest the client sends for a password.
std::string Digest(std::string_view password);

// The client of a connection (a TestClient or a RigClient) once "AUTH_ACK:OK" and its own
// "ISON:" have come after it sent `request`; null when anything else came.
template <class Client>
std::unique_ptr<Client> SignedIn(std::unique_ptr<Client> client, std::string_view name,
                                 std::string_view request) {
  client->Send(request);
  if (client->ReadLine() != "AUTH_ACK:OK") return nullptr;
  if (client->ReadLine() != "ISON:" + std::string(name)) return nullptr;
  return client;
}
// "CREATE:" with the e-mail address name@example.org, and "AUTH:".
std::string CreateRequest(std::string_view name, std::string_view password);
std::string AuthRequest(std::string_view name, std::string_view password);

}  // namespace lobbyd::testing
