// Winsock1, the watchdog's probe: a TCP client whose only news is that a connection has been
// established. Failures are never reported; the watchdog's time-out is the only judge. Backends:
// Win32 (every address the name resolves to, tried at once) and a recording fake. UI thread only.
#pragma once

#include <string>

namespace cv3 {

class ProbeSocket {
 public:
  virtual ~ProbeSocket() = default;
  // Drops any earlier connection or attempt and starts a fresh one. An established connection is
  // reported later, from the message loop, through the event the backend was built with; it
  // stays open, unused, until the next Connect or Close.
  virtual void Connect(const std::string& host, int port) = 0;
  // Drops the connection or the attempt; a dropped attempt reports nothing. Harmless when closed.
  virtual void Close() = 0;
};

}  // namespace cv3
