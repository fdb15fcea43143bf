// frmAbout: credits, the program's version and a link to the community web site. Modal.
#pragma once

#include <functional>

#include "cv3client/ui/about_view.h"
#include "win32/window_win32.h"

namespace cv3 {

class frmAbout : public Window, public AboutView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3AboutWindow";
  // Modal over `owner`, with the owner's icon.
  explicit frmAbout(HWND owner) : owner_(owner) {}
  ~frmAbout() override;
  void ShowModal(std::function<void()> openWebSite) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND owner_;
  std::function<void()> openWebSite_;
  HFONT font_ = nullptr, titleFont_ = nullptr, linkFont_ = nullptr;
  HWND link_ = nullptr;
  bool done_ = false;
};

}  // namespace cv3
