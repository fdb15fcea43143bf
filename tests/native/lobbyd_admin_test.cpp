// Administration with and without rights and admin mode: the rules in-process; over loopback,
// changes the store cannot take while another process holds its lock.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::seconds;

const std::string kNotStored =
    "WARNING:The server could not store that change now; please try again later.";

// Another process holding the store's write lock: the server's writes wait their 2 s and fail.
class WriteLock {
 public:
  explicit WriteLock(const std::string& database) {
    sqlite3_open(database.c_str(), &db_);
    held_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~WriteLock() { Release(); }
  bool Held() const { return held_; }
  void Release() {
    if (held_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    held_ = false;
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

// root, an administrator in admin mode, bob and cid, each having seen the others come.
template <class Lobby, class Client>
class Admins : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Seed({{{"root", "pw"}}, {"root"}, {}, {}}), "");
    ASSERT_EQ(lobby_.Start(), "");
    root_ = lobby_.SignIn("root");
    bob_ = lobby_.Join("bob");
    cid_ = lobby_.Join("cid");
    ASSERT_TRUE(root_ && bob_ && cid_);
    root_->Send("ADMINMODE");
    ASSERT_EQ(root_->Sync(), (Lines{"ISON:bob", "ISON:cid", "ISADMIN:root"}));
    ASSERT_EQ(bob_->Sync(), (Lines{"ISON:cid", "ISADMIN:root"}));
    ASSERT_EQ(cid_->Sync(), (Lines{"ISADMIN:root"}));
  }
  Lobby lobby_;
  std::unique_ptr<Client> root_, bob_, cid_;
};

class Admin : public Admins<LobbyRig, RigClient> {};

TEST_F(Admin, EveryCommandNeedsAdminMode) {
  for (const char* line : {"REMUSER:cid", "SUSPEND:cid", "UNSUSPEND:cid",
                           "CHNGPASS:cid:0123456789ABCDEF0123456789ABCDEF"}) {
    bob_->Send(line);
  }
  EXPECT_EQ(bob_->Sync(), Lines(4, "WARNING:You must be in admin mode to do that!"));
  EXPECT_EQ(cid_->Sync(), Lines{});
  auto again = lobby_.SignIn("cid");  // the password is unchanged
  EXPECT_TRUE(again);
}

TEST_F(Admin, RightsWithoutAdminModeAreNotEnough) {
  root_->Send("ONLINE");
  root_->Send("REMUSER:cid");
  EXPECT_EQ(root_->Sync(), (Lines{"ISON:root", "WARNING:You must be in admin mode to do that!"}));
}

TEST_F(Admin, RemoveUserClosesTheVictimAndTellsEveryone) {
  bob_->Send("HOSTGAME:Bobs:203.0.113.9:1:Named:0:0:0:0:0:0:0:1:0:0:");
  ASSERT_EQ(bob_->Sync(), (Lines{"HOSTGAME_ACK:OK", "GAMEUP:Bobs"}));
  root_->Send("REMUSER:BOB");
  EXPECT_EQ(bob_->ReadLine(), "ERROR:Your account has been removed by an administrator.");
  EXPECT_TRUE(bob_->WaitClosed());
  // The victim leaves, its game with it, then the account goes from every roster.
  Lines seen = {"GAMEUP:Bobs", "ISOFF:bob", "GAMEDOWN:Bobs", "GAMEREM:Bobs", "REMUSER:bob"};
  EXPECT_EQ(cid_->Sync(), seen);
  EXPECT_EQ(root_->Sync(), seen);
  auto client = lobby_.Connect();
  client->Send("AUTH:bob:" + Digest("pw"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  // The ID is free again.
  EXPECT_TRUE(lobby_.Join("bob"));
}

TEST_F(Admin, RemoveUserOfAnOfflineAccount) {
  cid_->Send("QUIT");
  ASSERT_EQ(root_->ReadLine(), "ISOFF:cid");
  root_->Send("REMUSER:cid");
  EXPECT_EQ(root_->Sync(), (Lines{"REMUSER:cid"}));
  EXPECT_EQ(bob_->Sync(), (Lines{"ISOFF:cid", "REMUSER:cid"}));
}

TEST_F(Admin, UnknownOrOwnAccountIsRefused) {
  root_->Send("REMUSER:ghost");
  root_->Send("REMUSER:root");
  root_->Send("SUSPEND:Root");
  EXPECT_EQ(root_->Sync(), (Lines{"WARNING:There is no pilot named ghost!",
                                  "WARNING:You cannot do that to your own account!",
                                  "WARNING:You cannot do that to your own account!"}));
}

TEST_F(Admin, SuspendClosesTheVictimWhoseReconnectIsSuspendedUntilUnsuspend) {
  root_->Send("SUSPEND:bob");
  EXPECT_EQ(bob_->ReadLine(), "ERROR:Your account has been suspended by an administrator.");
  EXPECT_TRUE(bob_->WaitClosed());
  EXPECT_EQ(root_->Sync(), (Lines{"ISOFF:bob", "WARNING:bob has been suspended."}));
  EXPECT_EQ(cid_->Sync(), (Lines{"ISOFF:bob"}));

  auto retry = lobby_.Connect();
  retry->Send("AUTH:bob:" + Digest("pw"));
  EXPECT_EQ(retry->ReadLine(), "AUTH_ACK:SUSPENDED");

  root_->Send("UNSUSPEND:bob");
  EXPECT_EQ(root_->Sync(), (Lines{"WARNING:bob is no longer suspended."}));
  retry->Send("AUTH:bob:" + Digest("pw"));
  EXPECT_EQ(retry->ReadLine(), "AUTH_ACK:OK");
}

TEST_F(Admin, ChangePasswordReplacesTheOldOne) {
  root_->Send("CHNGPASS:cid:" + Digest("new one"));
  EXPECT_EQ(root_->Sync(), (Lines{"WARNING:The password of cid has been changed."}));
  auto client = lobby_.Connect();
  client->Send("AUTH:cid:" + Digest("pw"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  client->Send("AUTH:cid:" + Digest("new one"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
}

TEST_F(Admin, ChangePasswordNeedsADigest) {
  root_->Send("CHNGPASS:cid:plain text");
  EXPECT_EQ(root_->Sync(),
            (Lines{"WARNING:The new password could not be read; please try again."}));
  EXPECT_TRUE(lobby_.SignIn("cid")) << "the old password still works";
}

// Over loopback, with the store in a file that another process may lock.
class AdminWithLockedStore : public Admins<TestServer, TestClient> {};

TEST_F(AdminWithLockedStore, ChangesThatCannotBeStoredTakeNoEffectNowNorLater) {
  WriteLock lock(lobby_.Database());
  ASSERT_TRUE(lock.Held());
  root_->Send("CHNGPASS:cid:" + Digest("new one"));
  root_->Send("SUSPEND:bob");
  root_->Send("REMUSER:cid");
  // One after another, each once its write failed; nobody else is told anything.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(root_->ReadLine(seconds(15)), kNotStored);
  lock.Release();
  EXPECT_EQ(bob_->Sync(), Lines{});
  EXPECT_EQ(cid_->Sync(), Lines{});
  auto client = lobby_.Connect();
  client->Send("AUTH:cid:" + Digest("new one"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  // Nor does a later write of the account store any of them.
  EXPECT_TRUE(lobby_.SignIn("cid"));
  lobby_.Stop();
  ASSERT_EQ(lobby_.Start(), "");
  EXPECT_TRUE(lobby_.SignIn("cid"));
  EXPECT_TRUE(lobby_.SignIn("bob"));
}

TEST_F(AdminWithLockedStore, ARemovalWinsOverTheVictimsSignInThatReadHisAccountBeforeIt) {
  auto dan = lobby_.Join("dan");
  ASSERT_TRUE(dan);
  ASSERT_TRUE(root_->Sync());
  WriteLock lock(lobby_.Database());
  ASSERT_TRUE(lock.Held());
  // The store's thread waits on bob's profile; the victim's read and the removal queue behind.
  bob_->Send("SAVEPROFILE:bob:here:31:b@x:w:bio");
  lobby_.Hasher().Hold(true);
  auto victim = lobby_.Connect();
  victim->Send("AUTH:cid:" + Digest("pw"));
  root_->Send("REMUSER:cid");
  ASSERT_TRUE(dan->Sync());
  lock.Release();
  EXPECT_EQ(root_->ReadUntil("REMUSER:cid"), Lines{"ISOFF:cid"});
  lobby_.Hasher().Hold(false);
  EXPECT_EQ(victim->ReadLine(), "AUTH_ACK:FAILED");
  auto again = lobby_.Connect();
  again->Send("AUTH:cid:" + Digest("pw"));
  EXPECT_EQ(again->ReadLine(), "AUTH_ACK:FAILED");
}

}  // namespace
}  // namespace lobbyd::testing
