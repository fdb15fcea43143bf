// frmReconnect: the countdown starts at once and the window follows from the top of the loop, so
// a connection that comes first finds the window already closed.
#pragma once

#include "cv3client/session/reconnect.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class ReconnectWindow {
 public:
  ReconnectWindow(WindowWiring& wiring, const WindowParts& parts)
      : reconnect_({.status = parts.platform.status,
                    .socket = parts.platform.socket,
                    .timers = parts.platform.timers,
                    .deferral = parts.platform.deferral,
                    .makeView = wiring.ViewMaker<ReconnectView>("frmReconnect"),
                    .lastServer = [&session = parts.session] {
                      return std::make_pair(session.LastHost(), session.LastPort());
                    }}) {
    wiring.Opens(
        WindowKind::kReconnect, [this] { reconnect_.Open(); }, [this] { reconnect_.Close(); });
  }

  ReconnectController& Reconnect() { return reconnect_; }

 private:
  ReconnectController reconnect_;
};

}  // namespace cv3
