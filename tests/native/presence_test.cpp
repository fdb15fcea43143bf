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

// A notice after the lines that set the scene: what the window is told.
struct Notice {
  std::string name;
  Log before;  // received first, their effects not asserted
  Log lines;
  Log expected;
  bool later = false;   // the roster's clock moved on in between
  std::string ignored;  // the "Ignored" setting
  std::string group;    // when set, the texts left under it
  Log left;
};

TEST(Notices, EachChangesTheRosterAndTheWindowAsItShould) {
  const Log reset = {"close socket",     "tree clear",           "disable EditProfile",
                     "logo Corvane 3.0", "status Not Connected", "roster hidden",
                     "enable Login",     "disable Disconnect",   "close first chat"};
  Log error = {"box Error! critical Server going down"};
  error.insert(error.end(), reset.begin(), reset.end());
  error.insert(error.end(), {"reconnect window", "logo Connecting", "status Connecting",
                             "start timer 7302 1300"});
  Log nothercation = {"box Warning! exclamation You have been signed on at another location!"};
  nothercation.insert(nothercation.end(), reset.begin(), reset.end());
  const Notice cases[] = {
      {"GAMEUP on a listed game only changes its image",
       {"GAME:Arena:down"},
       {"GAMEUP:arena"},
       {"tree image " + Key("Arena") + " 1"}},
      {"GAMEDOWN on a listed game only changes its image",
       {"GAME:Arena:up"},
       {"GAMEDOWN:ARENA"},
       {"tree image " + Key("Arena") + " 6"}},
      {"unknown games are added running or not",
       {"GAME:Arena 2:up", "GAME:My Arena:up"},
       {"GAMEUP:Arena", "GAMEDOWN:Big Race"},
       {Added("Arena", "GAMES", "Arena", 1, "game"),
        Added("BigRace", "GAMES", "Big Race", 6, "game")}},
      {"GAMEREM removes only the named game",
       {"GAME:Arena 2:up", "GAME:Arena:up"},
       {"GAMEREM:Arena", "GAMEREM:Nowhere"},
       {"tree remove " + Key("Arena")},
       false,
       "",
       "GAMES",
       {"Arena 2"}},
      {"REMUSER bob leaves bobby",
       {"USER:bobby:online", "USER:bob:away:brb"},
       {"REMUSER:bob", "REMUSER:nobody"},
       {"tree remove " + Key("bob")},
       false,
       "",
       "ONLINE",
       {"bobby"}},
      {"ISADMIN for me shows the admin menu and moves my node",
       {"ISON:Me"},
       {"ISADMIN:me"},
       {"admin menu shown", "status Admin Mode", "tree remove " + Key("Me"),
        "tree add laterme under ONLINE \"me\" image 8 tag user colour F8F8F8"},
       true},
      {"ISADMIN for someone unlisted adds them",
       {},
       {"ISADMIN:boss"},
       {Added("boss", "ONLINE", "boss", 8, "user")}},
      {"ISNVIS shows the invisible extra under Online",
       {"USER:bob:away:brb"},
       {"ISNVIS:bob"},
       {"tree remove " + Key("bob"),
        "tree add laterbob under ONLINE \"bob ((invisible))\" image 2 tag user colour F8F8F8"},
       true},
      {"ISON for me hides the admin menu",
       {},
       {"ISON:ME"},
       {"admin menu hidden", "status Online", Added("ME", "ONLINE", "ME", 2, "user")}},
      {"ISON adds an unlisted pilot", {}, {"ISON:bob"}, {Added("bob", "ONLINE", "bob", 2, "user")}},
      {"ISON moves a listed pilot",
       {"ISON:bob", "ISOFF:bob"},
       {"ISON:bob"},
       {"tree remove " + Key("bob"),
        "tree add laterbob under ONLINE \"bob\" image 2 tag user colour F8F8F8"},
       true},
      {"ISOFF leaves unlisted pilots out", {}, {"ISOFF:bob", "ISOFF:carl:gone: fishing"}, {}},
      {"ISOFF moves listed pilots",
       {"USER:bob:online", "USER:carl:online"},
       {"ISOFF:bob", "ISOFF:carl:gone: fishing"},
       {"tree remove " + Key("bob"),
        "tree add laterbob under OFFLINE \"bob\" image 6 tag user colour F8F8F8",
        "tree remove " + Key("carl"),
        "tree add latercarl under OFFLINE \"carl (gone: fishing)\" image 6 tag user colour F8F8F8"},
       true},
      {"ISAWAY for me moves my node and shows the message",
       {"ISON:Me"},
       {"ISAWAY:me:Having dinner"},
       {"tree remove " + Key("Me"),
        "tree add laterme under AWAY \"me (Having dinner)\" image 4 tag user colour F8F8F8",
        "admin menu hidden", "status Having dinner"},
       true},
      {"ISAWAY for an unlisted pilot changes nothing, even for me",
       {},
       {"ISAWAY:Me:Having dinner", "ISAWAY:bob:brb"},
       {}},
      {"an ignored pilot stays grey when moved",
       {},
       {"ISON:troll"},
       {Added("troll", "ONLINE", "troll", 6, "user", "808080")},
       false,
       "troll,"},
      {"INVISIBLE_ACK hides the admin menu",
       {},
       {"INVISIBLE_ACK:whatever"},
       {"admin menu hidden", "status Invisible"}},
      {"WARNING shows its whole text",
       {},
       {"WARNING:Server: full"},
       {"box Warning! exclamation Server: full"}},
      {"ERROR shows the text, then resets and reconnects", {}, {"ERROR:Server going down"}, error},
      {"NOTHERCATION resets without reconnecting", {}, {"NOTHERCATION:ignored"}, nothercation},
  };
  for (const Notice& c : cases) {
    Lobby lobby;
    if (!c.ignored.empty()) lobby.settings.SetString("Ignored", c.ignored);
    lobby.ReceiveAll(c.before);
    lobby.Take();
    if (c.later) lobby.Later();
    lobby.ReceiveAll(c.lines);
    EXPECT_EQ(lobby.Take(), c.expected) << c.name;
    if (!c.group.empty()) EXPECT_EQ(Texts(lobby.roster, c.group), c.left) << c.name;
  }
}

TEST(Notices, WithoutANameChangeNothing) {
  Lobby lobby;
  lobby.session.SignInAs("", "");
  lobby.Receive({"USER::online", "GAME::up"});  // even with empty-named nodes listed
  lobby.Take();
  lobby.Receive({"GAMEUP:", "GAMEDOWN", "GAMEREM:", "REMUSER", "ISADMIN:", "ISNVIS:", "ISON:",
                 "ISOFF:", "ISOFF::text", "ISAWAY:", "ISAWAY:bob", "ISAWAY::brb"});
  EXPECT_EQ(lobby.Take(), Log{});
}

TEST(Notices, WorkWhileTheListsAreStillLoading) {
  ClientHarness core;
  core.session.SignInAs("Me", "");
  core.socket.connected = true;
  core.Receive({"AUTH_ACK:OK", "ISON:bob"});
  EXPECT_EQ(core.log.back(), Added("bob", "ONLINE", "bob", 2, "user"));
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
