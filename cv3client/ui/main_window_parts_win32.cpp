#include "cv3client/ui/main_window_parts_win32.h"

#include <algorithm>
#include <utility>

#include "common/tray.h"
#include "cv3client/support/drawing_win32.h"
#include "cv3client/support/picture_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "win32/subclass_win32.h"
#include "win32/window_win32.h"

namespace cv3 {

HWND PicturePanel::Make(HWND parent) {
  // A screen reader reads a panel by its window text, which the panel never paints.
  Create(role_ == Role::kFrame ? L"Cv3FramePanel" : L"Cv3LogoPanel",
         role_ == Role::kFrame ? L"Roster" : L"Corvane logo",
         // The logo's transparent caption needs the picture painted under it.
         WS_CHILD | WS_VISIBLE | (role_ == Role::kFrame ? WS_CLIPCHILDREN : 0), 0, 0, 0, 0, 0,
         parent, nullptr);
  return hwnd_;
}

void PicturePanel::Paint(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  HBITMAP picture = role_ == Role::kFrame ? owner_->frameBitmap_ : owner_->logoBitmap_;
  if (!picture) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  } else if (role_ == Role::kFrame) {
    // The frame picture repeats seamlessly: tile it over any size.
    HBRUSH tile = CreatePatternBrush(picture);
    FillRect(dc, &client, tile);
    DeleteObject(tile);
  } else {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, owner_->logoSize_.cx,
               owner_->logoSize_.cy, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
}

LRESULT PicturePanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
    case WM_COMMAND:
      // The tree inside the frame reports to its parent; the main window handles it.
      return SendMessageW(owner_->hwnd(), message, wParam, lParam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      Paint(dc);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // The logo's caption stands over the picture: light text on the logo, black on white.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, owner_->logoBitmap_ ? RGB(0xF8, 0xF8, 0xF8) : RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
  }
  return Default(message, wParam, lParam);
}

}  // namespace cv3

namespace cv3 {

void LoadAppIcons(UINT dpi, HICON& large, HICON& small) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  int bigSize = MulDiv(32, static_cast<int>(dpi), 96),
      smallSize = MulDiv(16, static_cast<int>(dpi), 96);
  large = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, bigSize, bigSize, LR_DEFAULTCOLOR));
  small = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, smallSize, smallSize, LR_DEFAULTCOLOR));
}

HIMAGELIST LoadRosterImages(const std::wstring& programDir, UINT dpi) {
  GdiplusSession gdiplus;
  return LoadImageStrip(gdiplus, programDir + kRosterImages, MulDiv(16, static_cast<int>(dpi), 96));
}

HIMAGELIST LoadToolbarImages(const std::wstring& programDir, UINT dpi) {
  GdiplusSession gdiplus;
  return LoadImageStrip(gdiplus, programDir + kToolbarImages,
                        MulDiv(24, static_cast<int>(dpi), 96));
}

bool LoadFramePictures(const std::wstring& programDir, HBITMAP& logo, SIZE& logoSize,
                       HBITMAP& frame, SIZE& frameSize) {
  GdiplusSession gdiplus;
  Picture logoPicture = LoadPictureFile(gdiplus, programDir + kLogoPicture);
  Picture framePicture = LoadPictureFile(gdiplus, programDir + kFramePicture);
  if (!logoPicture || !framePicture) return false;
  logoSize = logoPicture.size();
  frameSize = framePicture.size();
  logo = logoPicture.release();
  frame = framePicture.release();
  return true;
}

std::string TrayActionFromPixels(int x, UINT dpi) {
  // The notification's number arrives as the x coordinate; in twips as the tray's decoding expects.
  double twipsPerPixel = 1440.0 / static_cast<double>(dpi ? dpi : 96);
  return TrayMouseMessage(x * twipsPerPixel, twipsPerPixel);
}

void DrawExpandSign(HDC dc, POINT centre, int reach, bool open, UINT dpi) {
  const COLORREF light = RGB(0xF8, 0xF8, 0xF8), dark = RGB(0x18, 0x22, 0x3C);
  int line = std::max(1, MulDiv(1, static_cast<int>(dpi), 96));
  auto fill = [dc](int left, int top, int right, int bottom, COLORREF colour) {
    RECT r{left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  };
  int x = centre.x, y = centre.y;
  fill(x - reach, y - reach, x + reach + 1, y + reach + 1, light);
  fill(x - reach + line, y - reach + line, x + reach + 1 - line, y + reach + 1 - line, dark);
  // The bars end a line's width short of the border; each is `line` thick through the centre.
  int arm = reach - 2 * line, half = line / 2;
  fill(x - arm, y - half, x + arm + 1, y - half + line, light);
  if (!open) fill(x - half, y - arm, x - half + line, y + arm + 1, light);
}

TreeMenuKeys::TreeMenuKeys(HWND tree, std::function<void()> open)
    : tree_(tree), open_(std::move(open)) {
  HookWindow(this, tree_);
}

TreeMenuKeys::~TreeMenuKeys() {
  if (IsWindow(tree_)) UnhookWindow(this, tree_);
}

void TreeMenuKeys::TreeViewMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result, bool& consumed) {
  bool shiftF10 = (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) && wParam == VK_F10 &&
                  (GetKeyState(VK_SHIFT) & 0x8000);
  bool menuKey = message == WM_CONTEXTMENU && lParam == -1;
  if (!shiftF10 && !menuKey) return;
  if (message != WM_SYSKEYUP) open_();
  result = 0;
  consumed = true;
}

struct TreeLook::State {
  HWND tree;
  Picture tile;
  TiledTreePainter painter;
};

TreeLook::TreeLook(HWND tree, const std::wstring& programDir) : state_(std::make_unique<State>()) {
  state_->tree = tree;
  GdiplusSession gdiplus;
  state_->tile = LoadPictureFile(gdiplus, programDir + kTilePicture);
  if (!state_->tile) return;
  state_->painter.SetTile(state_->tile.bitmap());
  HookWindow(&state_->painter, tree);
}

TreeLook::~TreeLook() {
  if (state_->tile && IsWindow(state_->tree)) UnhookWindow(&state_->painter, state_->tree);
}

bool TreeLook::ok() const { return static_cast<bool>(state_->tile); }

}  // namespace cv3
