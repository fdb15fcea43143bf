// Lobby and private chat relay, and flood control on a manual clock: the rules in-process; over
// loopback, that chat is written at once.
#include <gtest/gtest.h>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

const std::string kTooFast = "WARNING:You are sending messages too fast; some were not delivered.";

class Chat : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Start(), "");
    ann_ = lobby_.Join("ann");
    bob_ = lobby_.Join("bob");
    cid_ = lobby_.Join("cid");
    ASSERT_TRUE(ann_ && bob_ && cid_);
    ASSERT_EQ(ann_->Sync(), (Lines{"ISON:bob", "ISON:cid"}));
    ASSERT_EQ(bob_->Sync(), (Lines{"ISON:cid"}));
  }
  LobbyRig lobby_;
  std::unique_ptr<RigClient> ann_, bob_, cid_;
};

TEST_F(Chat, LobbyLineGoesToEveryoneTheSenderIncludedWithItsColons) {
  bob_->Send("LMSG:meet at 20:00: crater B");
  const std::string relayed = "LMSG:bob:meet at 20:00: crater B";
  EXPECT_EQ(ann_->ReadLine(), relayed);
  EXPECT_EQ(bob_->ReadLine(), relayed);
  EXPECT_EQ(cid_->ReadLine(), relayed);
}

// Over loopback, where notices wait a minute for the connection's next write.
class ChatOverLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    LobbyOptions options;
    options.gatherAtLeast = std::chrono::minutes(1);
    server_ = std::make_unique<TestServer>(std::string(), options);
    ASSERT_EQ(server_->Start(), "");
    ann_ = server_->Join("ann");
    bob_ = server_->Join("bob");
    ASSERT_TRUE(ann_ && bob_);
  }
  std::unique_ptr<TestServer> server_;
  std::unique_ptr<TestClient> ann_, bob_;
};

TEST_F(ChatOverLoopback, ChatIsWrittenAtOnceWithTheNoticesGatheredBeforeIt) {
  bob_->Send("LMSG:hi");
  EXPECT_EQ(ann_->ReadLine(), "ISON:bob");
  EXPECT_EQ(ann_->ReadLine(), "LMSG:bob:hi");
  bob_->Send("AWAY:lunch");
  bob_->Send("PMSG:ann:back soon");
  EXPECT_EQ(ann_->ReadLine(), "ISAWAY:bob:lunch");
  EXPECT_EQ(ann_->ReadLine(), "PMSG:bob:back soon");
}

TEST_F(ChatOverLoopback, LobbyLineBytesAreRelayedAsSent) {
  bob_->SendRaw("LMSG:caf\xE9 \x80 \xB6\r\n");
  EXPECT_EQ(ann_->ReadUntil("LMSG:bob:caf\xC3\xA9 \xE2\x82\xAC \xC2\xB6"), Lines{"ISON:bob"});
}

TEST_F(Chat, PrivateLineGoesOnlyToThePartnerWhateverTheLetterCase) {
  ann_->Send("PMSG:BOB:psst: a secret");
  EXPECT_EQ(bob_->ReadLine(), "PMSG:ann:psst: a secret");
  EXPECT_EQ(ann_->Sync(), Lines{});
  EXPECT_EQ(cid_->Sync(), Lines{});
}

TEST_F(Chat, PrivateLineToAnOfflineOrUnknownPilotWarnsTheSender) {
  cid_->Send("QUIT");
  ASSERT_EQ(ann_->ReadLine(), "ISOFF:cid");
  ann_->Send("PMSG:cid:hello");
  ann_->Send("PMSG:nobody:hello");
  EXPECT_EQ(ann_->Sync(),
            (Lines{"WARNING:cid is not signed on; your message was not delivered.",
                   "WARNING:nobody is not signed on; your message was not delivered."}));
}

TEST_F(Chat, AnInvisiblePilotAnswersLikeAnOfflineOneSaveToThoseHeWroteTo) {
  cid_->Send("INVISIBLE");
  ASSERT_EQ(ann_->ReadLine(), "ISOFF:cid");
  ASSERT_EQ(bob_->ReadLine(), "ISOFF:cid");
  ann_->Send("PMSG:cid:are you there?");
  EXPECT_EQ(ann_->Sync(), Lines{"WARNING:cid is not signed on; your message was not delivered."});
  // Once he has written to bob, bob's lines reach him; ann's still do not.
  cid_->Send("PMSG:bob:it's me");
  EXPECT_EQ(bob_->ReadLine(), "PMSG:cid:it's me");
  bob_->Send("PMSG:cid:hi");
  ann_->Send("PMSG:cid:hello?");
  EXPECT_EQ(bob_->Sync(), Lines{});
  EXPECT_EQ(ann_->Sync(), Lines{"WARNING:cid is not signed on; your message was not delivered."});
  EXPECT_EQ(cid_->Sync(), (Lines{"INVISIBLE_ACK", "PMSG:bob:hi"}));
}

TEST_F(Chat, BurstOfFiveThenExcessDroppedWithOneWarning) {
  for (int i = 1; i <= 8; ++i) bob_->Send("LMSG:line " + std::to_string(i));
  Lines relayed;
  for (int i = 1; i <= 5; ++i) relayed.push_back("LMSG:bob:line " + std::to_string(i));
  EXPECT_EQ(cid_->Sync(), relayed);
  Lines own = relayed;
  own.push_back(kTooFast);
  EXPECT_EQ(bob_->Sync(), own);
}

TEST_F(Chat, AfterABurstTwoLinesASecondPass) {
  // Each step is synced, so the server has handled it before the clock moves.
  for (int i = 0; i < 5; ++i) bob_->Send("LMSG:burst");
  bob_->Send("LMSG:dropped");
  EXPECT_EQ(bob_->Sync(), (Lines{"LMSG:bob:burst", "LMSG:bob:burst", "LMSG:bob:burst",
                                 "LMSG:bob:burst", "LMSG:bob:burst", kTooFast}));
  lobby_.Clock().Advance(milliseconds(500));
  bob_->Send("LMSG:one token back");
  bob_->Send("LMSG:dropped again");
  EXPECT_EQ(bob_->Sync(), (Lines{"LMSG:bob:one token back", kTooFast}));
  lobby_.Clock().Advance(milliseconds(1000));
  bob_->Send("LMSG:two");
  bob_->Send("LMSG:three");
  bob_->Send("LMSG:dropped a third time");
  bob_->Send("LMSG:and a fourth");
  EXPECT_EQ(bob_->Sync(), (Lines{"LMSG:bob:two", "LMSG:bob:three", kTooFast}));
  lobby_.Clock().Advance(milliseconds(10000));
  for (int i = 0; i < 6; ++i) bob_->Send("LMSG:full burst again");
  auto own = bob_->Sync();
  ASSERT_TRUE(own);
  EXPECT_EQ(std::count(own->begin(), own->end(), "LMSG:bob:full burst again"), 5);
  EXPECT_EQ(cid_->Sync()->size(), 5u + 1u + 2u + 5u) << "nothing dropped reached the others";
}

TEST_F(Chat, SigningInAgainDoesNotRefillTheAllowance) {
  for (int i = 0; i < 5; ++i) bob_->Send("LMSG:burst");
  bob_->Send("QUIT");
  ASSERT_EQ(cid_->ReadUntil("ISOFF:bob"), Lines(5, "LMSG:bob:burst"));
  auto again = lobby_.SignIn("bob");
  ASSERT_TRUE(again);
  again->Send("LMSG:once more");
  EXPECT_EQ(again->Sync(), Lines{kTooFast});
  EXPECT_EQ(cid_->Sync(), Lines{"ISON:bob"});
}

TEST(ChatFromOneAddress, PilotsBehindOneAddressMaySendWhatAsManyPilotsAsItMayConnect) {
  LobbyOptions options;
  options.connectionsPerAddress = 2;
  LobbyRig lobby(options);
  ASSERT_EQ(lobby.Start(), "");
  auto reader = lobby.Connect("127.0.0.2");
  reader->Send("CREATE:reader:" + Digest("pw") + ":r@x");
  ASSERT_EQ(reader->ReadUntil("ISON:reader"), Lines{"AUTH_ACK:OK"});
  // Two pilots' bursts, one after the other; a third pilot finds nothing left.
  for (const char* name : {"ann", "bob", "cid"}) {
    auto pilot = lobby.Join(name);
    ASSERT_TRUE(pilot);
    for (int i = 0; i < 5; ++i) pilot->Send("LMSG:hi");
    pilot->Send("QUIT");
    EXPECT_TRUE(pilot->WaitClosed());
  }
  auto seen = reader->ReadUntil("ISOFF:cid");
  ASSERT_TRUE(seen);
  EXPECT_EQ(std::count(seen->begin(), seen->end(), "LMSG:ann:hi"), 5);
  EXPECT_EQ(std::count(seen->begin(), seen->end(), "LMSG:bob:hi"), 5);
  EXPECT_EQ(std::count(seen->begin(), seen->end(), "LMSG:cid:hi"), 0);
}

TEST_F(Chat, PrivateLinesCountTowardsTheSameLimit) {
  for (int i = 0; i < 5; ++i) bob_->Send("PMSG:ann:hi");
  bob_->Send("LMSG:too much");
  bob_->Send("PMSG:ann:too much");
  EXPECT_EQ(bob_->Sync(), (Lines{kTooFast}));
  EXPECT_EQ(ann_->Sync(), (Lines(5, "PMSG:bob:hi")));
}

TEST_F(Chat, EachPilotHasItsOwnAllowance) {
  for (int i = 0; i < 6; ++i) bob_->Send("LMSG:b");
  ASSERT_TRUE(bob_->Sync());
  cid_->Send("LMSG:c");
  auto seen = ann_->Sync();
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->back(), "LMSG:cid:c");
}

}  // namespace
}  // namespace lobbyd::testing
