// Restart: stop the lobby, start it on the same store, and everything is still there. In-process
// over one store; over loopback, the database file: a new one, an unusable one, and one another
// process locks.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(Persistence, AccountsProfilesRightsSuspensionsAndGamesSurviveARestart) {
  LobbyRig lobby;
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

}  // namespace
}  // namespace lobbyd::testing
