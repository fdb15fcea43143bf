// The game windows backend over user32's A API, with Windows-1252 text.
#pragma once

#include "common/game_windows.h"

namespace cv3 {

class Win32GameWindows : public GameWindows {
 public:
  WindowHandle FindTopLevel(std::optional<std::string_view> className,
                            std::optional<std::string_view> title) override;
  WindowHandle FindChild(WindowHandle parent, WindowHandle after,
                         std::optional<std::string_view> className,
                         std::optional<std::string_view> title) override;
  intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  intptr_t SendText(WindowHandle window, uint32_t message, uintptr_t wParam,
                    std::string_view text) override;
  void SetVisible(WindowHandle window, bool visible) override;
};

}  // namespace cv3
