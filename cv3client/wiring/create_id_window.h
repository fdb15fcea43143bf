// frmCreateId: modal, kept hidden after a successful Create so it offers its entries again;
// cancelled, it is gone and the next one is new.
#pragma once

#include "cv3client/session/create_id.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class CreateIdWindow {
 public:
  CreateIdWindow(WindowWiring& wiring, const WindowParts& parts)
      : parts_(parts), makeView_(wiring.ViewMaker<CreateIdView>("frmCreateId")) {
    wiring.Opens(WindowKind::kCreateId, parts.Deferred([this] { Open(); }));
  }

 private:
  void Open() {
    if (!view_) view_ = makeView_();
    if (!view_) return;
    bool unloaded = false;
    SessionController& session = parts_.session;
    CreateIdController controller(
        *view_, parts_.platform.processes, parts_.platform.registry,
        {[&session](std::string name, std::string digest, std::string email) {
           session.CreateAccount(std::move(name), std::move(digest), std::move(email));
         },
         [&session] { session.ConnectToServer(); }, [&] { unloaded = true; }});
    view_->ShowModal(controller);
    if (unloaded) view_.reset();
  }

  const WindowParts& parts_;
  WindowFactory::Maker<CreateIdView> makeView_;
  std::unique_ptr<CreateIdView> view_;
};

}  // namespace cv3
