// The game's windows as the launch automation sees them: found by class and title, driven with
// window messages, hidden. The game expects the A API, so text goes to it as Windows-1252 bytes.
// Backends: Win32 (FindWindowExA, SendMessageA, ShowWindow) and a recording fake. UI thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace cv3 {

// A window of another program; 0 is no window.
using WindowHandle = std::uintptr_t;

// The messages the automation sends, with the values the game's dialogs take.
inline constexpr uint32_t kWmSetText = 0x000C;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmLButtonUp = 0x0202;
inline constexpr uint32_t kLbDeleteString = 0x0182;

class GameWindows {
 public:
  virtual ~GameWindows() = default;

  // A top-level window, visible or not, whose class and title equal these (UTF-8, compared
  // without regard to case as the platform does; a missing one matches any); 0 when none does.
  virtual WindowHandle FindTopLevel(std::optional<std::string_view> className,
                                    std::optional<std::string_view> title) = 0;

  // The next direct child of `parent` after `after` (0: from the first) whose class and title
  // equal these, compared as above; 0 when there is none or `parent` is 0.
  virtual WindowHandle FindChild(WindowHandle parent, WindowHandle after,
                                 std::optional<std::string_view> className,
                                 std::optional<std::string_view> title) = 0;

  // Sends a message and waits until the window has handled it; its result, or 0 when the window
  // does not exist.
  virtual intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam,
                        intptr_t lParam) = 0;

  // Sends a message whose lParam is a text (UTF-8 here, Windows-1252 bytes for the window; a
  // character without a byte goes as "?").
  virtual intptr_t SendText(WindowHandle window, uint32_t message, uintptr_t wParam,
                            std::string_view text) = 0;

  // Shows or hides a window; nothing happens when it does not exist.
  virtual void SetVisible(WindowHandle window, bool visible) = 0;
};

}  // namespace cv3
