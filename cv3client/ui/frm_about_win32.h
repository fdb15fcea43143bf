// frmAbout: credits, the program's version and a link to the community web site. Modal.
#pragma once

#include <functional>

#include "win32/window_win32.h"

namespace cv3 {

class frmAbout : public Window {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3AboutWindow";
  ~frmAbout() override;
  // Shows the window modally; `openWebSite` runs when the web-site label is clicked.
  void ShowModal(HWND owner, HICON icon, std::function<void()> openWebSite);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::function<void()> openWebSite_;
  HFONT font_ = nullptr, titleFont_ = nullptr, linkFont_ = nullptr;
  HWND link_ = nullptr;
  bool done_ = false;
};

}  // namespace cv3
