// frmHostGame: modal; it defers itself, and a hidden one comes back with its entries while the
// server's answer is awaited.
#pragma once

#include "cv3client/games/host_game.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class HostGameWindow {
 public:
  HostGameWindow(WindowWiring& wiring, const WindowParts& parts)
      : host_({.deferral = parts.platform.deferral,
               .registry = parts.platform.registry,
               .files = parts.platform.files,
               .starter = parts.launcher,
               .messages = parts.platform.messages,
               .makeView = wiring.ViewMaker<HostGameView>("frmHostGame"),
               .send = parts.send,
               .ownName = [&session = parts.session] { return session.SignedIn().name; },
               .localAddress = [&socket = parts.platform.socket] { return socket.LocalAddress(); },
               .programFolder = parts.platform.programFolder}) {
    host_.Register(wiring.Lines());
    wiring.Opens(WindowKind::kHostGame, [this] { host_.Open(); });
  }

 private:
  HostGameController host_;
};

}  // namespace cv3
