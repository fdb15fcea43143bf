// The real main window, in-process under Wine, driven by the real controllers with server lines;
// what it shows is read back through the controls' own messages.
#include "cv3client/ui/frm_main_win32.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"
#include "common/wide_text_win32.h"
#include "cv3client/ui/main_commands.h"
#include "loop_support.h"
#include "testbed/remote_controls_win32.h"
#include "tray_support.h"
#include "win32/tray_win32.h"

namespace cv3 {
namespace {

using testbed::ReadStatusText;
using testbed::ReadTree;
using testbed::ReadWindowText;
using testbed::TreeItemInfo;

// Records the window's events; passes them on to the core when a test asks for it.
struct NoEvents : MainWindowEvents {
  std::vector<std::string> seen;
  MainWindowEvents* forward = nullptr;
  void OnCommand(MainCommand c) override {
    seen.push_back("command " + std::to_string(int(c)));
    if (forward) forward->OnCommand(c);
  }
  void OnTreeDoubleClick() override { seen.push_back("double click"); }
  void OnTreeRightClick() override {
    seen.push_back("right click");
    if (forward) forward->OnTreeRightClick();
  }
  void OnStatusPanelClick() override { seen.push_back("status click"); }
  void OnToolbarDropDown(int button) override {
    seen.push_back("drop-down " + std::to_string(button));
    if (forward) forward->OnToolbarDropDown(button);
  }
  void OnTrayMouse(const std::string& action) override { seen.push_back("tray " + action); }
  bool OnCloseRequested() override { return false; }
};

// A menu's items in order: "-" for a separator, "~" after a grayed item's text, a submenu's items
// after its own, indented.
std::vector<std::string> MenuTexts(HMENU menu, const std::string& indent = "") {
  std::vector<std::string> texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[80] = {};
    MENUITEMINFOW item{sizeof item};
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    item.dwTypeData = text;
    item.cch = std::size(text);
    GetMenuItemInfoW(menu, i, TRUE, &item);
    if (item.fType & MFT_SEPARATOR) {
      texts.push_back(indent + "-");
      continue;
    }
    texts.push_back(indent + Narrow(text) + (item.fState & MFS_GRAYED ? "~" : ""));
    if (item.hSubMenu) {
      for (const std::string& sub : MenuTexts(item.hSubMenu, indent + "  ")) texts.push_back(sub);
    }
  }
  return texts;
}

// The window with the core behind it, as the program wires them, over a fake socket.
class MainWindowTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    settings_.SetDWord("SlowCPU", GetParam() ? 0 : 1);
    core_ = std::make_unique<ClientCore>(ClientPlatform{.status = window_,
                                                        .menus = window_,
                                                        .messages = window_,
                                                        .shell = window_,
                                                        .tree = window_,
                                                        .windows = windows_,
                                                        .deferral = deferral_,
                                                        .factory = factory_,
                                                        .socket = socket_,
                                                        .registry = settings_.registry,
                                                        .timers = timers_,
                                                        .processes = processes_,
                                                        .gameWindows = gameWindows_,
                                                        .files = files_,
                                                        .wait = {}});
    session_ = &core_->Session();
    ASSERT_TRUE(window_.Load({GetParam(), CV3_ASSETS_DIR}, &events_));
    window_.Show();
  }
  void TearDown() override { window_.RemoveTrayIcon(); }

  void SignIn() {
    session_->SignInAs("pilot", "D41D8CD98F00B204E9800998ECF8427E");
    session_->ConnectToServer();
    socket_.connected = true;
    core_->OnSocketConnect();
  }
  void Receive(const std::string& lines) { core_->OnDataArrival(lines); }
  std::string Status() { return ReadStatusText(window_.barStatus()); }
  std::vector<std::string> Tree() {
    std::vector<std::string> out;
    for (const TreeItemInfo& item : ReadTree(window_.tvObjects())) {
      out.push_back((item.parent.empty() ? "" : "  ") + item.text + " [" +
                    std::to_string(item.image) + "]" + (item.bold ? " bold" : ""));
    }
    return out;
  }
  UINT MenuState(MainCommand command) {
    return GetMenuState(window_.menuBar(), frmMain::CommandId(command), MF_BYCOMMAND);
  }

  testing::Log log_;
  testing::FakeSocket socket_{log_};
  testing::ManualTimers timers_{log_};
  testing::TestRegistry settings_;
  testing::RecordingViews windows_{log_};
  testing::ManualDeferral deferral_;
  testing::LoggingProcesses processes_{log_};
  FakeGameWindows gameWindows_;
  FakeFiles files_;
  WindowFactory factory_;
  frmMain window_;
  NoEvents events_;
  std::unique_ptr<ClientCore> core_;
  SessionController* session_ = nullptr;
};

TEST_P(MainWindowTest, StartsNotConnected) {
  EXPECT_EQ(ReadWindowText(window_.hwnd()), "Corvane 3.0 BETA");
  EXPECT_EQ(Status(), "Not Connected");
  EXPECT_EQ(ReadWindowText(window_.lblLogoStatus()), "Corvane 3.0");
  EXPECT_TRUE(IsWindowVisible(window_.picLogo()));
  EXPECT_FALSE(IsWindowVisible(window_.tvObjects()));
  EXPECT_TRUE(MenuState(MainCommand::mnuEditProfile) & MF_GRAYED);
  EXPECT_TRUE(MenuState(MainCommand::mnuDisconnect) & MF_GRAYED);
  EXPECT_FALSE(MenuState(MainCommand::mnuLogin) & MF_GRAYED);
  // "Admin Mode" is not in the pilot menu until the server names us administrator.
  EXPECT_EQ(GetMenuItemCount(window_.popupUsers()), 3);
}

TEST_P(MainWindowTest, MenusAndToolbarShowTheCommandsTexts) {
  using Texts = std::vector<std::string>;
  window_.SetAdminMenuVisible(true);
  EXPECT_EQ(MenuTexts(window_.menuBar()),
            (Texts{"&Login", "  &Edit Profile~", "  -", "  &Preferences", "  -", "  &Login",
                   "  &Disconnect~", "  -", "  E&xit", "&Help", "  &Contents", "  &FAQ", "  -",
                   "  &About Corvane"}));
  EXPECT_EQ(MenuTexts(window_.statusMenu()),
            (Texts{"&Online", "-", "&Set away message", "-", "&Invisible"}));
  EXPECT_EQ(MenuTexts(window_.popupGames()),
            (Texts{"&Game Details", "&Resume Game", "R&emove Game"}));
  EXPECT_EQ(MenuTexts(window_.popupUsers()),
            (Texts{"&Admin Mode", "  &Remove User", "  -", "  &Suspend User", "  &Unsuspend User",
                   "  -", "  &Change Pass", "-", "&View Profile", "-", "&Ignore User"}));
  Texts dropDowns;
  for (int button = 1; button <= 3; ++button) {
    for (const std::string& text : MenuTexts(window_.toolDropDown(button))) {
      dropDowns.push_back(text);
    }
  }
  EXPECT_EQ(dropDowns,
            (Texts{"&Lobby Chat", "&Host Game", "&Resume Game", "Remove &Game", "-", "&Admin Mode",
                   "&Skyrend Forums", "Skyrend &Wiki", "Squadron &Ladder", "&Mission Exchange"}));
  Texts tips;
  for (MainCommand button :
       {MainCommand::toolButton1, MainCommand::toolButton2, MainCommand::toolButton3}) {
    NMTTDISPINFOW info{};
    info.hdr = {nullptr, static_cast<UINT_PTR>(frmMain::CommandId(button)),
                static_cast<UINT>(TTN_GETDISPINFOW)};
    SendMessageW(window_.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    tips.push_back(info.lpszText ? Narrow(info.lpszText) : "");
  }
  EXPECT_EQ(tips, (Texts{"Join lobby chat room.", "Manage your Skyrend games.",
                         "Visit the Skyrend community on the web."}));
  EXPECT_EQ(SendMessageW(window_.barTool(), TB_BUTTONCOUNT, 0, 0), 3);
}

TEST_P(MainWindowTest, SignInSequenceFillsTheRosterInItsGroups) {
  SignIn();
  EXPECT_EQ(Status(), "Connected");
  EXPECT_TRUE(MenuState(MainCommand::mnuLogin) & MF_GRAYED);
  EXPECT_FALSE(MenuState(MainCommand::mnuDisconnect) & MF_GRAYED);
  Receive("AUTH_ACK:OK\r\n");
  EXPECT_EQ(Status(), "Loading Users");
  EXPECT_FALSE(MenuState(MainCommand::mnuEditProfile) & MF_GRAYED);
  Receive(
      "USER:zed:online\r\nUSER:PILOT:online\r\nUSER:bob:away:back in 5: really\r\n"
      "USER:amy:offline\r\nUSER:root:admin\r\nUSERS_ACK\r\n");
  EXPECT_EQ(Status(), "Loading Games");
  Receive("GAME:Zulu Strike:down\r\nGAME:Arena:up\r\nGAMES_ACK\r\n");
  EXPECT_EQ(Status(), "Online");
  EXPECT_TRUE(IsWindowVisible(window_.tvObjects()));
  EXPECT_FALSE(IsWindowVisible(window_.picLogo()));
  EXPECT_EQ(Tree(), (std::vector<std::string>{
                        "Skyrend Games [1] bold", "  Arena [1]", "  Zulu Strike [6]",
                        "Online Pilots [2] bold", "  root [8]", "  zed [2]", "Busy Pilots [4] bold",
                        "  bob (back in 5: really) [4]", "Offline Pilots [3] bold", "  amy [6]"}));
}

TEST_P(MainWindowTest, NoticesMoveNodesAndKeepGroupsSorted) {
  SignIn();
  Receive("AUTH_ACK:OK\r\nUSER:bob:online\r\nUSERS_ACK\r\nGAMES_ACK\r\n");
  Receive("ISON:alice\r\nISAWAY:bob:lunch\r\nGAMEUP:Canyon Run\r\nISAWAY:pilot:Having dinner\r\n");
  EXPECT_EQ(Tree(), (std::vector<std::string>{"Skyrend Games [1] bold", "  Canyon Run [1]",
                                              "Online Pilots [2] bold", "  alice [2]",
                                              "Busy Pilots [4] bold", "  bob (lunch) [4]",
                                              "Offline Pilots [3] bold"}));
  // Our own node is not in the roster, so the away text does not reach the status bar.
  EXPECT_EQ(Status(), "Online");
  Receive("GAMEDOWN:canyon run\r\nISADMIN:pilot\r\nISOFF:alice\r\n");
  EXPECT_EQ(Status(), "Admin Mode");
  EXPECT_EQ(GetMenuItemCount(window_.popupUsers()), 5);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"Skyrend Games [1] bold", "  Canyon Run [6]",
                                              "Online Pilots [2] bold", "  pilot [8]",
                                              "Busy Pilots [4] bold", "  bob (lunch) [4]",
                                              "Offline Pilots [3] bold", "  alice [6]"}));
  Receive("INVISIBLE_ACK\r\n");
  EXPECT_EQ(Status(), "Invisible");
  EXPECT_EQ(GetMenuItemCount(window_.popupUsers()), 3);
}

TEST_P(MainWindowTest, DisconnectResetsTheWindow) {
  SignIn();
  Receive("AUTH_ACK:OK\r\nUSER:bob:online\r\nUSERS_ACK\r\nGAMES_ACK\r\n");
  Receive("DISCONNECT_ACK\r\n");
  EXPECT_EQ(Status(), "Not Connected");
  EXPECT_EQ(ReadWindowText(window_.lblLogoStatus()), "Corvane 3.0");
  EXPECT_TRUE(Tree().empty());
  EXPECT_FALSE(IsWindowVisible(window_.tvObjects()));
  EXPECT_TRUE(IsWindowVisible(window_.picLogo()));
  EXPECT_FALSE(MenuState(MainCommand::mnuLogin) & MF_GRAYED);
  EXPECT_TRUE(MenuState(MainCommand::mnuEditProfile) & MF_GRAYED);
}

TEST_P(MainWindowTest, ControlsReportTheirEvents) {
  SendMessageW(window_.hwnd(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuExit), 0);
  // The tray reports its actions by its own message, the action's number where a mouse move has
  // its x; a real mouse move at such an x is no tray click.
  SendMessageW(window_.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(515, 0));
  SendMessageW(window_.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(517, 0));
  SendMessageW(window_.hwnd(), TrayIcon::kCallbackMessage, 1, MAKELPARAM(515, 0));
  SendMessageW(window_.hwnd(), TrayIcon::kCallbackMessage, 1, MAKELPARAM(519, 0));
  SendMessageW(window_.hwnd(), TrayIcon::kCallbackMessage, 1, MAKELPARAM(517, 0));
  NMHDR click{window_.barStatus(), 0, static_cast<UINT>(NM_CLICK)};
  SendMessageW(window_.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
  // A drop-down item reports its own command, whatever its caption.
  SendMessageW(window_.hwnd(), WM_COMMAND, frmMain::CommandId(MainCommand::toolCommunityLink2), 0);
  EXPECT_EQ(events_.seen, (std::vector<std::string>{
                              "command " + std::to_string(int(MainCommand::mnuExit)),
                              "tray LEFTDOUBLE", "tray RIGHTUP", "status click",
                              "command " + std::to_string(int(MainCommand::toolCommunityLink2))}));
}

// Explorer started again: the icon of a client hidden to the tray comes back.
TEST_P(MainWindowTest, TheTrayIconComesBackWhenTheTaskbarStartsAgain) {
  ASSERT_TRUE(ShellHasIcon(window_.hwnd()));
  TaskbarStartsAgain(window_.hwnd());
  EXPECT_TRUE(ShellHasIcon(window_.hwnd()));
}

// The pilots' and games' menus pump socket events while they are open. A notice arriving inside
// one replaces or removes the selected node, and the tree selects a neighbour; "Remove User" or
// "Remove Game", chosen then, names the node taken when the menu opened, or sends nothing once it
// is gone.
TEST_P(MainWindowTest, APopupMenuCommandActsOnTheNodeTakenWhenTheMenuOpened) {
  events_.forward = core_.get();
  SignIn();
  Receive(
      "AUTH_ACK:OK\r\nUSER:amy:online\r\nUSER:bob:online\r\nUSER:cy:online\r\nUSERS_ACK\r\n"
      "GAME:Arena:up\r\nGAME:Old Race:down\r\nGAME:Zulu Cup:up\r\nGAMES_ACK\r\nISADMIN:pilot\r\n");
  // "Admin Mode", its first item "Remove User"; the games' third item "Remove Game".
  const std::vector<WPARAM> removeUser = {VK_DOWN, VK_RIGHT, VK_RETURN};
  const std::vector<WPARAM> removeGame = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
  const struct {
    const char* node;
    const char* notices;
    const std::vector<WPARAM>& keys;
    MainCommand command;
    const char* sent;     // "" for nothing
    const char* restore;  // the node back as it was for the next case
  } cases[] = {{"bob", "ISAWAY:bob:lunch\r\n", removeUser, MainCommand::mnuRemUser,
                "send REMUSER:bob", "ISON:bob\r\n"},
               {"bob", "REMUSER:bob\r\n", removeUser, MainCommand::mnuRemUser, "", "ISON:bob\r\n"},
               {"Old Race", "GAMEREM:Old Race\r\nGAMEDOWN:Old Race\r\n", removeGame,
                MainCommand::mnuRemoveGame, "send REMGAME:Old Race", ""},
               {"Old Race", "GAMEREM:Old Race\r\n", removeGame, MainCommand::mnuRemoveGame, "",
                "GAMEDOWN:Old Race\r\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.notices);
    ASSERT_TRUE(testbed::SelectTreeItem(window_.tvObjects(), c.node));
    SetCursorPos(0, 0);  // the right click selects the node under the pointer: none here
    log_.clear();
    testing::FromTheLoop([&] {
      Receive(c.notices);
      for (WPARAM key : c.keys) PostMessageW(window_.hwnd(), WM_KEYDOWN, key, 0);
    });
    NMHDR click{window_.tvObjects(), 200, static_cast<UINT>(NM_RCLICK)};
    SendMessageW(window_.hwnd(), WM_NOTIFY, 200, reinterpret_cast<LPARAM>(&click));
    // The menu has posted its command: run what is queued.
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    EXPECT_NE(std::find(events_.seen.begin(), events_.seen.end(),
                        "command " + std::to_string(int(c.command))),
              events_.seen.end());
    events_.seen.clear();
    std::vector<std::string> lines;
    for (const std::string& entry : log_) {
      if (entry.starts_with("send ")) lines.push_back(entry);
    }
    EXPECT_EQ(lines, *c.sent ? std::vector<std::string>{c.sent} : std::vector<std::string>{});
    if (*c.restore) Receive(c.restore);
  }
}

// A community's own build names its web site: Help and the new-version message open its pages.
TEST_P(MainWindowTest, HelpAndTheNewVersionMessageOpenTheCommunitysOwnSite) {
  settings_.SetString("CvWebSite", "http://lobby.example.org/");
  events_.forward = core_.get();
  SignIn();
  ASSERT_TRUE(session_->Startup("6.1"));
  log_.clear();
  SendMessageW(window_.hwnd(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuGetHelp), 0);
  std::function<void()> pressOk = [&] {
    HWND box = FindWindowW(L"#32770", L"Warning!");
    if (box && IsWindowVisible(box)) {
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    } else {
      testing::FromTheLoop(pressOk);
    }
  };
  testing::FromTheLoop(pressOk);
  Receive("VERSION_ACK:UPDATE\r\n");
  EXPECT_EQ(log_,
            (testing::Log{"run cmd /c start http://lobby.example.org/modules.php?name=Forums",
                          "run cmd /c start http://lobby.example.org/modules.php?name=Downloads"}));
}

TEST_P(MainWindowTest, TinyWindowNeverGivesNegativeSizes) {
  SetWindowPos(window_.hwnd(), nullptr, 0, 0, 60, 40, SWP_NOZORDER | SWP_NOMOVE);
  RECT tree;
  GetWindowRect(window_.tvObjects(), &tree);
  EXPECT_GE(tree.right - tree.left, 0);
  EXPECT_GE(tree.bottom - tree.top, 0);
  ShowWindow(window_.hwnd(), SW_MINIMIZE);
  ShowWindow(window_.hwnd(), SW_RESTORE);
  EXPECT_TRUE(IsWindow(window_.tvObjects()));
}

INSTANTIATE_TEST_SUITE_P(Looks, MainWindowTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Tiled" : "Plain"; });

}  // namespace
}  // namespace cv3
