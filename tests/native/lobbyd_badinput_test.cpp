// Bad input: commands before sign-in, missing fields, over-long lines, binary bytes, and a peer
// that never reads. None of it may crash or stall the server. The rules in-process; over
// loopback, what the session and the listener do: line framing and limits, output that is not
// read, connection limits and the sign-in deadline.
#include <gtest/gtest.h>

#include <thread>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

// A lobby with "watcher" signed in.
template <class Lobby, class Client>
class Watched : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Start(), "");
    watcher_ = lobby_.Join("watcher");
    ASSERT_TRUE(watcher_);
  }
  Lobby lobby_;
  std::unique_ptr<Client> watcher_;
};

class BadInput : public Watched<LobbyRig, RigClient> {};

TEST_F(BadInput, OnlyAuthCreateAndQuitAreTakenBeforeSignIn) {
  auto client = lobby_.Connect();
  for (const char* line : {"USERS", "GAMES", "VERSION:100", "LMSG:hello", "PMSG:watcher:hi",
                           "DISCONNECT", "ADMINMODE", "HOSTGAME:a:b:c:d:0:0:0:0:0:0:0:0:0:0:e"}) {
    client->Send(line);
  }
  client->Send("QUIT");
  EXPECT_EQ(client->ReadLine(), "QUIT_ACK:OK");
  EXPECT_EQ(watcher_->Sync(), Lines{});
}

TEST_F(BadInput, CommandsWithMissingFieldsAreIgnoredAndLogged) {
  auto client = lobby_.Join("sloppy");
  ASSERT_TRUE(client);
  for (const char* line : {"HOSTGAME:name:address", "RESUMEGAME:x", "SAVEPROFILE:sloppy:x",
                           "PMSG:nobody", "LMSG", "CHNGPASS:x", "VERSION:3.0", "VERSION"}) {
    client->Send(line);
  }
  EXPECT_EQ(client->Sync(), Lines{});
  EXPECT_EQ(watcher_->Sync(), (Lines{"ISON:sloppy"}));
  lobby_.Stop();
  std::string log = lobby_.LogText();
  EXPECT_NE(log.find("sloppy ignored HOSTGAME (missing fields)"), std::string::npos) << log;
  EXPECT_NE(log.find("sloppy ignored VERSION (not a version number)"), std::string::npos);
}

TEST_F(BadInput, UnknownCommandsAreIgnoredAndTheLogIsBounded) {
  auto client = lobby_.Join("spammer");
  ASSERT_TRUE(client);
  for (int i = 0; i < 50; ++i) client->Send("BOGUS" + std::to_string(i));
  EXPECT_EQ(client->Sync(), Lines{});
  lobby_.Stop();
  std::string log = lobby_.LogText();
  EXPECT_NE(log.find("spammer ignored BOGUS0 (unknown command)"), std::string::npos);
  EXPECT_NE(log.find("spammer ignored BOGUS9 (unknown command)"), std::string::npos);
  EXPECT_EQ(log.find("BOGUS10"), std::string::npos);
  EXPECT_NE(log.find("further ignored lines are not logged"), std::string::npos);
}

TEST_F(BadInput, TextsLongerThanAPilotMayStoreAreRefusedWithTheirWarning) {
  const std::string tail = ":Named:0:0:0:0:0:0:0:1:0:0:";
  struct Case {
    std::string line;
    std::string warning;
  };
  const Case cases[] = {
      {"AWAY:" + std::string(256, 'a'), "Your away message must be at most 255 characters!"},
      {"HOSTGAME:" + std::string(65, 'g') + ":203.0.113.1:1" + tail,
       "Your game's name must be at most 64 characters!"},
      {"HOSTGAME:Game:203.0.113.1:1" + tail + std::string(4001, 'd'),
       "Your game's description must be at most 4000 characters!"},
      {"HOSTGAME:Game:" + std::string(256, 'h') + ":1" + tail,
       "One of your game's fields is too long!"},
      {"SAVEPROFILE:watcher:" + std::string(256, 'l') + ":::::",
       "Your profile's fields must be at most 255 characters each!"},
      {"SAVEPROFILE:watcher:::::" + std::string(4001, 'b'),
       "Your biography must be at most 4000 characters!"},
  };
  for (const Case& c : cases) {
    watcher_->Send(c.line);
    EXPECT_EQ(watcher_->Sync(), Lines{"WARNING:" + c.warning});
    lobby_.Clock().Advance(std::chrono::seconds(10));  // past the limit on changes
  }
  auto client = lobby_.Connect();
  client->Send("CREATE:" + std::string(33, 'i') + ":" + Digest("pw") + ":i@x");
  EXPECT_EQ(client->ReadLine(), "WARNING:Corvane ID must be at most 32 letters/numbers!");
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  // Ten listed games an account may have; the eleventh waits until one goes.
  for (int i = 0; i < 10; ++i) {
    watcher_->Send("HOSTGAME:Game " + std::to_string(i) + ":203.0.113." + std::to_string(i) + ":1" +
                   tail);
    lobby_.Clock().Advance(std::chrono::seconds(10));
    ASSERT_EQ(watcher_->Sync(), (Lines{"HOSTGAME_ACK:OK", "GAMEUP:Game " + std::to_string(i)}));
  }
  watcher_->Send("HOSTGAME:Game 10:203.0.113.10:1" + tail);
  EXPECT_EQ(watcher_->Sync(),
            Lines{"WARNING:You already have 10 games listed; remove one before hosting another!"});
}

// Over loopback: line framing and its limits, and a peer that never reads.
class BadInputOverLoopback : public Watched<TestServer, TestClient> {};

TEST_F(BadInputOverLoopback, LongestLineBeforeSignInIsTakenOneMoreByteCloses) {
  auto client = lobby_.Connect();
  client->Send(std::string(512, 'X'));
  client->Send("QUIT");
  EXPECT_EQ(client->ReadLine(), "QUIT_ACK:OK");

  auto tooLong = lobby_.Connect();
  tooLong->Send(std::string(513, 'X'));
  EXPECT_TRUE(tooLong->WaitClosed());
  lobby_.Stop();
  EXPECT_NE(lobby_.LogText().find("line too long"), std::string::npos);
}

TEST_F(BadInputOverLoopback, ALineThatNeverEndsClosesOnceItPassesTheLimit) {
  auto client = lobby_.Connect();
  client->SendRaw(std::string(600, 'Y'));
  EXPECT_TRUE(client->WaitClosed());
}

TEST_F(BadInputOverLoopback, SignedInLinesMayBeEightKibibytes) {
  auto client = lobby_.Join("talker");
  ASSERT_TRUE(client);
  ASSERT_EQ(watcher_->ReadLine(), "ISON:talker");
  std::string text(8192 - 5, 'z');
  client->Send("LMSG:" + text);
  EXPECT_EQ(watcher_->ReadLine(), "LMSG:talker:" + text);
  client->Send("LMSG:" + text + "!");
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_EQ(watcher_->ReadLine(), "ISOFF:talker");
}

TEST_F(BadInputOverLoopback, BinaryBytesAndEmptyLinesAreIgnored) {
  auto client = lobby_.Join("noisy");
  ASSERT_TRUE(client);
  client->SendRaw(std::string("\0\x01\xFF\x80garbage\r\n", 13));
  client->SendRaw("\r\n\n\n\r\r\n:::\r\nusers\r\nUSERS \r\n\xB6\xB6\r\n");
  client->SendRaw(std::string("LMSG\0:x\r\n", 9));
  EXPECT_EQ(client->Sync(), Lines{});
  EXPECT_EQ(watcher_->Sync(), (Lines{"ISON:noisy"}));
}

TEST_F(BadInputOverLoopback, APeerThatNeverReadsIsDisconnected) {
  auto slow = lobby_.Connect(4096);
  slow->Send("CREATE:slow:" + Digest("pw") + ":s@x");
  ASSERT_EQ(watcher_->ReadLine(), "ISON:slow");
  // Each GAMEINFO reply carries a 4 KB description; the peer reads none of them.
  slow->Send("HOSTGAME:Big:203.0.113.1:1:Named:0:0:0:0:0:0:0:1:0:0:" + std::string(4000, 'd'));
  ASSERT_EQ(watcher_->ReadLine(), "GAMEUP:Big");
  std::string requests;
  for (int i = 0; i < 4000; ++i) requests += "GAMEINFO:Big\r\n";
  slow->SendRaw(requests);
  EXPECT_EQ(watcher_->ReadLine(std::chrono::seconds(20)), "ISOFF:slow");
  EXPECT_EQ(watcher_->ReadLine(), "GAMEDOWN:Big");
  // The server is as responsive as before.
  EXPECT_EQ(watcher_->Sync(), Lines{});
  lobby_.Stop();
  EXPECT_NE(lobby_.LogText().find("slow outbound queue full (peer not reading)"),
            std::string::npos);
}

TEST(Connections, PerAddressAndInAllTheyAreCappedAndTheUnsignedAreClosedInTime) {
  LobbyOptions options;
  options.connectionsPerAddress = 2;
  options.maxConnections = 3;
  TestServer server({}, options);
  ASSERT_EQ(server.Start(), "");
  auto first = server.Join("first");
  ASSERT_TRUE(first);
  auto a1 = server.Connect(0, "127.0.0.2");
  auto a2 = server.Connect(0, "127.0.0.2");
  auto a3 = server.Connect(0, "127.0.0.2");
  EXPECT_TRUE(a3->WaitClosed()) << "a third from one address";
  auto b1 = server.Connect(0, "127.0.0.3");
  EXPECT_TRUE(b1->WaitClosed()) << "a fourth in all";
  // The two that never sign in are closed once their minute is over.
  auto joined = server.Join("pilot");
  EXPECT_FALSE(joined) << "no room for a fourth";
  a1->Send("AUTH:nobody:" + Digest("x"));
  EXPECT_EQ(a1->ReadLine(), "AUTH_ACK:FAILED");
  server.Clock().Advance(std::chrono::seconds(59));
  // Past one turn of the once-a-second sweep, and still open.
  EXPECT_FALSE(a2->WaitClosed(std::chrono::milliseconds(1200)));
  server.Clock().Advance(std::chrono::seconds(1));
  EXPECT_TRUE(a1->WaitClosed());
  EXPECT_TRUE(a2->WaitClosed());
  EXPECT_TRUE(server.Join("pilot")) << "room again";
}

TEST(Connections, ASignInWaitingForItsPasswordCheckIsNotClosedAtTheDeadline) {
  TestServer server;
  ASSERT_EQ(server.Seed({{{"alice", "secret"}}, {}, {}, {}}), "");
  ASSERT_EQ(server.Start(), "");
  server.Hasher().Hold(true);
  auto waiting = server.Connect();
  waiting->Send("AUTH:alice:" + Digest("secret"));
  auto idle = server.Connect();
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
       server.Hasher().Waiting() == 0 && std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(server.Hasher().Waiting(), 1);
  server.Clock().Advance(std::chrono::seconds(61));
  EXPECT_TRUE(idle->WaitClosed()) << "the sweep ran";
  server.Hasher().Hold(false);
  EXPECT_EQ(waiting->ReadLine(), "AUTH_ACK:OK");
}

TEST(Connections, WhenAllOutputTogetherIsFullThoseBehindAreClosedFirst) {
  LobbyOptions options;
  options.outputQueueMb = 1;
  TestServer server({}, options);
  ASSERT_EQ(server.Start(), "");
  auto watcher = server.Join("watcher");
  auto slow1 = server.Connect(4096), slow2 = server.Connect(4096);
  ASSERT_TRUE(watcher);
  slow1->Send("CREATE:slow1:" + Digest("pw") + ":s@x");
  ASSERT_EQ(watcher->ReadLine(), "ISON:slow1");
  slow2->Send("CREATE:slow2:" + Digest("pw") + ":s@x");
  ASSERT_EQ(watcher->ReadLine(), "ISON:slow2");
  slow1->Send("HOSTGAME:Big:203.0.113.1:1:Named:0:0:0:0:0:0:0:1:0:0:" + std::string(4000, 'd'));
  ASSERT_EQ(watcher->ReadLine(), "GAMEUP:Big");
  // 800 KB of replies each, read by neither: each alone stays under its own 1 MiB.
  std::string requests;
  for (int i = 0; i < 200; ++i) requests += "GAMEINFO:Big\r\n";
  slow1->SendRaw(requests);
  slow2->SendRaw(requests);
  // Whichever crosses the server's limit goes; the other stays.
  auto off = watcher->ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(off == "ISOFF:slow1" || off == "ISOFF:slow2") << off.value_or("nothing");
  EXPECT_EQ(watcher->Sync(), Lines{});
  server.Stop();
  EXPECT_NE(
      server.LogText().find(off->substr(6) + " outbound queue closed (the server's output is full; "
                                             "peer not reading)"),
      std::string::npos);
}

}  // namespace
}  // namespace lobbyd::testing
