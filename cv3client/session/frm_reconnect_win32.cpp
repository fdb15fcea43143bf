#include "cv3client/session/frm_reconnect_win32.h"

namespace cv3 {
namespace {

constexpr int kCmdCancel = 101;

}  // namespace

bool frmReconnect::Create() {
  if (hwnd_) return true;
  if (!CreateForm(kClassName, Widen(kReconnectCaption), 4080, 1665)) return false;
  // Frame1, without a caption, around the two counters; Cancel below.
  AddControl(L"BUTTON", L"", BS_GROUPBOX, 120, 60, 3840, 975);
  lblRecnctCnt_ =
      AddControl(L"STATIC", L"Reconnect count: 1", SS_LEFT | SS_NOPREFIX, 360, 300, 3360, 255);
  lblRetryCnct_ =
      AddControl(L"STATIC", L"Retry connect in: 10", SS_LEFT | SS_NOPREFIX, 360, 630, 3360, 255);
  // The only button, focused: Enter presses it as Esc does.
  cmdCancel_ = AddButton(L"Cancel", 1440, 1170, kCmdCancel, true);
  SetKeyButtons(kCmdCancel, IDCANCEL);
  return true;
}

void frmReconnect::SetCountText(const std::string& text) {
  if (Create()) SetControlText(lblRecnctCnt_, text);
}

void frmReconnect::SetRetryText(const std::string& text) {
  if (Create()) SetControlText(lblRetryCnct_, text);
}

void frmReconnect::ShowModal(ReconnectEvents& events) {
  if (!Create()) return;
  events_ = &events;
  RunModal(cmdCancel_);
  events_ = nullptr;
}

void frmReconnect::OnClick(int id) {
  if (!events_) return;
  if (id == kCmdCancel) {
    events_->cmdCancel_Click();
  } else if (id == IDCANCEL) {
    events_->Form_Unload();  // Esc or the close box
  }
}

}  // namespace cv3
