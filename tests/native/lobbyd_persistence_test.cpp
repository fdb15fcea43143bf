// The store, on each engine (SQLite, and PostgreSQL in a throwaway cluster): records as stored,
// batches committed together, and a restart of the lobby on the same store that keeps everything.
// Over loopback, on one engine: a new SQLite file, an unusable one, one another process locks; a
// PostgreSQL server that goes away while the lobby runs and comes back.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <asio/io_context.hpp>
#include <future>
#include <thread>

#include "common/each_store.h"
#include "lobbyd/store_worker.h"
#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/pg_cluster.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;
using Engine = StoreLocation::Engine;

LOBBYD_ON_EACH_STORE();

TEST_P(EachStore, RecordsComeBackAsStoredAndEachSideWritesOnlyItsOwnColumns) {
  AccountRecord account{"Ann",
                        "$argon2id$x",
                        true,
                        true,
                        false,
                        5,
                        6,
                        {"loc", "age", "e@x", "web",
                         "a\xC2\xB6"
                         "b"}};
  GameRecord game{{.name = "Arena",
                   .address = "1.2.3.4",
                   .version = "1.0",
                   .announcement = "Named",
                   .includeCpus = true,
                   .longTerm = true,
                   .description = "d"},
                  "Ann"};
  {
    auto store = Open();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->CreateAccount(account), "");
    EXPECT_NE(store->CreateAccount(account), "") << "the name is taken";
    ASSERT_EQ(store->CreateAccount(AccountRecord{"gone", "h", false, false, false, 0, 0, {}}), "");
    ASSERT_EQ(store->DeleteAccount("GONE"), "");
    ASSERT_EQ(store->PutGame(game), "");
    // The operator bans Ann from a second handle (another process) while the server's copy is
    // stale; the server's next write of her account leaves the ban alone.
    auto operatorSide = Open();
    ASSERT_TRUE(operatorSide);
    ASSERT_EQ(operatorSide->SetBanned("ANN", true), "");
    ASSERT_EQ(operatorSide->SetAdmin("ann", false), "");
    AccountRecord stale = account;
    stale.profile.location = "moved";
    ASSERT_EQ(store->UpdateAccount(stale), "");
    account.profile.location = "moved";
    account.banned = true;
    account.admin = false;
  }
  auto store = Open();
  ASSERT_TRUE(store);
  std::vector<AccountRecord> accounts;
  ASSERT_EQ(store->LoadAccounts(accounts), "");
  EXPECT_EQ(accounts, std::vector<AccountRecord>{account});
  std::optional<AccountRecord> one;
  ASSERT_EQ(store->LoadAccount("aNN", one), "");
  EXPECT_EQ(one, account);
  ASSERT_EQ(store->LoadAccount("nobody", one), "");
  EXPECT_EQ(one, std::nullopt);
  std::vector<GameRecord> games;
  ASSERT_EQ(store->LoadGames(games), "");
  EXPECT_EQ(games, std::vector<GameRecord>{game});
}

TEST_P(EachStore, JobsWaitingTogetherShareACommitWithoutSharingAFailure) {
  auto store = Open();
  ASSERT_TRUE(store);
  asio::io_context io;
  std::vector<std::string> results;
  {
    StoreWorker worker(io, *store);
    // The first job holds the thread, so the others wait and run together.
    std::promise<void> release;
    worker.Run([held = release.get_future().share()](Store&) {
      held.wait();
      return std::string();
    });
    for (const char* name : {"ann", "ANN", "bob"}) {
      worker.Run(
          [name](Store& store) {
            return store.CreateAccount(AccountRecord{name, "h", false, false, false, 0, 0, {}});
          },
          [&results](const std::string& error) { results.push_back(error); });
    }
    release.set_value();
  }
  io.run();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0], "");
  EXPECT_NE(results[1], "") << "the name is taken";
  EXPECT_EQ(results[2], "");
  std::vector<AccountRecord> accounts;
  store = Open();
  ASSERT_TRUE(store);
  ASSERT_EQ(store->LoadAccounts(accounts), "");
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0].name + accounts[1].name, "annbob");
}

TEST_P(EachStore, AccountsProfilesRightsSuspensionsAndGamesSurviveARestart) {
  LobbyRig lobby({}, nullptr, nullptr, location_);
  ASSERT_EQ(lobby.Seed({{{"root", "pw"}}, {"root"}, {}, {}}), "");
  ASSERT_EQ(lobby.Start(), "");
  {
    auto root = lobby.SignIn("root");
    auto bob = lobby.Join("bob", "bobpass");
    auto cid = lobby.Join("cid");
    ASSERT_TRUE(root && bob && cid);
    bob->Send("SAVEPROFILE:bob:Crater B:31:bob@example.org:http://b.example:a\xC2\xB6z");
    bob->Send("HOSTGAME:Long Haul:203.0.113.9:1.06:Named:1:0:0:0:0:0:1:1:0:0:saved\xC2\xB6game");
    bob->Send("HOSTGAME:Quick:203.0.113.10:1.06:Named:0:0:0:0:0:0:0:0:0:0:");
    ASSERT_EQ(bob->Sync(), (Lines{"ISON:cid", "HOSTGAME_ACK:OK", "GAMEUP:Long Haul",
                                  "HOSTGAME_ACK:OK", "GAMEUP:Quick"}));
    root->Send("ADMINMODE");
    root->Send("SUSPEND:cid");
    ASSERT_TRUE(root->Sync());
    ASSERT_EQ(bob->Sync(), (Lines{"ISADMIN:root", "ISOFF:cid"}));
    lobby.Stop();
    // Nothing is said: the close alone makes the clients reconnect.
    EXPECT_EQ(bob->ReadLine(), std::nullopt);
    EXPECT_TRUE(bob->WaitClosed());
  }
  ASSERT_EQ(lobby.Start(), "");
  auto suspended = lobby.Connect();
  suspended->Send("AUTH:cid:" + Digest("pw"));
  EXPECT_EQ(suspended->ReadLine(), "AUTH_ACK:SUSPENDED");

  auto bob = lobby.SignIn("bob", "bobpass");
  ASSERT_TRUE(bob);
  bob->Send("USERS");
  EXPECT_EQ(bob->ReadUntil("USERS_ACK"), (Lines{"USER:cid:offline", "USER:root:offline"}));
  bob->Send("GAMES");
  EXPECT_EQ(bob->ReadUntil("GAMES_ACK"), (Lines{"GAME:Long Haul:down"}));
  bob->Send("EDITPROFILE:bob");
  auto profile = bob->ReadUntil("EDITPROFILE_ACK:OK");
  ASSERT_TRUE(profile);
  EXPECT_EQ(Lines(profile->begin() + 3, profile->end()),
            (Lines{"EDITPROFILE_ACK:LOCATION:Crater B", "EDITPROFILE_ACK:AGE:31",
                   "EDITPROFILE_ACK:EMAIL:bob@example.org", "EDITPROFILE_ACK:WEB:http://b.example",
                   "EDITPROFILE_ACK:BIO:a\xC2\xB6z"}));
  bob->Send("RESUMEINFO:Long Haul");
  auto game = bob->ReadUntil("RESUMEINFO_ACK:DONE");
  ASSERT_TRUE(game);
  ASSERT_EQ(game->size(), 16u);
  EXPECT_EQ((*game)[4], "RESUMEINFO_ACK:GAMEDES:saved\xC2\xB6game");
  EXPECT_EQ((*game)[6], "RESUMEINFO_ACK:INCLUDECPUS:1");
  EXPECT_EQ((*game)[12], "RESUMEINFO_ACK:DEDICATED:1");
  EXPECT_EQ((*game)[13], "RESUMEINFO_ACK:GAMETERM:long");

  auto root = lobby.SignIn("root");
  ASSERT_TRUE(root);
  root->Send("ADMINMODE");
  EXPECT_EQ(root->ReadLine(), "ISADMIN:root");
}

TEST(Persistence, AnEmptyFileIsGivenItsSchema) {
  TempFolder folder;
  TestServer server(folder.Path() + "/new.db");
  ASSERT_EQ(server.Start(), "");
  EXPECT_TRUE(server.Join("first"));
}

TEST(Persistence, AnUnusableDatabaseIsReported) {
  TestServer server("/nonexistent-folder/lobby.db");
  EXPECT_NE(server.Start(), "");
}

TEST(Persistence, WhatCannotBeStoredIsRefusedAndChatGoesOnMeanwhile) {
  TempFolder folder;
  const std::string database = folder.Path() + "/lobby.db";
  {
    TestServer server(database);
    ASSERT_EQ(server.Start(), "");
    auto ann = server.Join("ann");
    auto bob = server.Join("bob");
    ASSERT_TRUE(ann && bob);
    ASSERT_TRUE(ann->Sync());
    // Another process holds the store's write lock: each write waits out its 2 s and fails.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    auto newcomer = server.Connect();
    newcomer->Send("CREATE:newcomer:" + Digest("pw") + ":n@x");
    bob->Send("HOSTGAME:Arena:203.0.113.9:1.0:Named:0:0:0:0:0:0:0:1:0:0:");
    // Chat does not wait for the store.
    ann->Send("LMSG:still talking");
    EXPECT_EQ(bob->ReadLine(std::chrono::milliseconds(1000)), "LMSG:ann:still talking");
    // Its write may queue behind the game's: two busy timeouts.
    EXPECT_EQ(newcomer->ReadLine(std::chrono::seconds(15)),
              "WARNING:The server could not store your account now; please try again later.");
    EXPECT_EQ(newcomer->ReadLine(), "AUTH_ACK:FAILED");
    EXPECT_EQ(bob->ReadUntil("WARNING:The server could not store your game now; please try "
                             "again later."),
              Lines{});
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(ann->Sync(), Lines{"LMSG:ann:still talking"}) << "no GAMEUP, no ISON";
  }
  TestServer server(database);
  ASSERT_EQ(server.Start(), "");
  auto bob = server.SignIn("bob");
  ASSERT_TRUE(bob);
  bob->Send("USERS");
  EXPECT_EQ(bob->ReadUntil("USERS_ACK"), Lines{"USER:ann:offline"});
  bob->Send("GAMES");
  EXPECT_EQ(bob->ReadUntil("GAMES_ACK"), Lines{});
}

TEST(PostgresStore, WhileTheServerIsAwayChangesAreRefusedSignInsGoOnAndThenChangesAreStored) {
  PgCluster cluster;  // its own: stopping the shared one would cut the other tests off
  ASSERT_EQ(cluster.Problem(), "");
  StoreLocation location{Engine::kPostgres, cluster.NewDatabase()};
  const std::string notStored =
      "WARNING:The server could not store your profile now; please try again later.";
  std::string log;
  {
    TestServer server({}, location);
    ASSERT_EQ(server.Start(), "");
    ASSERT_TRUE(server.Join("bob"));
    auto ann = server.Join("ann");
    ASSERT_TRUE(ann);
    ASSERT_TRUE(server.SignIn("bob")) << "bob's password is now remembered";
    ASSERT_EQ(ann->ReadUntil("ISOFF:bob"), Lines{"ISON:bob"});

    ASSERT_TRUE(cluster.Stop());
    auto bob = server.SignIn("bob");
    EXPECT_TRUE(bob);
    ann->Send("SAVEPROFILE:ann:Away:1:a@x:w:b");
    EXPECT_EQ(ann->Sync(), (Lines{"ISON:bob", notStored}));

    ASSERT_TRUE(cluster.Start());
    // The store tries the server again once its retry interval (a few seconds at most) is over.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    std::optional<Lines> answer;
    while (std::chrono::steady_clock::now() < deadline) {
      server.Clock().Advance(std::chrono::minutes(1));  // no flood control between the tries
      ann->Send("SAVEPROFILE:ann:Back:2:a@x:w:b");
      answer = ann->Sync();
      if (answer != Lines{notStored}) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(answer, Lines{});
    server.Stop();
    log = server.LogText();
  }
  std::string error;
  auto store = OpenStore(location, error);
  ASSERT_TRUE(store) << error;
  std::optional<AccountRecord> ann;
  ASSERT_EQ(store->LoadAccount("ann", ann), "");
  ASSERT_TRUE(ann);
  EXPECT_EQ(ann->profile.location, "Back");
  auto count = [&log](const std::string& text) {
    size_t found = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++found;
    return found;
  };
  EXPECT_EQ(count("database: lost the PostgreSQL server at "), 1u) << log;
  EXPECT_EQ(count(" is back; changes are stored again"), 1u) << log;
}

}  // namespace
}  // namespace lobbyd::testing
