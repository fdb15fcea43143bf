// The details window and the host window in-process under Wine: what only the real controls can
// show (labels before boxes, captions, locking, what the controls read back, tab order and the
// keys). Their rules are tested natively with the two controllers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cv3client/games/frm_game_details_win32.h"
#include "cv3client/games/frm_host_game_win32.h"
#include "testbed/remote_controls_win32.h"
#include "tests/win32/loop_support.h"

namespace cv3 {
namespace {

using testing::FromTheLoop;

using testbed::HasStyle;
using testbed::ReadWindowText;
using Texts = std::vector<std::string>;

Texts Items(HWND list, UINT countMessage, UINT textMessage) {
  Texts items;
  for (LRESULT i = 0; i < SendMessageW(list, countMessage, 0, 0); ++i) {
    wchar_t text[256] = {};
    SendMessageW(list, textMessage, i, reinterpret_cast<LPARAM>(text));
    items.push_back(Narrow(text));
  }
  return items;
}

// The check boxes as "0" and "1", in their order.
std::string Checks(const GameForm& form) {
  std::string checks;
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) {
    checks += SendMessageW(form.chk(i), BM_GETCHECK, 0, 0) == BST_CHECKED ? '1' : '0';
  }
  return checks;
}

// The frames, labels, items and check boxes both windows share, and the tab order through them.
void ExpectSharedLayout(const GameForm& form) {
  auto before = [](HWND control) { return ReadWindowText(GetWindow(control, GW_HWNDPREV)); };
  const std::pair<HWND, const char*> labelled[] = {{form.txtGameName(), "Game Name:"},
                                                   {form.txtHostPlayer(), "Game Host:"},
                                                   {form.txtGameAddress(), "Game Address:"},
                                                   {form.txtSkyrendVer(), "Skyrend Version:"},
                                                   {form.cboAnnounce(), "Player Announcement:"},
                                                   {form.txtDescription(), "Description"},
                                                   {form.lstPlayers(), "Players"}};
  for (const auto& [box, label] : labelled) EXPECT_EQ(before(box), label);
  EXPECT_EQ(before(GetWindow(form.txtGameName(), GW_HWNDPREV)), "Server Host");
  EXPECT_EQ(before(GetWindow(form.cboAnnounce(), GW_HWNDPREV)), "Settings");
  Texts checks;
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) checks.push_back(ReadWindowText(form.chk(i)));
  EXPECT_EQ(checks, (Texts{"Include CPU Pilots", "Restrict to Alpha crater", "Moth Hopping",
                           "Blood Money", "Require Passwords", "God Hanger Access", "Dedicated",
                           "Long-term Game", "File Logging", "Full Debug Logging"}));
  EXPECT_EQ(Items(form.cboAnnounce(), CB_GETCOUNT, CB_GETLBTEXT),
            (Texts{"Anonymous", "Named", "Named & Target"}));
  EXPECT_TRUE(HasStyle(form.cboAnnounce(), CBS_DROPDOWNLIST));
  EXPECT_TRUE(HasStyle(form.txtDescription(), ES_MULTILINE));
  EXPECT_TRUE(HasStyle(form.cmdAction(), BS_DEFPUSHBUTTON));
  EXPECT_EQ(ReadWindowText(form.cmdCancel()), "Cancel");
  // Tab goes down the layout; a disabled button is no stop.
  std::vector<HWND> stops = {form.txtGameName(), form.txtHostPlayer(), form.txtGameAddress(),
                             form.txtSkyrendVer(), form.cboAnnounce()};
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) stops.push_back(form.chk(i));
  stops.insert(stops.end(),
               {form.txtDescription(), form.lstPlayers(), form.cmdAction(), form.cmdCancel()});
  std::erase_if(stops, [](HWND stop) { return !IsWindowEnabled(stop); });
  std::vector<HWND> order;
  for (HWND at = form.cmdCancel(); order.size() < stops.size();) {
    order.push_back(at = GetNextDlgTabItem(form.hwnd(), at, FALSE));
  }
  EXPECT_EQ(order, stops);
}

HostedGame Arena() {
  return {"Arena",
          "203.0.113.9:4000",
          "1.06",
          "Named",
          false,
          false,
          true,
          false,
          false,
          false,
          true,
          false,
          false,
          true,
          "line one\r\n\r\nline two"};
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
  Texts shown;
  for (HWND box : {details.txtGameName(), details.txtHostPlayer(), details.txtGameAddress(),
                   details.txtSkyrendVer(), details.cboAnnounce(), details.txtDescription(),
                   details.famPlayers()}) {
    shown.push_back(ReadWindowText(box));
  }
  EXPECT_EQ(shown, (Texts{"Arena", "amy", "203.0.113.9:4000", "1.06", "Named",
                          "line one\r\n\r\nline two", "Players (2/13)"}));
  EXPECT_EQ(Items(details.lstPlayers(), LB_GETCOUNT, LB_GETTEXT), (Texts{"amy", "bob"}));
  EXPECT_EQ(Checks(details), "0010001001");
  // A display: a click on a check box or another item leaves what the server said.
  SendMessageW(details.chk(0), BM_CLICK, 0, 0);
  SendMessageW(details.cboAnnounce(), CB_SETCURSEL, 0, 0);
  SendMessageW(details.hwnd(), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(details.cboAnnounce()), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(details.cboAnnounce()));
  EXPECT_EQ(ReadWindowText(details.cboAnnounce()), "Named");
  EXPECT_EQ(Checks(details), "0010001001");
}

TEST_F(GameFormTest, HostEntriesReadBackAndResumeModeLocksTheName) {
  frmHostGame host(owner_);
  ASSERT_TRUE(host.Make());
  EXPECT_EQ(ReadWindowText(host.hwnd()), "Host Game");
  EXPECT_EQ(ReadWindowText(host.cmdAction()), "Host");
  ExpectSharedLayout(host);
  for (HWND box : {host.txtGameName(), host.txtHostPlayer(), host.txtGameAddress(),
                   host.txtSkyrendVer(), host.txtDescription()}) {
    bool locked = box == host.txtHostPlayer() || box == host.txtSkyrendVer();
    EXPECT_EQ(HasStyle(box, ES_READONLY), locked);
  }
  host.SetEntries(Arena());
  EXPECT_EQ(host.Entries(), Arena());
  SendMessageW(host.chk(0), BM_CLICK, 0, 0);  // a player's click counts
  EXPECT_TRUE(host.Entries().includeCpus);
  HostedGame other = Arena();
  other.announcement = "named";  // not an item, case included
  host.SetEntries(other);
  EXPECT_EQ(host.Entries().announcement, "");

  host.SetResumeMode();
  EXPECT_EQ(ReadWindowText(host.cmdAction()), "Resume");
  EXPECT_TRUE(HasStyle(host.txtGameName(), ES_READONLY));
  for (int i = 0; i < GameForm::kCheckBoxCount; ++i) {
    bool logging = i == GameForm::kChkFileLogging || i == GameForm::kChkFullDebug;
    EXPECT_EQ(IsWindowEnabled(host.chk(i)) != FALSE, !logging) << i;
  }
  EXPECT_TRUE(host.Entries().fullDebug);  // still read, still sent
}

// Both windows' buttons, recorded with whether the focus was on the control of interest; each
// unloads the window.
struct Recorder : HostGameEvents, GameDetailsEvents {
  void cmdHost_Click() override { Record("host"); }
  void cmdPlay_Click() override { Record("play"); }
  void cmdCancel_Click() override { Record("cancel"); }
  void Record(const std::string& what) {
    seen.push_back(what + (GetFocus() == focus ? " (focus)" : ""));
    unload();
  }
  Texts seen;
  HWND focus = nullptr;
  std::function<void()> unload;
};

TEST_F(GameFormTest, KeysReachTheButtonsFromTheBoxes) {
  enum Window { kHost, kDetails };
  struct Case {
    const char* name;
    Window window;
    HWND (GameForm::*target)() const;
    WPARAM key;
    bool actionEnabled;
    HWND (GameForm::*focus)() const;  // where the focus is when the event comes
    std::string event;
  };
  const Case cases[] = {
      {"enter in the name", kHost, &GameForm::txtGameName, VK_RETURN, true, &GameForm::txtGameName,
       "host (focus)"},
      {"enter with Resume disabled", kHost, &GameForm::txtGameName, VK_RETURN, false,
       &GameForm::txtGameName, "cancel (focus)"},
      {"tab out of the description", kHost, &GameForm::txtDescription, VK_TAB, true,
       &GameForm::lstPlayers, "cancel (focus)"},
      {"enter in the read-only description", kDetails, &GameForm::txtDescription, VK_RETURN, true,
       &GameForm::cmdAction, "play (focus)"},
      {"enter while Play is disabled", kDetails, &GameForm::txtDescription, VK_RETURN, false,
       &GameForm::txtDescription, "cancel (focus)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    frmHostGame host(owner_);
    frmGameDetails details(owner_);
    GameForm& form = c.window == kHost ? static_cast<GameForm&>(host) : details;
    ASSERT_TRUE(c.window == kHost ? host.Make() : details.Make());
    EnableWindow(form.cmdAction(), c.actionEnabled);
    Recorder events;
    events.focus = (form.*c.focus)();
    events.unload = [&] { c.window == kHost ? host.Unload() : details.Unload(); };
    HWND target = (form.*c.target)();
    FromTheLoop([&] {
      SetFocus(target);
      PostMessageW(target, WM_KEYDOWN, c.key, 1);
      PostMessageW(target, WM_KEYUP, c.key, 0xC0000001);
      // Once all that is handled (a timer comes after posted messages), the close box, which
      // ends the loop should the key have done nothing.
      FromTheLoop([&] { PostMessageW(form.hwnd(), WM_CLOSE, 0, 0); });
    });
    if (c.window == kHost) {
      host.ShowModal(events);
    } else {
      details.ShowModal(events);
    }
    EXPECT_EQ(events.seen.front(), c.event);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(form.hwnd()));
  }
}

}  // namespace
}  // namespace cv3
