// The lists a client loads after sign-in, and the version check: the rules in-process; over
// loopback, lists longer than a connection may queue.
#include <gtest/gtest.h>

#include <map>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kGameTail = ":Named:0:0:0:0:0:0:0:1:0:0:desc";

class Lists : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Seed({{{"root", "pw"}, {"zed", "pw"}}, {"root"}, {}, {}}), "");
    ASSERT_EQ(lobby_.Start(), "");
  }
  LobbyRig lobby_;
};

TEST_F(Lists, UsersListsEveryAccountButTheAskerWithItsKind) {
  auto root = lobby_.SignIn("root");
  auto bob = lobby_.Join("bob");
  auto carol = lobby_.Join("carol");
  auto dave = lobby_.Join("dave");
  auto erin = lobby_.Join("erin");
  ASSERT_TRUE(root && bob && carol && dave && erin);
  root->Send("ADMINMODE");
  bob->Send("AWAY:back in 5: really");
  dave->Send("INVISIBLE");
  ASSERT_TRUE(root->Sync() && bob->Sync() && dave->Sync());

  erin->Send("USERS");
  auto lines = erin->ReadUntil("USERS_ACK");
  ASSERT_TRUE(lines);
  // Notices about the others came before the list; the list itself is in name order.
  Lines list;
  for (const auto& line : *lines) {
    if (line.rfind("USER:", 0) == 0) list.push_back(line);
  }
  EXPECT_EQ(list, (Lines{"USER:bob:away:back in 5: really", "USER:carol:online",
                         "USER:dave:offline", "USER:root:admin", "USER:zed:offline"}));
}

TEST_F(Lists, ListRequestsAreLimitedLikeChat) {
  auto zed = lobby_.SignIn("zed");
  ASSERT_TRUE(zed);
  for (int i = 0; i < 4; ++i) {
    zed->Send("USERS");
    zed->Send("GAMES");
  }
  // Five at once, then two a second: the clock stands still here. A list refused still ends.
  EXPECT_EQ(zed->Sync(), (Lines{"USER:root:offline", "USERS_ACK", "GAMES_ACK", "USER:root:offline",
                                "USERS_ACK", "GAMES_ACK", "USER:root:offline", "USERS_ACK",
                                "WARNING:You are asking for lists too fast; some were not sent.",
                                "GAMES_ACK:FAILED", "USERS_ACK:FAILED", "GAMES_ACK:FAILED"}));
  lobby_.Clock().Advance(std::chrono::seconds(1));
  zed->Send("GAMES");
  EXPECT_EQ(zed->Sync(), Lines{"GAMES_ACK"});
}

TEST_F(Lists, UsersOnAnEmptyLobbyIsJustTheEnd) {
  lobby_.Stop();
  LobbyRig empty;
  ASSERT_EQ(empty.Start(), "");
  auto only = empty.Join("only");
  ASSERT_TRUE(only);
  only->Send("USERS");
  EXPECT_EQ(only->ReadLine(), "USERS_ACK");
}

TEST_F(Lists, GamesListsEveryListedGameUpOrDown) {
  auto root = lobby_.SignIn("root");
  auto bob = lobby_.Join("bob");
  ASSERT_TRUE(root && bob);
  bob->Send("HOSTGAME:Zulu Run:203.0.113.5:1.2" + kGameTail);
  bob->Send("HOSTGAME:alpha:203.0.113.6:1.2" + kGameTail);
  ASSERT_TRUE(bob->Sync());
  bob->Close();  // long-term games go down with their host
  ASSERT_EQ(root->ReadUntil("ISOFF:bob"), (Lines{"ISON:bob", "GAMEUP:Zulu Run", "GAMEUP:alpha"}));
  auto carol = lobby_.Join("carol");
  ASSERT_TRUE(carol);
  carol->Send("HOSTGAME:Middle:203.0.113.7:1.2" + kGameTail);
  ASSERT_TRUE(carol->Sync());

  carol->Send("GAMES");
  EXPECT_EQ(carol->ReadUntil("GAMES_ACK"),
            (Lines{"GAME:alpha:down", "GAME:Middle:up", "GAME:Zulu Run:down"}));
}

TEST_F(Lists, VersionBelowTheCurrentOneIsToldToUpdate) {
  auto root = lobby_.SignIn("root");
  ASSERT_TRUE(root);
  root->Send("VERSION:299");
  EXPECT_EQ(root->ReadLine(), "VERSION_ACK:UPDATE");
  root->Send("VERSION:300");
  EXPECT_EQ(root->ReadLine(), "VERSION_ACK:OK");
  root->Send("VERSION:1000");
  EXPECT_EQ(root->ReadLine(), "VERSION_ACK:OK");
  root->Send("VERSION:0300");
  EXPECT_EQ(root->ReadLine(), "VERSION_ACK:OK");
  root->Send("VERSION:99");
  EXPECT_EQ(root->ReadLine(), "VERSION_ACK:UPDATE");
}

TEST(ListsVersion, TheCurrentVersionIsTheOperatorsChoice) {
  LobbyRig lobby(LobbyOptions{301});
  ASSERT_EQ(lobby.Start(), "");
  auto client = lobby.Join("pilot");
  ASSERT_TRUE(client);
  client->Send("VERSION:300");
  EXPECT_EQ(client->ReadLine(), "VERSION_ACK:UPDATE");
  client->Send("VERSION:301");
  EXPECT_EQ(client->ReadLine(), "VERSION_ACK:OK");
}

// Accounts pilot10000, pilot10001, ...
StartupActions Pilots(int count) {
  StartupActions accounts;
  for (int i = 0; i < count; ++i) {
    accounts.addAccounts.emplace_back("pilot" + std::to_string(10000 + i), "pw");
  }
  return accounts;
}

TEST(LongLists, AListLongerThanAConnectionMayQueueArrivesWholeWhileOtherLinesWaitBehindIt) {
  LobbyOptions options;
  options.connectionQueueKb = 16;
  TestServer server({}, options);
  ASSERT_EQ(server.Seed(Pilots(1500)), "");
  ASSERT_EQ(server.Start(), "");
  auto asker = server.SignIn("pilot10000");
  ASSERT_TRUE(asker);
  asker->Send("USERS");
  asker->Send("GAMES");
  auto joined = server.SignIn("pilot11499");  // announced while the list goes out
  ASSERT_TRUE(joined);
  auto lines = asker->ReadUntil("ISON:pilot11499", std::chrono::seconds(20));
  ASSERT_TRUE(lines);
  // About 35 KB of list, whole; the notice waited behind both replies.
  ASSERT_EQ(lines->size(), 1499u + 2);
  EXPECT_EQ(lines->at(0), "USER:pilot10001:offline");
  // Listed as he is when the list reaches him: either way, the notice comes after.
  EXPECT_TRUE(lines->at(1498) == "USER:pilot11499:offline" ||
              lines->at(1498) == "USER:pilot11499:online")
      << lines->at(1498);
  EXPECT_EQ(lines->at(1499), "USERS_ACK");
  EXPECT_EQ(lines->at(1500), "GAMES_ACK");
}

TEST(LongLists, AskingAgainForAListStillOnItsWayIsAnsweredByThatOne) {
  // A list far longer than a connection takes before it has read some: it stays on its way.
  LobbyOptions options;
  options.connectionQueueKb = 100;
  TestServer server({}, options);
  ASSERT_EQ(server.Seed(Pilots(6000)), "");
  ASSERT_EQ(server.Start(), "");
  auto asker = server.SignIn("pilot10000");
  ASSERT_TRUE(asker);
  asker->SendRaw("USERS\r\nUSERS\r\nUSERS\r\n");
  auto lines = asker->Sync();
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 5999u + 1);
  EXPECT_EQ(lines->back(), "USERS_ACK");
}

TEST(SharedLists, ListsSharedAmongPilotsShowEveryChangeAndNeverTheAsker) {
  // Lists of several hundred lines are kept in parts and shared; each check below follows a
  // change the kept parts must not hide.
  LobbyRig lobby;
  StartupActions accounts;
  std::map<std::string, std::string> kinds;  // what the list must say of each pilot
  for (int i = 0; i < 600; ++i) {
    std::string name = "pilot" + std::to_string(10000 + i);
    accounts.addAccounts.emplace_back(name, "pw");
    kinds[name] = "offline";
  }
  accounts.admins = {"pilot10300"};
  ASSERT_EQ(lobby.Seed(accounts), "");
  ASSERT_EQ(lobby.Start(), "");
  std::map<std::string, std::unique_ptr<RigClient>> pilots;
  for (const char* name : {"pilot10000", "pilot10300", "pilot10599"}) {
    pilots[name] = lobby.SignIn(name);
    ASSERT_TRUE(pilots[name]);
    kinds[name] = "online";
  }
  auto check = [&](const std::string& asker) {
    pilots[asker]->Send("USERS");
    auto lines = pilots[asker]->ReadUntil("USERS_ACK");
    ASSERT_TRUE(lines);
    Lines list, expected;
    for (const auto& line : *lines) {
      if (line.rfind("USER:", 0) == 0) list.push_back(line);
    }
    for (const auto& [name, kind] : kinds) {
      if (name != asker) expected.push_back("USER:" + name + ":" + kind);
    }
    EXPECT_EQ(list, expected) << "asked by " << asker;
  };
  for (const char* asker : {"pilot10000", "pilot10599", "pilot10300", "pilot10000"}) check(asker);
  pilots["pilot10300"]->Send("AWAY:lunch");
  ASSERT_TRUE(pilots["pilot10300"]->Sync());
  kinds["pilot10300"] = "away:lunch";
  check("pilot10599");
  pilots["pilot10599"]->Close();
  ASSERT_TRUE(pilots["pilot10000"]->ReadUntil("ISOFF:pilot10599"));
  kinds["pilot10599"] = "offline";
  check("pilot10000");
  pilots["pilot10100a"] = lobby.Join("pilot10100a");
  ASSERT_TRUE(pilots["pilot10100a"]);
  kinds["pilot10100a"] = "online";
  check("pilot10300");
  check("pilot10100a");
  pilots["pilot10300"]->Send("ADMINMODE");
  pilots["pilot10300"]->Send("REMUSER:pilot10200");
  ASSERT_TRUE(pilots["pilot10000"]->ReadUntil("REMUSER:pilot10200"));
  kinds.erase("pilot10200");
  kinds["pilot10300"] = "admin";
  check("pilot10300");
}

}  // namespace
}  // namespace lobbyd::testing
