#include "win32/timers_win32.h"

namespace cv3 {

WindowTimers::WindowTimers()
    : window_([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return OnMessage(message, wParam, lParam);
      }) {}

WindowTimers::~WindowTimers() {
  for (const auto& [id, tick] : ticks_) KillTimer(window_.hwnd(), static_cast<UINT_PTR>(id));
}

void WindowTimers::StartTimer(int id, int intervalMs, Tick tick) {
  ticks_[id] = std::move(tick);
  SetTimer(window_.hwnd(), static_cast<UINT_PTR>(id), static_cast<UINT>(intervalMs), nullptr);
}

void WindowTimers::StopTimer(int id) {
  KillTimer(window_.hwnd(), static_cast<UINT_PTR>(id));
  ticks_.erase(id);
}

LRESULT WindowTimers::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    auto found = ticks_.find(static_cast<int>(wParam));
    if (found == ticks_.end()) return 0;
    Tick tick = found->second;  // the tick may stop or restart its own timer
    tick();
    return 0;
  }
  return DefWindowProcW(window_.hwnd(), message, wParam, lParam);
}

}  // namespace cv3
