#include <windows.h>

#include "win32/waiting.h"

namespace cv3 {

void WaitWhileProcessing(unsigned ms) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the main loop
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    ULONGLONG now = GetTickCount64();
    if (now - start > ms) return;
    // Sleep until a message arrives or the wait is over, rather than spinning a core.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms - (now - start)) + 1,
                              QS_ALLINPUT);
  }
}

}  // namespace cv3
