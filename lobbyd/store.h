// The database of accounts and listed games (SQLite, WAL mode). Every change is its own
// transaction unless put between Begin and Commit, so a killed server loses at most the
// changes not yet committed, none of which anyone was told were stored. The server and the
// operator's commands may have it open at once: each writes only the columns it owns (the
// server never writes administrator rights or bans; the operator's commands write nothing
// else of an existing account). Single-threaded: one thread uses one Store. Failures are
// returned as texts, never thrown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lobbyd/records.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lobbyd {

class Store {
 public:
  // Opens or creates the database at `path` with its schema. Null with `error` set on failure.
  static std::unique_ptr<Store> Open(const std::string& path, std::string& error);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Each returns an empty text on success, else what went wrong.
  std::string LoadAccounts(std::vector<AccountRecord>& out);
  std::string LoadGames(std::vector<GameRecord>& out);
  // One account, by name (any letter case); nothing when there is none.
  std::string LoadAccount(const std::string& name, std::optional<AccountRecord>& out);
  // A new account; fails when the name is taken.
  std::string CreateAccount(const AccountRecord& account);
  // What the server changes of an existing account: password, suspension, last sign-in and
  // profile; all of them, or one part alone. The server writes one part at a time, so a write
  // queued behind an administrator's change never stores a copy made before it.
  enum class AccountPart { kAll, kPassword, kSuspension, kLastOn, kProfile };
  std::string UpdateAccount(const AccountRecord& account, AccountPart part = AccountPart::kAll);
  // The operator's rights and bans.
  std::string SetAdmin(const std::string& name, bool admin);
  std::string SetBanned(const std::string& name, bool banned);
  std::string DeleteAccount(const std::string& name);
  std::string PutGame(const GameRecord& game);
  std::string DeleteGame(const std::string& name);
  // A read of the schema: whether the database answers at all (the web side's health check).
  std::string Probe();

  // Changes between Begin and Commit are one transaction. A failing change can end it early (a
  // full disk, say): InTransaction is then false, and the changes before it are not stored.
  // A failed Commit stores none of them.
  std::string Begin();
  std::string Commit();
  bool InTransaction() const;

 private:
  explicit Store(sqlite3* db) : db_(db) {}
  std::string Prepare();
  std::string Error(const char* what) const;
  // Accounts of a SELECT with this WHERE/ORDER BY tail; `key` binds ?1 when given.
  std::string ReadAccounts(const char* where, const std::string* key,
                           std::vector<AccountRecord>& out);

  sqlite3* db_;
  std::string SetFlag(const char* column, const std::string& name, bool value);
  std::string Step(sqlite3_stmt* statement, const char* what);

  sqlite3_stmt* createAccount_ = nullptr;
  sqlite3_stmt* updateAccount_[5] = {};  // by AccountPart
  sqlite3_stmt* deleteAccount_ = nullptr;
  sqlite3_stmt* putGame_ = nullptr;
  sqlite3_stmt* deleteGame_ = nullptr;
};

}  // namespace lobbyd
