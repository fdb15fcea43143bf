// A recording GameWindows for tests: a tree of windows the test adds, found the way the platform
// finds them (in the order they were added, names without regard to case), and every message
// recorded; none is answered.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/game_windows.h"
#include "protocol/text_helpers.h"

namespace cv3 {

class FakeGameWindows : public GameWindows {
 public:
  struct Window {
    WindowHandle handle = 0;
    WindowHandle parent = 0;  // 0: top-level
    std::string className;
    std::string title;
  };
  struct Sent {
    WindowHandle window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::optional<std::string> text;  // SendText's text, in place of lParam
    bool operator==(const Sent&) const = default;
  };

  // Adds a window (a top-level one when parent is 0) and returns its handle.
  WindowHandle Add(WindowHandle parent, std::string className, std::string title) {
    windows_.push_back({nextHandle_, parent, std::move(className), std::move(title)});
    return nextHandle_++;
  }

  std::vector<Sent> sent;  // every message, also those to missing windows

  WindowHandle FindTopLevel(std::optional<std::string_view> className,
                            std::optional<std::string_view> title) override {
    return Find(0, 0, className, title);
  }

  WindowHandle FindChild(WindowHandle parent, WindowHandle after,
                         std::optional<std::string_view> className,
                         std::optional<std::string_view> title) override {
    return parent == 0 ? 0 : Find(parent, after, className, title);
  }

  intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return Record({window, message, wParam, lParam, std::nullopt});
  }

  intptr_t SendText(WindowHandle window, uint32_t message, uintptr_t wParam,
                    std::string_view text) override {
    return Record({window, message, wParam, 0, std::string(text)});
  }

  void SetVisible(WindowHandle, bool) override {}

 private:
  WindowHandle Find(WindowHandle parent, WindowHandle after,
                    std::optional<std::string_view> className,
                    std::optional<std::string_view> title) const {
    auto it = windows_.begin();
    if (after != 0) {
      it = std::find_if(windows_.begin(), windows_.end(),
                        [&](const Window& w) { return w.handle == after && w.parent == parent; });
      if (it == windows_.end()) return 0;  // not a child of parent: the platform finds nothing
      ++it;
    }
    for (; it != windows_.end(); ++it) {
      if (it->parent == parent && (!className || SameName(it->className, *className)) &&
          (!title || SameName(it->title, *title))) {
        return it->handle;
      }
    }
    return 0;
  }

  intptr_t Record(const Sent& message) {
    sent.push_back(message);
    return 0;
  }

  std::vector<Window> windows_;
  WindowHandle nextHandle_ = 0x100;
};

}  // namespace cv3
