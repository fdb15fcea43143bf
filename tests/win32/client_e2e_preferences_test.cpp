// End to end under Wine, each against a lobbyd of its own: a lobby address and port changed in
// the preferences take the next login to another server, and Remove in the ignore list gives the
// pilot his roster icon back at once while the registry waits for OK.
#include <gtest/gtest.h>

#include "tests/win32/e2e_support.h"

namespace cv3::e2e {
namespace {

class PreferencesEndToEnd : public OwnLobbyEndToEnd {
 protected:
  void TearDown() override {
    OwnLobbyEndToEnd::TearDown();
    // Nothing may start with the next Wine session.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "CV30");
  }
  // Opens the window from its menu entry; the start box is unchecked, so OK never makes the
  // client start with the next Wine session.
  HWND OpenPreferences() {
    Command(MainCommand::mnuPreferences);
    HWND window = ShownWindow(L"Corvane Preferences");
    if (window) {
      SendMessageW(FindWindowExW(window, nullptr, L"Button", L"Start Corvane with windows"),
                   BM_SETCHECK, BST_UNCHECKED, 0);
    }
    return window;
  }
  static bool Closed(HWND window) {
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, kDeadlineMs);
  }
  std::string Setting(const char* name) {
    Win32Registry backend;
    return Registry(backend, nullptr, "Corvane").GetString(kKey, name);
  }
  // The roster image of the node with this text, 0 when there is none.
  int ImageOf(const std::string& text) {
    HWND tree = Tree();
    for (const auto& item : tree ? ReadTree(tree) : std::vector<testbed::TreeItemInfo>{}) {
      if (item.text == text) return item.image;
    }
    return 0;
  }
};

TEST_F(PreferencesEndToEnd, ANewAddressAndPortTakeTheNextLoginToAnotherServer) {
  ASSERT_TRUE(StartLobby("--add-account pilot:skyrend"));
  // Only the second server knows wingman.
  OwnLobby second("--add-account pilot:skyrend --add-account wingman:skyrend", "127.0.0.2");
  ASSERT_TRUE(second.ok() && second.Start());
  ASSERT_TRUE(StartedOnline()) << Status();
  EXPECT_EQ(GroupOf("wingman"), "");
  HWND preferences = OpenPreferences();
  ASSERT_NE(preferences, nullptr);
  ASSERT_TRUE(Type(preferences, {L"127.0.0.2", std::to_wstring(second.Port())}));
  ASSERT_TRUE(Click(preferences, L"OK"));
  ASSERT_TRUE(Closed(preferences));
  EXPECT_EQ(Setting("CvAddress"), "127.0.0.2");
  Win32Registry backend;
  EXPECT_EQ(Registry(backend, nullptr, "Corvane")
                .GetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           "CV30"),
            "");
  Command(MainCommand::mnuDisconnect);
  ASSERT_TRUE(WaitFor([&] { return Status() == "Not Connected"; }, kDeadlineMs)) << Status();
  Command(MainCommand::mnuLogin);
  ASSERT_TRUE(Click(ShownWindow(L"Login"), L"Login"));
  ASSERT_TRUE(Online()) << Status();
  EXPECT_TRUE(WaitFor([&] { return GroupOf("wingman") == "Offline Pilots"; }, kDeadlineMs));
  Exit();
}

// The ignored pilot's name is not ASCII: the list, the roster and the registry agree on it.
TEST_F(PreferencesEndToEnd, RemovingAnIgnoredPilotGivesHisIconBackAndOkStoresTheList) {
  ASSERT_TRUE(
      StartLobby(std::string("--add-account pilot:skyrend --add-account ") + kZoe + ":skyrend"));
  const std::string ignored = std::string(kZoe) + ",";
  SetString("Ignored", ignored);
  RawPilot zoe;
  ASSERT_TRUE(zoe.SignIn(lobby_->Port(), kZoeBytes));
  ASSERT_TRUE(StartedOnline()) << Status();
  ASSERT_TRUE(WaitFor([&] { return GroupOf(kZoe) == "Online Pilots"; }, kDeadlineMs));
  EXPECT_EQ(ImageOf(kZoe), 6);  // grey: ignored
  HWND preferences = OpenPreferences();
  ASSERT_NE(preferences, nullptr);
  HWND list = FindChildByClass(preferences, L"ListBox");
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
  wchar_t entry[64] = {};
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(entry));
  EXPECT_STREQ(entry, L"Zoë");
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  ASSERT_TRUE(Click(preferences, L"Remove"));
  EXPECT_TRUE(WaitFor([&] { return ImageOf(kZoe) == 2; }, kDeadlineMs)) << ImageOf(kZoe);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(Setting("Ignored"), ignored);
  ASSERT_TRUE(Click(preferences, L"OK"));
  ASSERT_TRUE(Closed(preferences));
  EXPECT_EQ(Setting("Ignored"), "");
  Exit();
}

}  // namespace
}  // namespace cv3::e2e
