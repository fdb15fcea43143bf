// The database of accounts and listed games (SQLite, WAL mode). Every change is its own
// transaction, so a killed server loses at most the command in flight. Single-threaded: the
// io thread owns it. Failures are returned as texts, never thrown.
#pragma once

#include <memory>
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
  std::string PutAccount(const AccountRecord& account);  // insert or replace, by name key
  std::string DeleteAccount(const std::string& name);
  std::string PutGame(const GameRecord& game);
  std::string DeleteGame(const std::string& name);

 private:
  explicit Store(sqlite3* db) : db_(db) {}
  std::string Prepare();
  std::string Error(const char* what) const;

  sqlite3* db_;
  sqlite3_stmt* putAccount_ = nullptr;
  sqlite3_stmt* deleteAccount_ = nullptr;
  sqlite3_stmt* putGame_ = nullptr;
  sqlite3_stmt* deleteGame_ = nullptr;
};

}  // namespace lobbyd
