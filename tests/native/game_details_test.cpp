// The details window's rules (lines as the receive loop hands them on, in UTF-8: "\xC2\xB6" is
// the line-break sign): the "GAMEINFO_ACK" keys, the window shown at "OK" from the top of the
// loop and filled on while open, Play's two checks and the exact join.
#include "cv3client/games/game_details.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "common/game_fakes.h"

namespace cv3 {
namespace {

using testing::Log;

class FakeDetailsView : public testing::LoggingView<GameDetailsView> {
 public:
  using LoggingView::LoggingView;
  void SetCaption(const std::string& text) override { log_.push_back("caption " + text); }
  void SetDetails(const GameDetails& d) override { details = d; }
  void SetPlayersCaption(const std::string& text) override { players = text; }
  void SetPlayEnabled(bool enabled) override { play = enabled; }
  void ShowModal(GameDetailsEvents& events) override {
    log_.push_back("shown");
    if (onShow) onShow(events);
  }
  void Unload() override { log_.push_back("unload"); }

  GameDetails details;
  std::string players;
  bool play = true;
  std::function<void(GameDetailsEvents&)> onShow;
};

struct Details : testing::InstalledGameFixture {
  Log log;
  testing::ManualDeferral deferral;
  testing::RecordingStarter starter{log};
  FakeDetailsView* view = nullptr;  // the window made last
  std::function<void(GameDetailsEvents&)> press;
  GameDetailsController controller{{deferral, registry, files, starter, [this] {
                                      auto made = std::make_unique<FakeDetailsView>(log);
                                      made->onShow = [this](GameDetailsEvents& e) {
                                        if (press) press(e);
                                      };
                                      view = made.get();
                                      return made;
                                    }}};
  Dispatcher dispatcher;
  Details() { controller.Register(dispatcher); }
  void Receive(std::initializer_list<std::string_view> args) {
    for (std::string_view a : args)
      dispatcher.Dispatch(ParseLine("GAMEINFO_ACK:" + std::string(a)));
  }
};

TEST(GameDetails, EveryKeyFillsTheWindowShownAtOkAndFilledWhileOpen) {
  Details d;
  d.Receive({"HOSTPLAYER:amy",
             "GAMENAME:Arena",
             "GAMEADDRESS:203.0.113.9:4000",
             "SKYRENDVER:1.06",
             "GAMEDES:Big fight: all in",
             "PLAYERANNOUNCE:Named",
             "INCLUDECPUS:1",
             "ALPHARESTRICT:0",
             "MOTHHOPPING:1",
             "BLOODMONEY:1",
             "PASSWORDS:1",
             "GODHANGER:1",
             "DEDICATED:1",
             "GAMETERM:long",
             "FILELOGGING:1",
             "DEBUGMODE:1",
             "COLOUR:blue",
             "GAMESTATE:up",
             "PLAYERS:amy:bob:",
             "OK"});
  EXPECT_EQ(d.log, (Log{"caption Game Details", "caption Arena - Game Details"}));
  EXPECT_EQ(d.view->details,
            (GameDetails{"amy",
                         {"Arena", "203.0.113.9:4000", "1.06", "Named", true, false, true, true,
                          true, true, true, true, true, true, "Big fight: all in"},
                         true,
                         {"amy", "bob"}}));
  EXPECT_EQ(d.view->players, "Players (2/13)");
  EXPECT_TRUE(d.view->play);
  bool pressed = false;
  d.press = [&](GameDetailsEvents&) {
    if (std::exchange(pressed, true)) return;
    // Lines handled while the window is open, and the work its modal loop runs.
    d.Receive({"PLAYERS:cy:", "OK"});
    d.deferral.RunDeferred();
    EXPECT_EQ(d.view->players, "Players (3/13)");
  };
  d.deferral.RunDeferred();
  EXPECT_EQ(std::count(d.log.begin(), d.log.end(), "shown"), 1);  // never inside itself
}

TEST(GameDetails, DescriptionPlayersAndStateEdgeCases) {
  struct Case {
    std::vector<std::string_view> args;
    std::string description;
    std::vector<std::string> players;
    bool play;
  };
  const Case cases[] = {
      {{"GAMEDES:one\xC2\xB6\xC2\xB6two"}, "one\r\n\r\ntwo", {}, false},
      {{"GAMEDES:a\xC2\xB6", "GAMEDES:b"}, "a\r\nb", {}, false},
      {{"PLAYERS:amy:bob:cy:"}, "", {"amy", "bob", "cy"}, false},
      {{"PLAYERS:amy:bob"}, "", {"amy", "bob"}, false},  // a last name without its ":" counts
      {{"GAMESTATE:UP"}, "", {}, false},
      {{"GAMESTATE:up", "GAMESTATE:down"}, "", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    Details d;
    for (std::string_view a : c.args) d.Receive({a});
    EXPECT_EQ(d.view->details.game.description, c.description);
    EXPECT_EQ(d.view->details.players, c.players);
    EXPECT_EQ(d.view->players, "Players (" + std::to_string(c.players.size()) + "/13)");
    EXPECT_EQ(d.view->play, c.play);
  }
}

TEST(GameDetails, PlayChecksTheInstallationAndTheVersionThenJoins) {
  const std::string mismatch =
      "box Warning! exclamation Your version of Skyrend does not match the game hosts version!";
  struct Case {
    const char* name;
    std::function<void(Details&)> setUp;
    Log expected;
  };
  const Case cases[] = {
      {"no Skyrend.res",
       [](Details& d) { d.files.shortForms.erase("C:\\Sky Rend\\Skyrend.res"); },
       {"box Warning! critical Skyrend does not appear to be installed!"}},
      {"other version", [](Details& d) { d.Receive({"SKYRENDVER:1.07"}); }, {mismatch}},
      {"case differs", [](Details& d) { d.Receive({"SKYRENDVER:1.06A"}); }, {mismatch}},
      {"same version", [](Details&) {}, {"join C:\\Sky Rend 203.0.113.9:4000", "unload"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Details d;
    d.Receive({"GAMEADDRESS:203.0.113.9:4000", "SKYRENDVER:1.06", "GAMESTATE:up", "OK"});
    c.setUp(d);
    d.log.clear();
    d.press = [](GameDetailsEvents& e) { e.cmdPlay_Click(); };
    d.deferral.RunDeferred();
    Log expected = c.expected;
    expected.insert(expected.begin(), "shown");
    EXPECT_EQ(d.log, expected);
  }
}

TEST(GameDetails, CancelStartsNothingAndTheNextAnswerFillsAFreshWindow) {
  Details d;
  d.Receive({"GAMENAME:Arena", "PLAYERS:amy:", "OK"});
  d.press = [](GameDetailsEvents& e) { e.cmdCancel_Click(); };
  d.deferral.RunDeferred();
  d.log.clear();
  d.Receive({"GAMEDES:x"});
  EXPECT_EQ(d.log, Log{"caption Game Details"});
  EXPECT_EQ(d.view->details, (GameDetails{"", {.description = "x"}, false, {}}));
}

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
