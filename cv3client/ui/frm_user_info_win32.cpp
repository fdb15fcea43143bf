#include "cv3client/ui/frm_user_info_win32.h"

namespace cv3 {
namespace {

constexpr int kFirstBoxId = 101;

struct BoxDesign {
  const wchar_t* label;
  bool editable;  // in edit mode
};

// In ProfileBox order.
constexpr BoxDesign kBoxes[frmUserInfo::kBoxCount] = {
    {L"Member Since:", false}, {L"Last On:", false}, {L"Location:", true},  {L"Age:", true},
    {L"E-mail:", true},        {L"Web:", true},      {L"Player Bio:", true}};

// Design, in twips: a column of labels, a column of boxes, the buttons below.
constexpr int kLabelLeft = 240, kLabelWidth = 1440, kBoxLeft = 1800, kBoxWidth = 4440;
constexpr int kTop = 240, kRowStep = 420, kBoxHeight = 315, kBioHeight = 1800;
constexpr int kButtonTop = kTop + 6 * kRowStep + kBioHeight + 240, kButtonWidth = 1200,
              kButtonHeight = 400;
constexpr int kClientWidth = kBoxLeft + kBoxWidth + 240,
              kClientHeight = kButtonTop + kButtonHeight + 240;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace

frmUserInfo::~frmUserInfo() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (font_) DeleteObject(font_);
}

bool frmUserInfo::Create() {
  dpi_ = DpiOf(owner_);
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  POINT at = CenteredPosition(owner_, width, height);
  if (!Window::Create(kClassName, L"View Profile", kStyle, kExStyle, at.x, at.y, width, height,
                      owner_, nullptr)) {
    return false;
  }
  dpi_ = DpiOf(hwnd_);
  CreateControls();
  return true;
}

void frmUserInfo::CreateControls() {
  font_ = CreateUiFont(dpi_, 8);
  auto px = [&](int twips) { return TwipsToPixels(twips, dpi_); };
  // Each box follows its label, so screen readers name it; tab order is creation order.
  for (int i = 0; i < kBoxCount; ++i) {
    bool bio = static_cast<ProfileBox>(i) == ProfileBox::kBio;
    int top = kTop + i * kRowStep;
    labels_[i] = CreateControl(hwnd_, L"STATIC", kBoxes[i].label, SS_RIGHT, px(kLabelLeft),
                               px(top + 45), px(kLabelWidth), px(260), 0, font_);
    DWORD style =
        ES_READONLY | WS_TABSTOP |
        (bio ? ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL);
    boxes_[i] =
        CreateControl(hwnd_, L"EDIT", L"", style, px(kBoxLeft), px(top), px(kBoxWidth),
                      px(bio ? kBioHeight : kBoxHeight), kFirstBoxId + i, font_, WS_EX_CLIENTEDGE);
  }
  int cancelLeft = kBoxLeft + kBoxWidth - kButtonWidth;
  cmdOK_ = CreateControl(hwnd_, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP,
                         px(cancelLeft - 120 - kButtonWidth), px(kButtonTop), px(kButtonWidth),
                         px(kButtonHeight), IDOK, font_);
  cmdCancel_ =
      CreateControl(hwnd_, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, px(cancelLeft),
                    px(kButtonTop), px(kButtonWidth), px(kButtonHeight), IDCANCEL, font_);
}

void frmUserInfo::SetCaption(const std::string& text) {
  if (Make()) SetControlText(hwnd_, text);
}

void frmUserInfo::SetBox(ProfileBox box, const std::string& text) {
  if (Make()) SetControlText(txt(box), text);
}

std::string frmUserInfo::Box(ProfileBox box) const {
  return hwnd_ ? GetControlText(txt(box)) : std::string();
}

void frmUserInfo::SetEditable() {
  if (!Make()) return;
  editable_ = true;
  for (int i = 0; i < kBoxCount; ++i) {
    if (kBoxes[i].editable) SendMessageW(boxes_[i], EM_SETREADONLY, FALSE, 0);
  }
  SetWindowTextW(cmdOK_, L"Save");
}

void frmUserInfo::ShowModal(ProfileEvents& events) {
  if (!Make()) return;
  events_ = &events;
  if (!unloaded_) {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(editable_ ? txt(ProfileBox::kLocation) : cmdOK_);
    RunModalLoop(owner_, hwnd_, unloaded_);
  }
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  events_ = nullptr;
}

void frmUserInfo::Unload() {
  unloaded_ = true;
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

LRESULT frmUserInfo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (!events_ || HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == IDOK) {
        events_->cmdOK_Click();
        return 0;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        events_->cmdCancel_Click();
        return 0;
      }
      break;
    case WM_CLOSE:
      if (events_) {
        events_->cmdCancel_Click();
      } else {
        Unload();
      }
      return 0;
    case WM_CTLCOLOREDIT:
      // The unlocked boxes (locked ones colour as static text, on the window's face).
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  }
  // Tab leaves the bio box.
  if (LRESULT result = 0; AnswerDialogQuestion(hwnd_, message, wParam, lParam, IDOK, result)) {
    return result;
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3
