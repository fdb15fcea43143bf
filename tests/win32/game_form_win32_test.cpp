// The details window and the host window in-process under Wine: what only the real controls can
// show (labels before boxes, captions, locking, what the controls read back, tab order and the
// keys). Their rules are tested natively with the two controllers.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cv3client/games/frm_game_details_win32.h"
#include "cv3client/games/frm_host_game_win32.h"
#include "testbed/remote_controls_win32.h"

namespace cv3 {
namespace {

using testbed::ReadWindowText;

bool HasStyle(HWND control, LONG style) {
  return (GetWindowLongW(control, GWL_STYLE) & style) != 0;
}

std::vector<std::string> ListItems(HWND list, UINT countMessage, UINT textMessage) {
  std::vector<std::string> items;
  LRESULT count = SendMessageW(list, countMessage, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    SendMessageW(list, textMessage, i, reinterpret_cast<LPARAM>(text));
    items.push_back(Narrow(text));
  }
  return items;
}

// Every control of the shared layout, in tab order.
std::vector<HWND> TabStops(const GameForm& form) {
  std::vector<HWND> stops = {form.txtGameName(), form.txtHostPlayer(), form.txtGameAddress(),
                             form.txtSkyrendVer(), form.cboAnnounce()};
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) stops.push_back(form.chk(i));
  for (HWND control :
       {form.txtDescription(), form.lstPlayers(), form.cmdAction(), form.cmdCancel()}) {
    stops.push_back(control);
  }
  return stops;
}

std::vector<HWND> TabOrder(HWND window, HWND from, size_t count) {
  std::vector<HWND> order;
  for (size_t i = 0; i < count; ++i) {
    from = GetNextDlgTabItem(window, from, FALSE);
    order.push_back(from);
  }
  return order;
}

// The labels, frames and check boxes both windows share, and the tab order through them.
void ExpectSharedLayout(const GameForm& form) {
  const std::pair<HWND, const char*> labelled[] = {
      {form.txtGameName(), "Game Name:"},           {form.txtHostPlayer(), "Game Host:"},
      {form.txtGameAddress(), "Game Address:"},     {form.txtSkyrendVer(), "Skyrend Version:"},
      {form.cboAnnounce(), "Player Announcement:"}, {form.txtDescription(), "Description"},
      {form.lstPlayers(), "Players (0/13)"}};
  for (const auto& [box, label] : labelled) {
    EXPECT_EQ(ReadWindowText(GetWindow(box, GW_HWNDPREV)), label);
  }
  // The frames come before the labels they hold.
  EXPECT_EQ(ReadWindowText(GetWindow(GetWindow(form.txtGameName(), GW_HWNDPREV), GW_HWNDPREV)),
            "Server Host");
  EXPECT_EQ(ReadWindowText(GetWindow(GetWindow(form.cboAnnounce(), GW_HWNDPREV), GW_HWNDPREV)),
            "Settings");
  const char* checks[] = {"Include CPU Pilots", "Restrict to Alpha crater", "Moth Hopping",
                          "Blood Money",        "Require Passwords",        "God Hanger Access",
                          "Dedicated",          "Long-term Game",           "File Logging",
                          "Full Debug Logging"};
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) {
    EXPECT_EQ(ReadWindowText(form.chk(i)), checks[i]);
  }
  EXPECT_EQ(ListItems(form.cboAnnounce(), CB_GETCOUNT, CB_GETLBTEXT),
            (std::vector<std::string>{"Anonymous", "Named", "Named & Target"}));
  EXPECT_TRUE(HasStyle(form.cboAnnounce(), CBS_DROPDOWNLIST));
  EXPECT_TRUE(HasStyle(form.txtDescription(), ES_MULTILINE));
  EXPECT_TRUE(HasStyle(form.cmdAction(), BS_DEFPUSHBUTTON));
  EXPECT_EQ(ReadWindowText(form.cmdCancel()), "Cancel");
  // A disabled button is no stop.
  std::vector<HWND> stops;
  for (HWND stop : TabStops(form)) {
    if (IsWindowEnabled(stop)) stops.push_back(stop);
  }
  EXPECT_EQ(TabOrder(form.hwnd(), form.cmdCancel(), stops.size()), stops);
}

HostedGame Arena() {
  HostedGame game;
  game.name = "Arena";
  game.address = "203.0.113.9:4000";
  game.version = "1.06";
  game.announcement = "Named";
  game.mothHopping = game.dedicated = game.fullDebug = true;
  game.description = "line one\r\n\r\nline two";
  return game;
}

class GameFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }
  HWND owner_ = nullptr;
};

TEST_F(GameFormTest, DetailsShowWhatTheyAreGivenAndKeepIt) {
  frmGameDetails details(owner_);
  ASSERT_TRUE(details.Make());
  EXPECT_EQ(ReadWindowText(details.hwnd()), "Game Details");
  EXPECT_EQ(ReadWindowText(details.cmdAction()), "Play");
  EXPECT_FALSE(IsWindowEnabled(details.cmdAction()));
  ExpectSharedLayout(details);
  for (HWND box : {details.txtGameName(), details.txtHostPlayer(), details.txtGameAddress(),
                   details.txtSkyrendVer(), details.txtDescription()}) {
    EXPECT_TRUE(HasStyle(box, ES_READONLY));
  }

  details.SetDetails({"amy", Arena(), true, {"amy", "bob"}});
  details.SetPlayersCaption("Players (2/13)");
  EXPECT_EQ(ReadWindowText(details.txtGameName()), "Arena");
  EXPECT_EQ(ReadWindowText(details.txtHostPlayer()), "amy");
  EXPECT_EQ(ReadWindowText(details.txtGameAddress()), "203.0.113.9:4000");
  EXPECT_EQ(ReadWindowText(details.txtSkyrendVer()), "1.06");
  EXPECT_EQ(ReadWindowText(details.cboAnnounce()), "Named");
  EXPECT_EQ(ReadWindowText(details.txtDescription()), "line one\r\n\r\nline two");
  EXPECT_EQ(ListItems(details.lstPlayers(), LB_GETCOUNT, LB_GETTEXT),
            (std::vector<std::string>{"amy", "bob"}));
  EXPECT_EQ(ReadWindowText(details.famPlayers()), "Players (2/13)");
  // A display: a click on a check box or another item leaves what the server said.
  SendMessageW(details.chk(0), BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(details.chk(0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  SendMessageW(details.cboAnnounce(), CB_SETCURSEL, 0, 0);
  SendMessageW(details.hwnd(), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(details.cboAnnounce()), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(details.cboAnnounce()));
  EXPECT_EQ(ReadWindowText(details.cboAnnounce()), "Named");
  std::vector<bool> checked;
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) {
    checked.push_back(SendMessageW(details.chk(i), BM_GETCHECK, 0, 0) == BST_CHECKED);
  }
  EXPECT_EQ(checked,
            (std::vector<bool>{false, false, true, false, false, false, true, false, false, true}));
}

TEST_F(GameFormTest, HostEntriesReadBackAndResumeModeLocksTheName) {
  frmHostGame host(owner_);
  ASSERT_TRUE(host.Make());
  EXPECT_EQ(ReadWindowText(host.hwnd()), "Host Game");
  EXPECT_EQ(ReadWindowText(host.cmdAction()), "Host");
  EXPECT_TRUE(IsWindowEnabled(host.cmdAction()));
  ExpectSharedLayout(host);
  EXPECT_FALSE(HasStyle(host.txtGameName(), ES_READONLY));
  EXPECT_FALSE(HasStyle(host.txtGameAddress(), ES_READONLY));
  EXPECT_TRUE(HasStyle(host.txtHostPlayer(), ES_READONLY));
  EXPECT_TRUE(HasStyle(host.txtSkyrendVer(), ES_READONLY));
  EXPECT_FALSE(HasStyle(host.txtDescription(), ES_READONLY));

  host.SetEntries(Arena());
  EXPECT_EQ(host.Entries(), Arena());
  SendMessageW(host.chk(0), BM_CLICK, 0, 0);  // a player's click counts
  HostedGame other = Arena();
  other.includeCpus = true;
  EXPECT_EQ(host.Entries(), other);
  other.announcement = "named";  // not an item, case included
  host.SetEntries(other);
  EXPECT_EQ(host.Entries().announcement, "");

  host.SetResumeMode();
  EXPECT_EQ(ReadWindowText(host.cmdAction()), "Resume");
  EXPECT_TRUE(HasStyle(host.txtGameName(), ES_READONLY));
  EXPECT_FALSE(IsWindowEnabled(host.chk(GameForm::kChkFileLogging)));
  EXPECT_FALSE(IsWindowEnabled(host.chk(GameForm::kChkFullDebug)));
  EXPECT_TRUE(IsWindowEnabled(host.chk(GameForm::kChkFileLogging - 1)));
  EXPECT_EQ(host.Entries().fullDebug, true);  // still read, still sent
}

// Runs `work` once from the modal loop that is about to start: a thread timer's callback.
std::function<void()> pendingWork;
void CALLBACK RunPendingWork(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (auto work = std::exchange(pendingWork, nullptr)) work();
}
void FromTheLoop(std::function<void()> work) {
  pendingWork = std::move(work);
  SetTimer(nullptr, 0, 1, RunPendingWork);
}

// From the modal loop: the focus to `target` and a key pressed there (none: 0); then, once every
// message that caused is handled (a timer comes after posted messages), the close box, which
// ends the loop should the key have done nothing.
void PressThenClose(HWND window, HWND target, WPARAM key) {
  FromTheLoop([=] {
    if (key) {
      SetFocus(target);
      PostMessageW(target, WM_KEYDOWN, key, 1);
      PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }
    FromTheLoop([=] { PostMessageW(window, WM_CLOSE, 0, 0); });
  });
}

// The host window's buttons, recorded with the focus at the time; each unloads the window.
struct HostRecorder : HostGameEvents {
  void cmdHost_Click() override { Record("host"); }
  void cmdCancel_Click() override { Record("cancel"); }
  void Record(const std::string& what) {
    seen.push_back(what + (GetFocus() == focusOfInterest ? " (focus)" : ""));
    view->Unload();
  }
  std::vector<std::string> seen;
  HostGameView* view = nullptr;
  HWND focusOfInterest = nullptr;
};

TEST_F(GameFormTest, KeysOfTheHostWindow) {
  struct Case {
    const char* name;
    std::function<HWND(frmHostGame&)> target;
    WPARAM key;  // 0: the close box
    bool enabled;
    std::function<HWND(frmHostGame&)> focus;  // where the focus is when the event comes
    std::string event;
  };
  auto name = [](frmHostGame& h) { return h.txtGameName(); };
  auto description = [](frmHostGame& h) { return h.txtDescription(); };
  auto players = [](frmHostGame& h) { return h.lstPlayers(); };
  const Case cases[] = {
      {"enter in the name", name, VK_RETURN, true, name, "host (focus)"},
      {"enter with Resume disabled", name, VK_RETURN, false, name, "cancel (focus)"},
      {"esc", name, VK_ESCAPE, true, name, "cancel (focus)"},
      {"close box", nullptr, 0, true, name, "cancel (focus)"},
      {"tab leaves the description", description, VK_TAB, true, players, "cancel (focus)"},
      {"esc in the description", description, VK_ESCAPE, true, description, "cancel (focus)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    frmHostGame host(owner_);
    ASSERT_TRUE(host.Make());
    host.SetHostEnabled(c.enabled);
    HostRecorder events;
    events.view = &host;
    events.focusOfInterest = c.focus(host);
    PressThenClose(host.hwnd(), c.target ? c.target(host) : nullptr, c.key);
    host.ShowModal(events);
    EXPECT_EQ(events.seen.front(), c.event);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(host.hwnd()));
  }
}

// The details window's buttons, recorded; each unloads the window.
struct DetailsRecorder : GameDetailsEvents {
  void cmdPlay_Click() override { Record("play"); }
  void cmdCancel_Click() override { Record("cancel"); }
  void Record(const std::string& what) {
    seen.push_back(what);
    view->Unload();
  }
  std::vector<std::string> seen;
  GameDetailsView* view = nullptr;
};

TEST_F(GameFormTest, EnterInTheDetailsPlaysOnlyARunningGame) {
  for (bool up : {true, false}) {
    SCOPED_TRACE(up);
    frmGameDetails details(owner_);
    ASSERT_TRUE(details.Make());
    details.SetPlayEnabled(up);
    DetailsRecorder events;
    events.view = &details;
    // From the read-only description, which is multi-line: the edit hands Enter on.
    PressThenClose(details.hwnd(), details.txtDescription(), VK_RETURN);
    details.ShowModal(events);
    EXPECT_EQ(events.seen.front(), up ? "play" : "cancel");
    EXPECT_TRUE(IsWindowEnabled(owner_));
  }
}

}  // namespace
}  // namespace cv3
