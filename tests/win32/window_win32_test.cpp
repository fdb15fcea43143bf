#include "win32/window_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace cv3 {
namespace {

constexpr UINT kPing = WM_APP + 1;         // answers 42
constexpr UINT kDestroySelf = WM_APP + 2;  // destroys its own window, answers 7
constexpr UINT kDeleteSelf = WM_APP + 3;   // deletes its own object, answers 9
constexpr UINT kSendToSelf = WM_APP + 4;   // sends itself the message in wParam

// What one window object went through.
struct Log {
  std::string events;             // "t" at teardown, "d" at destruction
  bool deleteAtTeardown = false;  // the sink deletes the object when told of the teardown
};

// Window objects live in a poisoned arena: a deleted object's bytes are overwritten with
// kPoison, so any later write by the base shows.
constexpr unsigned char kPoison = 0xDD;
constexpr size_t kSlotSize = 256;
constexpr int kSlots = 8;
alignas(std::max_align_t) unsigned char g_arena[kSlots][kSlotSize];
int g_slotsUsed = 0;

bool Untouched(const void* object) {
  const auto* bytes = static_cast<const unsigned char*>(object);
  for (size_t i = 0; i < kSlotSize; ++i) {
    if (bytes[i] != kPoison) return false;
  }
  return true;
}

class TestWindow : public Window {
 public:
  explicit TestWindow(Log* log) : log_(log) {}
  ~TestWindow() override { log_->events += 'd'; }

  static void* operator new(size_t size) {
    if (size > kSlotSize || g_slotsUsed == kSlots) throw std::bad_alloc();
    return g_arena[g_slotsUsed++];
  }
  static void operator delete(void* object) { std::memset(object, kPoison, kSlotSize); }

  bool Make(HWND parent, DWORD style = WS_POPUP) {
    return Create(L"Cv3WindowTest", L"window test", style, 0, 0, 0, 60, 40, parent, nullptr);
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case kPing:
        return 42;
      case kDestroySelf:
        DestroyWindow(hwnd_);
        return 7;
      case kDeleteSelf:
        delete this;
        return 9;
      case kSendToSelf:
        return SendMessageW(hwnd_, static_cast<UINT>(wParam), 0, 0);
      default:
        return Default(message, wParam, lParam);
    }
  }
  void OnTeardown() override {
    log_->events += 't';
    if (log_->deleteAtTeardown) delete this;
  }

 private:
  Log* log_;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { g_slotsUsed = 0; }
};

TEST_F(WindowTest, ACreatorsWindowForgetsItsDestroyedWindowAndIsNotDeleted) {
  Log log;
  auto window = std::make_unique<TestWindow>(&log);
  ASSERT_TRUE(window->Make(nullptr));
  DestroyWindow(window->hwnd());
  EXPECT_EQ(window->hwnd(), nullptr);
  EXPECT_EQ(log.events, "t");
  window.reset();
  EXPECT_EQ(log.events, "td");
}

TEST_F(WindowTest, DeletingTheObjectFirstDestroysItsWindowWithoutReachingTheObject) {
  Log log;
  auto window = std::make_unique<TestWindow>(&log);
  ASSERT_TRUE(window->Make(nullptr));
  HWND hwnd = window->hwnd();
  window.reset();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(log.events, "d");
}

// An object deleted while its handlers run, directly, from a nested message, or by a sink told
// of the teardown: the base writes nothing to it afterwards.
TEST_F(WindowTest, AnObjectDeletedInsideItsHandlersIsNotTouchedAfterwards) {
  struct Case {
    UINT message;
    WPARAM wParam;
    bool deleteAtTeardown;
    const char* events;
  };
  const Case cases[] = {{kDeleteSelf, 0, false, "d"},
                        {kSendToSelf, kDeleteSelf, false, "d"},
                        {kDestroySelf, 0, true, "td"},
                        {kSendToSelf, kDestroySelf, true, "td"}};
  for (const Case& c : cases) {
    Log log;
    log.deleteAtTeardown = c.deleteAtTeardown;
    auto* window = new TestWindow(&log);
    ASSERT_TRUE(window->Make(nullptr));
    HWND hwnd = window->hwnd();
    SendMessageW(hwnd, c.message, c.wParam, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(log.events, c.events) << c.message << " " << c.wParam;
    EXPECT_TRUE(Untouched(window)) << c.message << " " << c.wParam;
  }
}

}  // namespace
}  // namespace cv3
