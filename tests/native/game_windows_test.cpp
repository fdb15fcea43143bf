#include <gtest/gtest.h>

#include "common/fake_game_windows.h"
#include "common/game_windows_cases.h"

namespace cv3 {
namespace {

class FakeStage : public WindowStage {
 public:
  GameWindows& windows() override { return fake_; }
  WindowHandle Add(WindowHandle parent, const std::string& className,
                   const std::string& title) override {
    return fake_.Add(parent, className, title);
  }

 private:
  FakeGameWindows fake_;
};

INSTANTIATE_TEST_SUITE_P(Fake, GameWindowsCases,
                         ::testing::Values(WindowStageParam{
                             "Fake", [] { return std::make_unique<FakeStage>(); }}),
                         [](const auto& info) { return info.param.name; });

TEST(FakeGameWindows, RecordsMessagesAndAnswersOnlyForExistingWindows) {
  FakeGameWindows fake;
  WindowHandle edit = fake.Add(fake.Add(0, "#32770", "Locate Session"), "Edit", "");
  fake.onSend = [](const FakeGameWindows::Sent&) { return 7; };
  EXPECT_EQ(fake.SendText(edit, kWmSetText, 0, "10.0.0.5"), 7);
  EXPECT_EQ(fake.Send(0, kWmLButtonDown, 0, 0), 0);
  using Sent = FakeGameWindows::Sent;
  EXPECT_EQ(fake.sent, (std::vector<Sent>{{edit, kWmSetText, 0, 0, "10.0.0.5"},
                                          {0, kWmLButtonDown, 0, 0, std::nullopt}}));
}

TEST(FakeGameWindows, ClosingAWindowTakesItsChildren) {
  FakeGameWindows fake;
  WindowHandle dialog = fake.Add(0, "#32770", "Locate Session");
  WindowHandle ok = fake.Add(dialog, "Button", "OK");
  fake.Remove(dialog);
  EXPECT_EQ(fake.FindTopLevel("#32770", "Locate Session"), 0u);
  EXPECT_EQ(fake.Get(ok), nullptr);
}

}  // namespace
}  // namespace cv3
