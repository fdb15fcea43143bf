// The store in a SQLite file (WAL mode), beside the server.
#include <sqlite3.h>

#include "lobbyd/store.h"
#include "lobbyd/text.h"

namespace lobbyd {
namespace {

// How long a change waits while another process (an operator's command) writes.
constexpr int kBusyTimeoutMs = 2000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  key TEXT PRIMARY KEY, name TEXT NOT NULL, password_hash TEXT NOT NULL,
  admin INTEGER NOT NULL DEFAULT 0, suspended INTEGER NOT NULL DEFAULT 0,
  banned INTEGER NOT NULL DEFAULT 0, created_at INTEGER NOT NULL, last_on INTEGER NOT NULL,
  location TEXT NOT NULL, age TEXT NOT NULL, email TEXT NOT NULL, web TEXT NOT NULL,
  bio TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS games (
  key TEXT PRIMARY KEY, name TEXT NOT NULL, owner TEXT NOT NULL, address TEXT NOT NULL,
  version TEXT NOT NULL, announce TEXT NOT NULL, settings TEXT NOT NULL,
  description TEXT NOT NULL);
PRAGMA user_version = 1;
)sql";

// Keeps a statement reusable whatever path the caller leaves by.
struct Reset {
  sqlite3_stmt* statement;
  ~Reset() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }
};

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* statement, int index) {
  const unsigned char* text = sqlite3_column_text(statement, index);
  int size = sqlite3_column_bytes(statement, index);
  return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

class SqliteStore final : public Store {
 public:
  explicit SqliteStore(sqlite3* db) : db_(db) {}
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  std::string LoadAccounts(std::vector<AccountRecord>& out) override;
  std::string LoadGames(std::vector<GameRecord>& out) override;
  std::string LoadAccount(const std::string& name, std::optional<AccountRecord>& out) override;
  std::string CreateAccount(const AccountRecord& account) override;
  std::string UpdateAccount(const AccountRecord& account, AccountPart part) override;
  std::string SetAdmin(const std::string& name, bool admin) override;
  std::string SetBanned(const std::string& name, bool banned) override;
  std::string DeleteAccount(const std::string& name) override;
  std::string PutGame(const GameRecord& game) override;
  std::string DeleteGame(const std::string& name) override;
  std::string Probe() override;
  std::string Begin() override;
  std::string Commit() override;
  bool InTransaction() const override;

  std::string Prepare();
  std::string Error(const char* what) const;

 private:
  // Accounts of a SELECT with this WHERE/ORDER BY tail; `key` binds ?1 when given.
  std::string ReadAccounts(const char* where, const std::string* key,
                           std::vector<AccountRecord>& out);
  std::string SetFlag(const char* column, const std::string& name, bool value);
  std::string Step(sqlite3_stmt* statement, const char* what);

  sqlite3* db_;
  sqlite3_stmt* createAccount_ = nullptr;
  sqlite3_stmt* updateAccount_[5] = {};  // by AccountPart
  sqlite3_stmt* deleteAccount_ = nullptr;
  sqlite3_stmt* putGame_ = nullptr;
  sqlite3_stmt* deleteGame_ = nullptr;
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path, std::string& error) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    error = "cannot open database " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    return nullptr;
  }
  auto store = std::make_unique<SqliteStore>(db);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // WAL with NORMAL sync: a committed change survives a killed process.
  const char* setup = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";
  if (sqlite3_exec(db, setup, nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = store->Error(("cannot prepare database " + path).c_str());
    return nullptr;
  }
  error = store->Prepare();
  if (!error.empty()) return nullptr;
  return store;
}

SqliteStore::~SqliteStore() {
  for (sqlite3_stmt* statement : {createAccount_, deleteAccount_, putGame_, deleteGame_}) {
    sqlite3_finalize(statement);
  }
  for (sqlite3_stmt* statement : updateAccount_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

std::string SqliteStore::Error(const char* what) const {
  return std::string(what) + ": " + sqlite3_errmsg(db_);
}

std::string SqliteStore::Prepare() {
  struct {
    sqlite3_stmt** statement;
    const char* sql;
  } statements[] = {
      {&createAccount_,
       "INSERT INTO accounts (key, name, password_hash, admin, suspended, banned, "
       "created_at, last_on, location, age, email, web, bio) "
       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"},
      {&updateAccount_[0],
       "UPDATE accounts SET password_hash = ?3, suspended = ?5, last_on = ?8, location = ?9, "
       "age = ?10, email = ?11, web = ?12, bio = ?13 WHERE key = ?1"},
      {&updateAccount_[1], "UPDATE accounts SET password_hash = ?3 WHERE key = ?1"},
      {&updateAccount_[2], "UPDATE accounts SET suspended = ?5 WHERE key = ?1"},
      {&updateAccount_[3], "UPDATE accounts SET last_on = ?8 WHERE key = ?1"},
      {&updateAccount_[4],
       "UPDATE accounts SET location = ?9, age = ?10, email = ?11, web = ?12, bio = ?13 "
       "WHERE key = ?1"},
      {&deleteAccount_, "DELETE FROM accounts WHERE key = ?1"},
      {&putGame_,
       "INSERT OR REPLACE INTO games (key, name, owner, address, version, announce, settings, "
       "description) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"},
      {&deleteGame_, "DELETE FROM games WHERE key = ?1"},
  };
  for (auto& entry : statements) {
    if (sqlite3_prepare_v2(db_, entry.sql, -1, entry.statement, nullptr) != SQLITE_OK) {
      return Error("cannot prepare statement");
    }
  }
  return {};
}

std::string SqliteStore::ReadAccounts(const char* where, const std::string* key,
                                      std::vector<AccountRecord>& out) {
  sqlite3_stmt* statement = nullptr;
  std::string sql =
      std::string(
          "SELECT name, password_hash, admin, suspended, banned, created_at, last_on, "
          "location, age, email, web, bio FROM accounts ") +
      where;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    return Error("cannot read accounts");
  }
  if (key) BindText(statement, 1, *key);
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    AccountRecord account;
    account.name = ColumnText(statement, 0);
    account.passwordHash = ColumnText(statement, 1);
    account.admin = sqlite3_column_int(statement, 2) != 0;
    account.suspended = sqlite3_column_int(statement, 3) != 0;
    account.banned = sqlite3_column_int(statement, 4) != 0;
    account.createdAt = sqlite3_column_int64(statement, 5);
    account.lastOn = sqlite3_column_int64(statement, 6);
    account.profile.location = ColumnText(statement, 7);
    account.profile.age = ColumnText(statement, 8);
    account.profile.email = ColumnText(statement, 9);
    account.profile.web = ColumnText(statement, 10);
    account.profile.bio = ColumnText(statement, 11);
    out.push_back(std::move(account));
  }
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE ? std::string() : Error("cannot read accounts");
}

std::string SqliteStore::LoadAccounts(std::vector<AccountRecord>& out) {
  return ReadAccounts("ORDER BY key", nullptr, out);
}

std::string SqliteStore::LoadAccount(const std::string& name, std::optional<AccountRecord>& out) {
  std::vector<AccountRecord> found;
  std::string key = NameKey(name);
  std::string error = ReadAccounts("WHERE key = ?1", &key, found);
  out.reset();
  if (!found.empty()) out = std::move(found.front());
  return error;
}

std::string SqliteStore::LoadGames(std::vector<GameRecord>& out) {
  sqlite3_stmt* statement = nullptr;
  const char* sql =
      "SELECT name, owner, address, version, announce, settings, description FROM games "
      "ORDER BY key";
  if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
    return Error("cannot read games");
  }
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    GameRecord game;
    game.name = ColumnText(statement, 0);
    game.owner = ColumnText(statement, 1);
    game.address = ColumnText(statement, 2);
    game.version = ColumnText(statement, 3);
    game.announcement = ColumnText(statement, 4);
    SetGameSettings(game, ColumnText(statement, 5));
    game.description = ColumnText(statement, 6);
    out.push_back(std::move(game));
  }
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE ? std::string() : Error("cannot read games");
}

namespace {

// The columns of an account as the create and update statements number them.
void BindAccount(sqlite3_stmt* statement, const AccountRecord& account) {
  BindText(statement, 1, NameKey(account.name));
  BindText(statement, 2, account.name);
  BindText(statement, 3, account.passwordHash);
  sqlite3_bind_int(statement, 4, account.admin);
  sqlite3_bind_int(statement, 5, account.suspended);
  sqlite3_bind_int(statement, 6, account.banned);
  sqlite3_bind_int64(statement, 7, account.createdAt);
  sqlite3_bind_int64(statement, 8, account.lastOn);
  BindText(statement, 9, account.profile.location);
  BindText(statement, 10, account.profile.age);
  BindText(statement, 11, account.profile.email);
  BindText(statement, 12, account.profile.web);
  BindText(statement, 13, account.profile.bio);
}

}  // namespace

std::string SqliteStore::Step(sqlite3_stmt* statement, const char* what) {
  Reset reset{statement};
  return sqlite3_step(statement) == SQLITE_DONE ? std::string() : Error(what);
}

std::string SqliteStore::Probe() {
  int rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? std::string() : Error("cannot read");
}

std::string SqliteStore::Begin() {
  // The write lock at once: a transaction that read first could not write after another
  // process (the operator's command) committed. Without waiting: when another process holds
  // the lock, the caller goes on without a transaction, each change waiting on its own.
  sqlite3_busy_timeout(db_, 0);
  int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  return rc == SQLITE_OK ? std::string() : Error("cannot begin a transaction");
}

std::string SqliteStore::Commit() {
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return {};
  std::string error = Error("cannot commit");
  if (InTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return error;
}

bool SqliteStore::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

std::string SqliteStore::CreateAccount(const AccountRecord& account) {
  BindAccount(createAccount_, account);
  return Step(createAccount_, "cannot store account");
}

std::string SqliteStore::UpdateAccount(const AccountRecord& account, AccountPart part) {
  // Every value is bound; a statement takes the ones its part names.
  sqlite3_stmt* statement = updateAccount_[static_cast<size_t>(part)];
  sqlite3_clear_bindings(statement);
  BindAccount(statement, account);
  return Step(statement, "cannot store account");
}

std::string SqliteStore::SetFlag(const char* column, const std::string& name, bool value) {
  sqlite3_stmt* statement = nullptr;
  std::string sql = std::string("UPDATE accounts SET ") + column + " = ?2 WHERE key = ?1";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    return Error("cannot store account");
  }
  BindText(statement, 1, NameKey(name));
  sqlite3_bind_int(statement, 2, value);
  std::string error = Step(statement, "cannot store account");
  sqlite3_finalize(statement);
  return error;
}

std::string SqliteStore::SetAdmin(const std::string& name, bool admin) {
  return SetFlag("admin", name, admin);
}

std::string SqliteStore::SetBanned(const std::string& name, bool banned) {
  return SetFlag("banned", name, banned);
}

std::string SqliteStore::DeleteAccount(const std::string& name) {
  BindText(deleteAccount_, 1, NameKey(name));
  return Step(deleteAccount_, "cannot delete account");
}

std::string SqliteStore::PutGame(const GameRecord& game) {
  BindText(putGame_, 1, GameKey(game.name));
  BindText(putGame_, 2, game.name);
  BindText(putGame_, 3, game.owner);
  BindText(putGame_, 4, game.address);
  BindText(putGame_, 5, game.version);
  BindText(putGame_, 6, game.announcement);
  BindText(putGame_, 7, GameSettingsText(game));
  BindText(putGame_, 8, game.description);
  return Step(putGame_, "cannot store game");
}

std::string SqliteStore::DeleteGame(const std::string& name) {
  BindText(deleteGame_, 1, GameKey(name));
  return Step(deleteGame_, "cannot delete game");
}

}  // namespace lobbyd
