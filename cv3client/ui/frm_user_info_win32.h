// frmUserInfo: the profile window, modal over the main window. Seven boxes with their labels and
// OK (or Save) and Cancel, reported as ProfileEvents; reading the server's lines and checking
// the fields are the profile controller's.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "cv3client/ui/profile.h"
#include "win32/window_win32.h"

namespace cv3 {

class frmUserInfo : public Window, public ProfileView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3UserInfoWindow";
  static constexpr int kBoxCount = 7;

  // Modal over `owner` (centred on it, or on the screen without one). The window is made with the
  // first call that needs it.
  explicit frmUserInfo(HWND owner) : owner_(owner) {}
  ~frmUserInfo() override;

  // ProfileView
  void SetCaption(const std::string& text) override;
  void SetBox(ProfileBox box, const std::string& text) override;
  std::string Box(ProfileBox box) const override;
  void SetEditable() override;
  void ShowModal(ProfileEvents& events) override;
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }
  void Unload() override;

  // For tests: the window made now, the controls.
  bool Make() { return hwnd_ || Create(); }
  HWND txt(ProfileBox box) const { return boxes_[static_cast<int>(box)]; }
  HWND lbl(ProfileBox box) const { return labels_[static_cast<int>(box)]; }
  HWND cmdOK() const { return cmdOK_; }
  HWND cmdCancel() const { return cmdCancel_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool Create();
  void CreateControls();

  HWND owner_ = nullptr;
  ProfileEvents* events_ = nullptr;  // only while shown
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  bool editable_ = false;
  bool unloaded_ = false;
  std::array<HWND, kBoxCount> labels_{}, boxes_{};
  HWND cmdOK_ = nullptr, cmdCancel_ = nullptr;
};

}  // namespace cv3
