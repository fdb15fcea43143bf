#include "win32/subclass_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace cv3 {
namespace {

constexpr UINT kAsk = WM_APP + 1;  // the plain window answers 1000 + wParam
int g_plainCalls = 0;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kAsk) {
    ++g_plainCalls;
    return 1000 + static_cast<LRESULT>(wParam);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class PlainWindow {
 public:
  PlainWindow() {
    static ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = PlainProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"cv3SubclassTestPlain";
      return RegisterClassW(&wc);
    }();
    hwnd_ = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"plain",
                            WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  }
  ~PlainWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Records what it sees of kAsk (and WM_NCDESTROY); consumes kAsk when told to. Owners that share
// a log write their names into it in the order they see kAsk.
class RecordingOwner : public HookOwner {
 public:
  RecordingOwner() = default;
  RecordingOwner(char name, std::string* log) : name_(name), log_(log) {}

  void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                       bool& UseRetVal) override {
    if (wMsg == WM_NCDESTROY) hookedAtDestroy = IsWindowHooked(this, hwnd);
    if (wMsg != kAsk) return;
    seen.push_back({hwnd, wMsg, wParam, lParam});
    if (log_) log_->push_back(name_);
    retValIn = RetVal;
    useRetValIn = UseRetVal;
    if (unhookSelf) UnhookWindow(this, hwnd);
    if (consume) {
      RetVal = 77;
      UseRetVal = true;
    }
    if (fail) throw std::runtime_error("handler failed");
  }

  std::vector<Seen> seen;
  bool consume = false;
  bool fail = false;
  bool unhookSelf = false;
  LRESULT retValIn = -1;
  bool useRetValIn = true;
  int hookedAtDestroy = -1;

 private:
  char name_ = '?';
  std::string* log_ = nullptr;
};

WNDPROC ProcOf(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}

TEST(HookWindow, HooksTheWindowAndKeepsItUnicode) {
  PlainWindow window;
  RecordingOwner owner;
  WNDPROC own = ProcOf(window.hwnd());
  ASSERT_TRUE(HookWindow(&owner, window.hwnd()));
  EXPECT_TRUE(IsWindowHooked(&owner, window.hwnd()));
  // Still a Unicode window: its text and character messages are not translated.
  EXPECT_TRUE(IsWindowUnicode(window.hwnd()));
  UnhookWindow(&owner, window.hwnd());
  EXPECT_FALSE(IsWindowHooked(&owner, window.hwnd()));
  EXPECT_EQ(ProcOf(window.hwnd()), own);
}

// One owner on a window: what it sees of kAsk, and what the sender and the window's own procedure
// get, as the owner leaves, consumes or fails on the message, with the user data free or taken.
TEST(HookedWindowProc, TheOwnerSeesTheMessageFirstAndItsChoiceDecidesTheResult) {
  struct Row {
    const char* name;
    bool consume, fail, userDataTaken;
    LRESULT result;
    int plainCalls;
  };
  for (const Row& row : {Row{"left", false, false, false, 1005, 1},
                         Row{"left, user data taken", false, false, true, 1005, 1},
                         Row{"consumed", true, false, false, 77, 0},
                         Row{"consumed then failed", true, true, false, 1005, 1}}) {
    SCOPED_TRACE(row.name);
    PlainWindow window;
    if (row.userDataTaken) SetWindowLongPtrW(window.hwnd(), GWLP_USERDATA, 0x1234);
    RecordingOwner owner;
    owner.consume = row.consume;
    owner.fail = row.fail;
    ASSERT_TRUE(HookWindow(&owner, window.hwnd()));
    // Taken user data stays the window's own (free user data may hold the hook's).
    const LONG_PTR userData = row.userDataTaken ? 0x1234 : 0;
    if (row.userDataTaken) EXPECT_EQ(GetWindowLongPtrW(window.hwnd(), GWLP_USERDATA), userData);
    g_plainCalls = 0;
    EXPECT_EQ(SendMessageW(window.hwnd(), kAsk, 5, 6), row.result);
    EXPECT_EQ(g_plainCalls, row.plainCalls);
    ASSERT_EQ(owner.seen.size(), 1u);
    EXPECT_EQ(owner.seen[0].hwnd, window.hwnd());
    EXPECT_EQ(owner.seen[0].wParam, 5u);
    EXPECT_EQ(owner.seen[0].lParam, 6);
    EXPECT_EQ(owner.retValIn, 0);  // the results start cleared
    EXPECT_FALSE(owner.useRetValIn);
    UnhookWindow(&owner, window.hwnd());
    EXPECT_EQ(GetWindowLongPtrW(window.hwnd(), GWLP_USERDATA), userData);
    EXPECT_EQ(ProcOf(window.hwnd()), &PlainProc);
  }
}

TEST(HookedWindowProc, AnOwnerThatUnhooksItselfStillPassesTheMessageOn) {
  PlainWindow window;
  RecordingOwner owner;
  owner.unhookSelf = true;
  HookWindow(&owner, window.hwnd());
  EXPECT_EQ(SendMessageW(window.hwnd(), kAsk, 8, 0), 1008);
  EXPECT_FALSE(IsWindowHooked(&owner, window.hwnd()));
  EXPECT_EQ(ProcOf(window.hwnd()), &PlainProc);
  SendMessageW(window.hwnd(), kAsk, 8, 0);
  EXPECT_EQ(owner.seen.size(), 1u);
}

TEST(HookWindow, HookingTheSameOwnerTwiceChangesNothing) {
  PlainWindow window;
  RecordingOwner owner;
  WNDPROC own = ProcOf(window.hwnd());
  HookWindow(&owner, window.hwnd());
  EXPECT_TRUE(HookWindow(&owner, window.hwnd()));
  SendMessageW(window.hwnd(), kAsk, 1, 0);
  EXPECT_EQ(owner.seen.size(), 1u);
  // One unhook restores the window's own procedure.
  UnhookWindow(&owner, window.hwnd());
  EXPECT_EQ(ProcOf(window.hwnd()), own);
  SendMessageW(window.hwnd(), kAsk, 1, 0);
  EXPECT_EQ(owner.seen.size(), 1u);
}

// Several owners on one window, whether its user data is free or taken.
class SharedWindow : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) SetWindowLongPtrW(window_.hwnd(), GWLP_USERDATA, 0x1234);
  }
  void TearDown() override {
    if (!IsWindow(hwnd())) return;
    EXPECT_EQ(GetWindowLongPtrW(hwnd(), GWLP_USERDATA), GetParam() ? 0x1234 : 0);
  }
  std::string Ask() {
    log_.clear();
    result_ = SendMessageW(window_.hwnd(), kAsk, 2, 0);
    return log_;
  }
  HWND hwnd() const { return window_.hwnd(); }

  PlainWindow window_;
  std::string log_;
  LRESULT result_ = 0;
};

TEST_P(SharedWindow, TheOwnerHookedLastSeesAMessageFirstAndBothSeeIt) {
  RecordingOwner a('a', &log_), b('b', &log_);
  ASSERT_TRUE(HookWindow(&a, hwnd()));
  ASSERT_TRUE(HookWindow(&b, hwnd()));
  EXPECT_TRUE(IsWindowHooked(&a, hwnd()));
  EXPECT_TRUE(IsWindowHooked(&b, hwnd()));
  g_plainCalls = 0;
  EXPECT_EQ(Ask(), "ba");
  EXPECT_EQ(result_, 1002);
  EXPECT_EQ(g_plainCalls, 1);
  // What the later owner consumes reaches neither the earlier one nor the window.
  b.consume = true;
  EXPECT_EQ(Ask(), "b");
  EXPECT_EQ(result_, 77);
  EXPECT_EQ(g_plainCalls, 1);
  UnhookWindow(&a, hwnd());
  UnhookWindow(&b, hwnd());
  EXPECT_EQ(ProcOf(hwnd()), &PlainProc);
}

TEST_P(SharedWindow, RemovingOneOwnerKeepsTheOther) {
  for (bool removeLater : {false, true}) {
    RecordingOwner a('a', &log_), b('b', &log_);
    HookWindow(&a, hwnd());
    HookWindow(&b, hwnd());
    UnhookWindow(removeLater ? static_cast<HookOwner*>(&b) : &a, hwnd());
    EXPECT_EQ(Ask(), removeLater ? "a" : "b");
    EXPECT_EQ(result_, 1002);
    UnhookWindow(removeLater ? static_cast<HookOwner*>(&a) : &b, hwnd());
    EXPECT_EQ(Ask(), "");
    EXPECT_EQ(ProcOf(hwnd()), &PlainProc);
  }
}

TEST_P(SharedWindow, OwnersHookedAfterARemovalStillComeFirst) {
  RecordingOwner a('a', &log_), b('b', &log_), c('c', &log_), d('d', &log_);
  HookWindow(&a, hwnd());
  HookWindow(&b, hwnd());
  UnhookWindow(&a, hwnd());
  HookWindow(&c, hwnd());
  EXPECT_EQ(Ask(), "cb");
  HookWindow(&d, hwnd());
  EXPECT_EQ(Ask(), "dcb");
  for (RecordingOwner* owner : {&b, &d, &c}) UnhookWindow(owner, hwnd());
  EXPECT_EQ(ProcOf(hwnd()), &PlainProc);
}

TEST_P(SharedWindow, ADestroyedWindowUnhooksEachOwnerBeforeItsLastMessage) {
  RecordingOwner a, b;
  HookWindow(&a, hwnd());
  HookWindow(&b, hwnd());
  DestroyWindow(hwnd());
  EXPECT_EQ(a.hookedAtDestroy, 0);
  EXPECT_EQ(b.hookedAtDestroy, 0);
}

INSTANTIATE_TEST_SUITE_P(UserDataFreeOrTaken, SharedWindow, ::testing::Bool());

TEST(UnhookWindow, AnOwnerThatNeverHookedTheWindowChangesNothing) {
  PlainWindow window;
  RecordingOwner owner, stranger;
  WNDPROC own = ProcOf(window.hwnd());
  UnhookWindow(&stranger, window.hwnd());
  EXPECT_EQ(ProcOf(window.hwnd()), own);
  EXPECT_FALSE(IsWindowHooked(&stranger, window.hwnd()));
  HookWindow(&owner, window.hwnd());
  UnhookWindow(&stranger, window.hwnd());
  SendMessageW(window.hwnd(), kAsk, 1, 0);
  EXPECT_EQ(owner.seen.size(), 1u);
  UnhookWindow(&owner, window.hwnd());
}

// Code outside subclasses the window over a direct hook, by hand or through comctl32's chain.
WNDPROC g_foreignPrevious = nullptr;
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(g_foreignPrevious, hwnd, message, wParam, lParam);
}
LRESULT CALLBACK ForeignChainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) {
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The hook cannot leave the window's line under the foreign one, but its owner, which may be
// gone by then, is never called again; once the foreign code has gone, the window is as before.
TEST(UnhookWindow, UnderAForeignSubclassTheOwnerIsNeverCalledAgain) {
  for (bool chain : {false, true}) {
    SCOPED_TRACE(chain ? "comctl32's chain" : "by hand");
    PlainWindow window;
    HWND hwnd = window.hwnd();
    RecordingOwner owner, later;
    ASSERT_TRUE(HookWindow(&owner, hwnd));
    if (chain) {
      ASSERT_TRUE(SetWindowSubclass(hwnd, &ForeignChainProc, 1, 0));
    } else {
      g_foreignPrevious = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProc)));
    }
    UnhookWindow(&owner, hwnd);
    EXPECT_FALSE(IsWindowHooked(&owner, hwnd));
    EXPECT_EQ(SendMessageW(hwnd, kAsk, 3, 0), 1003);
    EXPECT_TRUE(owner.seen.empty());
    if (chain) {
      RemoveWindowSubclass(hwnd, &ForeignChainProc, 1);
    } else {
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_foreignPrevious));
    }
    // Another owner may come at once; unhooked, it leaves the window's own procedure.
    ASSERT_TRUE(HookWindow(&later, hwnd));
    EXPECT_EQ(SendMessageW(hwnd, kAsk, 4, 0), 1004);
    EXPECT_EQ(later.seen.size(), 1u);
    EXPECT_TRUE(owner.seen.empty());
    UnhookWindow(&later, hwnd);
    EXPECT_EQ(ProcOf(hwnd), &PlainProc);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
  }
}

TEST(HookWindow, AWindowDestroyedWhileHookedUnhooksBeforeItsLastMessage) {
  PlainWindow window;
  RecordingOwner owner;
  HookWindow(&owner, window.hwnd());
  DestroyWindow(window.hwnd());
  EXPECT_EQ(owner.hookedAtDestroy, 0);
}

TEST(HookWindow, ATreeViewKeepsWorkingThroughTheHook) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&init);
  HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_OVERLAPPED, 0, 0, 200, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(tree, nullptr);
  RecordingOwner owner;
  ASSERT_TRUE(HookWindow(&owner, tree));
  TVINSERTSTRUCTW insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  wchar_t text[] = L"Online Pilots \u00e9";
  insert.item.pszText = text;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 1);
  wchar_t back[64] = {};
  TVITEMW get{};
  get.mask = TVIF_TEXT;
  get.hItem = item;
  get.pszText = back;
  get.cchTextMax = 64;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&get));
  EXPECT_STREQ(back, text);
  UnhookWindow(&owner, tree);
  DestroyWindow(tree);
}

}  // namespace
}  // namespace cv3
