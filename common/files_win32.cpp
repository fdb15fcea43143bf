#include "common/files_win32.h"

#include <windows.h>

#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

// The buffer the programs have always asked the short form into.
constexpr DWORD kShortPathBuffer = 255;

}  // namespace

std::string Win32Files::ShortPath(std::string_view path) {
  wchar_t buffer[kShortPathBuffer];
  DWORD length = GetShortPathNameW(Widen(path).c_str(), buffer, kShortPathBuffer);
  // 0: the path does not exist; the buffer size or more: the needed size, nothing written.
  if (length == 0 || length >= kShortPathBuffer) return {};
  return Narrow(std::wstring_view(buffer, length));
}

bool Win32Files::ListingFindsName(std::string_view path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Widen(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool Win32Files::RemoveFile(std::string_view path) {
  return DeleteFileW(Widen(path).c_str()) != FALSE;
}

}  // namespace cv3
