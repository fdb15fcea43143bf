// frmCreateId: the modal window where a player asks for a new Corvane ID. Its buttons are
// reported as CreateIdEvents; the checks and the connection are the create-ID controller's.
// Hidden, it keeps its entries for the next ShowModal.
#pragma once

#include <windows.h>

#include <string>

#include "cv3client/session/create_id.h"
#include "win32/form_win32.h"

namespace cv3 {

class frmCreateId : public Form, public CreateIdView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3CreateIdWindow";

  // Modal over `owner` (centred on it, or on the screen without one).
  explicit frmCreateId(HWND owner) : Form(owner) {}

  // CreateIdView
  void ShowModal(CreateIdEvents& events) override;
  std::string LoginId() const override { return GetControlText(txtLoginID_); }
  std::string Password() const override { return GetControlText(txtPassword_); }
  std::string VerifyPassword() const override { return GetControlText(txtPassword2_); }
  std::string Email() const override { return GetControlText(txtEmail_); }
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }
  void Hide() override { EndModal(); }
  void Unload() override { EndModal(); }

 protected:
  void OnClick(int id) override;

 private:
  bool Create();

  CreateIdEvents* events_ = nullptr;  // only while shown
  HWND txtLoginID_ = nullptr, txtPassword_ = nullptr, txtPassword2_ = nullptr, txtEmail_ = nullptr;
};

}  // namespace cv3
