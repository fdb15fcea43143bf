// A small process for the process tests: waits for messages for the milliseconds its argument
// names (a minute without one), then ends. Waiting in its message loop, it is ready for input at
// once, as a windows program soon is, so a wait for that returns at its start, not at its end.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  SetTimer(nullptr, 0, argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 60000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
  }
  return 0;
}
