// A small process for the process tests: waits for messages for the milliseconds its argument
// names (a minute without one), then ends. Waiting in its message loop, it is ready for input at
// once, as a windows program soon is, so a wait for that returns at its start, not at its end.
// A second argument "child" first starts another copy of it (without a child), as a game may
// start a helper of its own; "breakaway" starts it out of the sleeper's job, as an updater or a
// browser is started.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const std::string kind = argc > 2 ? argv[2] : "";
  if (kind == "child" || kind == "breakaway") {
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self, length) + L"\" " +
                        std::wstring(argv[1], argv[1] + std::strlen(argv[1]));
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION child{};
    DWORD flags = kind == "breakaway" ? CREATE_BREAKAWAY_FROM_JOB : 0;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                       &startup, &child)) {
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
    }
  }
  SetTimer(nullptr, 0, argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 60000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
  }
  return 0;
}
