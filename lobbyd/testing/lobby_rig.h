// lobbyd's rules in-process, without sockets: a Lobby over a store, its connections
// RecordingParticipants. The io_context runs on the caller's thread, by hand, until nothing is
// left to do (the password and store workers are waited for), so every step has had all its
// effects when it returns and a run is the same every time. Time comes from a ManualClock.
#pragma once

#include <asio/io_context.hpp>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/hasher.h"
#include "lobbyd/lobby.h"
#include "lobbyd/options.h"
#include "lobbyd/startup.h"
#include "lobbyd/store.h"
#include "lobbyd/store_worker.h"
#include "lobbyd/testing/recording_participant.h"

namespace lobbyd::testing {

// Hashing that costs nothing, for rules that do not depend on Argon2.
class PlainHasher final : public PasswordHasher {
 public:
  std::optional<std::string> Hash(std::string_view digest) const override {
    return "plain$" + std::string(digest);
  }
  bool Verify(std::string_view hash, std::string_view digest) const override {
    return hash == "plain$" + std::string(digest);
  }
};

class CountingHasher;
class LobbyRig;

// One connection to the rig's lobby, with the conversation calls of the loopback TestClient:
// each line sent has had all its effects when Send returns.
class RigClient {
 public:
  RigClient(LobbyRig& rig, std::shared_ptr<RecordingParticipant> participant)
      : rig_(rig), participant_(std::move(participant)) {}

  void Send(std::string_view line);
  // The next line sent to this connection; nothing when none is left.
  std::optional<std::string> ReadLine();
  // Lines up to (not including) the first that equals `line`; nothing if it never came.
  std::optional<std::vector<std::string>> ReadUntil(std::string_view line);
  // Every line sent to this connection and not read yet (never nothing: everything has come).
  std::optional<std::vector<std::string>> Sync();
  // True when the lobby has closed the connection (its lines are discarded).
  bool WaitClosed();
  // The peer goes away.
  void Close();
  RecordingParticipant& Participant() { return *participant_; }

 private:
  LobbyRig& rig_;
  std::shared_ptr<RecordingParticipant> participant_;  // null when the lobby refused it
};

class LobbyRig {
 public:
  // `hasher` null hashes with PlainHasher; otherwise it outlives the rig. Checks a
  // CountingHasher holds stay under way, and Settle does not wait for them. The log is kept for
  // LogText unless `log` names another stream for it. The store is a SQLite database in memory
  // unless `store` names another.
  explicit LobbyRig(LobbyOptions options = {}, const PasswordHasher* hasher = nullptr,
                    std::ostream* log = nullptr,
                    const StoreLocation& store = {StoreLocation::Engine::kSqlite, ":memory:"});
  ~LobbyRig();
  LobbyRig(const LobbyRig&) = delete;
  LobbyRig& operator=(const LobbyRig&) = delete;

  // Applies operator actions to the store; only while the lobby is stopped.
  std::string Seed(const StartupActions& actions);
  // Loads the lobby from the store; empty text on success (else also when the store could not
  // be opened).
  std::string Start();
  // Shuts the lobby down as a stop does and lets it go; the store stays for the next Start.
  // Checks a CountingHasher holds are let go first.
  void Stop();

  std::unique_ptr<RigClient> Connect(const std::string& address = "127.0.0.1");
  // Creates an account ("CREATE:") and returns its client once "AUTH_ACK:OK" and its own
  // "ISON:" have come; null when anything else came.
  std::unique_ptr<RigClient> Join(std::string_view name, std::string_view password = "pw");
  // The same with "AUTH:" for an existing account.
  std::unique_ptr<RigClient> SignIn(std::string_view name, std::string_view password = "pw");

  // Runs the io_context until nothing is left to do and no worker is busy (but for checks held
  // at a CountingHasher's gate). True when anything ran.
  bool Settle();

  ManualClock& Clock() { return clock_; }
  Store& GetStore() { return *store_; }
  std::string LogText() const { return logText_.str(); }
  const Metrics& Counts() const { return metrics_; }
  const Lobby& GetLobby() const { return *lobby_; }

 private:
  bool HashesIdle();

  LobbyOptions options_;
  PlainHasher plain_;
  const PasswordHasher& hasher_;
  const CountingHasher* counting_;  // null unless hasher_ is one
  asio::io_context io_{1};
  ManualClock clock_;
  std::ostringstream logText_;
  EventLog log_;
  Metrics metrics_;
  std::string storeProblem_;  // why the store could not be opened
  std::unique_ptr<Store> store_;
  std::unique_ptr<HashPool> pool_;
  std::unique_ptr<StoreWorker> worker_;
  std::unique_ptr<Lobby> lobby_;
};

}  // namespace lobbyd::testing
