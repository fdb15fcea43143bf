#include "cv3guard/frm_launching_win32.h"

namespace cv3 {
namespace {

constexpr wchar_t kLabel1[] = L"GUARD for Corvane";
constexpr wchar_t kLabel2[] = L"is starting your dedicated Skyrend server";

}  // namespace

frmLaunching::~frmLaunching() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  for (HFONT font : {titleFont_, font_}) {
    if (font) DeleteObject(font);
  }
}

bool frmLaunching::Load() {
  UINT dpi = DpiOf(nullptr);
  auto px = [&](int twips) { return TwipsToPixels(twips, dpi); };
  int width = px(5400), height = px(1320);
  POINT at = CenteredPosition(nullptr, width, height);
  // A tool window: the notice has no taskbar button of its own.
  if (!Create(kClassName, L"cv3guard", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW, at.x, at.y, width,
              height, nullptr, nullptr)) {
    return false;
  }
  dpi = DpiOf(hwnd_);
  titleFont_ = CreateUiFont(dpi, 14, true, L"Verdana");
  font_ = CreateUiFont(dpi, 10, false, L"Verdana");
  CreateControl(hwnd_, L"STATIC", kLabel1, SS_CENTER | SS_NOPREFIX, 0, px(240), width - 2, px(420),
                0, titleFont_);
  CreateControl(hwnd_, L"STATIC", kLabel2, SS_CENTER | SS_NOPREFIX, 0, px(720), width - 2, px(300),
                0, font_);
  return true;
}

void frmLaunching::Show() {
  if (!hwnd_) return;
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void frmLaunching::Hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

LRESULT frmLaunching::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {  // the labels on the window's white
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_ERASEBKGND: {
      RECT area;
      GetClientRect(hwnd_, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_WINDOW));
      return 1;
    }
    case WM_MOUSEACTIVATE:  // a click on the notice leaves the focus where it is
      return MA_NOACTIVATE;
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3
