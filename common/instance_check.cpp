#include "common/instance_check.h"

namespace cv3 {

InstanceCheck InstanceCheckOf(bool gotHandle, uint32_t lastError) {
  // Any other failure to make the mutex proves nothing about another copy: this one runs.
  const bool another =
      gotHandle ? lastError == kErrorAlreadyExists : lastError == kErrorAccessDenied;
  return another ? InstanceCheck::kAnotherCopyRuns : InstanceCheck::kFirstCopy;
}

}  // namespace cv3
