// The lobby: every connection, the signed-in pilots as a broadcast set, the accounts and listed
// games (in memory, written through to the Store), and the command handlers. Handlers live in
// lobby_*.cpp by area. io thread only; password work goes to the HashPool.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lobbyd/clock.h"
#include "lobbyd/credential_cache.h"
#include "lobbyd/event_log.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/hash_queue.h"
#include "lobbyd/options.h"
#include "lobbyd/records.h"
#include "lobbyd/session.h"
#include "lobbyd/store.h"
#include "lobbyd/store_worker.h"
#include "lobbyd/throttle.h"
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
  Lobby(asio::io_context& io, Store& store, StoreWorker& worker, HashPool& pool, const Clock& clock,
        EventLog& log, LobbyOptions options, std::string dummyHash);

  // Loads accounts and games. Listed games start down; games that are not long-term are gone,
  // since their hosts are. Empty text on success.
  std::string Load();

  void Accept(asio::ip::tcp::socket socket);
  // Closes every connection without a word: clients notice the close and reconnect by
  // themselves once the server is back.
  void Shutdown();

  void OnLine(Session& session, const cv3::Line& line) override;
  void OnClosed(Session& session) override;

 private:
  struct Game {
    GameRecord record;
    bool up = false;
    uint64_t runner = 0;  // the connection whose sign-off takes it down
  };
  using Handler = void (Lobby::*)(Session&, const std::string&);

  // lobby.cpp: connections, broadcast, sign-in and sign-off.
  bool MayConnect(const std::string& address);
  void SweepEvery(std::chrono::seconds period);
  void Broadcast(std::string_view line, const Session* except = nullptr,
                 Delivery delivery = Delivery::kGathered);
  // Sets a signed-in pilot's presence and his entry in others' pilot lists.
  void SetPresence(Pilot& pilot, Pilot::Presence presence, std::string awayMessage = {});
  // The kept chunk of the pilot list that holds this name key goes; the next list rebuilds it.
  void PilotListChanged(const std::string& key);
  // Accounts came or went: every kept chunk goes.
  void AccountsChanged() { listChunks_.clear(); }
  // Forgets what has served its purpose and gives freed memory back (every 15 s).
  void ForgetIdleState();
  // Gives the memory freed since the last time back to the system (at most every 2 s).
  void ReleaseFreedMemory();
  // Sets how long writes are gathered for the number of connections now open.
  void Regather();
  void SignIn(Session& session, AccountRecord& account);
  void SignOff(Session& session, std::string_view how);
  // Writes on the store's thread. `done` (if any) gets the outcome on the io thread, with the
  // session that asked when it is still open: replies that say "stored" wait for it. A failure
  // is logged either way.
  using Written = std::function<void(Session* asker, bool stored)>;
  void Write(Session* asker, std::function<std::string(Store&)> write, Written done = {});
  // Writes one part of the account (see Store::AccountPart).
  void SaveAccount(Session* asker, const AccountRecord& account, Store::AccountPart part,
                   Written done = {});
  void SaveGame(Session* asker, const GameRecord& game, Written done = {});
  void Ignore(Session& session, std::string_view name, std::string_view why);
  static void Warn(Session& session, std::string_view text);
  AccountRecord* FindAccount(std::string_view name);
  Session* FindPilot(std::string_view name);
  Game* FindGame(std::string_view name);
  int64_t NowSeconds() const;

  // lobby_auth.cpp
  void OnAuth(Session& session, const std::string& args);
  // False, with the pilot told to wait, when the account or the address has signed in too
  // often within the last minute.
  bool SignInsAllowed(Session& session, const std::string& key, const std::string& id);
  // Sign-ins from an address between AUTH and their outcome; CountSignIn counts one until the
  // token's last copy is gone.
  size_t SignInsUnderWay(const std::string& address) const;
  std::shared_ptr<void> CountSignIn(const std::string& address);
  // A credential verified before during this run is taken at once; any other waits its turn
  // for a full check.
  void CheckPassword(Session& session, cv3::AuthFields fields, std::shared_ptr<void> underWay);
  void TakeOperatorChanges(AccountRecord stored);
  void OnCreate(Session& session, const std::string& args);
  void OnQuit(Session& session, const std::string& args);
  void OnDisconnect(Session& session, const std::string& args);
  void FinishAuth(Session& session, const std::string& id, const std::string& key,
                  const std::string& hash, bool ok);
  void FinishCreate(Session& session, const std::string& id, const std::string& email,
                    std::optional<std::string>& hash);
  void RefuseCreate(Session& session, std::string_view reason);

  // lobby_presence.cpp: lists, version, own status.
  void OnUsers(Session& session, const std::string& args);
  // Appends the pilot list's next chunk after the key `after` (from the start unless
  // `started`), leaving out `own`, and moves `after` on; false once it appended the closing
  // reply.
  bool NextListChunk(const std::string& own, std::string& after, bool started, std::string& wire);
  void OnGames(Session& session, const std::string& args);
  // Whether a list request is answered: not while the same list is still on its way, and no
  // faster than chat. Sets `pending` when it is.
  bool ListAllowed(Session& session, bool& pending);
  void OnVersion(Session& session, const std::string& args);
  void OnOnline(Session& session, const std::string& args);
  void OnAway(Session& session, const std::string& args);
  void OnInvisible(Session& session, const std::string& args);
  void OnAdminMode(Session& session, const std::string& args);

  // lobby_chat.cpp
  void OnLobbyMessage(Session& session, const std::string& args);
  void OnPrivateMessage(Session& session, const std::string& args);
  bool ChatAllowed(Session& session);
  // Takes one from the pilot's account's `kind` of bucket and his address's; warns once per run
  // of drops.
  bool FloodAllows(Session& session, Flood Floods::*kind, std::string_view what,
                   std::string_view warning);
  // Buckets full again are as good as new ones: they go, so the maps stay small.
  void ForgetRestedFloods();

  // lobby_profiles.cpp
  void OnUserInfo(Session& session, const std::string& args);
  void OnEditProfile(Session& session, const std::string& args);
  void OnSaveProfile(Session& session, const std::string& args);
  void SendProfile(Session& session, const AccountRecord& account, std::string_view reply);

  // lobby_games.cpp
  void OnHostGame(Session& session, const std::string& args);
  void OnGameInfo(Session& session, const std::string& args);
  void OnResumeInfo(Session& session, const std::string& args);
  void OnResumeGame(Session& session, const std::string& args);
  void OnRemGame(Session& session, const std::string& args);
  void TakeDownGamesOf(Session& session);
  void RemoveGamesOwnedBy(const std::string& ownerKey);
  void RemoveGame(const std::string& key);
  bool MayManage(const Session& session, const Game& game) const;
  // A warning when a field is longer than a pilot may store; empty text otherwise.
  std::string TooLong(const cv3::HostedGame& game) const;
  Game* RunningGameAt(std::string_view address, const Game* except);

  // lobby_admin.cpp
  void OnRemUser(Session& session, const std::string& args);
  void OnSuspend(Session& session, const std::string& args);
  void OnUnsuspend(Session& session, const std::string& args);
  void OnChngPass(Session& session, const std::string& args);
  AccountRecord* AdminTarget(Session& session, const std::string& name, bool mayBeSelf);
  // Stores `changed`'s part of the account; once that is committed applies it to the account
  // in memory (`apply`, if it is still there) and tells the administrator `confirmation`.
  // When it fails nothing changes and he is told so.
  void ChangeWhenStored(Session& session, const AccountRecord& changed, Store::AccountPart part,
                        std::function<void(AccountRecord&)> apply, std::string confirmation);

  asio::io_context& io_;
  Store& store_;
  StoreWorker& worker_;
  HashPool& pool_;
  const Clock& clock_;
  EventLog& log_;
  LobbyOptions options_;
  std::string dummyHash_;

  std::vector<char> scratch_ = std::vector<char>(64 * 1024);
  OutputBudget output_;
  std::unordered_map<std::string, size_t> connectionsFrom_;  // by address
  uint64_t refusedConnections_ = 0;
  asio::steady_timer sweep_;
  uint64_t nextId_ = 1;
  bool shuttingDown_ = false;
  std::unordered_map<uint64_t, std::shared_ptr<Session>> sessions_;
  // Signed in, by name key; sorted like accounts_, so the pilot list walks both in step.
  std::map<std::string, Session*> pilots_;
  // The same pilots in no order, for broadcasts: a vector walks far faster than a map.
  std::vector<Session*> audience_;
  std::map<std::string, AccountRecord> accounts_;  // by name key, sorted for the lists
  // The pilot list in wire form as every requester gets it, in chunks by the name key of each
  // chunk's first account. Requesters step through the accounts alike, so after a restart
  // thousands share each chunk instead of building it.
  struct ListChunk {
    std::string last;  // the name key of its last account
    std::string wire;
  };
  std::map<std::string, ListChunk> listChunks_;
  std::map<std::string, Game> games_;  // by game key
  // Sign-ins under way by address. Shared with their tokens, which may outlive the lobby in
  // work the pool or the io_context drops at a stop; declared before the queue that holds some.
  using SignInCounts = std::unordered_map<std::string, size_t>;
  std::shared_ptr<SignInCounts> signInsUnderWay_ = std::make_shared<SignInCounts>();
  HashQueue hashQueue_;
  CredentialCache verified_;
  std::unordered_map<std::string, Floods> accountFloods_;  // by name key
  std::unordered_map<std::string, Floods> addressFloods_;  // by address
  unsigned sweeps_ = 0;
  std::chrono::steady_clock::time_point lastRelease_{};
  // Successful sign-ins within a minute, by name key and by address: each announces the pilot
  // to everyone twice (on and off).
  AddressThrottle accountSignIns_;
  AddressThrottle addressSignIns_;
  AddressThrottle signInFailures_;
  AddressThrottle accountsCreated_;
  std::unordered_map<std::string_view, Handler> beforeSignIn_;
  std::unordered_map<std::string_view, Handler> signedIn_;
  std::unordered_set<std::string_view> fansOut_;  // commands under the changes' flood control
};

}  // namespace lobbyd
