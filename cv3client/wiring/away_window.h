// frmAway: modal, kept hidden between uses so it offers its text again.
#pragma once

#include "cv3client/ui/away.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class AwayWindow {
 public:
  AwayWindow(WindowWiring& wiring, const WindowParts& parts)
      : parts_(parts), makeView_(wiring.ViewMaker<AwayView>("frmAway")) {
    wiring.Opens(WindowKind::kAway, parts.Deferred([this] { Open(); }));
  }

 private:
  void Open() {
    if (!view_) view_ = makeView_();
    if (!view_) return;
    AwayController controller(*view_, [this](const std::string& line) { parts_.send(line); });
    view_->ShowModal(controller);
  }

  const WindowParts& parts_;
  WindowFactory::Maker<AwayView> makeView_;
  std::unique_ptr<AwayView> view_;
};

}  // namespace cv3
