// frmPreferences: modal, with a new controller for each opening.
#pragma once

#include "cv3client/ui/preferences.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class PreferencesWindow {
 public:
  PreferencesWindow(WindowWiring& wiring, const WindowParts& parts)
      : parts_(parts), makeView_(wiring.ViewMaker<PreferencesView>("frmPreferences")) {
    wiring.Opens(WindowKind::kPreferences, parts.Deferred([this] { Open(); }));
  }

 private:
  void Open() {
    std::unique_ptr<PreferencesView> view = makeView_();
    if (!view) return;
    PreferencesController controller(
        *view, {parts_.platform.registry, parts_.roster, parts_.session.SignedIn(),
                parts_.platform.programFolder});
    view->ShowModal(controller);
  }

  const WindowParts& parts_;
  WindowFactory::Maker<PreferencesView> makeView_;
};

}  // namespace cv3
