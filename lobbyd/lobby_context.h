// What the lobby's areas of rules share (sign_in_rules.h, presence_rules.h, chat_rules.h,
// profile_rules.h, game_rules.h, admin_rules.h): the state classes (Roster, Games, Accounts),
// the clock, log, options, metrics and password pool, and the helpers more than one area, or
// the lobby itself, uses: store writes answered once committed, warnings, ignored lines, flood
// control and taking games down. The lobby owns it and hands it to each area, so no area knows
// the lobby or another area; what only the lobby does (signing in and off, which touch the
// connections, the store's writes, giving memory back) it does through Owner. io thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lobbyd/accounts.h"
#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/flood.h"
#include "lobbyd/games.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/metrics.h"
#include "lobbyd/options.h"
#include "lobbyd/participant.h"
#include "lobbyd/records.h"
#include "lobbyd/roster.h"
#include "lobbyd/store.h"
#include "protocol/catalogue.h"

namespace lobbyd {

// The protocol's names and words, as the handlers write them.
namespace msg = cv3::msg;

class NodeMirror;

class LobbyContext {
 public:
  // Gets a write's outcome on the io thread, with the session that asked when it is still open:
  // replies that say "stored" wait for it. A failure is logged either way.
  using Written = std::function<void(Participant* asker, bool stored)>;

  // What the lobby does itself.
  class Owner {
   public:
    // Writes on the store's thread; `done` (if any) gets the outcome.
    virtual void Write(Participant* asker, std::function<std::string(Store&)> write,
                       Written done) = 0;
    virtual void SignIn(Participant& session, AccountRecord& account) = 0;
    virtual void SignOff(Participant& session, std::string_view how) = 0;
    // Gives the memory freed since the last time back to the system (at most every 2 s).
    virtual void ReleaseFreedMemory() = 0;

   protected:
    ~Owner() = default;
  };

  LobbyContext(Owner& owner, HashPool& pool, const Clock& clock, EventLog& log, Metrics& metrics,
               const LobbyOptions& options, Roster& roster, Games& games, Accounts& accounts)
      : pool(pool),
        clock(clock),
        log(log),
        metrics(metrics),
        options(options),
        roster(roster),
        games(games),
        accounts(accounts),
        owner_(owner) {}
  LobbyContext(const LobbyContext&) = delete;
  LobbyContext& operator=(const LobbyContext&) = delete;

  HashPool& pool;
  const Clock& clock;
  EventLog& log;
  Metrics& metrics;
  const LobbyOptions& options;
  Roster& roster;
  Games& games;
  Accounts& accounts;
  // The other nodes of the cluster as this one sees them; null for a lobby on its own.
  NodeMirror* cluster = nullptr;

  void Write(Participant* asker, std::function<std::string(Store&)> write, Written done = {}) {
    owner_.Write(asker, std::move(write), std::move(done));
  }
  // Writes one part of the account (see Store::AccountPart).
  void SaveAccount(Participant* asker, const AccountRecord& account, Store::AccountPart part,
                   Written done = {});
  void SaveGame(Participant* asker, const GameRecord& game, Written done = {});
  // An account was made, changed (but for its last time on) or removed here, and stored: the
  // other nodes read it again, or forget it.
  void AccountStored(const std::string& name, bool removed = false);
  void SignIn(Participant& session, AccountRecord& account) { owner_.SignIn(session, account); }
  void SignOff(Participant& session, std::string_view how) { owner_.SignOff(session, how); }
  void ReleaseFreedMemory() { owner_.ReleaseFreedMemory(); }

  // Tells every pilot, here and on the other nodes, of a local pilot's presence as just set
  // (an invisible pilot's own connection is not told he is off).
  void TellPresence(Participant& session);
  // A notice for every pilot of the lobby, on every node.
  void BroadcastEverywhere(std::string_view line, Delivery delivery = Delivery::kGathered);
  // A local session whose account has signed in again elsewhere: told, signed off and closed.
  void ThrowOff(Participant& older);

  void Ignore(Participant& session, std::string_view name, std::string_view why);
  static void Warn(Participant& session, std::string_view text);
  // The line Warn sends.
  static std::string WarningLine(std::string_view text);
  int64_t NowSeconds() const;

  // Takes one from the pilot's account's `kind` of bucket and his address's. A line dropped is
  // answered with `refusal` (unless empty) and, once per run of drops on this connection, with
  // the kind's warning.
  bool FloodAllows(Participant& session, FloodKind kind, std::string_view refusal);
  // Buckets full again are as good as new ones: they go, so the maps stay small.
  void ForgetRestedFloods();

  // A game is up, run by `runner`: everyone, here and on the other nodes, is told.
  void GameUp(Participant& runner, const Game& game);
  // Games go when their host signs off (long-term ones only go down) and when their owner's
  // account is removed. Every node takes down the games of a host who signs off on its own;
  // a game removed for any other reason is removed everywhere (unless `tell` is false: the
  // other node that removed it told).
  void TakeDownGamesOf(Participant& session);
  void TakeDownGames(const std::vector<std::string>& keys);
  void RemoveGamesOwnedBy(const std::string& ownerKey);
  void RemoveGame(const std::string& key, bool tell = true);

 private:
  Owner& owner_;
  std::unordered_map<std::string, Floods> accountFloods_;  // by name key
  std::unordered_map<std::string, Floods> addressFloods_;  // by address
};

}  // namespace lobbyd
