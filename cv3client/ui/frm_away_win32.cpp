#include "cv3client/ui/frm_away_win32.h"

namespace cv3 {
namespace {

enum ControlId { kTxtAwayMsg = 101, kCmdOk, kCmdCancel };

}  // namespace

bool frmAway::Create() {
  if (hwnd_) return true;
  if (!CreateForm(kClassName, Widen(kAwayCaption), 4800, 1365)) return false;
  SetKeyButtons(kCmdOk, kCmdCancel);
  // The label first: screen readers name the text box by it.
  AddControl(L"STATIC", L"Away message:", SS_LEFT, 120, 120, 4560, 255);
  txtAwayMsg_ = AddTextBox(WS_GROUP, 120, 400, 4560, kTxtAwayMsg, AddFont(8, L"Verdana"));
  AddButton(L"OK", 2160, 870, kCmdOk, true);
  AddButton(L"Cancel", 3480, 870, kCmdCancel);
  return true;
}

void frmAway::ShowModal(AwayEvents& events) {
  if (!Create()) return;
  events_ = &events;
  // The last message comes back selected, so typing replaces it.
  SendMessageW(txtAwayMsg_, EM_SETSEL, 0, -1);
  RunModal(txtAwayMsg_);
  events_ = nullptr;
}

void frmAway::OnClick(int id) {
  if (!events_) return;
  if (id == kCmdOk) {
    events_->cmdOk_Click();
  } else if (id == kCmdCancel) {
    events_->cmdCancel_Click();
  }
}

}  // namespace cv3
