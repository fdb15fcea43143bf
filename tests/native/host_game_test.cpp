// The host window's rules in both modes: its first contents, the checks of Host in their order,
// the settings written and the exact "HOSTGAME:" and "RESUMEGAME:" lines, the server's answers,
// the save-file questions and the starts they lead to. Lines are UTF-8 on this side of the
// transport ("\xC2\xB6" is the line-break sign).
#include "cv3client/games/host_game.h"

#include <gtest/gtest.h>

#include "common/game_fakes.h"

namespace cv3 {
namespace {

using testing::Log;

class FakeHostView : public HostGameView {
 public:
  explicit FakeHostView(Log& log) : log_(log) {}
  void SetCaption(const std::string& text) override { log_.push_back("caption " + text); }
  void SetHostPlayer(const std::string& text) override { hostPlayer = text; }
  void SetEntries(const HostedGame& e) override { entries = e; }
  HostedGame Entries() const override { return entries; }
  void SetResumeMode() override { log_.push_back("resume mode"); }
  void SetHostEnabled(bool enabled) override {
    log_.push_back(enabled ? "host enabled" : "host disabled");
  }
  void ShowModal(HostGameEvents& events) override {
    log_.push_back("shown");
    if (onShow) onShow(events);
  }
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(testing::DescribeBox(box));
    return BoxResult::kOk;
  }
  void Hide() override { log_.push_back("hide"); }
  void Unload() override { log_.push_back("unload"); }

  HostedGame entries;
  std::string hostPlayer;
  std::function<void(HostGameEvents&)> onShow;

 private:
  Log& log_;
};

constexpr const char* kGuard = "C:\\Corvane\\cv3guard.exe";
constexpr const char* kSaveFile = "C:\\Games\\Sky Rend\\save\\Friday_Night.sav";

struct Host : testing::InstalledGameFixture {
  Log log;
  testing::ManualDeferral deferral;
  testing::RecordingStarter starter{log};
  testing::ScriptedMessages messages{log};
  FakeHostView* view = nullptr;  // the window made last
  std::function<void(FakeHostView&, HostGameEvents&)> press;
  HostGameController controller{{.deferral = deferral,
                                 .registry = registry,
                                 .files = files,
                                 .starter = starter,
                                 .messages = messages,
                                 .makeView =
                                     [this] {
                                       auto made = std::make_unique<FakeHostView>(log);
                                       FakeHostView* v = made.get();
                                       view = v;
                                       made->onShow = [this, v](HostGameEvents& e) {
                                         if (press) press(*v, e);
                                       };
                                       return made;
                                     },
                                 .send =
                                     [this](std::string_view line) {
                                       log.push_back("send " + std::string(line));
                                       return true;
                                     },
                                 .ownName = [] { return std::string("Me"); },
                                 .localAddress = [] { return std::string("203.0.113.7"); },
                                 .programFolder = "C:\\Corvane"}};
  Dispatcher dispatcher;

  Host() {
    controller.Register(dispatcher);
    AddFile(kGuard);
  }
  void Receive(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) dispatcher.Dispatch(ParseLine(line));
  }
  // Opens the window, lets `edit` change its entries, presses Host once; the log from the press.
  Log PressHost(std::function<void(HostedGame&)> edit) {
    controller.Open();
    press = [edit](FakeHostView& v, HostGameEvents& e) {
      if (edit) edit(v.entries);
      e.cmdHost_Click();
    };
    deferral.RunDeferred();
    press = nullptr;
    Log taken;
    taken.swap(log);
    return Log(taken.begin() + 2, taken.end());  // after "caption Host Game", "shown"
  }
};

HostedGame FridayNight() {
  HostedGame game;
  game.name = "Friday Night";
  game.address = "203.0.113.9";
  game.version = "1.06";
  game.announcement = "Anonymous";
  game.includeCpus = game.mothHopping = game.passwords = game.dedicated = game.longTerm = true;
  game.fullDebug = true;
  game.description = "line one\r\nline two: more";
  return game;
}

TEST(HostGame, FirstContentsShownFromTheTopOfTheLoop) {
  for (bool installed : {true, false}) {
    SCOPED_TRACE(installed);
    Host h;
    if (!installed) h.settings.backend = MemoryRegistry();
    h.controller.Open();
    EXPECT_EQ(h.log, Log{"caption Host Game"});
    h.deferral.RunDeferred();
    EXPECT_EQ(h.log, (Log{"caption Host Game", "shown"}));
    HostedGame expected;
    expected.name = "Me's game";
    expected.address = "203.0.113.7";
    expected.version = installed ? "1.06" : "Error";
    expected.announcement = "Named & Target";
    EXPECT_EQ(h.view->entries, expected);
    EXPECT_EQ(h.view->hostPlayer, "Me");
  }
}

TEST(HostGame, ChecksRunInOrderAndNothingIsWrittenBeforeTheSettings) {
  const std::string disallowed =
      "box Warning! exclamation One of your fields contains disallowed punctuation or letters!";
  const std::string internal =
      "box Networking Error exclamation You cannot use an internal IP addresses when hosting a "
      "game! If you're using NAT (network address translation) or port forwarding please enter "
      "your external IP address. For more information please visit the forums.";
  struct Case {
    const char* name;
    std::function<void(Host&, HostedGame&)> edit;
    std::string box;  // empty: every check passes
  };
  const Case cases[] = {
      {"no SkyrendW.exe",
       [](Host& h, HostedGame& g) {
         h.RemoveRunFile("SkyrendW.exe");
         g.address = "";
       },
       "box Warning! critical Skyrend does not appear to be installed!"},
      {"colon in the name", [](Host&, HostedGame& g) { g.name = "a:b", g.address = ""; },
       disallowed},
      {"paragraph sign in the name",
       [](Host&, HostedGame& g) {
         g.name =
             "a\xC2\xB6"
             "b";
       },
       disallowed},
      {"space in the address", [](Host&, HostedGame& g) { g.address = "203.0.113.9 "; },
       disallowed},
      {"bracket in the address", [](Host&, HostedGame& g) { g.address = "(203.0.113.9)"; },
       disallowed},
      {"empty address",
       [](Host& h, HostedGame& g) {
         g.address = "";
         g.dedicated = true;
         h.files.shortForms.erase(kGuard);
       },
       "box Warning! exclamation You must have an IP address for your server!"},
      {"192", [](Host&, HostedGame& g) { g.address = "192.0.2.1", g.name = " "; }, internal},
      {"127", [](Host&, HostedGame& g) { g.address = "127.0.0.1"; }, internal},
      {"10", [](Host&, HostedGame& g) { g.address = "10.20.30.40"; }, internal},
      {"dedicated without cv3guard.exe",
       [](Host& h, HostedGame& g) {
         g.dedicated = true;
         g.name = " ";
         h.files.shortForms.erase(kGuard);
       },
       "box Error! critical You cannot host a dedicated game with cv3guard.exe missing!"},
      {"blank name", [](Host&, HostedGame& g) { g.name = "  "; },
       "box Error! exclamation You must enter a name for your game!"},
      {"172", [](Host&, HostedGame& g) { g.address = "172.16.0.1"; }, ""},
      {"100", [](Host&, HostedGame& g) { g.address = "100.1.2.3"; }, ""},
      {"a name without dots", [](Host&, HostedGame& g) { g.address = "skyhost"; }, ""},
      {"dedicated with cv3guard.exe", [](Host&, HostedGame& g) { g.dedicated = true; }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host h;
    Log pressed = h.PressHost([&](HostedGame& g) { c.edit(h, g); });
    bool settingsWritten = c.box.empty() || c.box.find("enter a name") != std::string::npos;
    EXPECT_EQ(h.GameDWord(kTerminalServerPort), settingsWritten ? "9001" : "Error");
    if (!c.box.empty()) {
      EXPECT_EQ(pressed, Log{c.box});  // the window stays open, nothing is sent
      continue;
    }
    ASSERT_EQ(pressed.size(), 2u);
    EXPECT_EQ(pressed[0], "hide");
    EXPECT_EQ(pressed[1].rfind("send HOSTGAME:Me's game:", 0), 0u) << pressed[1];
  }
}

TEST(HostGame, HostSendsTheFifteenFieldsAndWritesTheSettings) {
  Host h;
  EXPECT_EQ(h.PressHost([](HostedGame& g) { g = FridayNight(); }),
            (Log{"hide",
                 "send HOSTGAME:Friday Night:203.0.113.9:1.06:Anonymous:1:0:1:0:1:0:1:1:0:"
                 "1:line one\xC2\xB6line two: more"}));
  const std::pair<const char*, const char*> written[] = {
      {"PlayerAnnounce", "0"}, {"IncludeCPU", "1"},           {"RestrictAlpha", "0"},
      {"MothHopping", "1"},    {"CashOnKill", "0"},           {"PersistentGame", "1"},
      {"PilotPasswords", "1"}, {"LinkAllowGodHangar", "0"},   {"LogFile", "0"},
      {"GameDebugLog", "1"},   {"TerminalServerPort", "9001"}};
  for (const auto& [name, value] : written) EXPECT_EQ(h.GameDWord(name), value) << name;

  // The announcement's number; another text leaves it. An empty description is an empty field.
  struct Case {
    const char* announcement;
    const char* number;
  };
  for (const Case& c : {Case{"Named", "1"}, Case{"Named & Target", "2"}, Case{"", "7"}}) {
    SCOPED_TRACE(c.announcement);
    Host h;
    h.registry.SetDWord(kGameKey, "PlayerAnnounce", 7);
    Log pressed = h.PressHost([&](HostedGame& g) {
      g.announcement = c.announcement;
      g.description = "";
    });
    EXPECT_EQ(pressed.back(), "send HOSTGAME:Me's game:203.0.113.7:1.06:" +
                                  std::string(c.announcement) + ":0:0:0:0:0:0:0:0:0:0:");
    EXPECT_EQ(h.GameDWord("PlayerAnnounce"), c.number);
  }
}

TEST(HostGame, DupnameAndDupaddyBringTheWindowBackWithTheEntries) {
  struct Case {
    const char* reply;
    const char* box;
  };
  for (const Case& c :
       {Case{"HOSTGAME_ACK:DUPNAME", "A hosted game with that name already exists!"},
        Case{"HOSTGAME_ACK:DUPADDY", "A hosted game with that Internet address already exists!"}}) {
    SCOPED_TRACE(c.reply);
    Host h;
    h.PressHost([](HostedGame& g) { g = FridayNight(); });
    h.Receive({"HOSTGAME_ACK:ELSE", c.reply});
    EXPECT_EQ(h.log, Log{"box Error! exclamation " + std::string(c.box)});
    h.deferral.RunDeferred();
    EXPECT_EQ(h.log.back(), "shown");
    EXPECT_EQ(h.view->entries, FridayNight());
  }
}

TEST(HostGame, OkStartsFromTheSaveFileOrANewOneAsThePlayerAnswers) {
  const std::string loadQuestion =
      "box Question other Skyrend save file already exists! Do you want to load game with this "
      "save file? [yes/no]";
  const std::string overwriteQuestion =
      "box Question other Do you want to load a new game and overwrite existing file? [yes/no]";
  const std::string start = " C:\\Games\\Sky Rend C:\\Games\\Sky Rend\\save Friday_Night.sav ";
  struct Case {
    const char* name;
    bool saveExists;
    bool dedicated;
    std::deque<BoxResult> answers;
    Log expected;
  };
  const Case cases[] = {
      {"no save file", false, false, {}, {"new server" + start + "0", "unload"}},
      {"no save file, dedicated", false, true, {}, {"new server" + start + "1", "unload"}},
      {"load it",
       true,
       true,
       {BoxResult::kYes},
       {loadQuestion, "saved server" + start + "1", "unload"}},
      {"overwrite it",
       true,
       false,
       {BoxResult::kNo, BoxResult::kYes},
       {loadQuestion, overwriteQuestion, "new server" + start + "0", "unload"}},
      {"decline both",
       true,
       false,
       {BoxResult::kNo, BoxResult::kNo},
       {loadQuestion, overwriteQuestion}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host h;
    if (c.saveExists) h.AddFile(kSaveFile);
    h.PressHost([&](HostedGame& g) {
      g = FridayNight();
      g.dedicated = c.dedicated;
    });
    h.messages.answers = c.answers;
    h.Receive({"HOSTGAME_ACK:OK"});
    EXPECT_EQ(h.log, c.expected);
    bool overwritten = c.answers.size() == 2 && c.answers[1] == BoxResult::kYes;
    EXPECT_EQ(h.files.removed,
              overwritten ? std::vector<std::string>{kSaveFile} : std::vector<std::string>{});
  }
}

TEST(HostGame, DecliningBothQuestionsKeepsTheWindowForTheNextHostGame) {
  Host h;
  h.AddFile(kSaveFile);
  h.PressHost([](HostedGame& g) { g = FridayNight(); });
  h.Receive({"HOSTGAME_ACK:OK"});  // no, no
  h.log.clear();
  h.controller.Open();
  h.deferral.RunDeferred();
  EXPECT_EQ(h.log, Log{"shown"});  // the same window, nothing sent
  EXPECT_EQ(h.view->entries, FridayNight());
}

TEST(HostGame, SaveFileNameOf) {
  const std::pair<const char*, const char*> cases[] = {
      {"A b/c", "A_bc"},
      {"", ""},
      {"Me's game", "Mes_game"},
      {"a|b>c<d\"e?f:g*h/i\\j", "abcdefghij"},
      {" two  spaces ", "_two__spaces_"},
      {"Caf\xC3\xA9 night", "Caf\xC3\xA9_night"},
  };
  for (const auto& [name, file] : cases) EXPECT_EQ(SaveFileNameOf(name), file) << name;
}

// "RESUMEINFO_ACK:OK", the stored settings, then "DONE", as lobbyd sends them.
void ReceiveResumeInfo(Host& h, const char* version, bool done) {
  h.Receive({"RESUMEINFO_ACK:OK", "RESUMEINFO_ACK:GAMENAME:Friday Night",
             "RESUMEINFO_ACK:GAMEADDRESS:203.0.113.9",
             "RESUMEINFO_ACK:SKYRENDVER:" + std::string(version),
             "RESUMEINFO_ACK:GAMEDES:Big\xC2\xB6"
             "fight",
             "RESUMEINFO_ACK:PLAYERANNOUNCE:Named", "RESUMEINFO_ACK:INCLUDECPUS:0",
             "RESUMEINFO_ACK:DEDICATED:1", "RESUMEINFO_ACK:GAMETERM:long",
             "RESUMEINFO_ACK:FILELOGGING:1", "RESUMEINFO_ACK:DEBUGMODE:1",
             "RESUMEINFO_ACK:PLAYERS:amy:"});
  if (done) h.Receive({"RESUMEINFO_ACK:DONE"});
}

TEST(ResumeGame, OkSwitchesTheModeDoneEnablesResumeAndASavedGameStartsWithoutAQuestion) {
  Host h;
  h.AddFile(kSaveFile);
  ReceiveResumeInfo(h, "1.06", false);
  EXPECT_EQ(h.log, (Log{"caption Host Game", "caption Resume Game", "resume mode", "host disabled",
                        "caption Friday Night - Resume Game"}));
  h.log.clear();
  h.press = [&](FakeHostView&, HostGameEvents& e) {
    h.Receive({"RESUMEINFO_ACK:DONE"});
    e.cmdHost_Click();
  };
  h.deferral.RunDeferred();
  EXPECT_EQ(h.log, (Log{"shown", "host enabled", "hide",
                        "send RESUMEGAME:Friday Night:203.0.113.9:1.06:Named:0:0:0:0:0:0:1:1:1:1:"
                        "Big\xC2\xB6"
                        "fight"}));
  // The disabled logging boxes still reach the game's key.
  EXPECT_EQ(h.GameDWord("LogFile"), "1");
  EXPECT_EQ(h.GameDWord("GameDebugLog"), "1");
  h.log.clear();
  h.Receive({"RESUMEGAME_ACK:ELSE", "RESUMEGAME_ACK:OK"});
  EXPECT_EQ(h.log, (Log{"saved server C:\\Games\\Sky Rend C:\\Games\\Sky Rend\\save "
                        "Friday_Night.sav 1",
                        "unload"}));
}

TEST(ResumeGame, RefusalsAndTheMissingSaveFile) {
  const std::string missing =
      "box Question other Skyrend save file missing! Do you want to resume this game with a new "
      "file? [yes/no]";
  struct Case {
    const char* name;
    const char* version;
    std::deque<BoxResult> answers;
    Log afterPress, afterOk;
  };
  const Case cases[] = {
      {"other version",
       "1.05",
       {},
       {"box Warning! exclamation You cannot resume a Corvane game with a different version of "
        "Skyrend!"},
       {}},
      {"new file",
       "1.06",
       {BoxResult::kYes},
       {"hide"},
       {missing,
        "new server C:\\Games\\Sky Rend "
        "C:\\Games\\Sky Rend\\save "
        "Friday_Night.sav 1",
        "unload"}},
      {"nothing", "1.06", {BoxResult::kNo}, {"hide"}, {missing}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host h;
    ReceiveResumeInfo(h, c.version, true);
    h.log.clear();
    h.press = [](FakeHostView&, HostGameEvents& e) { e.cmdHost_Click(); };
    h.deferral.RunDeferred();
    ASSERT_GE(h.log.size(), 2u);
    EXPECT_EQ(Log(h.log.begin() + 1, h.log.begin() + 1 + c.afterPress.size()), c.afterPress);
    EXPECT_EQ(h.GameDWord(kTerminalServerPort), "9001");  // written before the version check
    if (c.afterPress.front() != "hide") continue;         // refused: nothing was sent
    h.log.clear();
    h.messages.answers = c.answers;
    h.Receive({"RESUMEGAME_ACK:OK"});
    EXPECT_EQ(h.log, c.afterOk);
  }

  Host h;
  h.Receive({"RESUMEINFO_ACK:NOACCESS"});
  EXPECT_EQ(h.log,
            Log{"box Warning! exclamation You're not permitted to resume other players games!"});
  EXPECT_TRUE(h.deferral.queue.empty());
}

TEST(ResumeGame, AWindowLeftHiddenIsNotReusedForTheOtherPurpose) {
  // A declined host, then a resume: the stored description is not added to the old one.
  Host h;
  h.AddFile(kSaveFile);
  h.PressHost([](HostedGame& g) { g = FridayNight(); });
  h.Receive({"HOSTGAME_ACK:OK"});  // no, no: hidden
  ReceiveResumeInfo(h, "1.06", true);
  EXPECT_EQ(h.view->entries.description, "Big\r\nfight");
  // A declined resume, then "Host Game": a fresh host window.
  h.press = [](FakeHostView&, HostGameEvents& e) { e.cmdHost_Click(); };
  h.files.shortForms.erase(kSaveFile);
  h.deferral.RunDeferred();
  h.Receive({"RESUMEGAME_ACK:OK"});  // no
  h.log.clear();
  h.controller.Open();
  EXPECT_EQ(h.log, (Log{"unload", "caption Host Game"}));
  EXPECT_EQ(h.view->entries.name, "Me's game");
}

// The core's wiring: "Host Game" opens the window the program provides, with the connection's
// own address.
TEST(HostGame, TheHostGameCommandOpensTheWindow) {
  testing::ClientHarness h;
  Log window;
  FakeHostView* view = nullptr;
  h.factory.Provide<HostGameView>([&] {
    auto made = std::make_unique<FakeHostView>(window);
    view = made.get();
    return made;
  });
  h.SignIn("Me");
  h.core.OnCommand(MainCommand::toolButton2);
  EXPECT_EQ(h.Take(), Log{"host game window"});
  h.deferral.RunDeferred();
  EXPECT_EQ(window, (Log{"caption Host Game", "shown"}));
  EXPECT_EQ(view->entries.address, "203.0.113.7");
  EXPECT_EQ(view->entries.name, "Me's game");
}

}  // namespace
}  // namespace cv3
