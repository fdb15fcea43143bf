// The programs' one-copy rule on Windows: a named mutex held for the life of the process.
#pragma once

#include <windows.h>

#include "common/instance_check.h"

namespace cv3 {

struct InstanceClaim {
  HANDLE mutex;  // null when none was made; closed by the program at its end (or by Windows)
  InstanceCheck check;
};

// Creates (or opens) the mutex `name` and tells whether another copy holds it.
InstanceClaim ClaimInstance(const wchar_t* name);

}  // namespace cv3
