#include "cv3client/session/frm_login_win32.h"

namespace cv3 {
namespace {

enum ControlId {
  kTxtLoginID = 101,
  kTxtPassword,
  kChkRemember,
  kChkAuto,
  kCmdLogin,
  kCommand4,
  kCommand3,
  kCommand2
};

}  // namespace

frmLogin::~frmLogin() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (font_) DeleteObject(font_);
}

bool frmLogin::Create() {
  HWND owner = owner_;
  dpi_ = DpiOf(owner);
  int width = TwipsToPixels(5100, dpi_), height = TwipsToPixels(4620, dpi_);
  POINT at = CenteredPosition(owner, width, height);
  int x = at.x, y = at.y;
  if (!Window::Create(kClassName, L"Login", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                      WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, x, y, width, height, owner,
                      nullptr)) {
    return false;
  }
  dpi_ = DpiOf(hwnd_);
  CreateControls();
  return true;
}

void frmLogin::CreateControls() {
  font_ = CreateUiFont(dpi_, 8, false, L"Tahoma");
  auto px = [&](int twips) { return TwipsToPixels(twips, dpi_); };
  auto control = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
                     int h, int id, DWORD ex = 0) {
    return CreateControl(hwnd_, cls, text, style, px(x), px(y), px(w), px(h), id, font_, ex);
  };
  // Frame1 with the sign-in fields; Frame2 with the way to a new ID; Help and Cancel below.
  control(L"BUTTON", L"Already have a Corvane ID?", BS_GROUPBOX, 120, 80, 4740, 2520, 0);
  control(L"STATIC", L"Corvane ID:", SS_RIGHT, 240, 440, 1200, 260, 0);
  txtLoginID_ = control(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, 1500, 400, 3180, 315,
                        kTxtLoginID, WS_EX_CLIENTEDGE);
  control(L"STATIC", L"Password:", SS_RIGHT, 240, 840, 1200, 260, 0);
  txtPassword_ = control(L"EDIT", L"", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, 1500, 800, 3180,
                         315, kTxtPassword, WS_EX_CLIENTEDGE);
  SendMessageW(txtPassword_, EM_SETPASSWORDCHAR, L'*', 0);
  chkRememberIDPass_ = control(L"BUTTON", L"Remember my ID && Password",
                               BS_AUTOCHECKBOX | WS_TABSTOP, 1500, 1240, 3180, 260, kChkRemember);
  chkAutoLogin_ = control(L"BUTTON", L"Automatically Login", BS_AUTOCHECKBOX | WS_TABSTOP, 1500,
                          1540, 3180, 260, kChkAuto);
  cmdLogin_ =
      control(L"BUTTON", L"Login", BS_DEFPUSHBUTTON | WS_TABSTOP, 3360, 1980, 1320, 400, kCmdLogin);
  control(L"BUTTON", L"New User?", BS_GROUPBOX, 120, 2700, 4740, 900, 0);
  control(L"BUTTON", L"Get a Corvane ID", BS_PUSHBUTTON | WS_TABSTOP, 1500, 3030, 1980, 400,
          kCommand4);
  control(L"BUTTON", L"Help", BS_PUSHBUTTON | WS_TABSTOP, 2220, 3720, 1260, 400, kCommand3);
  control(L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 3600, 3720, 1260, 400, kCommand2);
}

bool frmLogin::RememberChecked() const {
  return SendMessageW(chkRememberIDPass_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool frmLogin::AutoChecked() const {
  return SendMessageW(chkAutoLogin_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void frmLogin::SetRemember(bool checked) {
  SendMessageW(chkRememberIDPass_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
void frmLogin::SetAuto(bool checked) {
  SendMessageW(chkAutoLogin_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void frmLogin::ShowModal(LoginEvents& events) {
  if (!hwnd_ && !Create()) return;
  events_ = &events;
  events.Form_Load();
  if (!unloaded_) {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(txtLoginID_);
    RunModalLoop(owner_, hwnd_, unloaded_);
  }
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  events_ = nullptr;
}

void frmLogin::Unload() {
  unloaded_ = true;
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

LRESULT frmLogin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (!events_ || HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kCmdLogin:
        case IDOK:
          events_->cmdLogin_Click();
          return 0;
        case kChkRemember:
          events_->chkRememberIDPass_Click();
          return 0;
        case kChkAuto:
          events_->chkAutoLogin_Click();
          return 0;
        case kCommand2:
        case IDCANCEL:
          events_->Command2_Click();
          return 0;
        case kCommand3:
          events_->Command3_Click();
          return 0;
        case kCommand4:
          events_->Command4_Click();
          return 0;
      }
      break;
    case WM_CLOSE:
      Unload();
      return 0;
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3
