#include "common/instance_check_win32.h"

namespace cv3 {

static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorAlreadyExists == ERROR_ALREADY_EXISTS);

InstanceClaim ClaimInstance(const wchar_t* name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  const DWORD error = GetLastError();
  return {mutex, InstanceCheckOf(mutex != nullptr, error)};
}

}  // namespace cv3
