#include "lobbyd/pg_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "lobbyd/text.h"

namespace lobbyd {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Between two attempts to reach a lost server: doubling from the first to the longest.
constexpr std::chrono::milliseconds kFirstRetry{250};
constexpr std::chrono::milliseconds kLongestRetry{4000};

// The schema, one step per version: step i brings version i to i + 1. Never change a step once
// released; add one.
constexpr const char* kSchemaSteps[] = {
    R"sql(
CREATE TABLE accounts (
  key text PRIMARY KEY, name text NOT NULL, password_hash text NOT NULL,
  admin boolean NOT NULL DEFAULT false, suspended boolean NOT NULL DEFAULT false,
  banned boolean NOT NULL DEFAULT false, created_at bigint NOT NULL, last_on bigint NOT NULL,
  location text NOT NULL, age text NOT NULL, email text NOT NULL, web text NOT NULL,
  bio text NOT NULL);
CREATE TABLE games (
  key text PRIMARY KEY, name text NOT NULL, owner text NOT NULL, address text NOT NULL,
  version text NOT NULL, announce text NOT NULL, settings text NOT NULL,
  description text NOT NULL);
)sql",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kSchemaSteps));
// Servers starting side by side make the schema one after the other.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7406514)";

// libpq's messages end in a newline and may run over several lines.
std::string OneLine(const char* message) {
  std::string text = message ? message : "";
  std::string line;
  for (char c : text) {
    if (c == '\n' || c == '\t') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line.empty() ? "no reason given" : line;
}

std::string Flag(bool value) { return value ? "t" : "f"; }

// The account columns as the statements name them, each with its value in a record.
struct Column {
  const char* name;
  std::string (*value)(const AccountRecord&);
};
const Column kAccountColumns[] = {
    {"name", [](const AccountRecord& a) { return a.name; }},
    {"password_hash", [](const AccountRecord& a) { return a.passwordHash; }},
    {"admin", [](const AccountRecord& a) { return Flag(a.admin); }},
    {"suspended", [](const AccountRecord& a) { return Flag(a.suspended); }},
    {"banned", [](const AccountRecord& a) { return Flag(a.banned); }},
    {"created_at", [](const AccountRecord& a) { return std::to_string(a.createdAt); }},
    {"last_on", [](const AccountRecord& a) { return std::to_string(a.lastOn); }},
    {"location", [](const AccountRecord& a) { return a.profile.location; }},
    {"age", [](const AccountRecord& a) { return a.profile.age; }},
    {"email", [](const AccountRecord& a) { return a.profile.email; }},
    {"web", [](const AccountRecord& a) { return a.profile.web; }},
    {"bio", [](const AccountRecord& a) { return a.profile.bio; }},
};

// The columns each part of an account names, by Store::AccountPart (indexes of kAccountColumns).
std::vector<size_t> PartColumns(Store::AccountPart part) {
  switch (part) {
    case Store::AccountPart::kAll:
      return {1, 3, 6, 7, 8, 9, 10, 11};
    case Store::AccountPart::kPassword:
      return {1};
    case Store::AccountPart::kSuspension:
      return {3};
    case Store::AccountPart::kLastOn:
      return {6};
    case Store::AccountPart::kProfile:
      return {7, 8, 9, 10, 11};
  }
  return {};
}

struct Result {
  PGresult* result = nullptr;
  Result() = default;
  explicit Result(PGresult* r) : result(r) {}
  Result(Result&& other) noexcept : result(std::exchange(other.result, nullptr)) {}
  Result& operator=(Result&& other) noexcept {
    std::swap(result, other.result);
    return *this;
  }
  ~Result() { PQclear(result); }
  int Rows() const { return PQntuples(result); }
  std::string Text(int row, int column) const {
    return std::string(PQgetvalue(result, row, column), PQgetlength(result, row, column));
  }
  bool Flag(int row, int column) const { return PQgetvalue(result, row, column)[0] == 't'; }
  int64_t Number(int row, int column) const {
    return std::strtoll(PQgetvalue(result, row, column), nullptr, 10);
  }
};

// "the PostgreSQL server at HOST port PORT, database DB", from what the connection was given.
std::string ServerName(PGconn* connection) {
  auto text = [](const char* value) { return std::string(value ? value : ""); };
  std::string name = "the PostgreSQL server at " + text(PQhost(connection));
  if (std::string port = text(PQport(connection)); !port.empty()) name += " port " + port;
  if (std::string db = text(PQdb(connection)); !db.empty()) name += ", database " + db;
  return name;
}

class PgStore final : public Store {
 public:
  explicit PgStore(PGconn* connection) : connection_(connection), server_(ServerName(connection)) {}
  ~PgStore() override { PQfinish(connection_); }
  PgStore(const PgStore&) = delete;
  PgStore& operator=(const PgStore&) = delete;

  std::string LoadAccounts(std::vector<AccountRecord>& out) override {
    return ReadAccounts("ORDER BY key COLLATE \"C\"", {}, out);
  }
  std::string LoadAccount(const std::string& name, std::optional<AccountRecord>& out) override {
    std::vector<AccountRecord> found;
    std::string error = ReadAccounts("WHERE key = $1", {NameKey(name)}, found);
    out.reset();
    if (!found.empty()) out = std::move(found.front());
    return error;
  }
  std::string LoadGames(std::vector<GameRecord>& out) override;
  std::string CreateAccount(const AccountRecord& account) override;
  std::string UpdateAccount(const AccountRecord& account, AccountPart part) override;
  std::string SetAdmin(const std::string& name, bool admin) override {
    return SetFlag("admin", name, admin);
  }
  std::string SetBanned(const std::string& name, bool banned) override {
    return SetFlag("banned", name, banned);
  }
  std::string DeleteAccount(const std::string& name) override {
    return Run("cannot delete account", "DELETE FROM accounts WHERE key = $1", {NameKey(name)});
  }
  std::string PutGame(const GameRecord& game) override;
  std::string DeleteGame(const std::string& name) override {
    return Run("cannot delete game", "DELETE FROM games WHERE key = $1", {GameKey(name)});
  }
  std::string Probe() override {
    return Run("cannot read", "SELECT version FROM schema_version", {});
  }
  std::string Begin() override { return Run("cannot begin a transaction", "BEGIN", {}); }
  std::string Commit() override;
  bool InTransaction() const override {
    return PQtransactionStatus(connection_) == PQTRANS_INTRANS;
  }
  std::vector<std::string> TakeNotices() override { return std::exchange(notices_, {}); }

  // Brings the schema to this version; empty text on success.
  std::string Upgrade();
  const std::string& Server() const { return server_; }

 private:
  // Runs one statement with text parameters; `out` gets its rows. On failure, a transaction
  // that the failure spoilt is ended, and a lost server is noted.
  std::string Run(const char* what, const std::string& sql, const std::vector<std::string>& params,
                  Result* out = nullptr);
  // Whether the connection stands, making it again when a lost server may be back.
  bool Connected();
  void NoteFailure();
  std::string ReadAccounts(const std::string& tail, const std::vector<std::string>& params,
                           std::vector<AccountRecord>& out);
  std::string SetFlag(const char* column, const std::string& name, bool value) {
    return Run("cannot store account",
               std::string("UPDATE accounts SET ") + column + " = $2 WHERE key = $1",
               {NameKey(name), Flag(value)});
  }

  PGconn* connection_;
  std::string server_;
  bool lost_ = false;
  std::chrono::milliseconds retry_ = kFirstRetry;
  SteadyClock::time_point nextTry_;
  std::vector<std::string> notices_;
};

bool PgStore::Connected() {
  if (PQstatus(connection_) == CONNECTION_OK) return true;
  auto now = SteadyClock::now();
  if (now < nextTry_) return false;
  PQreset(connection_);
  if (PQstatus(connection_) == CONNECTION_OK) {
    lost_ = false;
    retry_ = kFirstRetry;
    notices_.push_back(server_ + " is back; changes are stored again");
    return true;
  }
  retry_ = std::min(retry_ * 2, kLongestRetry);
  nextTry_ = now + retry_;
  return false;
}

void PgStore::NoteFailure() {
  if (PQstatus(connection_) != CONNECTION_OK) {
    if (lost_) return;
    lost_ = true;
    retry_ = kFirstRetry;
    nextTry_ = SteadyClock::now() + retry_;
    notices_.push_back("lost " + server_ + " (" + OneLine(PQerrorMessage(connection_)) +
                       "); changes are refused until it is back");
    return;
  }
  // A failed statement spoils the whole transaction: end it, so the caller sees it is gone.
  if (PQtransactionStatus(connection_) == PQTRANS_INERROR) PQclear(PQexec(connection_, "ROLLBACK"));
}

std::string PgStore::Run(const char* what, const std::string& sql,
                         const std::vector<std::string>& params, Result* out) {
  if (!Connected()) return std::string(what) + ": " + server_ + " is unreachable";
  std::vector<const char*> values;
  for (const std::string& param : params) values.push_back(param.c_str());
  // Without parameters, a schema step of several statements runs as one.
  Result result(values.empty()
                    ? PQexec(connection_, sql.c_str())
                    : PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()),
                                   nullptr, values.data(), nullptr, nullptr, 0));
  ExecStatusType status = PQresultStatus(result.result);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
    if (out) *out = std::move(result);
    return {};
  }
  std::string error =
      std::string(what) + ": " +
      OneLine(result.result ? PQresultErrorMessage(result.result) : PQerrorMessage(connection_));
  NoteFailure();
  return error;
}

std::string PgStore::ReadAccounts(const std::string& tail, const std::vector<std::string>& params,
                                  std::vector<AccountRecord>& out) {
  Result rows;
  std::string error = Run("cannot read accounts",
                          "SELECT name, password_hash, admin, suspended, banned, created_at, "
                          "last_on, location, age, email, web, bio FROM accounts " +
                              tail,
                          params, &rows);
  if (!error.empty()) return error;
  for (int row = 0; row < rows.Rows(); ++row) {
    AccountRecord account;
    account.name = rows.Text(row, 0);
    account.passwordHash = rows.Text(row, 1);
    account.admin = rows.Flag(row, 2);
    account.suspended = rows.Flag(row, 3);
    account.banned = rows.Flag(row, 4);
    account.createdAt = rows.Number(row, 5);
    account.lastOn = rows.Number(row, 6);
    account.profile.location = rows.Text(row, 7);
    account.profile.age = rows.Text(row, 8);
    account.profile.email = rows.Text(row, 9);
    account.profile.web = rows.Text(row, 10);
    account.profile.bio = rows.Text(row, 11);
    out.push_back(std::move(account));
  }
  return {};
}

std::string PgStore::LoadGames(std::vector<GameRecord>& out) {
  Result rows;
  std::string error = Run("cannot read games",
                          "SELECT name, owner, address, version, announce, settings, description "
                          "FROM games ORDER BY key COLLATE \"C\"",
                          {}, &rows);
  if (!error.empty()) return error;
  for (int row = 0; row < rows.Rows(); ++row) {
    GameRecord game;
    game.name = rows.Text(row, 0);
    game.owner = rows.Text(row, 1);
    game.address = rows.Text(row, 2);
    game.version = rows.Text(row, 3);
    game.announcement = rows.Text(row, 4);
    SetGameSettings(game, rows.Text(row, 5));
    game.description = rows.Text(row, 6);
    out.push_back(std::move(game));
  }
  return {};
}

std::string PgStore::CreateAccount(const AccountRecord& account) {
  std::string columns = "key", places = "$1";
  std::vector<std::string> values{NameKey(account.name)};
  for (const Column& column : kAccountColumns) {
    columns += std::string(", ") + column.name;
    values.push_back(column.value(account));
    places += ", $" + std::to_string(values.size());
  }
  // A taken name is refused without spoiling the transaction the insert may be part of.
  Result inserted;
  std::string error = Run(
      "cannot store account",
      "INSERT INTO accounts (" + columns + ") VALUES (" + places + ") ON CONFLICT (key) DO NOTHING",
      values, &inserted);
  if (!error.empty()) return error;
  return std::string(PQcmdTuples(inserted.result)) == "1"
             ? std::string()
             : "cannot store account: the name " + account.name + " is taken";
}

std::string PgStore::UpdateAccount(const AccountRecord& account, AccountPart part) {
  std::string sets;
  std::vector<std::string> values{NameKey(account.name)};
  for (size_t index : PartColumns(part)) {
    values.push_back(kAccountColumns[index].value(account));
    sets += std::string(sets.empty() ? "" : ", ") + kAccountColumns[index].name + " = $" +
            std::to_string(values.size());
  }
  return Run("cannot store account", "UPDATE accounts SET " + sets + " WHERE key = $1", values);
}

std::string PgStore::PutGame(const GameRecord& game) {
  return Run("cannot store game",
             "INSERT INTO games (key, name, owner, address, version, announce, settings, "
             "description) VALUES ($1, $2, $3, $4, $5, $6, $7, $8) ON CONFLICT (key) DO UPDATE "
             "SET name = $2, owner = $3, address = $4, version = $5, announce = $6, "
             "settings = $7, description = $8",
             {GameKey(game.name), game.name, game.owner, game.address, game.version,
              game.announcement, GameSettingsText(game), game.description});
}

std::string PgStore::Commit() {
  Result result;
  if (auto error = Run("cannot commit", "COMMIT", {}, &result); !error.empty()) return error;
  // A transaction that failed on the way is answered with a rollback, not an error.
  return std::string(PQcmdStatus(result.result)) == "COMMIT"
             ? std::string()
             : "cannot commit: the transaction was rolled back";
}

std::string PgStore::Upgrade() {
  auto fail = [this](const std::string& error) {
    if (InTransaction()) PQclear(PQexec(connection_, "ROLLBACK"));
    return error;
  };
  Result found;
  for (const char* step : {"BEGIN", kSchemaLock,
                           "CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)",
                           "SELECT version FROM schema_version"}) {
    if (auto error = Run("cannot make the schema", step, {}, &found); !error.empty()) {
      return fail(error);
    }
  }
  int version = found.Rows() > 0 ? static_cast<int>(found.Number(0, 0)) : 0;
  if (version > kSchemaVersion) {
    return fail("the database's schema is version " + std::to_string(version) +
                ", newer than this lobbyd knows (" + std::to_string(kSchemaVersion) +
                "); run a newer lobbyd");
  }
  for (int step = version; step < kSchemaVersion; ++step) {
    if (auto error = Run("cannot make the schema", kSchemaSteps[step], {}); !error.empty()) {
      return fail(error);
    }
  }
  std::string record = found.Rows() > 0 ? "UPDATE schema_version SET version = $1"
                                        : "INSERT INTO schema_version (version) VALUES ($1)";
  if (auto error = Run("cannot make the schema", record, {std::to_string(kSchemaVersion)});
      !error.empty()) {
    return fail(error);
  }
  return fail(Commit());
}

}  // namespace

std::string ConnectionStringProblem(const std::string& connection) {
  char* message = nullptr;
  PQconninfoOption* options = PQconninfoParse(connection.c_str(), &message);
  if (!options) {
    std::string reason = message ? OneLine(message) : "out of memory";
    PQfreemem(message);
    return "--store takes a PostgreSQL connection string (postgresql://HOST/DATABASE or "
           "key=value pairs): " +
           reason;
  }
  bool password = false;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    if (std::string(option->keyword) == "password" && option->val && *option->val) {
      password = true;
    }
  }
  PQconninfoFree(options);
  if (password) {
    return "--store: the connection string carries a password; give it in a password file "
           "(~/.pgpass, PGPASSFILE or passfile=) or in PGPASSWORD, never on the command line";
  }
  return {};
}

std::unique_ptr<Store> OpenPostgresStore(const std::string& connection, std::string& error) {
  error = ConnectionStringProblem(connection);
  if (!error.empty()) return nullptr;
  // Before the string: its own values win. A server that does not answer is given up on in
  // seconds, and one that is gone without a word is noticed by keepalives. After it: lobbyd's
  // texts are UTF-8.
  const char* keys[] = {
      "connect_timeout",  "keepalives_idle", "keepalives_interval", "keepalives_count",
      "application_name", "dbname",          "client_encoding",     nullptr};
  const char* values[] = {"5", "30", "10", "3", "lobbyd", connection.c_str(), "UTF8", nullptr};
  PGconn* raw = PQconnectdbParams(keys, values, 1);
  if (!raw) {
    error = "cannot reach the PostgreSQL server: out of memory";
    return nullptr;
  }
  auto store = std::make_unique<PgStore>(raw);
  // The server's notices ("already exists, skipping") are for people at a terminal.
  PQsetNoticeProcessor(
      raw, [](void*, const char*) {}, nullptr);
  if (PQstatus(raw) != CONNECTION_OK) {
    error = "cannot reach " + store->Server() + ": " + OneLine(PQerrorMessage(raw));
    return nullptr;
  }
  if (auto problem = store->Upgrade(); !problem.empty()) {
    error = "cannot use " + store->Server() + ": " + problem;
    return nullptr;
  }
  return store;
}

}  // namespace lobbyd
