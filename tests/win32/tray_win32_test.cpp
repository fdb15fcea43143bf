#include "win32/tray_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/tray.h"
#include "cv3guard/form1_win32.h"
#include "tray_support.h"

namespace cv3 {
namespace {

// A hidden top-level window to receive the icon's notifications.
class TrayWindow {
 public:
  TrayWindow() {
    hwnd_ = CreateWindowExW(0, L"STATIC", L"tray test", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~TrayWindow() { DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

HICON AppIcon() { return LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)); }

TEST(TrayIcon, FillsTheRecordFromTheArguments) {
  TrayWindow window;
  HICON icon = AppIcon();
  // The program's tip, and one too long for the field.
  for (const std::string& tip : {std::string("Corvane 3.0 BETA"), std::string(70, 'x')}) {
    TrayIcon tray;
    tray.AddTrayIcon(icon, window.hwnd(), tip);
    const NOTIFYICONDATAA& record = tray.record();
    EXPECT_EQ(record.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(record.hWnd, window.hwnd());
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, 7u);
    // A private message: real mouse moves over the window are no tray clicks.
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_APP + 30));
    EXPECT_EQ(record.hIcon, icon);
    const auto field = TrayTipField(tip);
    EXPECT_EQ(std::string(record.szTip, kTrayTipField), std::string(field.data(), field.size()));
    EXPECT_EQ(std::strlen(record.szTip), std::min<size_t>(tip.size(), 63)) << tip;
  }
}

TEST(TrayIcon, AddsAndRemovesTheIcon) {
  TrayWindow window;
  TrayIcon tray;
  EXPECT_TRUE(tray.AddTrayIcon(AppIcon(), window.hwnd(), "tip"));
  EXPECT_TRUE(tray.shown());
  EXPECT_TRUE(ShellHasIcon(window.hwnd()));
  tray.RemoveTrayIcon();
  EXPECT_FALSE(tray.shown());
  EXPECT_FALSE(ShellHasIcon(window.hwnd()));
}

TEST(TrayIcon, RemovingTwiceDeletesNothingMore) {
  TrayWindow window;
  TrayIcon tray;
  tray.AddTrayIcon(AppIcon(), window.hwnd(), "tip");
  tray.RemoveTrayIcon();
  // Someone shows an icon under the same window and number; a second remove must not touch it.
  NOTIFYICONDATAA other = tray.record();
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &other));
  tray.RemoveTrayIcon();
  EXPECT_TRUE(ShellHasIcon(window.hwnd()));
  Shell_NotifyIconA(NIM_DELETE, &other);
}

TEST(TrayIcon, RemovingBeforeAddingDoesNothing) {
  TrayWindow window;
  NOTIFYICONDATAA other{};
  other.cbSize = NOTIFYICONDATAA_V1_SIZE;
  other.uID = TrayIcon::kIconNumber;
  other.uFlags = NIF_ICON;
  other.hIcon = AppIcon();
  other.hWnd = window.hwnd();
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &other));
  {
    TrayIcon tray;
    tray.RemoveTrayIcon();
    EXPECT_FALSE(tray.shown());
  }  // nor does destroying an object that never added its icon
  EXPECT_TRUE(ShellHasIcon(window.hwnd()));
  Shell_NotifyIconA(NIM_DELETE, &other);
}

TEST(TrayIcon, DestroyingTheObjectRemovesItsIcon) {
  TrayWindow window;
  {
    TrayIcon tray;
    tray.AddTrayIcon(AppIcon(), window.hwnd(), "tip");
    ASSERT_TRUE(ShellHasIcon(window.hwnd()));
  }
  EXPECT_FALSE(ShellHasIcon(window.hwnd()));
}

// The icon's notifications come by a message of their own: a real mouse move over the watchdog's
// window at an x that equals an action's number (517 px is reached at 175 % scaling) is no click.
TEST(TrayIcon, TheWatchdogsWindowTakesOnlyTheIconsMessageAsItsActions) {
  struct Events : GuardEvents {
    std::vector<std::string> seen;
    void OnTrayMouse(std::string_view action) override { seen.emplace_back(action); }
    void mnuExit_Click() override {}
    void Form_Unload() override {}
  } events;
  Form1 form;
  ASSERT_TRUE(form.Load(&events));
  SendMessageW(form.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(517, 0));
  SendMessageW(form.hwnd(), TrayIcon::kCallbackMessage, TrayIcon::kIconNumber, MAKELPARAM(517, 0));
  EXPECT_EQ(events.seen, std::vector<std::string>{"RIGHTUP"});
}

// Explorer started again: the watchdog's icon comes back, and one it removed stays away.
TEST(TrayIcon, TheWatchdogsIconComesBackWhenTheTaskbarStartsAgain) {
  Form1 form;
  ASSERT_TRUE(form.Load(nullptr));
  form.AddTrayIcon("GUARD");
  TaskbarStartsAgain(form.hwnd());
  EXPECT_TRUE(ShellHasIcon(form.hwnd()));
  form.RemoveTrayIcon();
  TaskbarStartsAgain(form.hwnd());
  EXPECT_FALSE(ShellHasIcon(form.hwnd()));
}

}  // namespace
}  // namespace cv3
