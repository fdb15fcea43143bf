// Whether another copy of a program runs, read from what creating the program's named mutex
// answered. A copy started elevated (or by another user) owns a mutex that this copy may not
// open: access denied then says that it runs, just as "already exists" does.
#pragma once

#include <cstdint>

namespace cv3 {

enum class InstanceCheck { kFirstCopy, kAnotherCopyRuns };

// The Windows error codes the answer is read from (winerror.h).
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorAlreadyExists = 183;

// `gotHandle`: the mutex call returned a handle; `lastError`: the error code right after it.
InstanceCheck InstanceCheckOf(bool gotHandle, uint32_t lastError);

}  // namespace cv3
