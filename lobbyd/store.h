// The database of accounts and listed games, behind one interface with two engines: SQLite in a
// file beside the server (the default) and PostgreSQL, which several servers can share. Every
// change is its own transaction unless put between Begin and Commit, so a killed server loses at
// most the changes not yet committed, none of which anyone was told were stored. The server and
// the operator's commands may have it open at once: each writes only the columns it owns (the
// server never writes administrator rights or bans; the operator's commands write nothing else of
// an existing account). Single-threaded: one thread uses one Store. Failures are returned as
// texts, never thrown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lobbyd/records.h"

namespace lobbyd {

class Store {
 public:
  virtual ~Store() = default;

  // Each returns an empty text on success, else what went wrong.
  virtual std::string LoadAccounts(std::vector<AccountRecord>& out) = 0;
  virtual std::string LoadGames(std::vector<GameRecord>& out) = 0;
  // One account, by name (any letter case); nothing when there is none.
  virtual std::string LoadAccount(const std::string& name, std::optional<AccountRecord>& out) = 0;
  // A new account; fails when the name is taken.
  virtual std::string CreateAccount(const AccountRecord& account) = 0;
  // What the server changes of an existing account: password, suspension, last sign-in and
  // profile; all of them, or one part alone. The server writes one part at a time, so a write
  // queued behind an administrator's change never stores a copy made before it.
  enum class AccountPart { kAll, kPassword, kSuspension, kLastOn, kProfile };
  virtual std::string UpdateAccount(const AccountRecord& account,
                                    AccountPart part = AccountPart::kAll) = 0;
  // The operator's rights and bans.
  virtual std::string SetAdmin(const std::string& name, bool admin) = 0;
  virtual std::string SetBanned(const std::string& name, bool banned) = 0;
  virtual std::string DeleteAccount(const std::string& name) = 0;
  virtual std::string PutGame(const GameRecord& game) = 0;
  virtual std::string DeleteGame(const std::string& name) = 0;
  // A read of the schema: whether the database answers at all (the web side's health check).
  virtual std::string Probe() = 0;

  // Changes between Begin and Commit are one transaction. A failing change other than a taken
  // name can end it early (a full disk, a lost server): InTransaction is then false, and the
  // changes before it are not stored. A failed Commit stores none of them.
  virtual std::string Begin() = 0;
  virtual std::string Commit() = 0;
  virtual bool InTransaction() const = 0;

  // What the log should hear about the database since the last call (a server lost, or back);
  // nothing when nothing changed.
  virtual std::vector<std::string> TakeNotices() { return {}; }
};

// Where the accounts live: a SQLite file, or a PostgreSQL database named by a libpq connection
// string (a URI or key=value pairs) that carries no password.
struct StoreLocation {
  enum class Engine { kSqlite, kPostgres };
  Engine engine = Engine::kSqlite;
  std::string where = "lobbyd.db";
};

// Opens the store, making or upgrading its schema. Null with `error` set on failure.
std::unique_ptr<Store> OpenStore(const StoreLocation& location, std::string& error);
// The same for a SQLite file.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path, std::string& error);

// The game's check boxes as they are stored: one digit each, in the order they travel.
std::string GameSettingsText(const GameRecord& game);
void SetGameSettings(GameRecord& game, const std::string& text);

}  // namespace lobbyd
