#include "win32/deferral_win32.h"

namespace cv3 {
namespace {

constexpr UINT kRunDeferred = WM_APP + 20;

}  // namespace

MessageLoopDeferral::MessageLoopDeferral()
    : window_([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return OnMessage(message, wParam, lParam);
      }) {}

void MessageLoopDeferral::Defer(std::function<void()> work) {
  queue_.push_back(std::move(work));
  PostMessageW(window_.hwnd(), kRunDeferred, 0, 0);
}

LRESULT MessageLoopDeferral::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunDeferred) {
    if (queue_.empty()) return 0;
    std::function<void()> work = std::move(queue_.front());
    queue_.pop_front();
    if (work) work();  // may pump messages and run later work inside it, as posted messages do
    return 0;
  }
  return DefWindowProcW(window_.hwnd(), message, wParam, lParam);
}

}  // namespace cv3
