// frmLogin: modal, with a new controller for each opening; it signs in as the entered name.
#pragma once

#include "cv3client/session/login_controller.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class LoginWindow {
 public:
  LoginWindow(WindowWiring& wiring, const WindowParts& parts)
      : parts_(parts), makeView_(wiring.ViewMaker<LoginView>("frmLogin")) {
    wiring.Opens(WindowKind::kLogin, parts.Deferred([this] { Open(); }));
  }

 private:
  void Open() {
    std::unique_ptr<LoginView> view = makeView_();
    if (!view) return;
    SessionController& session = parts_.session;
    LoginController controller(
        *view, parts_.platform.registry, session.SignedIn(), parts_.platform.processes,
        {[&session](std::string name, std::string digest) {
           session.SignInAs(std::move(name), std::move(digest));
         },
         [&session] { session.ConnectToServer(); },
         [this] { parts_.platform.windows.ShowWindow(WindowKind::kCreateId); }});
    view->ShowModal(controller);
  }

  const WindowParts& parts_;
  WindowFactory::Maker<LoginView> makeView_;
};

}  // namespace cv3
