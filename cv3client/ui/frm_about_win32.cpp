#include "cv3client/ui/frm_about_win32.h"

namespace cv3 {
namespace {

constexpr int kOk = 1, kLink = 101;
constexpr wchar_t kCredits[] =
    L"Corvane 3.0 BETA\r\n\r\n"
    L"The lobby for Skyrend pilots: find a wingman, chat in the lobby, host and join games "
    L"without typing an address.\r\n\r\n"
    L"Corvane 3 is a native rewrite of the Corvane client, its dedicated-server watchdog and a "
    L"lobby server anyone can run.\r\n\r\n"
    L"Thanks to every pilot who flew the betas and sent reports.";

}  // namespace

frmAbout::~frmAbout() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  for (HFONT font : {font_, titleFont_, linkFont_}) {
    if (font) DeleteObject(font);
  }
}

void frmAbout::ShowModal(std::function<void()> openWebSite) {
  HWND owner = owner_;
  auto icon = owner ? reinterpret_cast<HICON>(GetClassLongPtrW(owner, GCLP_HICON)) : nullptr;
  openWebSite_ = std::move(openWebSite);
  UINT dpi = DpiOf(owner);
  auto px = [&](int twips) { return TwipsToPixels(twips, dpi); };
  int width = px(6000), height = px(4700);
  POINT at = CenteredPosition(owner, width, height);
  int x = at.x, y = at.y;
  if (!Create(kClassName, L"About Corvane", WS_POPUP | WS_CAPTION | WS_SYSMENU,
              WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, x, y, width, height, owner, nullptr)) {
    return;
  }
  dpi = DpiOf(hwnd_);
  font_ = CreateUiFont(dpi, 8, false, L"Tahoma");
  titleFont_ = CreateUiFont(dpi, 12, true, L"Verdana");
  linkFont_ = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE,
                          DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Tahoma");
  if (icon) {
    HWND picture = CreateControl(hwnd_, L"STATIC", L"", SS_ICON, px(240), px(240), px(480), px(480),
                                 0, nullptr);
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }
  CreateControl(hwnd_, L"STATIC", L"Corvane 3.0", SS_LEFT, px(960), px(240), px(4600), px(360), 0,
                titleFont_);
  CreateControl(hwnd_, L"STATIC", kCredits, SS_LEFT, px(960), px(720), px(4800), px(2640), 0,
                font_);
  link_ = CreateControl(hwnd_, L"STATIC", L"www.corvane.net", SS_LEFT | SS_NOTIFY, px(960),
                        px(3540), px(2400), px(260), kLink, linkFont_);
  HWND ok = CreateControl(hwnd_, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, px(4560),
                          px(3480), px(1200), px(400), kOk, font_);
  ShowWindow(hwnd_, SW_SHOW);
  // Enter and Esc reach the window through the focused control.
  SetFocus(ok);
  RunModalLoop(owner, hwnd_, done_);
  DestroyWindow(hwnd_);
}

LRESULT frmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kOk || LOWORD(wParam) == IDCANCEL) {
        done_ = true;
        return 0;
      }
      if (LOWORD(wParam) == kLink && HIWORD(wParam) == STN_CLICKED && openWebSite_) {
        openWebSite_();
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == link_) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 204));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == link_) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      done_ = true;
      return 0;
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3
