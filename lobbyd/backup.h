// The online backup: a consistent copy of the store, taken with SQLite's backup API while a
// server may be running on it and writing. The source is only read, in one read transaction, so
// the copy is one committed state and the server is never held up (WAL readers do not block the
// writer). The copy is written beside the target and renamed over it only when complete and
// checked, so a failed backup never leaves a partial file under the target's name.
#pragma once

#include <cstdint>
#include <string>

namespace lobbyd {

struct BackupResult {
  std::string error;  // empty on success
  int64_t accounts = 0;
  int64_t games = 0;
  int64_t bytes = 0;  // size of the copy
};

BackupResult BackupDatabase(const std::string& source, const std::string& target);

// What the command prints: one line saying what was done, or what failed.
std::string BackupReport(const std::string& source, const std::string& target,
                         const BackupResult& result);

}  // namespace lobbyd
