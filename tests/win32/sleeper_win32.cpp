// A small process for the process tests: sleeps for the milliseconds its argument names (a minute
// without one), then ends.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  Sleep(argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 60000);
  return 0;
}
