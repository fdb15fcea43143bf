// The lobby: every connection (a Participant: the Asio Session, or a recording one in tests),
// and the command handlers, picked from a table by command name. The jobs they share live in
// their own classes: the signed-in pilots with their broadcasts and pilot list (Roster), the
// listed games (Games), the accounts with what guards signing in (Accounts); the lobby writes
// them through to the Store. Handlers live in *_rules.cpp by area. io thread only; password work
// goes to the HashPool.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lobbyd/accounts.h"
#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/flood.h"
#include "lobbyd/games.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/lobby_view.h"
#include "lobbyd/metrics.h"
#include "lobbyd/options.h"
#include "lobbyd/participant.h"
#include "lobbyd/records.h"
#include "lobbyd/roster.h"
#include "lobbyd/session.h"
#include "lobbyd/store.h"
#include "lobbyd/store_worker.h"
#include "protocol/catalogue.h"
#include "protocol/game_messages.h"
#include "protocol/session_messages.h"
#include "protocol/wire.h"

namespace lobbyd {

// The protocol's names and words, as the handlers write them.
namespace msg = cv3::msg;

class Lobby final : public SessionEvents {
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

  void Accept(asio::ip::tcp::socket socket);
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

 private:
  using Handler = void (Lobby::*)(Participant&, const std::string&);

  // lobby.cpp: connections, sign-in and sign-off.
  bool MayConnect(const std::string& address);
  void SweepEvery(std::chrono::seconds period);
  // Forgets what has served its purpose and gives freed memory back (every 15 s).
  void ForgetIdleState();
  // Gives the memory freed since the last time back to the system (at most every 2 s).
  void ReleaseFreedMemory();
  // Sets how long writes are gathered for the number of connections now open.
  void Regather();
  void SignIn(Participant& session, AccountRecord& account);
  void SignOff(Participant& session, std::string_view how);
  // Writes on the store's thread. `done` (if any) gets the outcome on the io thread, with the
  // session that asked when it is still open: replies that say "stored" wait for it. A failure
  // is logged either way.
  using Written = std::function<void(Participant* asker, bool stored)>;
  void Write(Participant* asker, std::function<std::string(Store&)> write, Written done = {});
  // Writes one part of the account (see Store::AccountPart).
  void SaveAccount(Participant* asker, const AccountRecord& account, Store::AccountPart part,
                   Written done = {});
  void SaveGame(Participant* asker, const GameRecord& game, Written done = {});
  void Ignore(Participant& session, std::string_view name, std::string_view why);
  static void Warn(Participant& session, std::string_view text);
  int64_t NowSeconds() const;

  // sign_in_rules.cpp
  void OnAuth(Participant& session, const std::string& args);
  // False, with the pilot told to wait, when the account or the address has signed in too
  // often within the last minute.
  bool SignInsAllowed(Participant& session, const std::string& key, const std::string& id);
  // A credential verified before during this run is taken at once; any other waits its turn
  // for a full check.
  void CheckPassword(Participant& session, cv3::AuthFields fields, std::shared_ptr<void> underWay);
  void TakeOperatorChanges(AccountRecord stored);
  void OnCreate(Participant& session, const std::string& args);
  void OnQuit(Participant& session, const std::string& args);
  void OnDisconnect(Participant& session, const std::string& args);
  void FinishAuth(Participant& session, const std::string& id, const std::string& key,
                  const std::string& hash, bool ok);
  void FinishCreate(Participant& session, const std::string& id, const std::string& email,
                    std::optional<std::string>& hash);
  void RefuseCreate(Participant& session, std::string_view reason);

  // presence_rules.cpp: lists, version, own status.
  void OnUsers(Participant& session, const std::string& args);
  void OnGames(Participant& session, const std::string& args);
  // Whether a list request is answered: not while the same list is still on its way, and no
  // faster than chat. Sets `pending` when it is.
  bool ListAllowed(Participant& session, bool& pending);
  void OnVersion(Participant& session, const std::string& args);
  void OnOnline(Participant& session, const std::string& args);
  void OnAway(Participant& session, const std::string& args);
  void OnInvisible(Participant& session, const std::string& args);
  void OnAdminMode(Participant& session, const std::string& args);

  // chat_rules.cpp
  void OnLobbyMessage(Participant& session, const std::string& args);
  void OnPrivateMessage(Participant& session, const std::string& args);
  bool ChatAllowed(Participant& session);
  // Takes one from the pilot's account's `kind` of bucket and his address's; warns once per run
  // of drops.
  bool FloodAllows(Participant& session, Flood Floods::*kind, std::string_view what,
                   std::string_view warning);
  // Buckets full again are as good as new ones: they go, so the maps stay small.
  void ForgetRestedFloods();

  // profile_rules.cpp
  void OnUserInfo(Participant& session, const std::string& args);
  void OnEditProfile(Participant& session, const std::string& args);
  void OnSaveProfile(Participant& session, const std::string& args);
  void SendProfile(Participant& session, const AccountRecord& account, std::string_view reply);

  // game_rules.cpp
  void OnHostGame(Participant& session, const std::string& args);
  void OnGameInfo(Participant& session, const std::string& args);
  void OnResumeInfo(Participant& session, const std::string& args);
  void OnResumeGame(Participant& session, const std::string& args);
  void OnRemGame(Participant& session, const std::string& args);
  void TakeDownGamesOf(Participant& session);
  void RemoveGamesOwnedBy(const std::string& ownerKey);
  void RemoveGame(const std::string& key);
  bool MayManage(const Participant& session, const Game& game) const;
  // A warning when a field is longer than a pilot may store; empty text otherwise.
  std::string TooLong(const cv3::HostedGame& game) const;

  // admin_rules.cpp
  void OnRemUser(Participant& session, const std::string& args);
  void OnSuspend(Participant& session, const std::string& args);
  void OnUnsuspend(Participant& session, const std::string& args);
  void OnChngPass(Participant& session, const std::string& args);
  AccountRecord* AdminTarget(Participant& session, const std::string& name, bool mayBeSelf);
  // Stores `changed`'s part of the account; once that is committed applies it to the account
  // in memory (`apply`, if it is still there) and tells the administrator `confirmation`.
  // When it fails nothing changes and he is told so.
  void ChangeWhenStored(Participant& session, const AccountRecord& changed, Store::AccountPart part,
                        std::function<void(AccountRecord&)> apply, std::string confirmation);

  asio::io_context& io_;
  Store& store_;
  StoreWorker& worker_;
  HashPool& pool_;
  const Clock& clock_;
  EventLog& log_;
  Metrics& metrics_;
  LobbyOptions options_;
  std::string dummyHash_;

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
  std::unordered_map<std::string, Floods> accountFloods_;  // by name key
  std::unordered_map<std::string, Floods> addressFloods_;  // by address
  unsigned sweeps_ = 0;
  std::chrono::steady_clock::time_point lastRelease_{};
  std::unordered_map<std::string_view, Handler> beforeSignIn_;
  std::unordered_map<std::string_view, Handler> signedIn_;
  std::unordered_set<std::string_view> fansOut_;  // commands under the changes' flood control
};

}  // namespace lobbyd
