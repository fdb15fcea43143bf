// Presence notices as a second and third client see them.
#include <gtest/gtest.h>

#include "lobbyd/testing/lobby_rig.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

class Presence : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Seed({{{"ann", "pw"}}, {"ann"}, {}, {}}), "");
    ASSERT_EQ(lobby_.Start(), "");
    ann_ = lobby_.SignIn("ann");
    bob_ = lobby_.Join("bob");
    cid_ = lobby_.Join("cid");
    ASSERT_TRUE(ann_ && bob_ && cid_);
    ASSERT_EQ(ann_->Sync(), (Lines{"ISON:bob", "ISON:cid"}));
    ASSERT_EQ(bob_->Sync(), (Lines{"ISON:cid"}));
  }
  // What each of the three has been sent since the last look.
  void ExpectAll(const Lines& ann, const Lines& bob, const Lines& cid) {
    EXPECT_EQ(ann_->Sync(), ann);
    EXPECT_EQ(bob_->Sync(), bob);
    EXPECT_EQ(cid_->Sync(), cid);
  }
  LobbyRig lobby_;
  std::unique_ptr<RigClient> ann_, bob_, cid_;
};

TEST_F(Presence, SignInIsAnnouncedToEveryoneRightAfterItsAck) {
  auto dan = lobby_.Join("dan");
  ASSERT_TRUE(dan);
  ExpectAll({"ISON:dan"}, {"ISON:dan"}, {"ISON:dan"});
}

TEST_F(Presence, AwayGoesToEveryoneTheSubjectIncluded) {
  bob_->Send("AWAY:Having dinner");
  Lines away = {"ISAWAY:bob:Having dinner"};
  ExpectAll(away, away, away);
}

TEST_F(Presence, AwayWithoutTextIsRefusedToTheAskerOnly) {
  bob_->Send("AWAY:   ");
  ExpectAll({}, {"WARNING:You must enter an away message!"}, {});
}

TEST_F(Presence, ChangesThatReachEveryoneAreLimitedLikeChat) {
  // A burst of five, then one every 2 s: the sixth and seventh are dropped with one warning,
  // each refused.
  for (int i = 1; i <= 7; ++i) bob_->Send("AWAY:away " + std::to_string(i));
  Lines seen;
  for (int i = 1; i <= 5; ++i) seen.push_back("ISAWAY:bob:away " + std::to_string(i));
  const std::string refused = "WARNING:Your status was not changed; please try again in a moment.";
  Lines bobSees = seen;
  bobSees.insert(bobSees.end(), {"WARNING:You are making changes too fast; some were not made.",
                                 refused, refused});
  ExpectAll(seen, bobSees, seen);
  lobby_.Clock().Advance(std::chrono::seconds(2));
  bob_->Send("ONLINE");
  ExpectAll({"ISON:bob"}, {"ISON:bob"}, {"ISON:bob"});
}

TEST_F(Presence, OnlineGoesToEveryone) {
  bob_->Send("AWAY:brb");
  bob_->Send("ONLINE");
  Lines seen = {"ISAWAY:bob:brb", "ISON:bob"};
  ExpectAll(seen, seen, seen);
}

TEST_F(Presence, InvisibleAcksTheAskerAndLooksOfflineToTheOthers) {
  bob_->Send("INVISIBLE");
  ExpectAll({"ISOFF:bob"}, {"INVISIBLE_ACK"}, {"ISOFF:bob"});
  bob_->Send("ONLINE");
  ExpectAll({"ISON:bob"}, {"ISON:bob"}, {"ISON:bob"});
}

TEST_F(Presence, AdminModeWithRightsIsAnnounced) {
  ann_->Send("ADMINMODE");
  Lines admin = {"ISADMIN:ann"};
  ExpectAll(admin, admin, admin);
}

TEST_F(Presence, AdminModeWithoutRightsWarnsOnlyTheAsker) {
  bob_->Send("ADMINMODE");
  ExpectAll({}, {"WARNING:You do not have administrator rights!"}, {});
}

TEST_F(Presence, OnlineAwayAndInvisibleEachEndAdminMode) {
  const Lines kRefused = {"WARNING:You must be in admin mode to do that!"};
  ann_->Send("ADMINMODE");
  ann_->Send("ONLINE");
  ann_->Send("SUSPEND:bob");
  EXPECT_EQ(ann_->Sync(), (Lines{"ISADMIN:ann", "ISON:ann", kRefused[0]}));
  lobby_.Clock().Advance(std::chrono::seconds(4));  // status changes are limited to a few
  ann_->Send("ADMINMODE");
  ann_->Send("AWAY:out");
  ann_->Send("SUSPEND:bob");
  EXPECT_EQ(ann_->Sync(), (Lines{"ISADMIN:ann", "ISAWAY:ann:out", kRefused[0]}));
  lobby_.Clock().Advance(std::chrono::seconds(4));
  ann_->Send("ADMINMODE");
  ann_->Send("INVISIBLE");
  ann_->Send("SUSPEND:bob");
  EXPECT_EQ(ann_->Sync(), (Lines{"ISADMIN:ann", "INVISIBLE_ACK", kRefused[0]}));
  ExpectAll(
      {}, {"ISADMIN:ann", "ISON:ann", "ISADMIN:ann", "ISAWAY:ann:out", "ISADMIN:ann", "ISOFF:ann"},
      {"ISADMIN:ann", "ISON:ann", "ISADMIN:ann", "ISAWAY:ann:out", "ISADMIN:ann", "ISOFF:ann"});
}

TEST_F(Presence, SignOffGoesToTheOthers) {
  bob_->Send("QUIT");
  EXPECT_EQ(bob_->ReadLine(), "QUIT_ACK:OK");
  EXPECT_EQ(ann_->ReadLine(), "ISOFF:bob");
  EXPECT_EQ(cid_->ReadLine(), "ISOFF:bob");
}

}  // namespace
}  // namespace lobbyd::testing
