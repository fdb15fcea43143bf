// frmLogin: the modal sign-in window. Its controls and their clicks, reported as LoginEvents; the
// rules (placeholder, registry writes, digest) are the login controller's.
#pragma once

#include <windows.h>

#include <string>

#include "cv3client/session/login_controller.h"
#include "win32/window_win32.h"

namespace cv3 {

class frmLogin : public Window, public LoginView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3LoginWindow";

  // Modal over `owner` (centred on it, or on the screen without one).
  explicit frmLogin(HWND owner) : owner_(owner) {}
  ~frmLogin() override;

  // LoginView
  void ShowModal(LoginEvents& events) override;
  void Unload() override;
  void Hide() override { ShowWindow(hwnd_, SW_HIDE); }
  std::string LoginId() const override { return GetControlText(txtLoginID_); }
  std::string Password() const override { return GetControlText(txtPassword_); }
  void SetLoginId(const std::string& text) override { SetControlText(txtLoginID_, text); }
  void SetPassword(const std::string& text) override { SetControlText(txtPassword_, text); }
  bool RememberChecked() const override;
  bool AutoChecked() const override;
  void SetRemember(bool checked) override;
  void SetAuto(bool checked) override;
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }

  HWND txtLoginID() const { return txtLoginID_; }
  HWND txtPassword() const { return txtPassword_; }
  HWND chkRememberIDPass() const { return chkRememberIDPass_; }
  HWND chkAutoLogin() const { return chkAutoLogin_; }
  HWND cmdLogin() const { return cmdLogin_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool Create();
  void CreateControls();

  LoginEvents* events_ = nullptr;  // only while shown
  HWND owner_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  bool unloaded_ = false;
  HWND txtLoginID_ = nullptr, txtPassword_ = nullptr, chkRememberIDPass_ = nullptr,
       chkAutoLogin_ = nullptr, cmdLogin_ = nullptr;
};

}  // namespace cv3
