// The online backup: a copy taken while the server writes holds every acknowledged change, and
// a backup that cannot be made says why and leaves nothing behind.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "lobbyd/backup.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> AccountsIn(const std::string& database) {
  std::string error;
  auto store = OpenSqliteStore(database, error);
  std::vector<AccountRecord> accounts;
  if (!store || !store->LoadAccounts(accounts).empty()) return {};
  std::set<std::string> names;
  for (const auto& account : accounts) names.insert(account.name);
  return names;
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(Backup, ACopyTakenWhileTheServerWritesHoldsEveryAcknowledgedAccount) {
  TempFolder folder;
  LobbyOptions options;
  options.accountsPerHour = 1000;
  TestServer server(folder.Path() + "/lobby.db", options);
  ASSERT_EQ(server.Start(), "");
  // A pilot signs up after another the whole time; `acknowledged` counts the AUTH_ACK:OKs.
  std::atomic<int> acknowledged{0};
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 200 && !stop; ++i) {
      if (!server.Join("pilot" + std::to_string(i))) break;
      ++acknowledged;
    }
  });
  while (acknowledged < 3) std::this_thread::yield();
  int before = acknowledged;
  const std::string copy = folder.Path() + "/copy.db";
  BackupResult result = BackupDatabase(folder.Path() + "/lobby.db", copy);
  stop = true;
  writer.join();
  ASSERT_EQ(result.error, "");

  std::set<std::string> names = AccountsIn(copy);
  EXPECT_EQ(static_cast<int64_t>(names.size()), result.accounts);
  EXPECT_GE(result.accounts, before);
  for (int i = 0; i < before; ++i) EXPECT_TRUE(names.count("pilot" + std::to_string(i))) << i;
  EXPECT_EQ(result.games, 0);
  // Only the two databases and the server's own WAL files: no partial copy is left.
  for (const auto& name : FilesIn(folder.Path())) {
    EXPECT_TRUE(name.rfind("lobby.db", 0) == 0 || name == "copy.db") << name;
  }
  // The copy replaces an older backup of the same name.
  ASSERT_EQ(BackupDatabase(folder.Path() + "/lobby.db", copy).error, "");
  EXPECT_EQ(AccountsIn(copy).size(), static_cast<size_t>(acknowledged));
}

TEST(Backup, ABackupThatCannotBeMadeSaysWhyAndLeavesNothingBehind) {
  TempFolder folder;
  const std::string database = folder.Path() + "/lobby.db";
  ASSERT_EQ(TestServer(database).Seed({{{"ann", "pw"}}, {}, {}, {}}), "");
  const std::string notes = folder.Path() + "/notes.txt";
  std::ofstream(notes) << "not a database";
  const std::string empty = folder.Path() + "/empty.db";
  std::ofstream{empty};
  struct Case {
    std::string source, target, error;
  } cases[] = {
      {database, folder.Path() + "/missing/copy.db",
       "cannot create " + folder.Path() + "/missing/copy.db: unable to open database file"},
      {database, database, "the target is the database itself"},
      {database, notes, notes + " exists and is not a database; it was left as it is"},
      {folder.Path() + "/none.db", folder.Path() + "/copy.db",
       "there is no database at " + folder.Path() + "/none.db"},
      {notes, folder.Path() + "/copy.db", "cannot copy " + notes + ": file is not a database"},
      {empty, folder.Path() + "/copy.db",
       empty + " is not a lobbyd database (no such table: accounts)"},
  };
  std::set<std::string> files = FilesIn(folder.Path());
  for (const auto& c : cases) {
    BackupResult result = BackupDatabase(c.source, c.target);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(BackupReport(c.source, c.target, result),
              "lobbyd: backup of " + c.source + " to " + c.target + " failed: " + c.error + "\n");
    EXPECT_EQ(FilesIn(folder.Path()), files) << c.error;
  }
  EXPECT_EQ(AccountsIn(database), (std::set<std::string>{"ann"}));
}

}  // namespace
}  // namespace lobbyd::testing
