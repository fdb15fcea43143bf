// One line per connection event on a stream (stderr in the program): time, peer, id, event.
// Used from the io thread only. Texts from the wire are escaped so a peer cannot forge lines.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "lobbyd/clock.h"

namespace lobbyd {

class EventLog {
 public:
  // A null stream discards everything (tests that do not look at the log).
  EventLog(std::ostream* out, const Clock& clock) : out_(out), clock_(clock) {}

  void Connection(std::string_view peer, std::string_view id, std::string_view event);
  // Server-wide events (listening, stopping, startup actions).
  void Server(std::string_view event);

  // Control characters and bytes outside printable ASCII as \xNN.
  static std::string Escape(std::string_view text, size_t maxLength = 80);

 private:
  std::string Now() const;

  std::ostream* out_;
  const Clock& clock_;
};

}  // namespace lobbyd
