// The game registry: hosting, details, resuming, removing, and host sign-off.
#include <gtest/gtest.h>

#include "lobbyd/testing/lobby_rig.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kPara = "\xC2\xB6";

// "HOSTGAME:"/"RESUMEGAME:" fields after name and address; `longTerm` is field 12.
std::string Fields(const std::string& name, const std::string& address, bool longTerm,
                   const std::string& description = "Big" + kPara + "fight: all in") {
  return name + ":" + address + ":1.06:Named & Target:1:0:1:0:0:1:0:" + (longTerm ? "1" : "0") +
         ":0:1:" + description;
}

class Games : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lobby_.Seed({{{"root", "pw"}}, {"root"}, {}, {}}), "");
    ASSERT_EQ(lobby_.Start(), "");
    host_ = lobby_.Join("host");
    other_ = lobby_.Join("other");
    ASSERT_TRUE(host_ && other_);
    ASSERT_EQ(host_->Sync(), (Lines{"ISON:other"}));
  }
  void Host(const std::string& name, const std::string& address, bool longTerm) {
    host_->Send("HOSTGAME:" + Fields(name, address, longTerm));
    ASSERT_EQ(host_->ReadLine(), "HOSTGAME_ACK:OK");
    ASSERT_EQ(host_->ReadLine(), "GAMEUP:" + name);
    ASSERT_EQ(other_->ReadLine(), "GAMEUP:" + name);
  }
  // The host's connection drops; its long-term games stay, down.
  void DropHost() {
    host_->Close();
    ASSERT_EQ(other_->ReadUntil("GAMEDOWN:Arena"), (Lines{"ISOFF:host"}));
  }
  LobbyRig lobby_;
  std::unique_ptr<RigClient> host_, other_;
};

TEST_F(Games, HostingAnnouncesTheGameToEveryone) {
  host_->Send("HOSTGAME:" + Fields("Arena", "203.0.113.9", true));
  EXPECT_EQ(host_->Sync(), (Lines{"HOSTGAME_ACK:OK", "GAMEUP:Arena"}));
  EXPECT_EQ(other_->Sync(), (Lines{"GAMEUP:Arena"}));
}

// A name is taken by any listed game, in any letter case; an address only by a running one.
TEST_F(Games, ANameIsDupnameWhileListedAndAnAddressDupaddyWhileRunning) {
  Host("Arena", "203.0.113.9", true);
  for (bool down : {false, true}) {
    SCOPED_TRACE(down ? "Arena down" : "Arena up");
    if (down) DropHost();
    other_->Send("HOSTGAME:" + Fields(down ? "Arena" : "ARENA", "203.0.113.10", true));
    other_->Send("HOSTGAME:" + Fields("Other", "203.0.113.9", true));
    EXPECT_EQ(other_->Sync(),
              down ? (Lines{"HOSTGAME_ACK:DUPNAME", "HOSTGAME_ACK:OK", "GAMEUP:Other"})
                   : (Lines{"HOSTGAME_ACK:DUPNAME", "HOSTGAME_ACK:DUPADDY"}));
    if (!down) EXPECT_EQ(host_->Sync(), Lines{});
    lobby_.Clock().Advance(std::chrono::seconds(10));  // past the limit on changes
  }
}

TEST_F(Games, FieldsTheClientChecksAreCheckedAgain) {
  host_->Send("HOSTGAME:" + Fields("Bad" + kPara + "name", "203.0.113.9", true));
  host_->Send("HOSTGAME:" + Fields("Good", "203.0.113.9 x", true));
  host_->Send("HOSTGAME:" + Fields("Good", "", true));
  host_->Send("HOSTGAME:" + Fields("   ", "203.0.113.9", true));
  const std::string kBad = "WARNING:One of your fields contains disallowed punctuation or letters!";
  EXPECT_EQ(host_->Sync(),
            (Lines{kBad, kBad, "WARNING:You must have an IP address for your server!",
                   "WARNING:You must enter a name for your game!"}));
  lobby_.Clock().Advance(std::chrono::seconds(10));  // past the limit on changes
  // A soft hyphen or a C1 control shows as nothing: "Are\u00ADna" would pass for "Arena".
  host_->Send("HOSTGAME:" + Fields("Are\xC2\xADna", "203.0.113.9", true));
  host_->Send("HOSTGAME:" + Fields("Arena\xC2\x90", "203.0.113.9", true));
  EXPECT_EQ(host_->Sync(), (Lines{kBad, kBad}));
  EXPECT_EQ(other_->Sync(), Lines{});
}

TEST_F(Games, GameInfoGivesEveryKeyThenOk) {
  Host("Arena", "arena.example.net", false);
  other_->Send("GAMEINFO:arena");
  EXPECT_EQ(
      other_->Sync(),
      (Lines{"GAMEINFO_ACK:HOSTPLAYER:host", "GAMEINFO_ACK:GAMENAME:Arena",
             "GAMEINFO_ACK:GAMEADDRESS:arena.example.net", "GAMEINFO_ACK:SKYRENDVER:1.06",
             "GAMEINFO_ACK:GAMEDES:Big" + kPara + "fight: all in",
             "GAMEINFO_ACK:PLAYERANNOUNCE:Named & Target", "GAMEINFO_ACK:INCLUDECPUS:1",
             "GAMEINFO_ACK:ALPHARESTRICT:0", "GAMEINFO_ACK:MOTHHOPPING:1",
             "GAMEINFO_ACK:BLOODMONEY:0", "GAMEINFO_ACK:PASSWORDS:0", "GAMEINFO_ACK:GODHANGER:1",
             "GAMEINFO_ACK:DEDICATED:0", "GAMEINFO_ACK:GAMETERM:short",
             "GAMEINFO_ACK:FILELOGGING:0", "GAMEINFO_ACK:DEBUGMODE:1", "GAMEINFO_ACK:GAMESTATE:up",
             "GAMEINFO_ACK:PLAYERS:host:", "GAMEINFO_ACK:OK"}));
}

TEST_F(Games, GameInfoOfAGameThatIsDownSaysSo) {
  Host("Arena", "203.0.113.9", true);
  DropHost();
  other_->Send("GAMEINFO:Arena");
  auto lines = other_->ReadUntil("GAMEINFO_ACK:OK");
  ASSERT_TRUE(lines);
  EXPECT_EQ((*lines)[13], "GAMEINFO_ACK:GAMETERM:long");
  EXPECT_EQ((*lines)[16], "GAMEINFO_ACK:GAMESTATE:down");
}

TEST_F(Games, UnknownGameGetsAWarning) {
  other_->Send("GAMEINFO:Nowhere");
  other_->Send("RESUMEINFO:Nowhere");
  other_->Send("REMGAME:Nowhere");
  EXPECT_EQ(other_->Sync(), (Lines{"WARNING:There is no game named Nowhere!",
                                   "WARNING:There is no game named Nowhere!",
                                   "WARNING:There is no game named Nowhere!"}));
}

TEST_F(Games, ResumeInfoForTheHostIsOkKeysDone) {
  Host("Arena", "203.0.113.9", true);
  host_->Send("RESUMEINFO:Arena");
  EXPECT_EQ(host_->Sync(),
            (Lines{"RESUMEINFO_ACK:OK", "RESUMEINFO_ACK:GAMENAME:Arena",
                   "RESUMEINFO_ACK:GAMEADDRESS:203.0.113.9", "RESUMEINFO_ACK:SKYRENDVER:1.06",
                   "RESUMEINFO_ACK:GAMEDES:Big" + kPara + "fight: all in",
                   "RESUMEINFO_ACK:PLAYERANNOUNCE:Named & Target", "RESUMEINFO_ACK:INCLUDECPUS:1",
                   "RESUMEINFO_ACK:ALPHARESTRICT:0", "RESUMEINFO_ACK:MOTHHOPPING:1",
                   "RESUMEINFO_ACK:BLOODMONEY:0", "RESUMEINFO_ACK:PASSWORDS:0",
                   "RESUMEINFO_ACK:GODHANGER:1", "RESUMEINFO_ACK:DEDICATED:0",
                   "RESUMEINFO_ACK:GAMETERM:long", "RESUMEINFO_ACK:FILELOGGING:0",
                   "RESUMEINFO_ACK:DEBUGMODE:1", "RESUMEINFO_ACK:DONE"}));
}

TEST_F(Games, ResumeInfoForAnotherPilotIsNoaccessButAnAdministratorMay) {
  Host("Arena", "203.0.113.9", true);
  other_->Send("RESUMEINFO:Arena");
  EXPECT_EQ(other_->Sync(), (Lines{"RESUMEINFO_ACK:NOACCESS"}));
  auto root = lobby_.SignIn("root");
  ASSERT_TRUE(root);
  root->Send("RESUMEINFO:Arena");
  root->Send("ADMINMODE");
  root->Send("RESUMEINFO:Arena");
  auto lines = root->Sync();
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 19u);
  EXPECT_EQ((*lines)[0], "RESUMEINFO_ACK:NOACCESS");
  EXPECT_EQ((*lines)[1], "ISADMIN:root");
  EXPECT_EQ((*lines)[2], "RESUMEINFO_ACK:OK");
  EXPECT_EQ((*lines)[18], "RESUMEINFO_ACK:DONE");
}

TEST_F(Games, ResumeGameStoresTheNewSettingsAndAnnouncesTheGame) {
  Host("Arena", "203.0.113.9", true);
  DropHost();
  auto host = lobby_.SignIn("host");
  ASSERT_TRUE(host);
  host->Send("RESUMEGAME:" + Fields("Arena", "198.51.100.4", true, "new text"));
  EXPECT_EQ(host->Sync(), (Lines{"RESUMEGAME_ACK:OK", "GAMEUP:Arena"}));
  EXPECT_EQ(other_->Sync(), (Lines{"ISON:host", "GAMEUP:Arena"}));
  other_->Send("GAMEINFO:Arena");
  auto lines = other_->ReadUntil("GAMEINFO_ACK:OK");
  ASSERT_TRUE(lines);
  EXPECT_EQ((*lines)[2], "GAMEINFO_ACK:GAMEADDRESS:198.51.100.4");
  EXPECT_EQ((*lines)[4], "GAMEINFO_ACK:GAMEDES:new text");
  EXPECT_EQ((*lines)[16], "GAMEINFO_ACK:GAMESTATE:up");
}

TEST_F(Games, ResumeGameByAnotherPilotIsRefused) {
  Host("Arena", "203.0.113.9", true);
  DropHost();
  other_->Send("RESUMEGAME:" + Fields("Arena", "198.51.100.4", true));
  EXPECT_EQ(other_->Sync(), (Lines{"WARNING:You're not permitted to resume other players games!"}));
}

TEST_F(Games, LongTermGameGoesDownWhenItsHostSignsOff) {
  Host("Arena", "203.0.113.9", true);
  host_->Send("QUIT");
  EXPECT_EQ(other_->ReadUntil("GAMEDOWN:Arena"), (Lines{"ISOFF:host"}));
  other_->Send("GAMES");
  EXPECT_EQ(other_->ReadUntil("GAMES_ACK"), (Lines{"GAME:Arena:down"}));
}

TEST_F(Games, OtherGamesAreRemovedWhenTheirHostSignsOff) {
  Host("Quick", "203.0.113.9", false);
  host_->Close();
  EXPECT_EQ(other_->ReadUntil("GAMEREM:Quick"), (Lines{"ISOFF:host"}));
  other_->Send("GAMES");
  EXPECT_EQ(other_->ReadLine(), "GAMES_ACK");
}

TEST_F(Games, HostRemovesItsGame) {
  Host("Arena", "203.0.113.9", true);
  host_->Send("REMGAME:Arena");
  EXPECT_EQ(host_->Sync(), (Lines{"GAMEREM:Arena"}));
  EXPECT_EQ(other_->Sync(), (Lines{"GAMEREM:Arena"}));
}

TEST_F(Games, AnotherPilotCannotRemoveAGameButAnAdministratorInAdminModeCan) {
  Host("Arena", "203.0.113.9", true);
  other_->Send("REMGAME:Arena");
  EXPECT_EQ(other_->Sync(), (Lines{"WARNING:You're not permitted to remove other players games!"}));
  auto root = lobby_.SignIn("root");
  ASSERT_TRUE(root);
  root->Send("REMGAME:Arena");
  root->Send("ADMINMODE");
  root->Send("REMGAME:Arena");
  EXPECT_EQ(root->Sync(), (Lines{"WARNING:You're not permitted to remove other players games!",
                                 "ISADMIN:root", "GAMEREM:Arena"}));
  EXPECT_EQ(host_->Sync(), (Lines{"ISON:root", "ISADMIN:root", "GAMEREM:Arena"}));
}

}  // namespace
}  // namespace lobbyd::testing
