// frmLogin: the modal sign-in window. Its controls and their clicks; the rules (placeholder,
// registry writes, digest) are the login controller's.
#pragma once

#include <windows.h>

#include <string>

#include "win32/window_win32.h"

namespace cv3 {

class LoginWindowEvents {
 public:
  virtual ~LoginWindowEvents() = default;
  virtual void cmdLogin_Click() = 0;
  virtual void chkRememberIDPass_Click(bool checked) = 0;
  virtual void chkAutoLogin_Click(bool checked) = 0;
  virtual void Command2_Click() = 0;  // Cancel
  virtual void Command3_Click() = 0;  // Help
  virtual void Command4_Click() = 0;  // Get a Corvane ID
};

class frmLogin : public Window {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3LoginWindow";

  frmLogin() = default;
  ~frmLogin() override;

  // Creates the window (hidden) centred on the owner, or the screen.
  bool Create(HWND owner, LoginWindowEvents* events);
  // Shows it and runs its modal loop until it is unloaded.
  void ShowModal();
  void Unload();
  void Hide() { ShowWindow(hwnd_, SW_HIDE); }

  std::string LoginId() const { return GetControlText(txtLoginID_); }
  std::string Password() const { return GetControlText(txtPassword_); }
  void SetLoginId(const std::string& text) { SetControlText(txtLoginID_, text); }
  void SetPassword(const std::string& text) { SetControlText(txtPassword_, text); }
  bool RememberChecked() const;
  bool AutoChecked() const;
  void SetRemember(bool checked);
  void SetAuto(bool checked);

  HWND txtLoginID() const { return txtLoginID_; }
  HWND txtPassword() const { return txtPassword_; }
  HWND chkRememberIDPass() const { return chkRememberIDPass_; }
  HWND chkAutoLogin() const { return chkAutoLogin_; }
  HWND cmdLogin() const { return cmdLogin_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateControls();

  LoginWindowEvents* events_ = nullptr;
  HWND owner_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  bool unloaded_ = false;
  HWND txtLoginID_ = nullptr, txtPassword_ = nullptr, chkRememberIDPass_ = nullptr,
       chkAutoLogin_ = nullptr, cmdLogin_ = nullptr;
};

}  // namespace cv3
