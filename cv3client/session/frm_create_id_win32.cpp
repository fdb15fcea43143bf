#include "cv3client/session/frm_create_id_win32.h"

namespace cv3 {
namespace {

enum ControlId {
  kTxtLoginID = 101,
  kTxtPassword,
  kTxtPassword2,
  kTxtEmail,
  kCmdCreate,
  kCmdCancel,
  kCommand3
};

}  // namespace

bool frmCreateId::Create() {
  if (hwnd_) return true;
  if (!CreateForm(kClassName, Widen(kCreateIdCaption), 4980, 2715)) return false;
  SetKeyButtons(kCmdCreate, kCmdCancel);
  // Frame1 with the four entries, each label before its box; the buttons below. The tab order is
  // the order of creation: the entries, then Create, Cancel and Help.
  AddControl(L"BUTTON", L"Account Information", BS_GROUPBOX, 120, 60, 4740, 2040);
  auto entry = [this](const wchar_t* label, int y, DWORD style, int id) {
    AddControl(L"STATIC", label, SS_RIGHT, 240, y + 40, 1500, 255);
    return AddTextBox(style, 1860, y, 2760, id);
  };
  txtLoginID_ = entry(L"Corvane ID:", 380, WS_GROUP, kTxtLoginID);
  txtPassword_ = entry(L"Password:", 780, ES_PASSWORD, kTxtPassword);
  txtPassword2_ = entry(L"Verify Password:", 1180, ES_PASSWORD, kTxtPassword2);
  txtEmail_ = entry(L"E-mail Address:", 1580, 0, kTxtEmail);
  for (HWND password : {txtPassword_, txtPassword2_}) {
    SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
  }
  AddButton(L"Create", 2340, 2220, kCmdCreate, true);
  AddButton(L"Cancel", 3660, 2220, kCmdCancel);
  AddButton(L"Help", 120, 2220, kCommand3);
  return true;
}

void frmCreateId::ShowModal(CreateIdEvents& events) {
  if (!Create()) return;
  events_ = &events;
  RunModal(txtLoginID_);
  events_ = nullptr;
}

void frmCreateId::OnClick(int id) {
  if (!events_) return;
  switch (id) {
    case kCmdCreate:
      events_->cmdCreate_Click();
      break;
    case kCmdCancel:
      events_->cmdCancel_Click();
      break;
    case kCommand3:
      events_->Command3_Click();
      break;
  }
}

}  // namespace cv3
