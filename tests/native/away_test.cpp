// The away window and the status menu: the two refusals, the untrimmed "AWAY:" line, the window
// hidden with its text, and nothing changed locally before the server's notice.
#include "cv3client/ui/away.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"
#include "common/window_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::FakeAwayView;
using testing::Log;

struct Pilot : ClientHarness {
  Log window;
  FakeAwayView* away = nullptr;
  Pilot() {
    factory.Provide<AwayView>([this] {
      auto view = std::make_unique<FakeAwayView>(window);
      away = view.get();
      return view;
    });
    SignIn("bob");
  }
};

TEST(AwayWindow, RefusalsThenTheUntrimmedMessage) {
  Pilot p;
  p.factory.Provide<AwayView>([&p] {
    auto view = std::make_unique<FakeAwayView>(p.window);
    view->onShow = [](FakeAwayView& v, AwayEvents& e) {
      for (const char* text : {"   ", "back: soon", "caf\xC3\xA9\xC2\xA0time", " at lunch "}) {
        v.text = text;
        e.cmdOk_Click();
      }
    };
    p.away = view.get();
    return view;
  });
  p.commands.mnuNewAway_Click();
  p.deferral.RunDeferred();
  EXPECT_EQ(
      p.window,
      (Log{"shown with []", "box [] Your must enter an away message!",
           "box [Warning!] icon Your away message contains disallowed punctuation or letters!",
           "box [Warning!] icon Your away message contains disallowed punctuation or letters!",
           "hide"}));
  // Nothing changes locally until the server's notice.
  EXPECT_EQ(p.Take(), (Log{"away window", "send AWAY: at lunch "}));
}

TEST(AwayWindow, CancelSendsNothingAndTheTextIsOfferedAgain) {
  Pilot p;
  p.commands.mnuNewAway_Click();
  p.deferral.RunDeferred();  // made and shown: the fake has no handler yet, so it stays shown
  ASSERT_NE(p.away, nullptr);
  FakeAwayView* first = p.away;
  p.away->onShow = [](FakeAwayView& v, AwayEvents& e) {
    v.text = "brb";
    e.cmdCancel_Click();
  };
  p.commands.mnuNewAway_Click();
  p.deferral.RunDeferred();
  p.away->onShow = nullptr;
  p.commands.mnuNewAway_Click();
  p.deferral.RunDeferred();
  EXPECT_EQ(p.away, first);
  EXPECT_EQ(p.window, (Log{"shown with []", "shown with []", "hide", "shown with [brb]"}));
  EXPECT_EQ(p.Take(), (Log{"away window", "away window", "away window"}));
}

}  // namespace
}  // namespace cv3
