// The host window's rules in both modes: first contents, the checks of Host in their order, the
// settings written and the exact "HOSTGAME:" and "RESUMEGAME:" lines, the server's answers, the
// save-file questions and the starts they lead to. Lines are UTF-8 on this side of the transport
// ("\xC2\xB6" is the line-break sign).
#include "cv3client/games/host_game.h"

#include <gtest/gtest.h>

#include "common/game_fakes.h"

namespace cv3 {
namespace {

using testing::Log;

class FakeHostView : public testing::LoggingView<HostGameView> {
 public:
  using LoggingView::LoggingView;
  void SetCaption(const std::string& text) override { log_.push_back("caption " + text); }
  void SetHostPlayer(const std::string& text) override { hostPlayer = text; }
  void SetEntries(const HostedGame& e) override { entries = e; }
  HostedGame Entries() const override { return entries; }
  void SetResumeMode() override { log_.push_back("resume mode"); }
  void SetHostEnabled(bool on) override { log_.push_back(on ? "enabled" : "disabled"); }
  void ShowModal(HostGameEvents& events) override {
    log_.push_back("shown");
    if (onShow) onShow(events);
  }
  void Hide() override { log_.push_back("hide"); }
  void Unload() override { log_.push_back("unload"); }

  HostedGame entries;
  std::string hostPlayer;
  std::function<void(HostGameEvents&)> onShow;
};

constexpr const char* kGuard = "C:\\Corvane\\cv3guard.exe";
constexpr const char* kSaveFile = "C:\\Sky Rend\\Friday_Night.sav";
const std::string kStart = " C:\\Sky Rend C:\\Sky Rend Friday_Night.sav ";

struct Host : testing::InstalledGameFixture {
  Log log;
  testing::ManualDeferral deferral;
  testing::RecordingStarter starter{log};
  testing::ScriptedMessages messages{log};
  FakeHostView* view = nullptr;              // the window made last
  std::string localAddress = "203.0.113.7";  // of the lobby connection
  std::function<void(FakeHostView&, HostGameEvents&)> press;
  HostGameController controller{
      {.deferral = deferral,
       .registry = registry,
       .files = files,
       .starter = starter,
       .messages = messages,
       .makeView =
           [this] {
             auto made = std::make_unique<FakeHostView>(log);
             made->onShow = [this, v = made.get()](HostGameEvents& e) {
               if (press) press(*v, e);
             };
             view = made.get();
             return made;
           },
       .send = [this](std::string_view line) { return log.emplace_back(line), true; },
       .ownName = [] { return std::string("Me"); },
       .localAddress = [this] { return localAddress; },
       .programFolder = "C:\\Corvane"}};
  Dispatcher dispatcher;

  Host() {
    controller.Register(dispatcher);
    AddFile(kGuard);
  }
  void Receive(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) dispatcher.Dispatch(ParseLine(line));
  }
  // Opens the window, lets `edit` change the entries and presses Host: the log of the press.
  Log PressHost(std::function<void(HostedGame&)> edit) {
    controller.Open();
    press = [edit](FakeHostView& v, HostGameEvents& e) {
      edit(v.entries);
      e.cmdHost_Click();
    };
    deferral.RunDeferred();
    press = nullptr;
    Log pressed(log.begin() + 2, log.end());  // after "caption Host Game", "shown"
    log.clear();
    return pressed;
  }
};

HostedGame FridayNight() {
  return {"Friday Night", "203.0.113.9", "1.06", "Anonymous", true,
          false,          true,          false,  true,        false,
          true,           true,          false,  true,        "line one\r\nline two: more"};
}

TEST(HostGame, FirstContentsShownFromTheTopOfTheLoop) {
  Host h;
  h.controller.Open();
  EXPECT_EQ(h.log, Log{"caption Host Game"});
  h.deferral.RunDeferred();
  EXPECT_EQ(h.log, (Log{"caption Host Game", "shown"}));
  EXPECT_EQ(h.view->entries, (HostedGame{"Me's game", "203.0.113.7", "1.06", "Named & Target"}));
  EXPECT_EQ(h.view->hostPlayer, "Me");
  Host missing;
  missing.settings.backend = MemoryRegistry();
  missing.controller.Open();
  EXPECT_EQ(missing.view->entries.version, "Error");
}

// Over IPv6 the connection's own address would be refused (":"): its IPv4 form when it has one,
// otherwise an empty box for the player to fill.
TEST(HostGame, TheFirstAddressIsTheConnectionsIPv4AddressOrNothing) {
  const std::pair<const char*, const char*> cases[] = {{"203.0.113.7", "203.0.113.7"},
                                                       {"::ffff:198.51.100.4", "198.51.100.4"},
                                                       {"::FFFF:198.51.100.4", "198.51.100.4"},
                                                       {"2001:db8::7", ""},
                                                       {"fe80::1%3", ""},
                                                       {"::1", ""},
                                                       {"::ffff:", ""},
                                                       {"", ""}};
  for (const auto& [local, shown] : cases) {
    Host h;
    h.localAddress = local;
    h.controller.Open();
    EXPECT_EQ(h.view->entries.address, shown) << local;
  }
}

TEST(HostGame, ChecksRunInOrderAndNothingIsWrittenBeforeTheSettings) {
  const std::string disallowed =
      "box Warning! exclamation One of your fields contains disallowed punctuation or letters!";
  const std::string internal =
      "box Networking Error exclamation You cannot use an internal IP addresses when hosting a "
      "game! If you're using NAT (network address translation) or port forwarding please enter "
      "your external IP address. For more information please visit the forums.";
  // Each case also fails the checks after its own, so only the first one may speak.
  struct Case {
    const char* name;
    std::function<void(Host&, HostedGame&)> edit;
    std::string box;  // empty: every check passes
  };
  const Case cases[] = {
      {"no SkyrendW.exe",
       [](Host& h, HostedGame& g) {
         h.files.shortForms.erase("C:\\Sky Rend\\SkyrendW.exe");
         g.address = "";
       },
       "box Warning! critical Skyrend does not appear to be installed!"},
      {"colon in the name", [](Host&, HostedGame& g) { g.name = "a:b", g.address = ""; },
       disallowed},
      {"space in the address", [](Host&, HostedGame& g) { g.address = "203.0.113.9 "; },
       disallowed},
      {"empty address",
       [](Host& h, HostedGame& g) {
         g.address = "", g.dedicated = true;
         h.files.shortForms.erase(kGuard);
       },
       "box Warning! exclamation You must have an IP address for your server!"},
      {"192", [](Host&, HostedGame& g) { g.address = "192.0.2.1", g.name = " "; }, internal},
      {"127", [](Host&, HostedGame& g) { g.address = "127.0.0.1"; }, internal},
      {"10", [](Host&, HostedGame& g) { g.address = "10.20.30.40"; }, internal},
      {"dedicated without cv3guard.exe",
       [](Host& h, HostedGame& g) {
         g.dedicated = true, g.name = " ";
         h.files.shortForms.erase(kGuard);
       },
       "box Error! critical You cannot host a dedicated game with cv3guard.exe missing!"},
      {"blank name", [](Host&, HostedGame& g) { g.name = "  "; },
       "box Error! exclamation You must enter a name for your game!"},
      {"172", [](Host&, HostedGame& g) { g.address = "172.16.0.1"; }, ""},
      {"dedicated with cv3guard.exe", [](Host&, HostedGame& g) { g.dedicated = true; }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host h;
    Log pressed = h.PressHost([&](HostedGame& g) { c.edit(h, g); });
    bool written = c.box.empty() || c.box.find("enter a name") != std::string::npos;
    EXPECT_EQ(h.GameDWord(kTerminalServerPort), written ? "9001" : "Error");
    if (!c.box.empty()) {
      EXPECT_EQ(pressed, Log{c.box});  // the window stays open, nothing is sent
    } else {
      ASSERT_EQ(pressed.size(), 2u);
      EXPECT_EQ(pressed[0], "hide");
      EXPECT_EQ(pressed[1].rfind("HOSTGAME:Me's game:", 0), 0u) << pressed[1];
    }
  }
}

TEST(HostGame, HostSendsTheFifteenFieldsAndWritesTheSettings) {
  Host h;
  EXPECT_EQ(h.PressHost([](HostedGame& g) { g = FridayNight(); }),
            (Log{"hide",
                 "HOSTGAME:Friday Night:203.0.113.9:1.06:Anonymous:1:0:1:0:1:0:1:1:0:1:"
                 "line one\xC2\xB6line two: more"}));
  const std::pair<const char*, const char*> written[] = {
      {"PlayerAnnounce", "0"}, {"IncludeCPU", "1"},           {"RestrictAlpha", "0"},
      {"MothHopping", "1"},    {"CashOnKill", "0"},           {"PersistentGame", "1"},
      {"PilotPasswords", "1"}, {"LinkAllowGodHangar", "0"},   {"LogFile", "0"},
      {"GameDebugLog", "1"},   {"TerminalServerPort", "9001"}};
  for (const auto& [name, value] : written) EXPECT_EQ(h.GameDWord(name), value) << name;
  // The announcement's number (another text leaves it); an empty description, an empty field.
  for (auto [announcement, number] :
       {std::pair{"Named", "1"}, std::pair{"Named & Target", "2"}, std::pair{"", "7"}}) {
    Host h;
    h.registry.SetDWord(kGameKey, "PlayerAnnounce", 7);
    Log pressed = h.PressHost([text = announcement](HostedGame& g) { g.announcement = text; });
    EXPECT_EQ(pressed.back(), "HOSTGAME:Me's game:203.0.113.7:1.06:" + std::string(announcement) +
                                  ":0:0:0:0:0:0:0:0:0:0:");
    EXPECT_EQ(h.GameDWord("PlayerAnnounce"), number);
  }
}

TEST(HostGame, DupnameAndDupaddyBringTheWindowBackWithTheEntries) {
  for (auto [reply, text] :
       {std::pair{"DUPNAME", "A hosted game with that name already exists!"},
        std::pair{"DUPADDY", "A hosted game with that Internet address already exists!"}}) {
    Host h;
    h.PressHost([](HostedGame& g) { g = FridayNight(); });
    h.Receive({"HOSTGAME_ACK:ELSE", "HOSTGAME_ACK:" + std::string(reply)});
    h.deferral.RunDeferred();
    EXPECT_EQ(h.log, (Log{"box Error! exclamation " + std::string(text), "shown"}));
    EXPECT_EQ(h.view->entries, FridayNight());
  }
}

TEST(HostGame, OkStartsFromTheSaveFileOrANewOneAsThePlayerAnswers) {
  const std::string load =
      "box Question other Skyrend save file already exists! Do you want to load game with this "
      "save file? [yes/no]";
  const std::string overwrite =
      "box Question other Do you want to load a new game and overwrite existing file? [yes/no]";
  using B = BoxResult;
  struct Case {
    bool saveExists, dedicated;
    std::deque<BoxResult> answers;
    Log expected;
  };
  const Case cases[] = {
      {false, false, {}, {"new" + kStart + "0", "unload"}},
      {false, true, {}, {"new" + kStart + "1", "unload"}},
      {true, true, {B::kYes}, {load, "saved" + kStart + "1", "unload"}},
      {true, false, {B::kNo, B::kYes}, {load, overwrite, "new" + kStart + "0", "unload"}},
      {true, false, {B::kNo, B::kNo}, {load, overwrite}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.back());
    Host h;
    if (c.saveExists) h.AddFile(kSaveFile);
    h.PressHost([&](HostedGame& g) { g = FridayNight(), g.dedicated = c.dedicated; });
    h.messages.answers = c.answers;
    h.Receive({"HOSTGAME_ACK:OK"});
    EXPECT_EQ(h.log, c.expected);
    bool overwritten = c.answers.size() == 2 && c.answers[1] == B::kYes;
    EXPECT_EQ(h.files.removed.size(), overwritten ? 1u : 0u);
    if (c.expected.back() == "unload") continue;
    // Both declined: nothing started or sent; "Host Game" shows the same window again.
    h.log.clear();
    h.controller.Open();
    h.deferral.RunDeferred();
    EXPECT_EQ(h.log, Log{"shown"});
    EXPECT_EQ(h.view->entries.name, "Friday Night");
  }
}

// "RESUMEINFO_ACK:OK", the stored settings (some of them), then "DONE" when asked for.
void ReceiveResumeInfo(Host& h, const std::string& version, bool done) {
  h.Receive({"RESUMEINFO_ACK:OK", "RESUMEINFO_ACK:GAMENAME:Friday Night",
             "RESUMEINFO_ACK:GAMEADDRESS:203.0.113.9", "RESUMEINFO_ACK:SKYRENDVER:" + version,
             "RESUMEINFO_ACK:GAMEDES:Big\xC2\xB6", "RESUMEINFO_ACK:GAMEDES:fight",
             "RESUMEINFO_ACK:PLAYERANNOUNCE:Named", "RESUMEINFO_ACK:DEDICATED:1",
             "RESUMEINFO_ACK:GAMETERM:long", "RESUMEINFO_ACK:FILELOGGING:1",
             "RESUMEINFO_ACK:DEBUGMODE:1", "RESUMEINFO_ACK:PLAYERS:amy:"});
  if (done) h.Receive({"RESUMEINFO_ACK:DONE"});
}

// A server that cannot be started (the launcher has told the player): a game just listed is
// taken off the list again; a resumed one keeps its listing and stored settings.
TEST(HostGame, AServerThatCannotStartIsNotLeftListed) {
  Host host;
  host.starter.startsFail = true;
  host.PressHost([](HostedGame& g) { g = FridayNight(); });
  host.Receive({"HOSTGAME_ACK:OK"});
  EXPECT_EQ(host.log, (Log{"new" + kStart + "1 failed", "REMGAME:Friday Night", "unload"}));

  Host resume;
  resume.starter.startsFail = true;
  resume.AddFile(kSaveFile);
  ReceiveResumeInfo(resume, "1.06", true);
  resume.press = [](FakeHostView&, HostGameEvents& e) { e.cmdHost_Click(); };
  resume.deferral.RunDeferred();
  resume.log.clear();
  resume.Receive({"RESUMEGAME_ACK:OK"});
  EXPECT_EQ(resume.log, (Log{"saved" + kStart + "1 failed", "unload"}));
}

TEST(HostGame, SaveFileNameOf) {
  const std::pair<const char*, const char*> cases[] = {
      {"A b/c", "A_bc"},
      {"", ""},
      {"Me's game", "Mes_game"},
      {"a|b>c<d\"e?f:g*h/i\\j", "abcdefghij"},
      {" x  y ", "_x__y_"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9"},
      // Control characters: tab, line feed, escape, DEL and a C1 control (U+0085).
      {"Raid\tNight\n\x1B\x7F\xC2\x85!", "RaidNight!"}};
  for (const auto& [name, file] : cases) EXPECT_EQ(SaveFileNameOf(name), file) << name;
}

TEST(ResumeGame, OkSwitchesTheModeDoneEnablesResumeAndASavedGameStartsWithoutAQuestion) {
  Host h;
  h.AddFile(kSaveFile);
  ReceiveResumeInfo(h, "1.06", false);
  EXPECT_EQ(h.log, (Log{"caption Host Game", "caption Resume Game", "resume mode", "disabled",
                        "caption Friday Night - Resume Game"}));
  h.log.clear();
  h.press = [&](FakeHostView&, HostGameEvents& e) {
    h.Receive({"RESUMEINFO_ACK:DONE"});
    e.cmdHost_Click();
  };
  h.deferral.RunDeferred();
  // The disabled logging boxes are still sent and written.
  EXPECT_EQ(h.log, (Log{"shown", "enabled", "hide",
                        "RESUMEGAME:Friday Night:203.0.113.9:1.06:Named:0:0:0:0:0:0:1:1:1:1:"
                        "Big\xC2\xB6"
                        "fight"}));
  EXPECT_EQ(h.GameDWord("LogFile"), "1");
  h.log.clear();
  h.Receive({"RESUMEGAME_ACK:ELSE", "RESUMEGAME_ACK:OK"});
  EXPECT_EQ(h.log, (Log{"saved" + kStart + "1", "unload"}));
}

TEST(ResumeGame, RefusalsAndTheMissingSaveFile) {
  const std::string missing =
      "box Question other Skyrend save file missing! Do you want to resume this game with a new "
      "file? [yes/no]";
  struct Case {
    std::string version;
    BoxResult answer;
    Log expected;  // after "shown"
  };
  const Case cases[] = {
      {"1.05",
       BoxResult::kYes,
       {"box Warning! exclamation You cannot resume a Corvane game with a different version of "
        "Skyrend!"}},
      {"1.06", BoxResult::kYes, {"hide", missing, "new" + kStart + "1", "unload"}},
      {"1.06", BoxResult::kNo, {"hide", missing}},
  };
  for (const Case& c : cases) {
    Host h;
    ReceiveResumeInfo(h, c.version, true);
    h.log.clear();
    h.press = [](FakeHostView&, HostGameEvents& e) { e.cmdHost_Click(); };
    h.deferral.RunDeferred();
    EXPECT_EQ(h.GameDWord(kTerminalServerPort), "9001");  // written before the version check
    h.messages.answers = {c.answer};
    if (c.expected.front() == "hide") h.Receive({"RESUMEGAME_ACK:OK"});
    std::erase_if(h.log, [](const std::string& e) { return e.rfind("RESUMEGAME:", 0) == 0; });
    Log expected = c.expected;
    expected.insert(expected.begin(), "shown");
    EXPECT_EQ(h.log, expected);
  }
  Host h;
  h.Receive({"RESUMEINFO_ACK:NOACCESS"});
  EXPECT_EQ(h.log,
            Log{"box Warning! exclamation You're not permitted to resume other players games!"});
  EXPECT_TRUE(h.deferral.queue.empty());
}

TEST(ResumeGame, AWindowLeftHiddenServesOnlyItsOwnPurpose) {
  // A declined host, then a resume: the stored description is not added to the old one.
  Host h;
  h.AddFile(kSaveFile);
  h.PressHost([](HostedGame& g) { g = FridayNight(); });
  h.Receive({"HOSTGAME_ACK:OK"});  // no, no: hidden
  ReceiveResumeInfo(h, "1.06", true);
  EXPECT_EQ(h.view->entries.description, "Big\r\nfight");
  // A declined resume, then "Host Game": a fresh host window.
  h.files.shortForms.erase(kSaveFile);
  h.press = [](FakeHostView&, HostGameEvents& e) { e.cmdHost_Click(); };
  h.deferral.RunDeferred();
  h.Receive({"RESUMEGAME_ACK:OK"});  // no
  h.log.clear();
  h.controller.Open();
  EXPECT_EQ(h.log, (Log{"unload", "caption Host Game"}));
  EXPECT_EQ(h.view->entries.name, "Me's game");
}

TEST(HostGame, TheHostGameCommandOpensTheWindowWithTheConnectionsAddress) {
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
  h.deferral.RunDeferred();
  EXPECT_EQ(h.Take(), Log{"host game window"});
  EXPECT_EQ(window, (Log{"caption Host Game", "shown"}));
  EXPECT_EQ(view->entries.address, "203.0.113.7");
}

}  // namespace
}  // namespace cv3
