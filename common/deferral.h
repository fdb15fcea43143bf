// Work that must run from the top of the message loop, after the handler that asked for it has
// returned: a window that the lines still to come keep filling is opened this way. The Win32
// backend posts itself a message; tests run the queue by hand. UI thread only.
#pragma once

#include <functional>

namespace cv3 {

class Deferral {
 public:
  virtual ~Deferral() = default;
  // Queues `work`; queued work runs in order, each once, never inside the call that queued it.
  virtual void Defer(std::function<void()> work) = 0;
};

}  // namespace cv3
