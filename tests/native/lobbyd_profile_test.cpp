// Profiles: viewing, fetching one's own for editing, saving (in-process), "¶" for line breaks
// (over loopback, as the byte B6).
#include <gtest/gtest.h>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kPara = "\xC2\xB6";  // "¶" in UTF-8; 0xB6 on the wire

class Profiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Start(), "");
    ann_ = lobby_.Join("ann");
    bob_ = lobby_.Join("bob");
    ASSERT_TRUE(ann_ && bob_);
    ASSERT_EQ(ann_->Sync(), (Lines{"ISON:bob"}));
  }
  LobbyRig lobby_;
  std::unique_ptr<RigClient> ann_, bob_;
};

TEST_F(Profiles, NewAccountShowsItsDatesAndEmail) {
  // The manual clock starts at 2023-11-14 22:13:20 UTC.
  ann_->Send("USERINFO:BOB");
  EXPECT_EQ(
      ann_->ReadUntil("USERINFO_ACK:OK"),
      (Lines{"USERINFO_ACK:USER:bob", "USERINFO_ACK:MEMSINCE:2023-11-14",
             "USERINFO_ACK:LASTON:Online now", "USERINFO_ACK:LOCATION:", "USERINFO_ACK:AGE:",
             "USERINFO_ACK:EMAIL:bob@example.org", "USERINFO_ACK:WEB:", "USERINFO_ACK:BIO:"}));
}

TEST_F(Profiles, SavedProfileIsShownWithParagraphSignsAsSent) {
  bob_->Send("SAVEPROFILE:bob:Crater B:31:bob@example.org:http://bob.example:8080/x:line one" +
             kPara + "line two: with colon");
  ann_->Sync();  // bob's line is handled before ann asks
  EXPECT_EQ(bob_->Sync(), Lines{});
  ann_->Send("USERINFO:bob");
  EXPECT_EQ(ann_->ReadUntil("USERINFO_ACK:OK"),
            (Lines{"USERINFO_ACK:USER:bob", "USERINFO_ACK:MEMSINCE:2023-11-14",
                   "USERINFO_ACK:LASTON:Online now", "USERINFO_ACK:LOCATION:Crater B",
                   "USERINFO_ACK:AGE:31", "USERINFO_ACK:EMAIL:bob@example.org",
                   "USERINFO_ACK:WEB:http://bob.example:8080/x",
                   "USERINFO_ACK:BIO:line one" + kPara + "line two: with colon"}));
}

TEST(ProfileBytes, ParagraphSignTravelsAsTheByteB6) {
  TestServer server;
  ASSERT_EQ(server.Start(), "");
  auto bob = server.Join("bob");
  ASSERT_TRUE(bob);
  bob->SendRaw(
      "SAVEPROFILE:bob:::::a\xB6"
      "b\r\n");
  bob->Send("EDITPROFILE:bob");
  auto lines = bob->ReadUntil("EDITPROFILE_ACK:OK");
  ASSERT_TRUE(lines);
  EXPECT_EQ(lines->back(), "EDITPROFILE_ACK:BIO:a" + kPara + "b");
}

TEST_F(Profiles, EditProfileSendsTheOwnProfileUnderItsOwnReplyName) {
  bob_->Send("SAVEPROFILE:bob:Here:40:b@x:web:bio");
  bob_->Send("EDITPROFILE:Bob");
  EXPECT_EQ(bob_->ReadUntil("EDITPROFILE_ACK:OK"),
            (Lines{"EDITPROFILE_ACK:USER:bob", "EDITPROFILE_ACK:MEMSINCE:2023-11-14",
                   "EDITPROFILE_ACK:LASTON:Online now", "EDITPROFILE_ACK:LOCATION:Here",
                   "EDITPROFILE_ACK:AGE:40", "EDITPROFILE_ACK:EMAIL:b@x", "EDITPROFILE_ACK:WEB:web",
                   "EDITPROFILE_ACK:BIO:bio"}));
}

TEST_F(Profiles, EditingOrSavingAnotherPilotsProfileIsRefused) {
  ann_->Send("EDITPROFILE:bob");
  ann_->Send("SAVEPROFILE:bob:Hacked:1:x@y:w:b");
  EXPECT_EQ(ann_->Sync(), (Lines{"WARNING:You can only edit your own profile!",
                                 "WARNING:You can only edit your own profile!"}));
  ann_->Send("USERINFO:bob");
  auto lines = ann_->ReadUntil("USERINFO_ACK:OK");
  ASSERT_TRUE(lines);
  EXPECT_EQ((*lines)[3], "USERINFO_ACK:LOCATION:");
}

TEST_F(Profiles, FieldsTheClientChecksAreCheckedAgain) {
  bob_->Send("SAVEPROFILE:bob:Crater" + kPara + "B:31:b@x:w:bio");
  EXPECT_EQ(bob_->Sync(),
            (Lines{"WARNING:One of your fields contains disallowed punctuation or letters!"}));
}

TEST_F(Profiles, UnknownPilotGetsAWarning) {
  ann_->Send("USERINFO:ghost");
  EXPECT_EQ(ann_->Sync(), (Lines{"WARNING:There is no pilot named ghost!"}));
}

TEST_F(Profiles, LastOnShowsTheSignOffTimeOnceInvisibleOrOffline) {
  lobby_.Clock().Advance(std::chrono::hours(2));
  // Going invisible looks like signing off, in the profile too; an hour later he really does.
  for (auto [leave, seen] : {std::pair{"INVISIBLE", "2023-11-15 00:13 UTC"},
                             std::pair{"QUIT", "2023-11-15 01:13 UTC"}}) {
    bob_->Send(leave);
    ASSERT_EQ(ann_->ReadLine(), "ISOFF:bob");
    lobby_.Clock().Advance(std::chrono::minutes(30));
    ann_->Send("USERINFO:bob");
    auto lines = ann_->ReadUntil("USERINFO_ACK:OK");
    ASSERT_TRUE(lines);
    EXPECT_EQ((*lines)[2], std::string("USERINFO_ACK:LASTON:") + seen) << leave;
    lobby_.Clock().Advance(std::chrono::minutes(30));
  }
}

}  // namespace
}  // namespace lobbyd::testing
