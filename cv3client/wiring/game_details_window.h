// frmGameDetails: a game's details, opened by the server's answer.
#pragma once

#include "cv3client/games/game_details.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class GameDetailsWindow {
 public:
  GameDetailsWindow(WindowWiring& wiring, const WindowParts& parts)
      : details_({.deferral = parts.platform.deferral,
                  .registry = parts.platform.registry,
                  .files = parts.platform.files,
                  .starter = parts.launcher,
                  .makeView = wiring.ViewMaker<GameDetailsView>("frmGameDetails")}) {
    details_.Register(wiring.Lines());
  }

 private:
  GameDetailsController details_;
};

}  // namespace cv3
