// End to end under Wine: the real cv3client.exe signs in automatically against a real lobbyd
// (started by the test script; its port in CV3_LOBBYD_PORT) and is watched from outside through
// its controls. A second pilot, driven here over a plain socket, hosts a game and goes away.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/win32/e2e_support.h"

namespace cv3::e2e {
namespace {

TEST_F(ClientEndToEnd, SignsInSeesTheLobbyFollowsPresenceAndExits) {
  RawPilot wingman;
  ASSERT_TRUE(wingman.SignIn(port_, "wingman"));
  wingman.Send("HOSTGAME:Canyon Run:127.0.0.1:1.2:Named:1:0:0:0:0:0:0:0:0:1:Friendly");
  ASSERT_TRUE(wingman.WaitForLine("HOSTGAME_ACK:OK"));

  ASSERT_TRUE(StartClient());
  ASSERT_TRUE(WaitFor([&] { return Status() == "Online"; }, kDeadlineMs)) << Status();
  EXPECT_TRUE(WaitFor([&] { return GroupOf("wingman") == "Online Pilots"; }, kDeadlineMs));
  EXPECT_EQ(GroupOf("Canyon Run"), "Skyrend Games");
  ASSERT_TRUE(wingman.WaitForLine("ISON:pilot"));

  wingman.Send("AWAY:refuelling");
  EXPECT_TRUE(
      WaitFor([&] { return GroupOf("wingman (refuelling)") == "Busy Pilots"; }, kDeadlineMs));
  EXPECT_EQ(GroupOf("wingman"), "");

  // Exit sends QUIT and the program ends on QUIT_ACK:OK.
  PostMessageW(Main(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuExit), 0);
  EXPECT_TRUE(wingman.WaitForLine("ISOFF:pilot"));
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, kDeadlineMs), WAIT_OBJECT_0);
}

// The packed program, unpacked or installed into a folder with spaces in its name, finds its
// pictures there and signs in: the package step names the folder (a Windows path such as the
// installer's, or a Unix path, seen through Wine's Z: drive).
TEST_F(ClientEndToEnd, ThePackagedClientSignsInFromItsUnpackedFolder) {
  const char* folder = std::getenv("CV3_PACKAGE_DIR");
  if (!folder) GTEST_SKIP() << "CV3_PACKAGE_DIR is not set: no unpacked package to start";
  RawPilot wingman;
  ASSERT_TRUE(wingman.SignIn(port_, "wingman"));
  std::wstring root(folder, folder + std::strlen(folder));
  if (root.size() < 2 || root[1] != L':') root = L"Z:" + root;
  ASSERT_TRUE(StartClient(root + L"/cv3client.exe"));
  ASSERT_TRUE(WaitFor([&] { return Status() == "Online"; }, kDeadlineMs)) << Status();
  EXPECT_TRUE(wingman.WaitForLine("ISON:pilot"));
  PostMessageW(Main(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuExit), 0);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, kDeadlineMs), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace cv3::e2e
