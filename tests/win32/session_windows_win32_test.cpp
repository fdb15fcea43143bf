// The client's small modal windows in-process under Wine: what they show, read back through their
// controls, and what their keys, buttons and close box report. Each modal call is driven from
// inside its own loop by a timer, with a deadline that ends the loop.
#include <gtest/gtest.h>

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <string>
#include <vector>

#include "common/client_fakes.h"
#include "common/registry_win32.h"
#include "cv3client/session/frm_create_id_win32.h"
#include "cv3client/session/frm_login_win32.h"
#include "cv3client/session/frm_reconnect_win32.h"
#include "cv3client/ui/frm_away_win32.h"
#include "cv3client/ui/frm_preferences_win32.h"
#include "modal_support.h"
#include "testbed/remote_controls_win32.h"
#include "win32/input_box_win32.h"
#include "win32/timers_win32.h"

namespace cv3 {
namespace {

using testbed::FontFace;
using testbed::ReadWindowText;
using Strings = std::vector<std::string>;

// Unmanaged windows: no 2 s wait for a window manager at each hide.
struct UnmanagedWindows : ::testing::Environment {
  void SetUp() override {
    MakeWindowsUnmanaged(
        L"Software\\Wine\\AppDefaults\\session_windows_win32_test.exe\\X11 Driver");
  }
};
[[maybe_unused]] ::testing::Environment* const kUnmanagedWindows =
    ::testing::AddGlobalTestEnvironment(new UnmanagedWindows);

// A control as the player meets it: "frame Account Information", "label Password:",
// "default OK", "button Help", "text Tahoma * secret" (a password box shows "*"), "check [x] Slow
// CPU mode", "list [alice][bob]", "tabs [General ][Connection ]".
std::string Describe(HWND control) {
  wchar_t className[32] = {};
  GetClassNameW(control, className, 32);
  std::string text = ReadWindowText(control);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  if (lstrcmpiW(className, L"Static") == 0) return "label " + text;
  if (lstrcmpiW(className, L"ListBox") == 0 || lstrcmpiW(className, WC_TABCONTROLW) == 0) {
    bool list = lstrcmpiW(className, L"ListBox") == 0;
    std::string shown = list ? "list " : "tabs ";
    for (int i = 0; i < SendMessageW(control, list ? LB_GETCOUNT : TCM_GETITEMCOUNT, 0, 0); ++i) {
      wchar_t item[64] = {};
      TCITEMW tab{TCIF_TEXT};
      tab.pszText = item;
      tab.cchTextMax = 64;
      SendMessageW(control, list ? LB_GETTEXT : TCM_GETITEMW, i,
                   list ? reinterpret_cast<LPARAM>(item) : reinterpret_cast<LPARAM>(&tab));
      shown += "[" + Narrow(item) + "]";
    }
    return shown;
  }
  if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
    bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return std::string("check ") + (checked ? "[x] " : "[ ] ") + text;
  }
  if (lstrcmpiW(className, L"Edit") == 0) {
    std::string shown = "text " + FontFace(control);
    if (SendMessageW(control, EM_GETPASSWORDCHAR, 0, 0) == '*') shown += " *";
    return text.empty() ? shown : shown + " " + text;
  }
  switch (style & BS_TYPEMASK) {
    case BS_GROUPBOX:
      return "frame " + text;
    case BS_DEFPUSHBUTTON:
      return "default " + text;
    default:
      return "button " + text;
  }
}

// The window's caption, then its controls in creation order.
Strings Controls(HWND window) {
  Strings out{"caption " + ReadWindowText(window)};
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    out.push_back(Describe(child));
  }
  return out;
}

// The tab stops from the first one round: a button by its caption, a text or list box by the
// label before it, as a screen reader names it ("[Password:]").
Strings TabOrder(HWND window) {
  Strings out;
  HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
  for (HWND item = first; item && out.size() < 16;) {
    wchar_t className[32] = {};
    GetClassNameW(item, className, 32);
    bool box = lstrcmpiW(className, L"Edit") == 0 || lstrcmpiW(className, L"ListBox") == 0;
    out.push_back(box ? "[" + ReadWindowText(GetWindow(item, GW_HWNDPREV)) + "]"
                      : ReadWindowText(item));
    item = GetNextDlgTabItem(window, item, FALSE);
    if (item == first) break;
  }
  return out;
}

// What the player does to a shown window.
enum class Act { kEnter, kEsc, kCloseBox, kClick };

// Keys go to the focused control, where the dialog manager in the modal loop meets them.
void Do(HWND window, Act act, const wchar_t* button = nullptr) {
  switch (act) {
    case Act::kEnter:
    case Act::kEsc:
      PostMessageW(GetFocus(), WM_KEYDOWN, act == Act::kEnter ? VK_RETURN : VK_ESCAPE, 1);
      break;
    case Act::kCloseBox:
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case Act::kClick:
      PostMessageW(FindWindowExW(window, nullptr, L"Button", button), BM_CLICK, 0, 0);
      break;
  }
}

// Windows opened over the stand-in main window.
class ModalWindowsTest : public OwnerWindowTest {
 protected:
  // Calls `modal`; once the window of this class is up, reads it, lets `type` fill it in and
  // does `act`. Returns the window as shown: controls, tab order, where the focus is and
  // whether the owner is disabled; "deadline" last when the modal call did not end in time.
  Strings ShowAndDo(const std::function<void()>& modal, const wchar_t* className, Act act,
                    const wchar_t* button = nullptr, const std::function<void(HWND)>& type = {}) {
    Strings seen;
    bool ended = Drive(modal, [&] {
      HWND window = FindWindowW(className, nullptr);
      if (!window || !IsWindowVisible(window)) return false;
      Snapshot(window, Narrow(className));
      seen = Controls(window);
      for (const std::string& stop : TabOrder(window)) seen.push_back("tab " + stop);
      seen.push_back(IsChild(window, GetFocus()) ? "focus " + Describe(GetFocus()) : "focus none");
      seen.push_back(IsWindowEnabled(owner_) ? "owner enabled" : "owner disabled");
      if (type) type(window);
      Do(window, act, button);
      return true;
    });
    if (!ended) seen.push_back("deadline");
    return seen;
  }
};

struct Recorder : ReconnectEvents, CreateIdEvents, AwayEvents {
  std::function<void()> end;  // what the controller does: hide or unload the window
  Strings seen;
  void Record(const std::string& event) {
    seen.push_back(event);
    if (end) end();
  }
  void cmdCancel_Click() override { Record("cmdCancel_Click"); }
  void Form_Unload() override { Record("Form_Unload"); }
  void cmdCreate_Click() override { Record("cmdCreate_Click"); }
  void Command3_Click() override { Record("Command3_Click"); }
  void cmdOk_Click() override { Record("cmdOk_Click"); }
};

// How a row closes the window, and what the window reports (the input box: what it returns).
struct Row {
  Act act;
  const wchar_t* button;
  std::string expected;
};

TEST_F(ModalWindowsTest, ReconnectShowsItsCountersAndReportsHowItIsClosed) {
  const Row rows[] = {{Act::kEsc, nullptr, "Form_Unload"},
                      {Act::kCloseBox, nullptr, "Form_Unload"},
                      {Act::kClick, L"Cancel", "cmdCancel_Click"},
                      {Act::kEnter, nullptr, "cmdCancel_Click"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected + " " + std::to_string(static_cast<int>(row.act)));
    frmReconnect window(owner_);
    Recorder events;
    events.end = [&] { window.Unload(); };
    // Set before the window shows, as the controller does.
    window.SetCountText("Reconnect count: 3");
    window.SetRetryText("Retry connect in: 7");
    EXPECT_EQ(
        ShowAndDo([&] { window.ShowModal(events); }, frmReconnect::kClassName, row.act, row.button),
        (Strings{"caption Connecting to Corvane", "frame ", "label Reconnect count: 3",
                 "label Retry connect in: 7", "default Cancel", "tab Cancel",
                 "focus default Cancel", "owner disabled"}));
    EXPECT_EQ(events.seen, Strings{row.expected});
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(owner_));
  }
}

TEST_F(ModalWindowsTest, ReconnectUnloadedFromATimerTickEndsItsLoop) {
  frmReconnect window(owner_);
  Recorder events;
  WindowTimers countdown;  // timeReconTimeout
  countdown.StartTimer(kReconnectTimerId, 50, [&] {
    countdown.StopTimer(kReconnectTimerId);
    window.SetRetryText("Retry connect in: 0");
    window.Unload();
  });
  ASSERT_TRUE(Drive([&] { window.ShowModal(events); }, [] { return false; }));
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  EXPECT_TRUE(events.seen.empty());
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(ModalWindowsTest, CreateIdReportsItsButtonsAndKeepsItsEntriesWhileHidden) {
  frmCreateId window(owner_);
  Recorder events;
  events.end = [&] { window.Hide(); };
  const Strings typed = {"ace", "pw one", "pw one", "ace@example.com"};
  // Typed into the boxes in their tab order, the first time only.
  auto type = [&](HWND shown) {
    HWND box = GetFocus();
    for (const std::string& text : typed) {
      SetControlText(box, text);
      box = GetNextDlgTabItem(shown, box, FALSE);
    }
  };
  const Row rows[] = {
      {Act::kEnter, nullptr, "cmdCreate_Click"},    {Act::kEsc, nullptr, "cmdCancel_Click"},
      {Act::kCloseBox, nullptr, "cmdCancel_Click"}, {Act::kClick, L"Create", "cmdCreate_Click"},
      {Act::kClick, L"Cancel", "cmdCancel_Click"},  {Act::kClick, L"Help", "Command3_Click"}};
  bool first = true;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected + " " + std::to_string(static_cast<int>(row.act)));
    events.seen.clear();
    const std::string password = first ? "text Tahoma *" : "text Tahoma * pw one";
    const std::string id = first ? "text Tahoma" : "text Tahoma ace";
    EXPECT_EQ(ShowAndDo([&] { window.ShowModal(events); }, frmCreateId::kClassName, row.act,
                        row.button, first ? type : std::function<void(HWND)>()),
              (Strings{"caption Get a Corvane ID",
                       "frame Account Information",
                       "label Corvane ID:",
                       id,
                       "label Password:",
                       password,
                       "label Verify Password:",
                       password,
                       "label E-mail Address:",
                       first ? "text Tahoma" : "text Tahoma ace@example.com",
                       "default Create",
                       "button Cancel",
                       "button Help",
                       "tab [Corvane ID:]",
                       "tab [Password:]",
                       "tab [Verify Password:]",
                       "tab [E-mail Address:]",
                       "tab Create",
                       "tab Cancel",
                       "tab Help",
                       "focus " + id,
                       "owner disabled"}));
    EXPECT_EQ(events.seen, Strings{row.expected});
    EXPECT_EQ(
        (Strings{window.LoginId(), window.Password(), window.VerifyPassword(), window.Email()}),
        typed);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    first = false;
  }
}

TEST_F(ModalWindowsTest, AwayReportsItsButtonsAndOffersTheLastMessageAgain) {
  frmAway window(owner_);
  Recorder events;
  events.end = [&] { window.Hide(); };
  const Row rows[] = {{Act::kEnter, nullptr, "cmdOk_Click"},
                      {Act::kEsc, nullptr, "cmdCancel_Click"},
                      {Act::kCloseBox, nullptr, "cmdCancel_Click"},
                      {Act::kClick, L"OK", "cmdOk_Click"},
                      {Act::kClick, L"Cancel", "cmdCancel_Click"}};
  bool first = true;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected + " " + std::to_string(static_cast<int>(row.act)));
    events.seen.clear();
    const std::string text = first ? "text Verdana" : "text Verdana back in 5: lunch";
    EXPECT_EQ(ShowAndDo([&] { window.ShowModal(events); }, frmAway::kClassName, row.act, row.button,
                        [&](HWND) {
                          if (first) SetControlText(GetFocus(), "back in 5: lunch");
                        }),
              (Strings{"caption Enter your away message", "label Away message:", text, "default OK",
                       "button Cancel", "tab [Away message:]", "tab OK", "tab Cancel",
                       "focus " + text, "owner disabled"}));
    EXPECT_EQ(events.seen, Strings{row.expected});
    EXPECT_EQ(window.AwayMessage(), "back in 5: lunch");
    first = false;
  }
}

TEST_F(ModalWindowsTest, AMessageBoxWithoutATitleShowsTheProgramsTitle) {
  struct {
    std::string title, caption;
  } rows[] = {{"", "session_windows_win32_test"}, {"Warning!", "Warning!"}};
  for (const auto& row : rows) {
    Strings seen;
    ASSERT_TRUE(Drive(
        [&] {
          ShowMessageBox(owner_, {"Your must enter an away message!", row.title});
        },
        [&] {
          HWND box = FindWindowW(L"#32770", nullptr);
          if (!box || !IsWindowVisible(box)) return false;
          seen = {ReadWindowText(box), ReadWindowText(GetDlgItem(box, 0xFFFF))};
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          return true;
        }));
    EXPECT_EQ(seen, (Strings{row.caption, "Your must enter an away message!"}));
  }
}

TEST_F(ModalWindowsTest, InputBoxReturnsTheTextAsTypedOrNothingWhenCancelled) {
  const Row rows[] = {{Act::kEnter, nullptr, " new pass "},
                      {Act::kClick, L"OK", " new pass "},
                      {Act::kEsc, nullptr, ""},
                      {Act::kClick, L"Cancel", ""},
                      {Act::kCloseBox, nullptr, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected + " " + std::to_string(static_cast<int>(row.act)));
    std::string answer = "not returned";
    EXPECT_EQ(
        ShowAndDo(
            [&] {
              answer = ShowInputBox(owner_, "Enter a new password for this user:", "Input", "old");
            },
            kInputBoxClassName, row.act, row.button,
            [](HWND) { SetControlText(GetFocus(), " new pass "); }),
        (Strings{"caption Input", "label Enter a new password for this user:", "text Tahoma old",
                 "default OK", "button Cancel", "tab [Enter a new password for this user:]",
                 "tab OK", "tab Cancel", "focus text Tahoma old", "owner disabled"}));
    EXPECT_EQ(answer, row.expected);
    EXPECT_FALSE(IsWindow(FindWindowW(kInputBoxClassName, nullptr)));
  }
}

void PressWithControl(WORD key) {
  INPUT keys[4] = {};
  const WORD order[4] = {VK_CONTROL, key, key, VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = order[i];
    keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  SendInput(4, keys, sizeof(INPUT));
}

// The visible controls of the page shown, in tab order, without the tab strip and the buttons.
Strings PageShown(HWND window) {
  Strings out;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    std::string seen = Describe(child);
    bool everyPage = seen.starts_with("tabs ") || seen == "default OK" || seen == "button Cancel";
    if (IsWindowVisible(child) && !everyPage) out.push_back(seen);
  }
  return out;
}

TEST_F(ModalWindowsTest, PreferencesPagesShowTheInitialStatesAndOkWritesWinesRegistry) {
  PreferencesOnWine preferences(owner_);
  Registry& registry = preferences.registry;
  frmPreferences& window = preferences.window;
  PreferencesController& controller = preferences.controller;
  Strings seen;  // each page as Ctrl+Tab shows it, from the first; then the advice on OK
  bool pressedOk = false;
  auto step = [&] {
    HWND shown = FindWindowW(frmPreferences::kClassName, nullptr);
    if (!shown || !IsWindowVisible(shown)) return false;
    if (HWND box = FindWindowW(L"#32770", L"Warning!")) {
      seen.push_back(ReadWindowText(GetDlgItem(box, 0xFFFF)));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return true;
    }
    if (pressedOk) return false;  // the advice comes next
    if (seen.empty()) {
      seen = {"caption " + ReadWindowText(shown), "focus " + Describe(GetFocus()),
              IsWindowEnabled(owner_) ? "owner enabled" : "owner disabled"};
    }
    int page = window.CurrentPage();
    seen.push_back("page " + std::to_string(page));
    for (const std::string& control : PageShown(shown)) seen.push_back(control);
    // Labels name the boxes after them; the tab strip follows Cancel.
    if (page == 1 || page == 3) {
      for (const std::string& stop : TabOrder(shown)) seen.push_back("tab " + stop);
    }
    Snapshot(shown, "preferences" + std::to_string(page));
    if (page < frmPreferences::kPageCount - 1) {
      PressWithControl(VK_TAB);
      return false;
    }
    // Typed and clicked on pages not shown, then Enter.
    window.SetText(PrefText::kCVAddress, "lobby.example.net");
    window.SetText(PrefText::kCVPort, " 4000");
    SendMessageW(FindWindowExW(shown, nullptr, L"Button", L"Automatically Login"), BM_CLICK, 0, 0);
    SendMessageW(FindWindowExW(shown, nullptr, L"Button", L"Secure connection (TLS)"), BM_CLICK, 0,
                 0);
    Do(shown, Act::kEnter);
    pressedOk = true;
    return false;
  };
  ASSERT_TRUE(Drive([&] { window.ShowModal(controller); }, step));
  EXPECT_EQ(seen,
            (Strings{"caption Corvane Preferences",
                     "focus tabs [General ][Connection ][Notifications ][Privacy ][Skyrend "
                     "][Advanced ]",
                     "owner disabled",
                     "page 0",
                     "check [x] Start Corvane with windows",
                     "check [ ] Remember my ID && Password",
                     "check [ ] Automatically Login",
                     "page 1",
                     "label Corvane address:",
                     "text Tahoma Error",
                     "label Corvane port:",
                     "text Tahoma Error",
                     "check [ ] Secure connection (TLS)",
                     "check [x] Try to reconnect on disconnect",
                     "tab [Corvane address:]",
                     "tab [Corvane port:]",
                     "tab Secure connection (TLS)",
                     "tab Try to reconnect on disconnect",
                     "tab OK",
                     "tab Cancel",
                     "tab Preferences pages",
                     "page 2",
                     "check [x] Play sound on message",
                     "check [x] Flash inactive window on message",
                     "check [x] Popup lobby chat window on message",
                     "check [x] Popup private chat window on message",
                     "page 3",
                     "frame Ignored Users",
                     "list ",
                     "button Remove",
                     "tab [Ignored Users]",
                     "tab Remove",
                     "tab OK",
                     "tab Cancel",
                     "tab Preferences pages",
                     "page 4",
                     "page 5",
                     "check [x] Buffer lobby chat window",
                     "check [x] Buffer private chat windows",
                     "check [ ] Alternate Skyrend launch method",
                     "check [ ] Slow CPU mode",
                     "You're advised to restart Corvane after changing the SlowCPU setting!"}));
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  EXPECT_TRUE(IsWindowEnabled(owner_));
  const char* key = "HKEY_CURRENT_USER\\Software\\Corvane";
  EXPECT_EQ(
      (Strings{
          registry.GetDWord(key, "AutoLogin").ToText(),
          registry.GetDWord(key, "RememberLogin").ToText(), registry.GetString(key, "Username"),
          registry.GetString(key, "Password"), registry.GetString(key, "CvAddress"),
          registry.GetString(key, "CvPort"), registry.GetDWord(key, "CvTls").ToText(),
          registry.GetDWord(key, "SlowCPU").ToText(),
          registry.GetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "CV30")}),
      (Strings{"1", "1", "pilot", "0123456789ABCDEF", "lobby.example.net", " 4000", "1", "0",
               "C:\\Corvane\\cv3client.exe"}));
}

}  // namespace
}  // namespace cv3
