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

}  // namespace
}  // namespace cv3
