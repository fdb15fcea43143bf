#include "cv3client/ui/main_commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/client_fakes.h"
#include "cv3client/support/web_pages.h"
#include "protocol/md5.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::kStamp;
using testing::Log;

struct Commands : ClientHarness {
  Commands() {
    session.Startup("6.1");
    SignIn("Me");
    Receive({"GAME:Arena:up", "GAME:Old Race:down", "USER:bob:away:brb", "USER:cy:offline"});
    log.clear();
  }
  void Select(const std::string& name) { view.selectedKey = kStamp + name; }
};

TEST(MenuAccessKeys, EachItemTakesAFreeLetterWordStartsFirst) {
  using Captions = std::vector<std::string_view>;
  const struct {
    Captions captions;
    std::string taken;
    std::vector<std::string> expected;
  } rows[] = {
      {{"Edit Profile", "Preferences", "Login", "Disconnect", "Exit"},
       "",
       {"&Edit Profile", "&Preferences", "&Login", "&Disconnect", "E&xit"}},
      {{"Game Details", "Resume Game", "Remove Game"},
       "",
       {"&Game Details", "&Resume Game", "R&emove Game"}},
      {{"Skyrend Forums", "Skyrend Wiki", "Squadron Ladder"},
       "",
       {"&Skyrend Forums", "Skyrend &Wiki", "Squadron &Ladder"}},
      {{"View Profile", "Admin"}, "VA", {"View &Profile", "A&dmin"}},
      {{"Named & Target", "N"}, "", {"&Named && Target", "N"}},
  };
  for (const auto& row : rows) EXPECT_EQ(WithAccessKeys(row.captions, row.taken), row.expected);
}

TEST(LoginMenu, EditProfileSendsTheOwnName) {
  Commands c;
  c.core.OnCommand(MainCommand::mnuEditProfile);
  EXPECT_EQ(c.Take(), (Log{"send EDITPROFILE:Me"}));
}

TEST(LoginMenu, LoginDisconnectAndExitReachTheSession) {
  Commands c;
  c.core.OnCommand(MainCommand::mnuLogin);
  c.core.OnCommand(MainCommand::mnuDisconnect);
  EXPECT_EQ(c.Take(), (Log{"login window", "send DISCONNECT"}));
  c.core.OnCommand(MainCommand::mnuExit);
  EXPECT_EQ(c.Take(), (Log{"hide main window", "remove tray icon", "unhook tree", "close all chats",
                           "send QUIT", "start timer 7301 5000"}));
}

TEST(StatusMenu, OnlineAndInvisibleSendTheirLinesEvenWhenAlreadySo) {
  Commands c;
  c.core.OnCommand(MainCommand::mnuOnline);
  c.core.OnCommand(MainCommand::mnuOnline);
  c.core.OnCommand(MainCommand::mnuInvisible);
  c.core.OnCommand(MainCommand::mnuNewAway);
  EXPECT_EQ(c.Take(), (Log{"send ONLINE", "send ONLINE", "send INVISIBLE", "away window"}));
}

TEST(HelpMenu, PagesOpenThroughTheCommandInterpreterOfTheSystem) {
  Commands c;
  c.core.OnCommand(MainCommand::mnuGetHelp);
  c.core.OnCommand(MainCommand::mnuFaq);
  c.core.OnCommand(MainCommand::mnuAbout);
  c.commands.AboutWebSite_Click();
  EXPECT_EQ(c.Take(), (Log{"run cmd /c start http://www.corvane.net/modules.php?name=Forums",
                           "run cmd /c start http://www.corvane.net/modules.php?name=FAQ",
                           "about window", "run cmd /c start http://www.corvane.net"}));
  c.session.Startup("4.10");
  c.core.OnCommand(MainCommand::mnuFaq);
  EXPECT_EQ(c.Take(), (Log{"run command /c start http://www.corvane.net/modules.php?name=FAQ"}));
}

TEST(GamesMenu, ResumeARunningGameWarnsAndSendsNothing) {
  Commands c;
  c.Select("Arena");
  c.core.OnCommand(MainCommand::mnuResumeGame);
  EXPECT_EQ(c.Take(),
            (Log{"box Warning! exclamation You cannot resume games that are already online!"}));
}

TEST(GamesMenu, ResumeAndRemoveAStoppedGameSendTheirLines) {
  Commands c;
  c.Select("OldRace");
  c.core.OnCommand(MainCommand::mnuResumeGame);
  c.core.OnCommand(MainCommand::mnuRemoveGame);
  c.core.OnCommand(MainCommand::mnuGameDetails);
  EXPECT_EQ(c.Take(),
            (Log{"send RESUMEINFO:Old Race", "send REMGAME:Old Race", "send GAMEINFO:Old Race"}));
}

TEST(GamesMenu, GameCommandsOnAPilotOrNoSelectionDoNothing) {
  Commands c;
  for (std::string key : {std::string(kStamp) + "bob", std::string(), std::string("ONLINE")}) {
    c.view.selectedKey = key;
    c.core.OnCommand(MainCommand::mnuResumeGame);
    c.core.OnCommand(MainCommand::mnuRemoveGame);
    c.core.OnCommand(MainCommand::mnuGameDetails);
    c.core.OnCommand(MainCommand::toolResumeGame);
    c.core.OnCommand(MainCommand::toolRemoveGame);
  }
  EXPECT_EQ(c.Take(), Log{});
}

TEST(AdminMenu, PilotCommandsActOnTheSelectedPilotOnly) {
  Commands c;
  c.view.inputAnswer = "n3w pass";
  const MainCommand commands[] = {MainCommand::mnuRemUser, MainCommand::mnuSuspend,
                                  MainCommand::mnuUnsuspend, MainCommand::mnuChangePass};
  // A game, a group and no selection send nothing and ask nothing.
  for (std::string key : {std::string(kStamp) + "Arena", std::string("ONLINE"), std::string()}) {
    c.view.selectedKey = key;
    for (MainCommand command : commands) c.core.OnCommand(command);
  }
  EXPECT_EQ(c.Take(), Log{});
  c.Select("bob");  // shown as "bob (brb)"
  for (MainCommand command : commands) c.core.OnCommand(command);
  EXPECT_EQ(c.Take(), (Log{"send REMUSER:bob", "send SUSPEND:bob", "send UNSUSPEND:bob",
                           "input box Input Enter a new password for this user: []",
                           // the digest of the answer as typed, spaces included
                           "send CHNGPASS:bob:" + *clsMD5().DigestStrToHexStr("n3w pass")}));
}

// The games' and pilots' menus pump socket events while they are open: a notice that replaces or
// removes the selected node moves the selection to a neighbour before the command runs.
TEST(PopupMenus, CommandsActOnTheNodeTakenWhenTheMenuOpened) {
  const std::string digest = *clsMD5().DigestStrToHexStr("pw");
  const MainCommand pilotCommands[] = {MainCommand::mnuRemUser,     MainCommand::mnuSuspend,
                                       MainCommand::mnuUnsuspend,   MainCommand::mnuChangePass,
                                       MainCommand::mnuViewProfile, MainCommand::mnuIgnore};
  const MainCommand gameCommands[] = {MainCommand::mnuGameDetails, MainCommand::mnuResumeGame,
                                      MainCommand::mnuRemoveGame};
  const MainCommand toolbarCommands[] = {MainCommand::toolResumeGame, MainCommand::toolRemoveGame};
  const struct {
    const char* taken;  // selected when the menu opens
    Log notices;        // arrive while it is open; then the neighbour is selected
    const char* neighbour;
    std::span<const MainCommand> commands;
    Log answers;           // one per command
    bool toolbar = false;  // opened as the toolbar's games drop-down, not the tree's menu
  } cases[] = {
      {"bob",
       {"ISAWAY:bob:lunch"},
       "cy",
       pilotCommands,
       {"send REMUSER:bob", "send SUSPEND:bob", "send UNSUSPEND:bob", "send CHNGPASS:bob:" + digest,
        "send USERINFO:bob", "box Warning! exclamation User has been added to the ignore list."}},
      {"bob", {"REMUSER:bob"}, "cy", pilotCommands, {}},
      // Taken off and listed again: a new node of the same game.
      {"OldRace",
       {"GAMEREM:Old Race", "GAMEDOWN:Old Race"},
       "Arena",
       gameCommands,
       {"send GAMEINFO:Old Race", "send RESUMEINFO:Old Race", "send REMGAME:Old Race"}},
      {"OldRace", {"GAMEREM:Old Race"}, "Arena", gameCommands, {}},
      {"OldRace",
       {"GAMEREM:Old Race", "GAMEDOWN:Old Race"},
       "Arena",
       toolbarCommands,
       {"send RESUMEINFO:Old Race", "send REMGAME:Old Race"},
       true},
      {"OldRace", {"GAMEREM:Old Race"}, "Arena", toolbarCommands, {}, true}};
  for (const auto& c : cases) {
    Log answers;
    for (MainCommand command : c.commands) {
      Commands t;
      t.view.inputAnswer = "pw";
      t.Select(c.taken);
      auto whileOpen = [&] {
        t.ReceiveAll(c.notices);
        t.Select(c.neighbour);
      };
      if (c.toolbar) {  // the window opens that menu itself; its events come the same way
        t.commands.barTool_ButtonDropDown(2);
        whileOpen();
      } else {
        t.view.whileOpen = whileOpen;
        t.commands.tvObjects_MouseUp(2);
      }
      t.core.OnCommand(command);
      for (const std::string& entry : t.Take()) {
        if (entry.starts_with("send ") || entry.starts_with("box ")) answers.push_back(entry);
      }
    }
    EXPECT_EQ(answers, c.answers) << c.notices.front();
  }
}

TEST(AdminMenu, ChangePassSendsNothingForAPilotRemovedWhileThePasswordIsAsked) {
  Commands c;
  c.view.inputAnswer = "pw";
  c.Select("bob");
  c.commands.tvObjects_MouseUp(2);
  c.view.whileOpen = [&] { c.Receive({"REMUSER:bob"}); };
  c.core.OnCommand(MainCommand::mnuChangePass);
  EXPECT_EQ(c.Take(), (Log{"popup users", "input box Input Enter a new password for this user: []",
                           "tree remove " + std::string(kStamp) + "bob"}));
}

TEST(AdminMenu, ChangePassSendsNothingForAnEmptyOrSpacesOnlyAnswer) {
  Commands c;
  c.Select("cy");
  for (const char* answer : {"", "   "}) {  // Cancel gives the empty text
    c.view.inputAnswer = answer;
    c.core.OnCommand(MainCommand::mnuChangePass);
  }
  EXPECT_EQ(c.Take(), (Log{"input box Input Enter a new password for this user: []",
                           "input box Input Enter a new password for this user: []"}));
}

TEST(Toolbar, DropDownItemsInTheirOrderByTheirIds) {
  Commands c;
  // A games' menu closed without a choice: the toolbar's items act on the game selected when
  // their drop-down opened, not on the game the tree's menu took.
  c.Select("Arena");
  c.commands.tvObjects_MouseUp(2);
  c.Select("OldRace");
  std::vector<std::string> captions;
  const CommandPlace dropDowns[] = {CommandPlace::kButton1Menu, CommandPlace::kButton2Menu,
                                    CommandPlace::kButton3Menu};
  for (int button = 1; button <= 3; ++button) {
    c.commands.barTool_ButtonDropDown(button);
    for (const CommandEntry& item : CommandsAt(dropDowns[button - 1])) {
      if (item.separatorBefore) captions.emplace_back("-");
      captions.emplace_back(item.caption);
      c.core.OnCommand(item.id);
    }
  }
  EXPECT_EQ(captions,
            (std::vector<std::string>{"Lobby Chat", "Host Game", "Resume Game", "Remove Game", "-",
                                      "Admin Mode", "Skyrend Forums", "Skyrend Wiki",
                                      "Squadron Ladder", "Mission Exchange"}));
  EXPECT_EQ(
      c.Take(),
      (Log{"popup games", "host game window", "send RESUMEINFO:Old Race", "send REMGAME:Old Race",
           "send ADMINMODE", "run cmd /c start http://forums.corvane.net/index.cgi#general_cat",
           "run cmd /c start http://wiki.corvane.net", "run cmd /c start http://ladder.corvane.net",
           "run cmd /c start http://missions.corvane.net"}));
}

TEST(Toolbar, ButtonTwoHostsAGameAndButtonThreeOpensTheWebSiteRoot) {
  Commands c;
  std::vector<std::string> tips;
  for (const CommandEntry& button : CommandsAt(CommandPlace::kToolbar)) {
    tips.emplace_back(button.tip);
    c.core.OnCommand(button.id);
  }
  EXPECT_EQ(tips, (std::vector<std::string>{"Join lobby chat room.", "Manage your Skyrend games.",
                                            "Visit the Skyrend community on the web."}));
  EXPECT_EQ(c.Take(), (Log{"host game window", "run cmd /c start http://www.corvane.net"}));
}

TEST(StatusBar, ClickPopsUpTheStatusMenuEvenWhileDisconnected) {
  Commands c;
  c.core.OnCommand(MainCommand::mnuDisconnect);
  c.Receive({"DISCONNECT_ACK"});
  c.Take();
  c.commands.barStatus_PanelClick();
  EXPECT_EQ(c.Take(), (Log{"popup status"}));
}

TEST(Tray, LeftDoubleShowsTheWindowAndRightUpPopsUpTheLoginMenu) {
  Commands c;
  for (const char* action : {"LEFTDOUBLE", "RIGHTUP", "LEFTDOWN", "RIGHTDOWN", ""}) {
    c.commands.TrayMouse(action);
  }
  EXPECT_EQ(c.Take(), (Log{"show main window", "popup login"}));
}

TEST(Tree, DoubleClickOnAGameAsksForItsDetails) {
  Commands c;
  c.Select("Arena");
  c.commands.tvObjects_DblClick();
  c.Select("bob");  // a private chat: comes with chat
  c.commands.tvObjects_DblClick();
  c.Select("cy");
  c.commands.tvObjects_DblClick();
  c.view.selectedKey = "GAMES";
  c.commands.tvObjects_DblClick();
  EXPECT_EQ(c.Take(), (Log{"send GAMEINFO:Arena"}));
}

TEST(Tree, RightButtonUpPopsUpTheMenuOfTheSelectedNode) {
  Commands c;
  c.Select("Arena");
  c.commands.tvObjects_MouseUp(2);
  c.commands.tvObjects_MouseUp(1);
  c.Select("cy");
  c.commands.tvObjects_MouseUp(2);
  c.view.selectedKey = "OFFLINE";
  c.commands.tvObjects_MouseUp(2);
  c.view.selectedKey = "";
  c.commands.tvObjects_MouseUp(2);
  EXPECT_EQ(c.Take(), (Log{"popup games", "popup users"}));
}

TEST(WebPages, CommandLineAndLinks) {
  EXPECT_EQ(WebPageCommand(5, "http://x"), "cmd /c start http://x");
  EXPECT_EQ(WebPageCommand(4, "http://x"), "command /c start http://x");
  EXPECT_EQ(WebPageCommand(0, "http://x"), "command /c start http://x");
}

// The root goes onto the command line: anything but a plain http(s) root is refused for the usual
// site, never passed on.
TEST(WebPages, CvWebSiteNamesTheRootOfTheCommunitysPages) {
  const struct {
    std::optional<std::string> setting;  // nullopt: missing
    std::string page;
  } cases[] = {
      {std::nullopt, "http://www.corvane.net/modules.php?name=FAQ"},
      {"", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://lobby.example.org", "http://lobby.example.org/modules.php?name=FAQ"},
      {"https://lobby.example.org:8443/cv3//",
       "https://lobby.example.org:8443/cv3/modules.php?name=FAQ"},
      {"http://[::1]:8080/", "http://[::1]:8080/modules.php?name=FAQ"},
      {"lobby.example.org", "http://www.corvane.net/modules.php?name=FAQ"},
      {"ftp://lobby.example.org", "http://www.corvane.net/modules.php?name=FAQ"},
      {"file:///c:/x", "http://www.corvane.net/modules.php?name=FAQ"},
      {"HTTP://lobby.example.org", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http:///", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http:///evil", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org&calc", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org|calc", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org^&calc", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org\"&calc", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org>x", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org<x", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org calc", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org/%PATH%", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org/?x=1", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://a.org\r\ncalc", "http://www.corvane.net/modules.php?name=FAQ"},
      {"http://b\xE9.org", "http://www.corvane.net/modules.php?name=FAQ"},
  };
  for (const auto& c : cases) {
    testing::TestRegistry settings;
    if (c.setting) settings.SetString("CvWebSite", *c.setting);
    EXPECT_EQ(WebSitePage(settings.registry, kFaqPath), c.page) << c.setting.value_or("missing");
  }
}

}  // namespace
}  // namespace cv3
