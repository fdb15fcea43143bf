// The lobby: every connection (a Participant: the Asio Session, or a recording one in tests),
// from its acceptance to its close, signing in and off, and the one table of commands that each
// line is looked up in. The rules behind the commands live in classes by area, each adding its
// own commands to the table: SignInRules (sign_in_rules.h), PresenceRules, ChatRules,
// ProfileRules, GameRules and AdminRules. What they share, the lobby's state classes (Roster,
// Games, Accounts) and helpers, they reach through the LobbyContext the lobby owns
// (lobby_context.h); the lobby writes everything through to the Store. io thread only; password
// work goes to the HashPool.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lobbyd/accounts.h"
#include "lobbyd/admin_rules.h"
#include "lobbyd/chat_rules.h"
#include "lobbyd/clock.h"
#include "lobbyd/command_table.h"
#include "lobbyd/event_log.h"
#include "lobbyd/flood.h"
#include "lobbyd/game_rules.h"
#include "lobbyd/games.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/lobby_context.h"
#include "lobbyd/lobby_view.h"
#include "lobbyd/metrics.h"
#include "lobbyd/node_mirror.h"
#include "lobbyd/options.h"
#include "lobbyd/participant.h"
#include "lobbyd/presence_rules.h"
#include "lobbyd/profile_rules.h"
#include "lobbyd/records.h"
#include "lobbyd/roster.h"
#include "lobbyd/session.h"
#include "lobbyd/sign_in_rules.h"
#include "lobbyd/store.h"
#include "lobbyd/store_worker.h"
#include "protocol/catalogue.h"
#include "protocol/game_messages.h"
#include "protocol/session_messages.h"
#include "protocol/wire.h"

namespace lobbyd {

class Lobby final : public SessionEvents, private LobbyContext::Owner {
 public:
  // `store` must hold the schema; `dummyHash` is a hash of nothing anyone knows, verified for
  // unknown IDs so a reply's timing does not tell which IDs exist.
  // `store` is read by Load on the calling thread; afterwards every read and write goes through
  // `worker`, on the store's own thread.
  // `metrics` gets the lobby's counts; it outlives the lobby.
  Lobby(asio::io_context& io, Store& store, StoreWorker& worker, HashPool& pool, const Clock& clock,
        EventLog& log, Metrics& metrics, LobbyOptions options, std::string dummyHash);

  // Loads accounts and games. Listed games start down; games that are not long-term are gone,
  // since their hosts are. Empty text on success.
  std::string Load();

  // `remote` is the client: the socket's peer, or whom a proxy in between speaks for. Over TLS
  // with `tls`, else in plain text.
  void Accept(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote,
              std::shared_ptr<asio::ssl::context> tls = nullptr);
  // Takes a connection from `address` as Accept does, made by `make` with the id it gets; null
  // when the limits refuse it (then `make` is not called).
  using MakeParticipant = std::function<std::shared_ptr<Participant>(uint64_t id)>;
  std::shared_ptr<Participant> Connect(const std::string& address, const MakeParticipant& make);
  // Closes every connection without a word: clients notice the close and reconnect by
  // themselves once the server is back.
  void Shutdown();

  void OnLine(Participant& participant, const cv3::Line& line) override;
  void OnClosed(Participant& participant) override;

  // The lobby as the web page shows it, with the figures of the metrics.
  LobbyView View() const;

  // Makes this lobby node `node` of a cluster, before Load: what its pilots do goes to
  // `publish`, and the other nodes' events go to the mirror returned (which lives as long as the
  // lobby).
  NodeMirror& JoinCluster(std::string node, NodeMirror::Publish publish);

 private:
  bool MayConnect(const std::string& address);
  void SweepEvery(std::chrono::seconds period);
  // Forgets what has served its purpose and gives freed memory back (every 15 s).
  void ForgetIdleState();
  void ReleaseFreedMemory() override;
  // Sets how long writes are gathered for the number of connections now open.
  void Regather();
  void SignIn(Participant& session, AccountRecord& account) override;
  void SignOff(Participant& session, std::string_view how) override;
  // Writes on the store's thread. `done` (if any) gets the outcome on the io thread, with the
  // session that asked when it is still open: replies that say "stored" wait for it. A failure
  // is logged either way.
  using Written = LobbyContext::Written;
  void Write(Participant* asker, std::function<std::string(Store&)> write, Written done) override;

  asio::io_context& io_;
  Store& store_;
  StoreWorker& worker_;
  HashPool& pool_;
  const Clock& clock_;
  EventLog& log_;
  Metrics& metrics_;
  LobbyOptions options_;

  std::vector<char> scratch_ = std::vector<char>(64 * 1024);
  OutputBudget output_;
  SessionShared shared_{*this, scratch_, log_, output_, metrics_};
  std::unordered_map<std::string, size_t> connectionsFrom_;  // by address
  uint64_t refusedConnections_ = 0;
  asio::steady_timer sweep_;
  uint64_t nextId_ = 1;
  bool shuttingDown_ = false;
  std::unordered_map<uint64_t, std::shared_ptr<Participant>> sessions_;
  Accounts accounts_;
  Roster roster_{accounts_.ByKey()};
  Games games_;
  unsigned sweeps_ = 0;
  std::chrono::steady_clock::time_point lastRelease_{};
  LobbyContext context_{*this, pool_, clock_, log_, metrics_, options_, roster_, games_, accounts_};
  SignInRules signInRules_;
  PresenceRules presenceRules_{context_};
  ChatRules chatRules_{context_};
  ProfileRules profileRules_{context_};
  GameRules gameRules_{context_};
  AdminRules adminRules_{context_};
  CommandTable commands_;
  std::unique_ptr<NodeMirror> cluster_;  // null on its own
};

}  // namespace lobbyd
