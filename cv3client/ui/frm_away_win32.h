// frmAway: the modal window where the player types an away message. OK and Cancel are reported
// as AwayEvents; the checks and the command are the away controller's. Hidden between uses, it
// offers the last text again.
#pragma once

#include <windows.h>

#include <string>

#include "cv3client/ui/away.h"
#include "win32/form_win32.h"

namespace cv3 {

class frmAway : public Form, public AwayView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3AwayWindow";

  // Modal over `owner` (centred on it, or on the screen without one).
  explicit frmAway(HWND owner) : Form(owner) {}

  // AwayView
  void ShowModal(AwayEvents& events) override;
  std::string AwayMessage() const override { return GetControlText(txtAwayMsg_); }
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }
  void Hide() override { EndModal(); }

 protected:
  void OnClick(int id) override;

 private:
  bool Create();

  AwayEvents* events_ = nullptr;  // only while shown
  HWND txtAwayMsg_ = nullptr;
};

}  // namespace cv3
