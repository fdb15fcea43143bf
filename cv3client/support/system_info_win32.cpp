#include "cv3client/support/system_info_win32.h"

#include <windows.h>

namespace cv3 {

OsVersion QueryOsVersion() {
  OSVERSIONINFOA info{};
  // The ANSI record's size, 148 bytes; the call refuses any other.
  static_assert(sizeof(OSVERSIONINFOA) == 148);
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  // Deprecated in favour of manifests and version helpers, but it is the number asked for.
  if (!GetVersionExA(&info)) return {};
#pragma GCC diagnostic pop
  return {true, info.dwMajorVersion, info.dwMinorVersion};
}

}  // namespace cv3
