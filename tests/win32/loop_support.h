// For tests of modal windows: work to run from inside the modal loop that is about to start.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

namespace cv3::testing {

inline std::function<void()> pendingLoopWork;

inline void CALLBACK RunPendingLoopWork(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (auto work = std::exchange(pendingLoopWork, nullptr)) work();
}

// Runs `work` once from the next message loop: a thread timer's callback, which comes after the
// messages already posted.
inline void FromTheLoop(std::function<void()> work) {
  pendingLoopWork = std::move(work);
  SetTimer(nullptr, 0, 1, RunPendingLoopWork);
}

}  // namespace cv3::testing
