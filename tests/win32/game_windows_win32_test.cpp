#include "common/game_windows_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "common/game_windows_cases.h"

namespace cv3 {
namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// Real windows of this process, made with the A API like the game's dialogs.
class Win32Stage : public WindowStage {
 public:
  ~Win32Stage() override {
    for (HWND top : topLevel_) DestroyWindow(top);
  }
  GameWindows& windows() override { return windows_; }
  WindowHandle Add(WindowHandle parent, const std::string& className,
                   const std::string& title) override {
    HWND hwnd = CreateWindowExA(0, className.c_str(), title.c_str(),
                                parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                ToHwnd(parent), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!parent) topLevel_.push_back(hwnd);
    return reinterpret_cast<WindowHandle>(hwnd);
  }

 private:
  Win32GameWindows windows_;
  std::vector<HWND> topLevel_;
};

INSTANTIATE_TEST_SUITE_P(Win32, GameWindowsCases,
                         ::testing::Values(WindowStageParam{
                             "Win32", [] { return std::make_unique<Win32Stage>(); }}),
                         [](const auto& info) { return info.param.name; });

class GameWindowsWin32Test : public ::testing::Test {
 protected:
  Win32Stage stage_;
  GameWindows& windows_ = stage_.windows();
  WindowHandle dialog_ = stage_.Add(0, "#32770", "Locate Session");
};

TEST_F(GameWindowsWin32Test, TextGoesAsWindows1252) {
  WindowHandle edit = stage_.Add(dialog_, "Edit", "");
  windows_.SendText(edit, kWmSetText, 0, "caf\xC3\xA9 \xE2\x98\x83");  // café ☃
  char bytes[16] = {};
  GetWindowTextA(ToHwnd(edit), bytes, sizeof bytes);
  EXPECT_EQ(std::string(bytes), "caf\xE9 ?");
}

TEST_F(GameWindowsWin32Test, MessagesReturnTheWindowsAnswer) {
  WindowHandle list = stage_.Add(dialog_, "ListBox", "");
  SendMessageA(ToHwnd(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("TCP/IP"));
  SendMessageA(ToHwnd(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Serial"));
  EXPECT_EQ(windows_.Send(list, kLbDeleteString, 0, 0), 1);  // the entries left
  EXPECT_EQ(windows_.Send(0, kLbDeleteString, 0, 0), 0);
}

TEST_F(GameWindowsWin32Test, ShowsAndHides) {
  EXPECT_FALSE(IsWindowVisible(ToHwnd(dialog_)));
  windows_.SetVisible(dialog_, true);
  EXPECT_TRUE(IsWindowVisible(ToHwnd(dialog_)));
  windows_.SetVisible(dialog_, false);
  EXPECT_FALSE(IsWindowVisible(ToHwnd(dialog_)));
}

}  // namespace
}  // namespace cv3
