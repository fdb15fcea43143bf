// cv3guard.exe: the dedicated-server watchdog. cv3client starts it, minimized, with the hosted
// game's save-file name as its only argument.
#include <windows.h>

#include "common/files_win32.h"
#include "common/instance_check_win32.h"
#include "common/processes_win32.h"
#include "common/registry.h"
#include "common/registry_win32.h"
#include "common/wide_text_win32.h"
#include "cv3guard/form1_win32.h"
#include "cv3guard/probe_socket_win32.h"
#include "cv3guard/watchdog.h"
#include "win32/timers_win32.h"
#include "win32/waiting.h"

namespace cv3 {
namespace {

constexpr wchar_t kInstanceMutex[] = L"Corvane3.cv3guard.instance";

// The program's parts, wired as the watchdog sees them; Form1 goes first at the end, so that
// no event of it reaches the parts being torn down.
struct GuardApp {
  Win32Registry registryBackend;
  Form1 form;
  Registry registry{registryBackend, [this](const MessageBoxSpec& box) { form.ShowMessage(box); },
                    "cv3guard"};
  Win32Files files;
  Win32Processes processes;
  WindowTimers timers;
  Win32ProbeSocket probe{[this] { guard.Winsock1_Connect(); }};
  Watchdog guard{{registry, files, processes, timers, probe, form,
                  [](int ms) { WaitWhileProcessing(static_cast<unsigned>(ms)); }}};

  ~GuardApp() {
    if (form.hwnd()) DestroyWindow(form.hwnd());
  }

  int Run(const std::string& arguments, int showCommand) {
    if (!form.Load(&guard) || !guard.Start(arguments)) return 0;
    form.Show(showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
  }
};

}  // namespace
}  // namespace cv3

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int showCommand) {
  // A second copy ends at once and leaves the first in charge. The handle lives as long as the
  // process.
  if (cv3::ClaimInstance(cv3::kInstanceMutex).check == cv3::InstanceCheck::kAnotherCopyRuns) {
    return 0;
  }
  cv3::DeclareDpiAwareness();
  cv3::GuardApp app;
  return app.Run(cv3::Narrow(arguments ? arguments : L""), showCommand);
}
