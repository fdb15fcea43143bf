#include "win32/form_win32.h"

namespace cv3 {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kTextBoxHeight = 315;  // twips: one line of Tahoma 8 with its border
constexpr int kButtonWidth = 1200, kButtonHeight = 375;

}  // namespace

Form::~Form() {
  // The window goes before the fonts its controls still use.
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (font_) DeleteObject(font_);
  for (HFONT font : fonts_) DeleteObject(font);
}

bool Form::CreateForm(const wchar_t* className, const std::wstring& caption, int clientWidthTwips,
                      int clientHeightTwips) {
  if (!Create(className, caption, kStyle, kExStyle, 0, 0, 0, 0, owner_, nullptr)) return false;
  // The size follows the DPI of the monitor the window landed on.
  dpi_ = DpiOf(hwnd_);
  font_ = CreateUiFont(dpi_, 8, false, L"Tahoma");
  RECT frame{0, 0, TwipsToPixels(clientWidthTwips, dpi_), TwipsToPixels(clientHeightTwips, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  POINT at = CenteredPosition(owner_, width, height);
  SetWindowPos(hwnd_, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

HWND Form::AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                      int width, int height, int id, DWORD exStyle, HFONT font) {
  auto px = [this](int twips) { return TwipsToPixels(twips, dpi_); };
  return CreateControl(hwnd_, className, text, style, px(x), px(y), px(width), px(height), id,
                       font ? font : font_, exStyle);
}

HWND Form::AddButton(const std::wstring& text, int x, int y, int id, bool isDefault) {
  return AddControl(L"BUTTON", text, (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, x,
                    y, kButtonWidth, kButtonHeight, id);
}

HWND Form::AddTextBox(DWORD style, int x, int y, int width, int id, HFONT font) {
  return AddControl(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | style, x, y, width, kTextBoxHeight,
                    id, WS_EX_CLIENTEDGE, font);
}

HFONT Form::AddFont(int points, const wchar_t* face) {
  HFONT font = CreateUiFont(dpi_, points, false, face);
  if (font) fonts_.push_back(font);
  return font;
}

void Form::RunModal(HWND focus) {
  ended_ = false;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  if (focus) SetFocus(focus);
  RunModalLoop(owner_, hwnd_, ended_, [this](const MSG& message) { return TakeFirst(message); });
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

void Form::EndModal() {
  ended_ = true;
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // The dialog manager sends Enter as IDOK and Esc as IDCANCEL.
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (int id = LOWORD(wParam)) {
        case IDOK:
          OnClick(enterId_);
          return 0;
        case IDCANCEL:
          OnClick(escId_);
          return 0;
        default:
          OnClick(id);
          return 0;
      }
    case WM_CLOSE:
      OnClick(escId_);
      return 0;
  }
  if (LRESULT result = 0; AnswerDialogQuestion(hwnd_, message, wParam, lParam, enterId_, result)) {
    return result;
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3
