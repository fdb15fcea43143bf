// frmReconnect: the modal window that shows the reconnect countdown over the main window. Its
// Cancel and close are reported as ReconnectEvents; the countdown is the reconnect controller's.
#pragma once

#include <windows.h>

#include <string>

#include "cv3client/session/reconnect.h"
#include "win32/form_win32.h"

namespace cv3 {

class frmReconnect : public Form, public ReconnectView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3ReconnectWindow";

  // Modal over `owner` (centred on it, or on the screen without one).
  explicit frmReconnect(HWND owner) : Form(owner) {}

  // ReconnectView
  void ShowModal(ReconnectEvents& events) override;
  void SetCountText(const std::string& text) override;
  void SetRetryText(const std::string& text) override;
  void Unload() override { EndModal(); }

 protected:
  void OnClick(int id) override;

 private:
  // The window with its controls, made on first use; false when it cannot be.
  bool Create();

  ReconnectEvents* events_ = nullptr;  // only while shown
  HWND lblRecnctCnt_ = nullptr, lblRetryCnct_ = nullptr, cmdCancel_ = nullptr;
};

}  // namespace cv3
