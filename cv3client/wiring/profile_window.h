// frmUserInfo: a pilot's profile, opened by the server's answer.
#pragma once

#include "cv3client/ui/profile.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class ProfileWindow {
 public:
  ProfileWindow(WindowWiring& wiring, const WindowParts& parts)
      : profile_({.deferral = parts.platform.deferral,
                  .makeView = wiring.ViewMaker<ProfileView>("frmUserInfo"),
                  .send = parts.send,
                  .ownName = [&session = parts.session] { return session.SignedIn().name; }}) {
    profile_.Register(wiring.Lines());
  }

 private:
  ProfileController profile_;
};

}  // namespace cv3
