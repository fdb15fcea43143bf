// The one-copy rule of both programs, from what creating the named mutex answered.
#include "common/instance_check.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

TEST(InstanceCheck, AMutexThisCopyMayNotOpenIsAnotherCopy) {
  constexpr uint32_t kNoError = 0, kInvalidHandle = 6;
  const struct {
    bool gotHandle;
    uint32_t error;
    InstanceCheck expected;
  } cases[] = {
      {true, kNoError, InstanceCheck::kFirstCopy},
      {true, kErrorAlreadyExists, InstanceCheck::kAnotherCopyRuns},
      // An elevated copy's mutex: its default security lets no ordinary copy open it.
      {false, kErrorAccessDenied, InstanceCheck::kAnotherCopyRuns},
      // No mutex for another reason (another kind of object has the name): nothing to go by.
      {false, kInvalidHandle, InstanceCheck::kFirstCopy},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InstanceCheckOf(c.gotHandle, c.error), c.expected)
        << c.gotHandle << " error " << c.error;
  }
}

}  // namespace
}  // namespace cv3
