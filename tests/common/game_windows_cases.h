// How windows are found, checked on any GameWindows: the fake natively, the Win32 backend under
// Wine against real windows, so the fake the automation's tests use finds what the platform finds.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "common/game_windows.h"

namespace cv3 {

// Windows of a test, made on some backend and gone when the stage is destroyed.
class WindowStage {
 public:
  virtual ~WindowStage() = default;
  virtual GameWindows& windows() = 0;
  // A hidden window (top-level when parent is 0) of a class and title.
  virtual WindowHandle Add(WindowHandle parent, const std::string& className,
                           const std::string& title) = 0;
};

struct WindowStageParam {
  std::string name;
  std::function<std::unique_ptr<WindowStage>()> make;
};

inline std::ostream& operator<<(std::ostream& os, const WindowStageParam& p) {
  return os << p.name;
}

class GameWindowsCases : public ::testing::TestWithParam<WindowStageParam> {
 protected:
  void SetUp() override {
    stage_ = GetParam().make();
    locate_ = stage_->Add(0, "#32770", "Locate Session");
    edit_ = stage_->Add(locate_, "Edit", "");
    cancel_ = stage_->Add(locate_, "Button", "Cancel");
    ok_ = stage_->Add(locate_, "Button", "OK");
    servers_ = stage_->Add(0, "#32770", "Select Skyrend server...");
    serverList_ = stage_->Add(servers_, "ListBox", "");
  }
  GameWindows& w() { return stage_->windows(); }

  std::unique_ptr<WindowStage> stage_;
  WindowHandle locate_ = 0, edit_ = 0, cancel_ = 0, ok_ = 0, servers_ = 0, serverList_ = 0;
};

TEST_P(GameWindowsCases, FindsTopLevelWindowsByClassAndWholeTitleWithoutRegardToCase) {
  EXPECT_NE(locate_, 0u);
  EXPECT_EQ(w().FindTopLevel("#32770", "Locate Session"), locate_);
  EXPECT_EQ(w().FindTopLevel("#32770", "Select Skyrend server..."), servers_);
  EXPECT_EQ(w().FindTopLevel("#32770", "LOCATE SESSION"), locate_);
  EXPECT_EQ(w().FindTopLevel(std::nullopt, "Locate Session"), locate_);
  EXPECT_EQ(w().FindTopLevel("#32770", "Locate"), 0u);
  EXPECT_EQ(w().FindTopLevel("Edit", "Locate Session"), 0u);
  EXPECT_EQ(w().FindTopLevel("Cv3NoSuchClass", std::nullopt), 0u);
}

TEST_P(GameWindowsCases, FindsDirectChildrenInOrderAfterTheOneGiven) {
  EXPECT_EQ(w().FindChild(locate_, 0, "Button", "OK"), ok_);
  EXPECT_EQ(w().FindChild(locate_, 0, "button", "ok"), ok_);
  EXPECT_EQ(w().FindChild(locate_, 0, "Button", std::nullopt), cancel_);
  EXPECT_EQ(w().FindChild(locate_, cancel_, "Button", std::nullopt), ok_);
  EXPECT_EQ(w().FindChild(locate_, ok_, "Button", std::nullopt), 0u);
  EXPECT_EQ(w().FindChild(locate_, 0, "Edit", std::nullopt), edit_);
  EXPECT_EQ(w().FindChild(locate_, 0, "ListBox", std::nullopt), 0u);
  EXPECT_EQ(w().FindChild(servers_, 0, "ListBox", std::nullopt), serverList_);
  EXPECT_EQ(w().FindChild(0, 0, "Button", "OK"), 0u);
}

}  // namespace cv3
