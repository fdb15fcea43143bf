#include "cv3client/session/presence.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::kStamp;
using testing::Log;

std::string Key(const std::string& name) { return kStamp + name; }
std::string Added(const std::string& name, const std::string& parent, const std::string& text,
                  int image, const std::string& tag, const std::string& colour = "F8F8F8") {
  return "tree add " + Key(name) + " under " + parent + " \"" + text + "\" image " +
         std::to_string(image) + " tag " + tag + " colour " + colour;
}

// Signed in as "Me", with the roster's times moved on so a re-added node gets a new key.
struct Lobby : ClientHarness {
  Lobby() {
    SignIn("Me");
    settings.SetDWord("Reconnect", 1);
  }
  void Later() { now = "later"; }
};

std::vector<std::string> Texts(const RosterModel& roster, std::string_view parent) {
  std::vector<std::string> texts;
  for (const RosterNode& node : roster.Nodes()) {
    if (node.parentKey == parent) texts.push_back(node.text);
  }
  return texts;
}

TEST(GameNotices, GameUpOnAListedGameOnlyChangesItsImage) {
  Lobby lobby;
  lobby.Receive({"GAME:Arena:down"});
  lobby.Take();
  lobby.Receive({"GAMEUP:arena"});
  EXPECT_EQ(lobby.Take(), (Log{"tree image " + Key("Arena") + " 1"}));
  lobby.Receive({"GAMEDOWN:ARENA"});
  EXPECT_EQ(lobby.Take(), (Log{"tree image " + Key("Arena") + " 6"}));
}

TEST(GameNotices, UnknownGamesAreAddedRunningOrNot) {
  Lobby lobby;
  lobby.Receive({"GAME:Arena 2:up", "GAME:My Arena:up"});
  lobby.Take();
  lobby.Receive({"GAMEUP:Arena", "GAMEDOWN:Big Race"});
  EXPECT_EQ(lobby.Take(), (Log{Added("Arena", "GAMES", "Arena", 1, "game"),
                               Added("BigRace", "GAMES", "Big Race", 6, "game")}));
}

TEST(GameNotices, GameRemRemovesOnlyTheNamedGame) {
  Lobby lobby;
  lobby.Receive({"GAME:Arena 2:up", "GAME:Arena:up"});
  lobby.Take();
  lobby.Receive({"GAMEREM:Arena", "GAMEREM:Nowhere"});
  EXPECT_EQ(lobby.Take(), (Log{"tree remove " + Key("Arena")}));
  EXPECT_EQ(Texts(lobby.roster, "GAMES"), (std::vector<std::string>{"Arena 2"}));
}

TEST(UserNotices, RemUserBobLeavesBobby) {
  Lobby lobby;
  lobby.Receive({"USER:bobby:online", "USER:bob:away:brb"});
  lobby.Take();
  lobby.Receive({"REMUSER:bob", "REMUSER:nobody"});
  EXPECT_EQ(lobby.Take(), (Log{"tree remove " + Key("bob")}));
  EXPECT_EQ(Texts(lobby.roster, "ONLINE"), (std::vector<std::string>{"bobby"}));
}

TEST(UserNotices, IsAdminForMeShowsTheAdminMenuAndMovesMyNode) {
  Lobby lobby;
  lobby.Receive({"ISON:Me"});
  lobby.Take();
  lobby.Later();
  lobby.Receive({"ISADMIN:me"});
  EXPECT_EQ(lobby.Take(),
            (Log{"admin menu shown", "status Admin Mode", "tree remove " + Key("Me"),
                 "tree add laterme under ONLINE \"me\" image 8 tag user colour F8F8F8"}));
}

TEST(UserNotices, IsAdminForSomeoneUnlistedAddsThem) {
  Lobby lobby;
  lobby.Receive({"ISADMIN:boss"});
  EXPECT_EQ(lobby.Take(), (Log{Added("boss", "ONLINE", "boss", 8, "user")}));
}

TEST(UserNotices, IsNvisShowsTheInvisibleExtraUnderOnline) {
  Lobby lobby;
  lobby.Receive({"USER:bob:away:brb"});
  lobby.Take();
  lobby.Later();
  lobby.Receive({"ISNVIS:bob"});
  EXPECT_EQ(lobby.Take(),
            (Log{"tree remove " + Key("bob"),
                 "tree add laterbob under ONLINE \"bob ((invisible))\" image 2 tag user colour "
                 "F8F8F8"}));
}

TEST(UserNotices, IsOnForMeHidesTheAdminMenu) {
  Lobby lobby;
  lobby.Receive({"ISON:ME"});
  EXPECT_EQ(lobby.Take(),
            (Log{"admin menu hidden", "status Online", Added("ME", "ONLINE", "ME", 2, "user")}));
}

TEST(UserNotices, IsOnAddsAnUnlistedPilotAndMovesAListedOne) {
  Lobby lobby;
  lobby.Receive({"ISON:bob"});
  EXPECT_EQ(lobby.Take(), (Log{Added("bob", "ONLINE", "bob", 2, "user")}));
  lobby.Receive({"ISOFF:bob"});
  lobby.Take();
  lobby.Later();
  lobby.Receive({"ISON:bob"});
  EXPECT_EQ(lobby.Take(),
            (Log{"tree remove " + Key("bob"),
                 "tree add laterbob under ONLINE \"bob\" image 2 tag user colour F8F8F8"}));
}

TEST(UserNotices, IsOffOnlyMovesListedPilots) {
  Lobby lobby;
  lobby.Receive({"ISOFF:bob", "ISOFF:carl:gone: fishing"});
  EXPECT_EQ(lobby.Take(), Log{});
  lobby.Receive({"USER:bob:online", "USER:carl:online"});
  lobby.Take();
  lobby.Later();
  lobby.Receive({"ISOFF:bob", "ISOFF:carl:gone: fishing"});
  EXPECT_EQ(lobby.Take(),
            (Log{"tree remove " + Key("bob"),
                 "tree add laterbob under OFFLINE \"bob\" image 6 tag user colour F8F8F8",
                 "tree remove " + Key("carl"),
                 "tree add latercarl under OFFLINE \"carl (gone: fishing)\" image 6 tag user "
                 "colour F8F8F8"}));
}

TEST(UserNotices, IsAwayForMeMovesMyNodeAndShowsTheMessage) {
  Lobby lobby;
  lobby.Receive({"ISON:Me"});
  lobby.Take();
  lobby.Later();
  lobby.Receive({"ISAWAY:me:Having dinner"});
  EXPECT_EQ(
      lobby.Take(),
      (Log{"tree remove " + Key("Me"),
           "tree add laterme under AWAY \"me (Having dinner)\" image 4 tag user colour F8F8F8",
           "admin menu hidden", "status Having dinner"}));
}

TEST(UserNotices, IsAwayForAnUnlistedPilotChangesNothingEvenForMe) {
  Lobby lobby;
  lobby.Receive({"ISAWAY:Me:Having dinner", "ISAWAY:bob:brb"});
  EXPECT_EQ(lobby.Take(), Log{});
}

TEST(UserNotices, AnIgnoredPilotStaysGreyWhenMoved) {
  Lobby lobby;
  lobby.settings.SetString("Ignored", "troll,");
  lobby.Receive({"ISON:troll"});
  EXPECT_EQ(lobby.Take(), (Log{Added("troll", "ONLINE", "troll", 6, "user", "808080")}));
}

TEST(UserNotices, NoticesWithoutANameChangeNothing) {
  Lobby lobby;
  lobby.session.Values().signedInName = "";
  lobby.Receive({"USER::online", "GAME::up"});  // even with empty-named nodes listed
  lobby.Take();
  lobby.Receive({"GAMEUP:", "GAMEDOWN", "GAMEREM:", "REMUSER", "ISADMIN:", "ISNVIS:", "ISON:",
                 "ISOFF:", "ISOFF::text", "ISAWAY:", "ISAWAY:bob", "ISAWAY::brb"});
  EXPECT_EQ(lobby.Take(), Log{});
}

TEST(UserNotices, NoticesWorkWhileTheListsAreStillLoading) {
  ClientHarness core;
  core.session.Values().signedInName = "Me";
  core.socket.connected = true;
  core.Receive({"AUTH_ACK:OK", "ISON:bob"});
  EXPECT_EQ(core.log.back(), Added("bob", "ONLINE", "bob", 2, "user"));
}

TEST(StatusNotices, InvisibleAckHidesTheAdminMenu) {
  Lobby lobby;
  lobby.Receive({"INVISIBLE_ACK:whatever"});
  EXPECT_EQ(lobby.Take(), (Log{"admin menu hidden", "status Invisible"}));
}

TEST(ServerMessages, WarningShowsItsWholeText) {
  Lobby lobby;
  lobby.Receive({"WARNING:Server: full"});
  EXPECT_EQ(lobby.Take(), (Log{"box Warning! exclamation Server: full"}));
}

TEST(ServerMessages, ErrorShowsTheTextThenResetsAndReconnects) {
  Lobby lobby;
  lobby.Receive({"ERROR:Server going down"});
  EXPECT_EQ(lobby.Take(),
            (Log{"box Error! critical Server going down", "close socket", "tree clear",
                 "disable EditProfile", "logo Corvane 3.0", "status Not Connected", "roster hidden",
                 "enable Login", "disable Disconnect", "close first chat", "reconnect window",
                 "logo Connecting", "status Connecting", "start timer 7302 1300"}));
}

TEST(ServerMessages, NothercationResetsWithoutReconnecting) {
  Lobby lobby;
  lobby.Receive({"NOTHERCATION:ignored"});
  EXPECT_EQ(
      lobby.Take(),
      (Log{"box Warning! exclamation You have been signed on at another location!", "close socket",
           "tree clear", "disable EditProfile", "logo Corvane 3.0", "status Not Connected",
           "roster hidden", "enable Login", "disable Disconnect", "close first chat"}));
}

TEST(ServerMessages, TheAdminMenuSurvivesAReset) {
  Lobby lobby;
  lobby.Receive({"ISADMIN:Me", "DISCONNECT_ACK"});
  Log log = lobby.Take();
  EXPECT_EQ(std::count(log.begin(), log.end(), "admin menu hidden"), 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), "admin menu shown"), 1);
}

}  // namespace
}  // namespace cv3
