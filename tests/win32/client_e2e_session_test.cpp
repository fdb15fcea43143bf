// End to end under Wine, each against a lobbyd of its own: a server restart under a signed-in
// client, the same ID signed in from a second place, a new ID made through the window, an away
// message set through the window, and an administrator suspending a signed-in pilot.
#include <gtest/gtest.h>

#include "tests/win32/e2e_support.h"

namespace cv3::e2e {
namespace {

using SessionEndToEnd = OwnLobbyEndToEnd;

TEST_F(SessionEndToEnd, ARestartedServerSignsTheClientInAgainWithoutAKeystroke) {
  ASSERT_TRUE(StartLobby("--add-account pilot:skyrend"));
  SetDWord("Reconnect", 1);
  ASSERT_TRUE(StartedOnline()) << Status();
  lobby_->Stop();
  HWND reconnect = ShownWindow(L"Connecting to Corvane");
  ASSERT_NE(reconnect, nullptr) << Status();
  EXPECT_TRUE(ShowsText(reconnect, "Reconnect count: 1"));
  ASSERT_TRUE(lobby_->Start());
  // The first retry, 13 s after the window opened, finds the server back.
  EXPECT_TRUE(Online()) << Status();
  EXPECT_FALSE(IsWindow(reconnect) && IsWindowVisible(reconnect));
  Exit();
}

// The same ID signed in from a second place throws the client off for good: although it
// reconnects after failures, no retry signs it in again to throw the second place off in turn.
TEST_F(SessionEndToEnd, SignedOnElsewhereTheClientStaysSignedOutPastTheReconnectCountdown) {
  ASSERT_TRUE(StartLobby("--add-account pilot:skyrend"));
  SetDWord("Reconnect", 1);
  ASSERT_TRUE(StartedOnline()) << Status();
  RawPilot elsewhere;
  ASSERT_TRUE(elsewhere.SignIn(lobby_->Port(), "pilot"));
  HWND box = ShownWindow(L"Warning!");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(ShowsText(box, "You have been signed on at another location!"));
  ASSERT_TRUE(Click(box, L"OK"));
  ASSERT_TRUE(WaitFor([&] { return Status() == "Not Connected"; }, kDeadlineMs)) << Status();
  // A retry would connect 13 s (ten ticks of 1.3 s) after the close and sign in at once: past
  // that, with room for the sign-in, the client has neither counted down nor thrown the second
  // place off.
  auto reconnecting = [&] {
    return Status() != "Not Connected" || FindWindowW(nullptr, L"Connecting to Corvane") ||
           elsewhere.WaitForLine("NOTHERCATION", 200);
  };
  EXPECT_FALSE(WaitFor(reconnecting, 13000 + 2000)) << Status();
  Exit();
}

TEST_F(SessionEndToEnd, ANewIdMadeInTheWindowSignsInFromASecondClient) {
  ASSERT_TRUE(StartLobby(""));
  SetDWord("AutoLogin", 0);
  ASSERT_TRUE(StartClient());
  ASSERT_TRUE(Click(ShownWindow(L"Login"), L"Get a Corvane ID"));
  HWND create = ShownWindow(L"Get a Corvane ID");
  ASSERT_NE(create, nullptr);
  ASSERT_TRUE(Type(create, {L"newpilot", L"s3cret", L"s3cret", L"new@pilot.net"}));
  ASSERT_TRUE(Click(create, L"Create"));
  ASSERT_TRUE(Online()) << Status();
  EXPECT_EQ(GroupOf("newpilot"), "Online Pilots");
  RawPilot second;
  ASSERT_TRUE(second.Connect(lobby_->Port()));
  second.Send("AUTH:newpilot:" + Digest("s3cret"));
  EXPECT_TRUE(second.WaitForLine("AUTH_ACK:OK"));
  Exit();
}

TEST_F(SessionEndToEnd, AnAwayMessageFromTheWindowReachesTheOtherPilots) {
  ASSERT_TRUE(StartLobby("--add-account pilot:skyrend --add-account wingman:skyrend"));
  RawPilot wingman;
  ASSERT_TRUE(wingman.SignIn(lobby_->Port(), "wingman"));
  ASSERT_TRUE(StartedOnline()) << Status();
  Command(MainCommand::mnuNewAway);
  HWND away = ShownWindow(L"Enter your away message");
  ASSERT_NE(away, nullptr);
  ASSERT_TRUE(Type(away, {L"out to lunch"}));
  ASSERT_TRUE(Click(away, L"OK"));
  EXPECT_TRUE(wingman.WaitForLine("ISAWAY:pilot:out to lunch"));
  EXPECT_TRUE(WaitFor([&] { return Status() == "out to lunch"; }, kDeadlineMs)) << Status();
  EXPECT_EQ(GroupOf("pilot (out to lunch)"), "Busy Pilots");
  Command(MainCommand::mnuOnline);
  EXPECT_TRUE(wingman.WaitForLine("ISON:pilot"));
  EXPECT_TRUE(Online()) << Status();
  Exit();
}

TEST_F(SessionEndToEnd, AnAdministratorSuspendsASignedInPilotUntilUnsuspended) {
  ASSERT_TRUE(StartLobby("--add-account boss:skyrend --add-account victim:skyrend --admin boss"));
  SetString("Username", "boss");
  RawPilot victim;
  ASSERT_TRUE(victim.SignIn(lobby_->Port(), "victim"));
  ASSERT_TRUE(StartedOnline()) << Status();
  Command(MainCommand::toolAdminMode);
  ASSERT_TRUE(WaitFor([&] { return Status() == "Admin Mode"; }, kDeadlineMs)) << Status();
  ASSERT_TRUE(WaitFor([&] { return GroupOf("victim") == "Online Pilots"; }, kDeadlineMs));
  ASSERT_TRUE(testbed::SelectTreeItem(Tree(), "victim"));
  Command(MainCommand::mnuSuspend);
  EXPECT_TRUE(victim.WaitForLine("ERROR:Your account has been suspended by an administrator."));
  EXPECT_TRUE(RawPilot().SignIn(lobby_->Port(), "victim", "AUTH_ACK:SUSPENDED"));
  ASSERT_TRUE(WaitFor([&] { return GroupOf("victim") == "Offline Pilots"; }, kDeadlineMs));
  ASSERT_TRUE(testbed::SelectTreeItem(Tree(), "victim"));
  Command(MainCommand::mnuUnsuspend);
  ASSERT_TRUE(
      WaitFor([&] { return RawPilot().SignIn(lobby_->Port(), "victim", "AUTH_ACK:OK", 2000); },
              kDeadlineMs));
  Exit();
}

}  // namespace
}  // namespace cv3::e2e
