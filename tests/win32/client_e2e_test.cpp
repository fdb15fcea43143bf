// End to end under Wine: the real cv3client.exe signs in automatically against a real lobbyd
// (started by the test script; its port in CV3_LOBBYD_PORT) and is watched from outside through
// its controls. A second pilot, driven here over a plain socket, hosts a game and goes away.
#include <gtest/gtest.h>

#include <cstdlib>

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

  // The away note arrives in Windows-1252 and shows as it was written, on any system code page.
  wingman.Send(std::string("AWAY:") + kWesternBytes);
  const std::string away = std::string("wingman (") + kWesternText + ")";
  EXPECT_TRUE(WaitFor([&] { return GroupOf(away) == "Busy Pilots"; }, kDeadlineMs));
  EXPECT_EQ(GroupOf("wingman"), "");

  // Exit sends QUIT and the program ends on QUIT_ACK:OK.
  PostMessageW(Main(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuExit), 0);
  EXPECT_TRUE(wingman.WaitForLine("ISOFF:pilot"));
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, kDeadlineMs), WAIT_OBJECT_0);
}

// The packed program, unpacked or installed into a folder with spaces in its name, finds its
// pictures there and signs in: the package step names the folder (a Windows path such as the
// installer's, or a Unix path, seen through Wine's Z: drive). The folder's name may hold letters
// of any language, so it is read in UTF-16.
TEST_F(ClientEndToEnd, ThePackagedClientSignsInFromItsUnpackedFolder) {
  const wchar_t* folder = _wgetenv(L"CV3_PACKAGE_DIR");
  if (!folder) GTEST_SKIP() << "CV3_PACKAGE_DIR is not set: no unpacked package to start";
  RawPilot wingman;
  ASSERT_TRUE(wingman.SignIn(port_, "wingman"));
  std::wstring root(folder);
  if (root.size() < 2 || root[1] != L':') root = L"Z:" + root;
  ASSERT_TRUE(StartClient(root + L"/cv3client.exe"));
  ASSERT_TRUE(WaitFor([&] { return Status() == "Online"; }, kDeadlineMs)) << Status();
  EXPECT_TRUE(wingman.WaitForLine("ISON:pilot"));
  PostMessageW(Main(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuExit), 0);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, kDeadlineMs), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace cv3::e2e
