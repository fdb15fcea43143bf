#include "win32/subclass_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <stdexcept>
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

// Records what it sees of kAsk (and WM_NCDESTROY); consumes kAsk when told to.
class RecordingOwner : public HookOwner {
 public:
  void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                       bool& UseRetVal) override {
    if (wMsg == WM_NCDESTROY) hookedAtDestroy = IsWindowHooked(hwnd);
    if (wMsg != kAsk) return;
    seen.push_back({hwnd, wMsg, wParam, lParam});
    retValIn = RetVal;
    useRetValIn = UseRetVal;
    if (consume) {
      RetVal = 77;
      UseRetVal = true;
    }
    if (fail) throw std::runtime_error("handler failed");
  }

  std::vector<Seen> seen;
  bool consume = false;
  bool fail = false;
  LRESULT retValIn = -1;
  bool useRetValIn = true;
  int hookedAtDestroy = -1;
};

WNDPROC ProcOf(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}

TEST(HookWindow, InstallsTheProcedureAndStoresBothProperties) {
  PlainWindow window;
  RecordingOwner owner;
  WNDPROC own = ProcOf(window.hwnd());
  ASSERT_TRUE(HookWindow(&owner, window.hwnd()));
  EXPECT_EQ(ProcOf(window.hwnd()), &HookedWindowProc);
  // The ANSI names reach the same properties.
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetPropA(window.hwnd(), "VBTWndProc")), own);
  EXPECT_EQ(GetPropA(window.hwnd(), "VBTWndPtr"), static_cast<HANDLE>(&owner));
  // Still a Unicode window: its text and character messages are not translated.
  EXPECT_TRUE(IsWindowUnicode(window.hwnd()));
  UnhookWindow(window.hwnd());
}

TEST(HookedWindowProc, GivesTheOwnerTheMessageFirstWithClearedResults) {
  PlainWindow window;
  RecordingOwner owner;
  HookWindow(&owner, window.hwnd());
  SendMessageW(window.hwnd(), kAsk, 5, 6);
  ASSERT_EQ(owner.seen.size(), 1u);
  EXPECT_EQ(owner.seen[0].hwnd, window.hwnd());
  EXPECT_EQ(owner.seen[0].wParam, 5u);
  EXPECT_EQ(owner.seen[0].lParam, 6);
  EXPECT_EQ(owner.retValIn, 0);
  EXPECT_FALSE(owner.useRetValIn);
  UnhookWindow(window.hwnd());
}

TEST(HookedWindowProc, AMessageLeftByTheOwnerGetsThePreviousProceduresResult) {
  PlainWindow window;
  RecordingOwner owner;
  HookWindow(&owner, window.hwnd());
  g_plainCalls = 0;
  EXPECT_EQ(SendMessageW(window.hwnd(), kAsk, 23, 0), 1023);
  EXPECT_EQ(g_plainCalls, 1);
  UnhookWindow(window.hwnd());
}

TEST(HookedWindowProc, AWindowWhoseUserDataIsTakenIsServedFromItsProperties) {
  PlainWindow window;
  SetWindowLongPtrW(window.hwnd(), GWLP_USERDATA, 0x1234);
  RecordingOwner owner;
  ASSERT_TRUE(HookWindow(&owner, window.hwnd()));
  EXPECT_EQ(GetWindowLongPtrW(window.hwnd(), GWLP_USERDATA), 0x1234);
  EXPECT_EQ(SendMessageW(window.hwnd(), kAsk, 4, 0), 1004);
  EXPECT_EQ(owner.seen.size(), 1u);
  UnhookWindow(window.hwnd());
  EXPECT_EQ(GetWindowLongPtrW(window.hwnd(), GWLP_USERDATA), 0x1234);
  EXPECT_EQ(ProcOf(window.hwnd()), &PlainProc);
}

TEST(HookedWindowProc, AConsumedMessageGetsTheOwnersResultOnly) {
  PlainWindow window;
  RecordingOwner owner;
  owner.consume = true;
  HookWindow(&owner, window.hwnd());
  g_plainCalls = 0;
  EXPECT_EQ(SendMessageW(window.hwnd(), kAsk, 23, 0), 77);
  EXPECT_EQ(g_plainCalls, 0);
  UnhookWindow(window.hwnd());
}

TEST(HookedWindowProc, AFailingOwnerLeavesTheMessageToTheWindow) {
  PlainWindow window;
  RecordingOwner owner;
  owner.consume = true;
  owner.fail = true;
  HookWindow(&owner, window.hwnd());
  g_plainCalls = 0;
  EXPECT_EQ(SendMessageW(window.hwnd(), kAsk, 4, 0), 1004);
  EXPECT_EQ(g_plainCalls, 1);
  UnhookWindow(window.hwnd());
}

TEST(HookWindow, HookingTwiceKeepsTheFirstProcedureAndOwner) {
  PlainWindow window;
  RecordingOwner first, second;
  WNDPROC own = ProcOf(window.hwnd());
  HookWindow(&first, window.hwnd());
  EXPECT_TRUE(HookWindow(&second, window.hwnd()));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetPropW(window.hwnd(), kHookProcProperty)), own);
  EXPECT_EQ(GetPropW(window.hwnd(), kHookOwnerProperty), static_cast<HANDLE>(&first));
  SendMessageW(window.hwnd(), kAsk, 1, 0);
  EXPECT_EQ(first.seen.size(), 1u);
  EXPECT_TRUE(second.seen.empty());
  // One unhook restores the window's own procedure.
  UnhookWindow(window.hwnd());
  EXPECT_EQ(ProcOf(window.hwnd()), own);
  EXPECT_EQ(GetPropA(window.hwnd(), "VBTWndProc"), nullptr);
  EXPECT_EQ(GetPropA(window.hwnd(), "VBTWndPtr"), nullptr);
  SendMessageW(window.hwnd(), kAsk, 1, 0);
  EXPECT_EQ(first.seen.size(), 1u);
}

TEST(UnhookWindow, AWindowNeverHookedIsLeftAsItIs) {
  PlainWindow window;
  WNDPROC own = ProcOf(window.hwnd());
  SetPropA(window.hwnd(), "VBTWndPtr", reinterpret_cast<HANDLE>(0x1234));
  UnhookWindow(window.hwnd());
  EXPECT_EQ(ProcOf(window.hwnd()), own);
  EXPECT_EQ(GetPropA(window.hwnd(), "VBTWndPtr"), reinterpret_cast<HANDLE>(0x1234));
  RemovePropA(window.hwnd(), "VBTWndPtr");
  EXPECT_FALSE(IsWindowHooked(window.hwnd()));
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
  UnhookWindow(tree);
  DestroyWindow(tree);
}

}  // namespace
}  // namespace cv3
