// Every window the client and the watchdog open, in-process under Wine at the prefix's DPI (the
// test script runs this program at 96, 144 and 192 DPI): where its controls lie, whether their
// captions fit, what a screen reader names them, and the roster's tiled tree and logo.
#include <gtest/gtest.h>

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cv3client/games/frm_game_details_win32.h"
#include "cv3client/games/frm_host_game_win32.h"
#include "cv3client/session/frm_create_id_win32.h"
#include "cv3client/session/frm_login_win32.h"
#include "cv3client/session/frm_reconnect_win32.h"
#include "cv3client/support/picture_win32.h"
#include "cv3client/ui/frm_about_win32.h"
#include "cv3client/ui/frm_away_win32.h"
#include "cv3client/ui/frm_chat_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "cv3client/ui/frm_user_info_win32.h"
#include "cv3guard/form1_win32.h"
#include "cv3guard/frm_launching_win32.h"
#include "modal_support.h"
#include "testbed/remote_controls_win32.h"
#include "win32/input_box_win32.h"

namespace cv3 {
namespace {

using testbed::ReadWindowText;
using Strings = std::vector<std::string>;

// Unmanaged windows (no 2 s wait for a window manager at each hide), per-monitor DPI awareness as
// the programs' manifests declare, and COM for oleacc; before the first window is made.
struct Program : ::testing::Environment {
  void SetUp() override {
    MakeWindowsUnmanaged(L"Software\\Wine\\AppDefaults\\every_window_win32_test.exe\\X11 Driver");
    DeclareDpiAwareness();
    CoInitialize(nullptr);
  }
  void TearDown() override { CoUninitialize(); }
};
[[maybe_unused]] ::testing::Environment* const kProgram =
    ::testing::AddGlobalTestEnvironment(new Program);

UINT ScreenDpi() { return DpiOf(nullptr); }

// Records the windows' events by name, doing nothing else.
struct QuietEvents : MainWindowEvents,
                     LoginEvents,
                     ReconnectEvents,
                     CreateIdEvents,
                     AwayEvents,
                     ProfileEvents,
                     GameDetailsEvents,
                     HostGameEvents,
                     ChatEvents,
                     GuardEvents {
  explicit QuietEvents(Strings& heard) : heard_(heard) {}
  void OnCommand(MainCommand) override { heard_.push_back("OnCommand"); }
  void OnTreeDoubleClick() override { heard_.push_back("OnTreeDoubleClick"); }
  void OnTreeRightClick() override { heard_.push_back("OnTreeRightClick"); }
  void OnStatusPanelClick() override { heard_.push_back("OnStatusPanelClick"); }
  void OnToolbarDropDown(int) override { heard_.push_back("OnToolbarDropDown"); }
  void OnTrayMouse(const std::string&) override {}
  bool OnCloseRequested() override {
    heard_.push_back("OnCloseRequested");
    return true;
  }
  void Form_Load() override { heard_.push_back("Form_Load"); }
  void cmdLogin_Click() override { heard_.push_back("cmdLogin_Click"); }
  void chkRememberIDPass_Click() override { heard_.push_back("chkRememberIDPass_Click"); }
  void chkAutoLogin_Click() override { heard_.push_back("chkAutoLogin_Click"); }
  void Command2_Click() override { heard_.push_back("Command2_Click"); }
  void Command3_Click() override { heard_.push_back("Command3_Click"); }
  void Command4_Click() override { heard_.push_back("Command4_Click"); }
  void cmdCancel_Click() override { heard_.push_back("cmdCancel_Click"); }
  void Form_Unload() override { heard_.push_back("Form_Unload"); }
  void cmdCreate_Click() override { heard_.push_back("cmdCreate_Click"); }
  void cmdOk_Click() override { heard_.push_back("cmdOk_Click"); }
  void cmdOK_Click() override { heard_.push_back("cmdOK_Click"); }
  void cmdPlay_Click() override { heard_.push_back("cmdPlay_Click"); }
  void cmdHost_Click() override { heard_.push_back("cmdHost_Click"); }
  void txtInput_Enter() override { heard_.push_back("txtInput_Enter"); }
  bool Form_QueryUnload() override {
    heard_.push_back("Form_QueryUnload");
    return false;  // kept, hidden
  }
  void OnTrayMouse(std::string_view) override {}
  void mnuExit_Click() override { heard_.push_back("mnuExit_Click"); }

 private:
  Strings& heard_;
};

// Reads a shown window, every 20 ms with its messages handled in between, until it returns true;
// called with null when the window has closed itself before that.
using Look = std::function<bool(HWND)>;

// Shows `modal`; once a window of the class is up, `look` reads it, then `close` ends it.
void WhileModal(const std::function<void()>& modal, const wchar_t* className, const Look& look,
                const std::function<void(HWND)>& close) {
  bool looked = false, closed = false;
  EXPECT_TRUE(Drive(modal, [&] {
    HWND window = FindWindowW(className, nullptr);
    if (!window || !IsWindowVisible(window)) return false;
    looked = true;
    if (!look(window)) return false;
    close(window);
    return closed = true;
  })) << Narrow(className);
  EXPECT_TRUE(looked) << Narrow(className);
  // It closed itself while `look` was still at it: null tells it so.
  if (looked && !closed) look(nullptr);
}

// The same for a modeless window, in a loop as the programs' own: no dialog keys.
void WhileShown(HWND window, const Look& look) {
  bool done = false;
  EXPECT_TRUE(Drive(
      [&] {
        MSG message;
        while (!done && GetMessageW(&message, nullptr, 0, 0) > 0) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      },
      [&] {
        // The loop waits for a message to see that it is done.
        if ((done = look(window))) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        return done;
      }));
}

void Click(HWND window, const wchar_t* button) {
  PostMessageW(FindWindowExW(window, nullptr, L"Button", button), BM_CLICK, 0, 0);
}

// One window as the player meets it: its name in the messages, and how it is opened, read by
// `look` and closed.
struct WindowRow {
  const char* name;
  std::function<void(HWND owner, Strings& heard, const Look& look)> open;
};

HostedGame Canyon() {
  HostedGame game{"Canyon Run", "203.0.113.7:4000", "1.06", "Named & Target"};
  game.description = "Friday raid";
  return game;
}

const std::vector<WindowRow>& EveryWindow() {
  static const std::vector<WindowRow> rows = {
      {"main",
       [](HWND, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmMain window;
         ASSERT_TRUE(window.Load({true, CV3_ASSETS_DIR}, &events));
         window.Show();
         WhileShown(window.hwnd(), look);
         window.RemoveTrayIcon();
       }},
      {"login",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmLogin window(owner);
         WhileModal([&] { window.ShowModal(events); }, frmLogin::kClassName, look,
                    [&](HWND) { window.Unload(); });
       }},
      {"preferences",
       [](HWND owner, Strings&, const auto& look) {
         PreferencesOnWine preferences(owner);
         WhileModal([&] { preferences.window.ShowModal(preferences.controller); },
                    frmPreferences::kClassName, look, [](HWND shown) { Click(shown, L"Cancel"); });
       }},
      {"create id",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmCreateId window(owner);
         WhileModal([&] { window.ShowModal(events); }, frmCreateId::kClassName, look,
                    [&](HWND) { window.Hide(); });
       }},
      {"reconnect",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmReconnect window(owner);
         window.SetCountText("Reconnect count: 3");
         window.SetRetryText("Retry connect in: 7");
         WhileModal([&] { window.ShowModal(events); }, frmReconnect::kClassName, look,
                    [&](HWND) { window.Unload(); });
       }},
      {"away",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmAway window(owner);
         WhileModal([&] { window.ShowModal(events); }, frmAway::kClassName, look,
                    [&](HWND) { window.Hide(); });
       }},
      {"about",
       [](HWND owner, Strings&, const auto& look) {
         frmAbout window(owner);
         WhileModal([&] { window.ShowModal([] {}); }, frmAbout::kClassName, look,
                    [](HWND shown) { Click(shown, L"OK"); });
       }},
      {"profile",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmUserInfo window(owner);
         WhileModal([&] { window.ShowModal(events); }, frmUserInfo::kClassName, look,
                    [&](HWND) { window.Unload(); });
       }},
      {"game details",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmGameDetails window(owner);
         // As the details controller fills it before it shows.
         window.SetDetails({"wingman", Canyon(), true, {"wingman", "pilot"}});
         WhileModal([&] { window.ShowModal(events); }, frmGameDetails::kClassName, look,
                    [&](HWND) { window.Unload(); });
       }},
      {"host game",
       [](HWND owner, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmHostGame window(owner);
         window.SetEntries(Canyon());
         WhileModal([&] { window.ShowModal(events); }, frmHostGame::kClassName, look,
                    [&](HWND) { window.Unload(); });
       }},
      {"input box",
       [](HWND owner, Strings& heard, const auto& look) {
         WhileModal(
             [&] { ShowInputBox(owner, "Enter a new password for this user:", "Input", ""); },
             kInputBoxClassName, look, [](HWND shown) { Click(shown, L"Cancel"); });
       }},
      {"lobby chat",
       [](HWND, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmChat window(ChatLook{nullptr, true, CV3_ASSETS_DIR});
         ASSERT_TRUE(window.Create("Lobby Chat", true, events));
         window.ShowWindow();
         WhileShown(window.hwnd(), look);
       }},
      {"private chat",
       [](HWND, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         frmChat window(ChatLook{nullptr, true, CV3_ASSETS_DIR});
         ASSERT_TRUE(window.Create("wingman", false, events));
         window.ShowWindow();
         WhileShown(window.hwnd(), look);
       }},
      {"watchdog",
       [](HWND, Strings& heard, const auto& look) {
         QuietEvents events(heard);
         Form1 window;
         ASSERT_TRUE(window.Load(&events));
         window.Show(SW_SHOWNORMAL);
         WhileShown(window.hwnd(), look);
         window.ShowLaunching();
         WhileShown(FindWindowW(frmLaunching::kClassName, nullptr), look);
         window.RemoveTrayIcon();
       }},
  };
  return rows;
}

// Windows opened over the stand-in main window.
class EveryWindowTest : public OwnerWindowTest {
 protected:
  // Every window of the table in turn, read by `look`.
  void ForEveryWindow(const std::function<void(const std::string& name, HWND)>& look) {
    ForEveryWindowUntil([&](const std::string& name, HWND window) {
      EXPECT_NE(window, nullptr) << name;
      if (window) look(name, window);
      return true;
    });
  }
  // The same with `look` called again, while the window works, until it returns true; heard_
  // holds the window's events.
  void ForEveryWindowUntil(const std::function<bool(const std::string& name, HWND)>& look) {
    for (const WindowRow& row : EveryWindow()) {
      SCOPED_TRACE(row.name);
      int shown = 0;
      row.open(owner_, heard_, [&](HWND window) {
        std::string name = row.name + (shown ? " " + std::to_string(shown + 1) : "");
        if (!look(name, window)) return false;
        if (!window) return true;
        Snapshot(window, name + "-" + std::to_string(ScreenDpi()));
        ++shown;
        return true;
      });
    }
  }

  Strings heard_;
};

// The controls of a window, nested ones and those of hidden pages too.
std::vector<HWND> Controls(HWND window) {
  std::vector<HWND> out;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

std::string ClassOf(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  return Narrow(name);
}

std::string NameOf(HWND control) {
  return ClassOf(control) + " \"" + ReadWindowText(control) + "\"";
}

// The screen rectangle of a window's client area.
RECT ClientOnScreen(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// What a caption needs beside its text, by the control's kind; -1 for a control whose text is
// not a caption drawn in it (a box, a list, a picture).
int CaptionMargin(HWND control, UINT dpi) {
  std::string kind = ClassOf(control);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  if (kind == "Static") {
    LONG type = style & SS_TYPEMASK;
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP ||
                   type == SS_SIMPLE
               ? 0
               : -1;
  }
  if (kind != "Button") return -1;
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      return 2 * GetSystemMetrics(SM_CXEDGE) + 2;  // the edges and the focus rectangle
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return MulDiv(12 + 4, static_cast<int>(dpi), 96);  // the box and the gap after it
    case BS_GROUPBOX:
      return MulDiv(16, static_cast<int>(dpi), 96);  // the frame's corners
    default:
      return -1;
  }
}

// "Button "OK" 75x23 needs 80x15": the captions whose text, in the control's font, does not fit.
std::string CaptionProblem(HWND control, UINT dpi) {
  int margin = CaptionMargin(control, dpi);
  std::wstring text = Widen(ReadWindowText(control));
  if (margin < 0 || text.empty()) return {};
  RECT box;
  GetClientRect(control, &box);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  bool wraps = ClassOf(control) == "Static" && (style & SS_TYPEMASK) <= SS_RIGHT;
  UINT format = DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE) |
                (ClassOf(control) == "Static" && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT need{0, 0, std::max(1, int(box.right) - margin), 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, format);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (need.right + margin <= box.right && need.bottom <= box.bottom) return {};
  return NameOf(control) + " " + std::to_string(box.right) + "x" + std::to_string(box.bottom) +
         " needs " + std::to_string(need.right + margin) + "x" + std::to_string(need.bottom);
}

TEST_F(EveryWindowTest, TheScreenHasTheDpiThePrefixWasGiven) {
  const char* asked = std::getenv("CV3_DPI");
  if (!asked) GTEST_SKIP() << "CV3_DPI is not set: the prefix's own DPI";
  EXPECT_EQ(ScreenDpi(), static_cast<UINT>(std::atoi(asked)));
}

TEST_F(EveryWindowTest, EveryControlLiesInsideItsWindowAndTheScreenAndEveryCaptionFits) {
  UINT dpi = ScreenDpi();
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  Strings problems;
  ForEveryWindow([&](const std::string& name, HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    if (!Inside(outer, screen)) problems.push_back(name + ": off the screen");
    for (HWND control : Controls(window)) {
      RECT r;
      GetWindowRect(control, &r);
      // The labels that only name a box for screen readers take no room.
      if (IsRectEmpty(&r)) continue;
      if (!Inside(r, ClientOnScreen(GetParent(control))) || !Inside(r, ClientOnScreen(window))) {
        problems.push_back(name + ": " + NameOf(control) + " outside");
      }
      std::string caption = CaptionProblem(control, dpi);
      if (!caption.empty()) problems.push_back(name + ": " + caption);
    }
  });
  EXPECT_EQ(problems, Strings{});
}

// The main window in the tiled look, showing the roster.
struct MainWithRoster {
  Strings heard;
  QuietEvents events{heard};
  frmMain window;
  bool loaded = window.Load({true, CV3_ASSETS_DIR}, &events);
  MainWithRoster() {
    window.Show();
    window.ShowRoster(true);
  }
  ~MainWithRoster() { window.RemoveTrayIcon(); }
};

int Luminance(COLORREF colour) {
  return (299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour)) / 1000;
}

TEST_F(EveryWindowTest, TheRostersExpandSignsStandOutFromTheTile) {
  MainWithRoster main;
  ASSERT_TRUE(main.loaded);
  for (const RosterNode& node :
       {RosterNode{"games", "", "Skyrend Games", 1, "", 0xF8F8F8, true},
        RosterNode{"game:Arena", "games", "Arena", 1, "game", 0xF8F8F8, false},
        RosterNode{"online", "", "Online Pilots", 2, "", 0xF8F8F8, true},
        RosterNode{"user:zed", "online", "zed", 2, "user", 0xF8F8F8, false}}) {
    ASSERT_TRUE(main.window.TreeAdd(node));
  }
  main.window.TreeSortAndExpandGroups();
  HWND tree = main.window.tvObjects();
  HTREEITEM open = TreeView_GetRoot(tree), closed = TreeView_GetNextSibling(tree, open);
  TreeView_Expand(tree, closed, TVE_COLLAPSE);
  RedrawWindow(tree, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  Snapshot(main.window.hwnd(), "roster-" + std::to_string(ScreenDpi()));

  GdiplusSession gdiplus;
  Picture tile = LoadPictureFile(gdiplus, std::wstring(CV3_ASSETS_DIR) + kTilePicture);
  ASSERT_TRUE(tile);
  BITMAP tileSize{};
  GetObjectW(tile.bitmap(), sizeof tileSize, &tileSize);
  HDC tileDc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldTile = SelectObject(tileDc, tile.bitmap());
  HDC treeDc = GetDC(tree);
  // How far a pixel of the tree stands out from the tile under it (0 to 255 in luminance).
  auto contrast = [&](int x, int y) {
    return std::abs(Luminance(GetPixel(treeDc, x, y)) -
                    Luminance(GetPixel(tileDc, x % tileSize.bmWidth, y % tileSize.bmHeight)));
  };
  const int kVisible = 100;
  for (HTREEITEM group : {open, closed}) {
    RECT row{}, text{};
    TreeView_GetItemRect(tree, group, &row, FALSE);
    TreeView_GetItemRect(tree, group, &text, TRUE);
    // The expand box: what stands out within the group's row, left of its picture and text.
    int indent = TreeView_GetIndent(tree);
    RECT box{text.left, row.bottom, -1, row.top};
    for (int y = row.top; y < row.bottom; ++y) {
      for (int x = 0; x < indent; ++x) {
        if (contrast(x, y) < kVisible) continue;
        box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
               std::max<LONG>(box.right, x), std::max<LONG>(box.bottom, y)};
      }
    }
    SCOPED_TRACE(group == open ? "open group" : "closed group");
    ASSERT_LT(box.left, box.right) << "no expand box stands out";
    // The sign's bar goes through the box's middle, for "+" and "-" alike.
    int x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
    EXPECT_GE(std::min({contrast(x - 1, y), contrast(x, y), contrast(x + 1, y)}), kVisible)
        << "box " << box.left << "," << box.top << " to " << box.right << "," << box.bottom;
  }
  ReleaseDC(tree, treeDc);
  SelectObject(tileDc, oldTile);
  DeleteDC(tileDc);
}

// The picture's size in pixels, from its GIF header.
SIZE GifSize(const std::wstring& path) {
  unsigned char header[10] = {};
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    fread(header, 1, sizeof header, file);
    fclose(file);
  }
  return {header[6] | header[7] << 8, header[8] | header[9] << 8};
}

TEST_F(EveryWindowTest, TheLogoScalesWithTheWindow) {
  MainWithRoster main;
  ASSERT_TRUE(main.loaded);
  main.window.ShowRoster(false);
  SIZE picture = GifSize(std::wstring(CV3_ASSETS_DIR) + kLogoPicture);
  ASSERT_GT(picture.cx, 0);
  RECT logo;
  GetClientRect(main.window.picLogo(), &logo);
  int dpi = static_cast<int>(ScreenDpi());
  EXPECT_EQ((Strings{std::to_string(logo.right), std::to_string(logo.bottom)}),
            (Strings{std::to_string(MulDiv(picture.cx, dpi, 96)),
                     std::to_string(MulDiv(picture.cy, dpi, 96))}));
}

// A tab stop as a player hears it: a box or a list by the label before it, anything else by its
// own text.
std::string StopName(HWND control) {
  std::string kind = ClassOf(control);
  bool box = kind == "Edit" || kind == "ComboBox" || kind == "ListBox";
  return box ? "[" + ReadWindowText(GetWindow(control, GW_HWNDPREV)) + "]"
             : ReadWindowText(control);
}

// The enabled controls Tab should reach: shown, enabled tab stops, in the order they were made.
std::vector<HWND> TabStops(HWND window) {
  std::vector<HWND> out;
  for (HWND control : Controls(window)) {
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if ((style & WS_TABSTOP) && IsWindowVisible(control) && IsWindowEnabled(control)) {
      out.push_back(control);
    }
  }
  return out;
}

// What a key does in a window, from where the focus is when it opens; Enter comes after a walk
// with Tab through the stops until it is back at one it has seen.
struct KeyWalk {
  explicit KeyWalk(WORD key) : key(key) {}
  WORD key;
  bool walked = false, pressed = false;
  std::vector<HWND> reached;
  Strings names;  // the stops as Tab reached them
  Strings seen;   // the walk, from the window's first stop, then what the key did

  // One step; true when done. Null: the window has closed.
  bool Step(HWND window, Strings& heard) {
    std::string result = key == VK_RETURN ? "enter" : "esc";
    for (const std::string& event : heard) result += " " + event;
    if (!window || pressed) {
      // A message box the key brought up is read and closed.
      if (HWND box = FindWindowW(L"#32770", nullptr); box && IsWindowVisible(box)) {
        result += " box " + ReadWindowText(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
      seen.push_back(result + (window ? "" : " closes"));
      return true;
    }
    HWND focus = GetFocus();
    bool inside = focus && IsChild(window, focus);
    if (key == VK_RETURN && !walked) {
      if (inside && std::find(reached.begin(), reached.end(), focus) == reached.end() &&
          reached.size() < 32) {
        reached.push_back(focus);
        names.push_back(StopName(focus));
        PostMessageW(focus, WM_KEYDOWN, VK_TAB, 1);
        return false;
      }
      walked = true;
      seen.push_back(Walk(window, focus));
    }
    if (!inside) seen.push_back("no focus");
    heard.clear();
    if (inside) PostMessageW(focus, WM_KEYDOWN, key, 1);
    pressed = true;
    return false;
  }

  // "a > b > c" from the window's first stop, then where the walk went astray and the stops it
  // never reached.
  std::string Walk(HWND window, HWND end) const {
    std::vector<HWND> stops = TabStops(window);
    size_t start = 0;
    for (size_t i = 0; i < reached.size(); ++i) {
      if (!stops.empty() && reached[i] == stops.front()) start = i;
    }
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
      out += (i ? " > " : "") + names[(start + i) % names.size()];
    }
    if (!reached.empty() && end != reached.front()) out += " (back at " + StopName(end) + ")";
    for (HWND stop : stops) {
      if (std::find(reached.begin(), reached.end(), stop) == reached.end()) {
        out += " (not reached: " + StopName(stop) + ")";
      }
    }
    return out.empty() ? "no stops" : out;
  }
};

TEST_F(EveryWindowTest, TabWalksEveryEnabledControlOnceAndEnterAndEscDoTheButtonsWork) {
  // Per window: its tab stops from the first one, then what Enter and Esc did.
  std::map<std::string, std::string> seen;
  for (WORD key : {VK_RETURN, VK_ESCAPE}) {
    std::map<std::string, KeyWalk> walks;
    ForEveryWindowUntil([&](const std::string& name, HWND window) {
      return walks.try_emplace(name, key).first->second.Step(window, heard_);
    });
    for (const auto& [name, walk] : walks) {
      for (const std::string& part : walk.seen) seen[name] += " | " + part;
    }
  }
  Strings all;
  for (const auto& [name, line] : seen) all.push_back(name + ":" + line);
  // The details window opens on Cancel (Play is off until the game is up), so Enter cancels;
  // the preferences' tab strip lies beneath the pages and comes after the buttons.
  EXPECT_EQ(
      all,
      (Strings{
          "about: | OK | enter closes | esc closes",
          "away: | [Away message:] > OK > Cancel | enter cmdOk_Click | esc cmdCancel_Click",
          "create id: | [Corvane ID:] > [Password:] > [Verify Password:] > [E-mail Address:] > "
          "Create > Cancel > Help | enter cmdCreate_Click | esc cmdCancel_Click",
          "game details: | [Game Name:] > [Game Host:] > [Game Address:] > [Skyrend Version:] > "
          "[Player Announcement:] > Include CPU Pilots > Restrict to Alpha crater > Moth Hopping > "
          "Blood Money > Require Passwords > God Hanger Access > Dedicated > Long-term Game > File "
          "Logging > Full Debug Logging > [Description] > [Players] > Cancel | enter "
          "cmdCancel_Click | esc cmdCancel_Click",
          "host game: | [Game Name:] > [Game Host:] > [Game Address:] > [Skyrend Version:] > "
          "[Player Announcement:] > Include CPU Pilots > Restrict to Alpha crater > Moth Hopping > "
          "Blood Money > Require Passwords > God Hanger Access > Dedicated > Long-term Game > File "
          "Logging > Full Debug Logging > [Description] > [Players] > Host > Cancel | enter "
          "cmdHost_Click | esc cmdCancel_Click",
          "input box: | [Enter a new password for this user:] > OK > Cancel | enter closes | esc "
          "closes",
          "lobby chat: | [Conversation:] > [Message:] | enter txtInput_Enter | esc "
          "Form_QueryUnload",
          "login: | [Corvane ID:] > [Password:] > Remember my ID && Password > Automatically Login "
          "> Login > Get a Corvane ID > Help > Cancel | enter cmdLogin_Click | esc Command2_Click",
          "main: | no stops | no focus | enter | no focus | esc",
          "preferences: | Start Corvane with windows > Remember my ID && Password > Automatically "
          "Login > OK > Cancel > Preferences pages | enter box You're advised to restart Corvane "
          "after changing the SlowCPU setting! | esc closes",
          "private chat: | [Conversation:] > [Message:] | enter txtInput_Enter | esc "
          "Form_QueryUnload",
          "profile: | [Member Since:] > [Last On:] > [Location:] > [Age:] > [E-mail:] > [Web:] > "
          "[Player Bio:] > OK > Cancel | enter cmdOK_Click | esc cmdCancel_Click",
          "reconnect: | Cancel | enter cmdCancel_Click | esc Form_Unload",
          "watchdog: | no stops | no focus | enter | no focus | esc",
          "watchdog 2: | no stops | no focus | enter | no focus | esc"}));
}

// The items of a menu and its submenus that have no access key ("&" before a letter) or share
// one with another item of the same menu: "Login > Status: no key".
void AccessKeyProblems(HMENU menu, const std::string& path, Strings& out) {
  std::map<wchar_t, std::string> taken;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    MENUITEMINFOW item{sizeof item};
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    item.dwTypeData = text;
    item.cch = std::size(text);
    GetMenuItemInfoW(menu, i, TRUE, &item);
    if (item.fType & MFT_SEPARATOR) continue;
    std::wstring caption = text;
    std::string name = path + Narrow(caption.substr(0, caption.find(L'\t')));
    wchar_t key = 0;
    for (size_t at = caption.find(L'&'); at != std::wstring::npos && at + 1 < caption.size();
         at = caption.find(L'&', at + 2)) {
      if (caption[at + 1] != L'&') {
        key = static_cast<wchar_t>(towupper(caption[at + 1]));
        break;
      }
    }
    if (!key) {
      out.push_back(name + ": no key");
    } else if (auto [other, fresh] = taken.emplace(key, name); !fresh) {
      out.push_back(name + ": the key of " + other->second);
    }
    if (item.hSubMenu) AccessKeyProblems(item.hSubMenu, name + " > ", out);
  }
}

TEST_F(EveryWindowTest, EveryMenuItemHasAnAccessKeyOfItsOwn) {
  Strings problems;
  {
    MainWithRoster main;
    ASSERT_TRUE(main.loaded);
    main.window.SetAdminMenuVisible(true);
    AccessKeyProblems(main.window.menuBar(), "", problems);
    AccessKeyProblems(main.window.popupUsers(), "pilot: ", problems);
    AccessKeyProblems(main.window.popupGames(), "game: ", problems);
    AccessKeyProblems(main.window.statusMenu(), "status: ", problems);
    for (int button = 1; button <= 3; ++button) {
      AccessKeyProblems(main.window.toolDropDown(button), "tool " + std::to_string(button) + ": ",
                        problems);
    }
  }
  Strings heard;
  QuietEvents events(heard);
  Form1 watchdog;
  ASSERT_TRUE(watchdog.Load(&events));
  AccessKeyProblems(GetMenu(watchdog.hwnd()), "watchdog: ", problems);
  watchdog.RemoveTrayIcon();
  EXPECT_EQ(problems, Strings{});
}

// Keys pressed in order and let go in the reverse order, as the player's keyboard sends them.
void Press(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(INPUT{.type = INPUT_KEYBOARD, .ki = {.wVk = key}});
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
    inputs.push_back(
        INPUT{.type = INPUT_KEYBOARD, .ki = {.wVk = *key, .dwFlags = KEYEVENTF_KEYUP}});
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Opens the pilots' popup menu as the program does when the roster asks for it.
struct PopupOnRightClick : QuietEvents {
  using QuietEvents::QuietEvents;
  frmMain* window = nullptr;
  void OnTreeRightClick() override {
    QuietEvents::OnTreeRightClick();
    window->ShowPopupMenu(PopupMenuId::kUsers);
  }
};

TEST_F(EveryWindowTest, TheRostersPopupMenuOpensFromTheKeyboardBelowTheSelectedNode) {
  const struct {
    const char* keys;
    std::initializer_list<WORD> press;
  } rows[] = {{"Shift+F10", {VK_SHIFT, VK_F10}}, {"the menu key", {VK_APPS}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    Strings heard;
    PopupOnRightClick events(heard);
    frmMain window;
    events.window = &window;
    ASSERT_TRUE(window.Load({true, CV3_ASSETS_DIR}, &events));
    window.Show();
    window.ShowRoster(true);
    for (const RosterNode& node : {RosterNode{"online", "", "Online Pilots", 2, "", 0, true},
                                   RosterNode{"user:amy", "online", "amy", 2, "user"},
                                   RosterNode{"user:zed", "online", "zed", 2, "user"}}) {
      ASSERT_TRUE(window.TreeAdd(node));
    }
    window.TreeSortAndExpandGroups();
    HWND tree = window.tvObjects();
    HTREEITEM zed = TreeView_GetNextSibling(tree, TreeView_GetChild(tree, TreeView_GetRoot(tree)));
    TreeView_SelectItem(tree, zed);
    SetForegroundWindow(window.hwnd());
    SetFocus(tree);
    RECT node{};
    TreeView_GetItemRect(tree, zed, &node, TRUE);
    MapWindowPoints(tree, nullptr, reinterpret_cast<POINT*>(&node), 2);
    std::string menu;  // where the menu opened, by the node's text's corner
    bool pressed = false;
    WhileShown(window.hwnd(), [&](HWND) {
      if (!pressed) {
        Press(row.press);
        return pressed = true, false;
      }
      HWND popup = FindWindowW(L"#32768", nullptr);
      if (!popup || !IsWindowVisible(popup)) return false;
      RECT r;
      GetWindowRect(popup, &r);
      menu = (r.left == node.left && r.top == node.bottom ? "below " : "away from ") +
             window.SelectedNodeKey();
      EndMenu();
      return true;
    });
    EXPECT_EQ(heard, Strings{"OnTreeRightClick"});
    EXPECT_EQ(menu, "below user:zed");
    window.RemoveTrayIcon();
  }
}

// A control's name as a screen reader reads it: its client object's name, through oleacc.
std::string AccessibleName(HWND control) {
  IAccessible* object = nullptr;
  // By the interface's own declaration: the linked IID_IAccessible is not this one under MinGW.
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object)))) {
    return {};
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::string text;
  if (object->get_accName(self, &name) == S_OK && name) text = Narrow(name);
  SysFreeString(name);
  object->Release();
  return text;
}

TEST_F(EveryWindowTest, EveryControlHasANameAScreenReaderReads) {
  // Those a screen reader could not name, then the names of the controls without a caption.
  Strings unnamed, captionless;
  ForEveryWindow([&](const std::string& window, HWND shown) {
    for (HWND control : Controls(shown)) {
      std::string kind = ClassOf(control), name = AccessibleName(control);
      // The hidden labels that name another control are read as that control's name; a frame
      // without a caption only draws a line round its labels.
      LONG style = GetWindowLongW(control, GWL_STYLE);
      if (kind == "Static" && !(style & WS_VISIBLE)) continue;
      if (kind == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX &&
          ReadWindowText(control).empty()) {
        continue;
      }
      if (name.empty()) unnamed.push_back(window + ": " + NameOf(control));
      // A label, a button and a frame show their caption; a text box is read by its label.
      if (kind != "Static" && kind != "Button" && kind != "Edit") {
        captionless.push_back(window + ": " + kind + " " + name);
      }
    }
  });
  EXPECT_EQ(unnamed, Strings{});
  // Wine's oleacc reads a drop-down list by its chosen item ("&" taken as an access key's mark),
  // and the status bar by its text.
  EXPECT_EQ(captionless,
            (Strings{"main: ToolbarWindow32 Toolbar", "main: msctls_statusbar32 Not Connected",
                     "main: Cv3FramePanel Roster", "main: Cv3LogoPanel Corvane logo",
                     "main: SysTreeView32 Games and pilots", "preferences: ListBox Ignored Users",
                     "preferences: SysTabControl32 Preferences pages",
                     "game details: ComboBox Named  Target", "game details: ListBox Players",
                     "host game: ComboBox Named  Target", "host game: ListBox Players"}));
}

}  // namespace
}  // namespace cv3
