// What the core needs of frmAbout: credits, the version, and the web-site label.
#pragma once

#include <functional>

namespace cv3 {

class AboutView {
 public:
  virtual ~AboutView() = default;
  // Shows the window modally and returns when it is closed; `openWebSite` runs when the web-site
  // label is clicked.
  virtual void ShowModal(std::function<void()> openWebSite) = 0;
};

}  // namespace cv3
