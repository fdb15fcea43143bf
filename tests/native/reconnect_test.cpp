// The reconnect window's countdown, retries and closing, through the core with a manual clock:
// the session's failures open it, timer ticks drive it, the socket's Connect closes it.
#include "cv3client/session/reconnect.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::Log;

// frmReconnect, recorded into the window's own log; its modal loop returns at once.
class FakeReconnectView : public ReconnectView {
 public:
  explicit FakeReconnectView(Log& log) : log_(log) {}
  void ShowModal(ReconnectEvents& events) override {
    log_.push_back("shown");
    if (onShow) onShow(events);
  }
  void SetCountText(const std::string& text) override { log_.push_back(text); }
  void SetRetryText(const std::string& text) override { log_.push_back(text); }
  void Unload() override { log_.push_back("unload"); }
  std::function<void(ReconnectEvents&)> onShow;

 private:
  Log& log_;
};

struct Client : ClientHarness {
  Log window;
  Client() {
    settings.SetDWord("Reconnect", 1);
    settings.SetString("CvAddress", "first.example.net");
    settings.SetString("CvPort", "4000");
    factory.Provide<ReconnectView>([this] { return std::make_unique<FakeReconnectView>(window); });
    SignIn("bob");
    // The server goes away: the countdown starts.
    core.OnSocketError();
    log.clear();
  }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) timers.Fire(kReconnectTimerId);
  }
};

// The window's modal loop: whatever the test does while it is shown.
void WhileShown(Client& c, std::function<void(ReconnectEvents&)> during) {
  c.factory.Provide<ReconnectView>([&c, during] {
    auto view = std::make_unique<FakeReconnectView>(c.window);
    view->onShow = during;
    return view;
  });
  c.deferral.RunDeferred();
}

TEST(Reconnect, CountsDownAndRetriesTheLastServerEveryTenTicks) {
  Client c;
  EXPECT_TRUE(c.core.Reconnect().IsOpen());
  // A changed address does not move the retries: the registry is not read again.
  c.settings.SetString("CvAddress", "second.example.net");
  Log retries;
  WhileShown(c, [&](ReconnectEvents&) {
    c.Ticks(9);
    EXPECT_EQ(c.window.back(), "Retry connect in: 1");
    EXPECT_EQ(c.Take(), Log{});
    c.Ticks(1);  // 13 s after opening
    retries = c.Take();
    // The attempt is still pending 13 s later: it is given up for a fresh one, and counted.
    c.Ticks(10);
  });
  EXPECT_EQ(Log(c.window.begin(), c.window.begin() + 3),
            (Log{"Reconnect count: 1", "Retry connect in: 10", "shown"}));
  EXPECT_EQ(Log(c.window.begin() + 3, c.window.begin() + 14),
            (Log{"Retry connect in: 9", "Retry connect in: 8", "Retry connect in: 7",
                 "Retry connect in: 6", "Retry connect in: 5", "Retry connect in: 4",
                 "Retry connect in: 3", "Retry connect in: 2", "Retry connect in: 1",
                 "Retry connect in: 0", "Reconnect count: 2"}));
  EXPECT_EQ(retries, (Log{"stop timer 7302", "close socket", "connect first.example.net:4000",
                          "start timer 7302 1300"}));
  EXPECT_EQ(c.window.back(), "Reconnect count: 3");
  EXPECT_EQ(c.core.Reconnect().AttemptCount(), 3);
  EXPECT_EQ(c.core.Reconnect().Countdown(), 10);
  EXPECT_EQ(c.Take(), retries);
}

TEST(Reconnect, AFailureWhileOpenNeitherOpensASecondWindowNorRestartsTheCount) {
  Client c;
  c.deferral.RunDeferred();
  c.Ticks(12);
  c.core.OnSocketError();
  c.core.OnSocketError();
  c.deferral.RunDeferred();
  EXPECT_EQ(std::count(c.window.begin(), c.window.end(), "shown"), 1);
  EXPECT_EQ(c.core.Reconnect().AttemptCount(), 2);
  EXPECT_EQ(c.core.Reconnect().Countdown(), 8);
  // Behind the window the main window shows the reset, and the countdown runs on.
  EXPECT_NE(std::find(c.log.begin(), c.log.end(), "status Not Connected"), c.log.end());
  EXPECT_EQ(c.timers.running.count(kReconnectTimerId), 1u);
}

TEST(Reconnect, AConnectionClosesTheWindowAndSignsInAgain) {
  Client c;
  WhileShown(c, [&](ReconnectEvents&) {
    c.Ticks(10);
    c.Take();
    c.socket.connected = true;
    c.core.OnSocketConnect();
  });
  EXPECT_FALSE(c.core.Reconnect().IsOpen());
  EXPECT_EQ(c.window.back(), "unload");
  // The retry connected the socket itself: the menus become those of a session all the same.
  EXPECT_EQ(c.Take(),
            (Log{"close reconnect window", "stop timer 7302", "logo Corvane 3.0",
                 "status Not Connected", "disable Login", "enable Disconnect", "logo Connected",
                 "status Connected", "send AUTH:bob:D41D8CD98F00B204E9800998ECF8427E"}));
  c.Ticks(10);  // the timer is gone
  EXPECT_EQ(c.Take(), Log{});
}

TEST(Reconnect, AConnectionBeforeTheWindowCouldShowLeavesNoWindow) {
  Client c;
  c.socket.connected = true;
  c.core.OnSocketConnect();
  c.deferral.RunDeferred();
  EXPECT_EQ(c.window, Log{});
}

TEST(Reconnect, CancelAndTheCloseBoxStopEverythingAndDropAPendingAttempt) {
  for (bool closeBox : {false, true}) {
    Client c;
    WhileShown(c, [&c, closeBox](ReconnectEvents& events) {
      c.Ticks(10);  // an attempt is under way
      c.Take();
      closeBox ? events.Form_Unload() : events.cmdCancel_Click();
    });
    EXPECT_FALSE(c.core.Reconnect().IsOpen());
    EXPECT_EQ(c.window.back(), "unload");
    EXPECT_EQ(c.Take(),
              (Log{"close socket", "stop timer 7302", "logo Corvane 3.0", "status Not Connected"}));
    // "Login" starts over; a new failure opens a fresh count.
    c.core.OnSocketError();
    EXPECT_EQ(c.core.Reconnect().AttemptCount(), 1);
    EXPECT_EQ(c.core.Reconnect().Countdown(), 10);
  }
}

TEST(Reconnect, OnlyWhenReconnectIsOne) {
  for (int value : {0, 2}) {
    Client c;
    c.core.Reconnect().Close();
    c.settings.SetDWord("Reconnect", value);
    c.core.OnSocketError();
    EXPECT_FALSE(c.core.Reconnect().IsOpen()) << value;
  }
  ClientHarness missing;
  missing.SignIn("bob");
  missing.core.OnSocketError();
  EXPECT_FALSE(missing.core.Reconnect().IsOpen());
  EXPECT_EQ(missing.timers.running.count(kReconnectTimerId), 0u);
}

// A broken connection's partial line, or the rest of an over-long one, never reaches the next
// connection: its "AUTH_ACK:OK" is recognised.
TEST(Reconnect, TheNextConnectionStartsWithAnEmptyReceiveBuffer) {
  for (std::string leftover : {std::string("USERS_"), std::string(2 << 20, 'x')}) {
    ClientHarness c;
    c.SignIn("bob");
    c.core.OnDataArrival(leftover);
    c.core.OnSocketError();
    c.socket.connected = true;
    c.core.OnSocketConnect();
    c.Take();
    c.Receive({"AUTH_ACK:OK"});
    EXPECT_EQ(c.log.back(), "send USERS") << leftover.size();
  }
}

}  // namespace
}  // namespace cv3
