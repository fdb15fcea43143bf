// frmAbout: modal; its web-site label opens the site as the main window's command does.
#pragma once

#include "cv3client/ui/about_view.h"
#include "cv3client/ui/main_commands.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class AboutWindow {
 public:
  AboutWindow(WindowWiring& wiring, const WindowParts& parts)
      : parts_(parts), makeView_(wiring.ViewMaker<AboutView>("frmAbout")) {
    wiring.Opens(WindowKind::kAbout, parts.Deferred([this] { Open(); }));
  }

 private:
  void Open() {
    std::unique_ptr<AboutView> view = makeView_();
    if (view) view->ShowModal([this] { parts_.commands.AboutWebSite_Click(); });
  }

  const WindowParts& parts_;
  WindowFactory::Maker<AboutView> makeView_;
};

}  // namespace cv3
