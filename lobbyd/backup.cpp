#include "lobbyd/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace lobbyd {
namespace {

namespace fs = std::filesystem;

// A busy source (a checkpoint or recovery in progress) is waited for this long in all.
constexpr int kBusyMs = 5000;

struct Connection {
  sqlite3* db = nullptr;
  ~Connection() { sqlite3_close(db); }
  std::string Message() const { return db ? sqlite3_errmsg(db) : "out of memory"; }
};

// A target that exists is only ever replaced by a copy if it is itself a database (or empty):
// a mistyped target must not overwrite an unrelated file, or a live database's "-wal" file.
bool MayReplace(const std::string& target) {
  std::ifstream file(target, std::ios::binary);
  char header[16] = {};
  file.read(header, sizeof header);
  return file.gcount() == 0 ||
         (file.gcount() == 16 && std::memcmp(header, "SQLite format 3", 16) == 0);
}

bool Count(sqlite3* db, const char* table, int64_t& count) {
  sqlite3_stmt* statement = nullptr;
  std::string sql = std::string("SELECT count(*) FROM ") + table;
  bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW;
  if (ok) count = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return ok;
}

bool QuickCheck(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  bool ok = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW &&
            std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) == "ok";
  sqlite3_finalize(statement);
  return ok;
}

// Copies every page of `source` within one read transaction, retrying while it is busy.
std::string CopyPages(sqlite3* source, sqlite3* copy) {
  sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
  if (!backup) return sqlite3_errmsg(copy);
  int rc;
  for (int waited = 0;; waited += 100) {
    rc = sqlite3_backup_step(backup, -1);
    if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || waited >= kBusyMs) break;
    sqlite3_sleep(100);
  }
  sqlite3_backup_finish(backup);
  return rc == SQLITE_DONE ? std::string() : sqlite3_errstr(rc);
}

// Writes and checks the copy at `temp`, beside `target`; fills the counts.
std::string WriteCopy(const std::string& source, const std::string& target, const std::string& temp,
                      BackupResult& result) {
  // Only read; opened for writing (never creating) so that, when no server has the database
  // open, closing tidies its -wal and -shm files away as a server's own close does.
  Connection from;
  if (sqlite3_open_v2(source.c_str(), &from.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    return "cannot open " + source + ": " + from.Message();
  }
  sqlite3_busy_timeout(from.db, kBusyMs);
  Connection to;
  if (sqlite3_open_v2(temp.c_str(), &to.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    return "cannot create " + target + ": " + to.Message();
  }
  if (auto error = CopyPages(from.db, to.db); !error.empty()) {
    return "cannot copy " + source + ": " + error;
  }
  if (!Count(to.db, "accounts", result.accounts) || !Count(to.db, "games", result.games)) {
    return source + " is not a lobbyd database (" + to.Message() + ")";
  }
  if (!QuickCheck(to.db)) return "the copy of " + source + " fails SQLite's check";
  return {};
}

void RemoveCopy(const std::string& temp) {
  std::error_code ignored;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(temp + suffix, ignored);
}

// The rename is only durable once the folder itself is on disk.
void SyncFolderOf(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string Counted(int64_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

}  // namespace

BackupResult BackupDatabase(const std::string& source, const std::string& target) {
  BackupResult result;
  std::error_code error;
  if (!fs::is_regular_file(source, error)) {
    result.error = "there is no database at " + source;
    return result;
  }
  if (fs::exists(target, error)) {
    if (fs::equivalent(source, target, error)) {
      result.error = "the target is the database itself";
      return result;
    }
    if (!fs::is_regular_file(target, error) || !MayReplace(target)) {
      result.error = target + " exists and is not a database; it was left as it is";
      return result;
    }
  }
  if (fs::exists(target + "-wal", error)) {
    result.error = target + "-wal exists: something has " + target +
                   " open (a server?); choose another target";
    return result;
  }
  // Beside the target, so the rename stays within one file system.
  std::string temp = target + ".partial-" + std::to_string(::getpid());
  RemoveCopy(temp);
  result.error = WriteCopy(source, target, temp, result);
  if (result.error.empty()) {
    result.bytes = static_cast<int64_t>(fs::file_size(temp, error));
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
      result.error = "cannot replace " + target + ": " + std::strerror(errno);
    }
  }
  if (!result.error.empty()) {
    RemoveCopy(temp);
    return result;
  }
  SyncFolderOf(target);
  return result;
}

std::string BackupReport(const std::string& source, const std::string& target,
                         const BackupResult& result) {
  if (!result.error.empty()) {
    return "lobbyd: backup of " + source + " to " + target + " failed: " + result.error + "\n";
  }
  return "lobbyd: backed up " + source + " to " + target + " (" +
         Counted(result.accounts, "account") + ", " + Counted(result.games, "game") + ", " +
         std::to_string((result.bytes + 1023) / 1024) + " KiB); no server was started\n";
}

}  // namespace lobbyd
