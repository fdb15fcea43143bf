// The details window's rules (lines as the receive loop hands them on, in UTF-8: "\xC2\xB6" is
// the line-break sign): every key of "GAMEINFO_ACK", the window shown at "OK" from the top of the
// loop and filled on while open, Play's two checks and the exact join.
#include "cv3client/games/game_details.h"

#include <gtest/gtest.h>

#include "common/game_fakes.h"

namespace cv3 {
namespace {

using testing::Log;

class FakeDetailsView : public GameDetailsView {
 public:
  explicit FakeDetailsView(Log& log) : log_(log) {}
  void SetCaption(const std::string& text) override { log_.push_back("caption " + text); }
  void SetDetails(const GameDetails& d) override { details = d; }
  void SetPlayersCaption(const std::string& text) override { playersCaption = text; }
  void SetPlayEnabled(bool enabled) override { playEnabled = enabled; }
  void ShowModal(GameDetailsEvents& events) override {
    log_.push_back("shown");
    if (onShow) onShow(events);
  }
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(testing::DescribeBox(box));
    return BoxResult::kOk;
  }
  void Unload() override { log_.push_back("unload"); }

  GameDetails details;
  std::string playersCaption;
  bool playEnabled = true;
  std::function<void(GameDetailsEvents&)> onShow;

 private:
  Log& log_;
};

struct Details : testing::InstalledGameFixture {
  Log log;
  testing::ManualDeferral deferral;
  testing::RecordingStarter starter{log};
  FakeDetailsView* view = nullptr;  // the window made last
  std::function<void(GameDetailsEvents&)> press;
  GameDetailsController controller{{deferral, registry, files, starter, [this] {
                                      auto made = std::make_unique<FakeDetailsView>(log);
                                      view = made.get();
                                      made->onShow = [this](GameDetailsEvents& e) {
                                        if (press) press(e);
                                      };
                                      return made;
                                    }}};
  Dispatcher dispatcher;
  Details() { controller.Register(dispatcher); }
  void Receive(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) dispatcher.Dispatch(ParseLine(line));
  }
};

TEST(GameDetails, EveryKeyFillsTheWindowShownAtOkFromTheTopOfTheLoop) {
  Details d;
  d.Receive({"GAMEINFO_ACK:HOSTPLAYER:amy",
             "GAMEINFO_ACK:GAMENAME:Arena",
             "GAMEINFO_ACK:GAMEADDRESS:203.0.113.9:4000",
             "GAMEINFO_ACK:SKYRENDVER:1.06",
             "GAMEINFO_ACK:GAMEDES:Big fight: all in",
             "GAMEINFO_ACK:PLAYERANNOUNCE:Named",
             "GAMEINFO_ACK:INCLUDECPUS:1",
             "GAMEINFO_ACK:ALPHARESTRICT:0",
             "GAMEINFO_ACK:MOTHHOPPING:1",
             "GAMEINFO_ACK:BLOODMONEY:1",
             "GAMEINFO_ACK:PASSWORDS:1",
             "GAMEINFO_ACK:GODHANGER:1",
             "GAMEINFO_ACK:DEDICATED:1",
             "GAMEINFO_ACK:GAMETERM:long",
             "GAMEINFO_ACK:FILELOGGING:1",
             "GAMEINFO_ACK:DEBUGMODE:1",
             "GAMEINFO_ACK:COLOUR:blue",
             "GAMEINFO_ACK:GAMESTATE:up",
             "GAMEINFO_ACK:PLAYERS:amy:bob:",
             "GAMEINFO_ACK:OK"});
  EXPECT_EQ(d.log, (Log{"caption Game Details", "caption Arena - Game Details"}));
  d.log.clear();
  GameDetails expected{"amy",
                       {"Arena", "203.0.113.9:4000", "1.06", "Named", true, false, true, true, true,
                        true, true, true, true, true, "Big fight: all in"},
                       true,
                       {"amy", "bob"}};
  EXPECT_EQ(d.view->details, expected);
  EXPECT_EQ(d.view->playersCaption, "Players (2/13)");
  EXPECT_TRUE(d.view->playEnabled);
  // Lines that come while the window is open still fill it.
  d.press = [&](GameDetailsEvents&) {
    d.Receive({"GAMEINFO_ACK:PLAYERS:cy:", "GAMEINFO_ACK:OK"});
    EXPECT_EQ(d.view->playersCaption, "Players (3/13)");
  };
  d.deferral.RunDeferred();
  EXPECT_EQ(d.log, Log{"shown"});  // a second "OK" while open shows nothing more
  EXPECT_TRUE(d.deferral.queue.empty());
}

TEST(GameDetails, DescriptionPlayersAndStateEdgeCases) {
  struct Case {
    std::vector<std::string> lines;
    std::string description;
    std::vector<std::string> players;
    std::string playersCaption;
    bool play;
  };
  const Case cases[] = {
      {{"GAMEDES:one\xC2\xB6\xC2\xB6two"}, "one\r\n\r\ntwo", {}, "Players (0/13)", false},
      {{"GAMEDES:a\xC2\xB6", "GAMEDES:b"}, "a\r\nb", {}, "Players (0/13)", false},
      {{"PLAYERS:amy:bob:cy:"}, "", {"amy", "bob", "cy"}, "Players (3/13)", false},
      // A last name without its ":" still counts.
      {{"PLAYERS:amy:bob"}, "", {"amy", "bob"}, "Players (2/13)", false},
      {{"GAMESTATE:down"}, "", {}, "Players (0/13)", false},
      {{"GAMESTATE:UP"}, "", {}, "Players (0/13)", false},
      {{"GAMESTATE:up", "GAMESTATE:down"}, "", {}, "Players (0/13)", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    Details d;
    for (const std::string& line : c.lines) d.Receive({"GAMEINFO_ACK:" + line});
    EXPECT_EQ(d.view->details.game.description, c.description);
    EXPECT_EQ(d.view->details.players, c.players);
    EXPECT_EQ(d.view->playersCaption, c.playersCaption);
    EXPECT_EQ(d.view->playEnabled, c.play);
  }
}

TEST(GameDetails, PlayChecksTheInstallationAndTheVersionThenJoins) {
  struct Case {
    const char* name;
    std::function<void(Details&)> setUp;
    Log expected;
  };
  const std::string notInstalled = "box Warning! critical Skyrend does not appear to be installed!";
  const std::string mismatch =
      "box Warning! exclamation Your version of Skyrend does not match the game hosts version!";
  const Case cases[] = {
      {"no Skyrend.res", [](Details& d) { d.RemoveRunFile("Skyrend.res"); }, {notInstalled}},
      {"no game key", [](Details& d) { d.settings.backend = MemoryRegistry(); }, {notInstalled}},
      {"other version",
       [](Details& d) { d.Receive({"GAMEINFO_ACK:SKYRENDVER:1.07"}); },
       {mismatch}},
      {"case differs",
       [](Details& d) { d.Receive({"GAMEINFO_ACK:SKYRENDVER:1.06A"}); },
       {mismatch}},
      {"same version", [](Details&) {}, {"join C:\\Games\\Sky Rend 203.0.113.9:4000", "unload"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Details d;
    d.registry.SetDWord(kGameKey, kTerminalServerPort, 9001);
    d.Receive({"GAMEINFO_ACK:GAMEADDRESS:203.0.113.9:4000", "GAMEINFO_ACK:SKYRENDVER:1.06",
               "GAMEINFO_ACK:GAMESTATE:up", "GAMEINFO_ACK:OK"});
    c.setUp(d);
    d.log.clear();
    d.press = [](GameDetailsEvents& e) { e.cmdPlay_Click(); };
    d.deferral.RunDeferred();
    Log expected{"shown"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(d.log, expected);
    // The port is set for the join only; without the key nothing is written.
    bool joined = c.expected.back() == "unload";
    EXPECT_EQ(d.GameDWord(kTerminalServerPort),
              joined ? "0" : (c.name == std::string("no game key") ? "Error" : "9001"));
  }
}

TEST(GameDetails, CancelStartsNothingAndTheNextAnswerFillsAFreshWindow) {
  Details d;
  d.Receive({"GAMEINFO_ACK:GAMENAME:Arena", "GAMEINFO_ACK:PLAYERS:amy:", "GAMEINFO_ACK:OK"});
  d.press = [](GameDetailsEvents& e) { e.cmdCancel_Click(); };
  d.deferral.RunDeferred();
  EXPECT_EQ(d.log,
            (Log{"caption Game Details", "caption Arena - Game Details", "shown", "unload"}));
  d.log.clear();
  d.Receive({"GAMEINFO_ACK:GAMEDES:x"});
  EXPECT_EQ(d.log, Log{"caption Game Details"});
  EXPECT_EQ(d.view->details.players, std::vector<std::string>{});
  EXPECT_EQ(d.view->details.game.name, "");
}

// The core's wiring: the lines reach the details window the program provides.
TEST(GameDetails, ClientCoreHandsTheLinesToTheWindow) {
  testing::ClientHarness h;
  Log window;
  h.factory.Provide<GameDetailsView>([&] { return std::make_unique<FakeDetailsView>(window); });
  h.SignIn("Me");
  h.Receive({"GAMEINFO_ACK:GAMENAME:Arena", "GAMEINFO_ACK:OK"});
  h.deferral.RunDeferred();
  EXPECT_EQ(window, (Log{"caption Game Details", "caption Arena - Game Details", "shown"}));
}

}  // namespace
}  // namespace cv3
