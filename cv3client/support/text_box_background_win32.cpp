#include "cv3client/support/text_box_background_win32.h"

#include <algorithm>

namespace cv3 {
namespace {

int PositiveModulo(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

// Runs the message through the window once more, with `passing` set so that this hook lets it
// through: the procedures below it answer, and the hook can act after them.
LRESULT SendPast(bool& passing, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  passing = true;
  LRESULT result = SendMessageW(hwnd, message, wParam, lParam);
  passing = false;
  return result;
}

}  // namespace

bool cTextBoxBackground::SetBackdrop(HBITMAP picture) {
  cMemDC source;
  if (!source.InjectBitmap(picture)) return false;
  backdrop_.SetWidth(source.Width());
  backdrop_.SetHeight(source.Height());
  HDC to = backdrop_.hDC();
  bool copied =
      to && BitBlt(to, 0, 0, source.Width(), source.Height(), source.hDC(), 0, 0, SRCCOPY);
  source.ExtractBitmap();  // the picture keeps its bitmap
  return copied;
}

void cTextBoxBackground::TileArea(HDC to, int x, int y, int width, int height) {
  const int tileWidth = backdrop_.Width(), tileHeight = backdrop_.Height();
  HDC tile = tileWidth > 0 && tileHeight > 0 ? backdrop_.hDC() : nullptr;
  if (!tile) return;
  int sourceY = PositiveModulo(y, tileHeight);
  for (int row = y; row < y + height; sourceY = 0) {
    int rowHeight = std::min(tileHeight - sourceY, y + height - row);
    int sourceX = PositiveModulo(x, tileWidth);
    for (int column = x; column < x + width; sourceX = 0) {
      int columnWidth = std::min(tileWidth - sourceX, x + width - column);
      BitBlt(to, column, row, columnWidth, rowHeight, tile, sourceX, sourceY, SRCCOPY);
      column += columnWidth;
    }
    row += rowHeight;
  }
}

void cTextBoxBackground::Attach(HWND textBox) {
  Detach();
  if (!IsWindow(textBox)) return;
  box_ = textBox;
  parent_ = GetParent(textBox);
  HookWindow(this, box_);
  if (parent_) HookWindow(this, parent_);
}

void cTextBoxBackground::Detach() {
  if (!box_) return;
  UnhookWindow(this, box_);
  if (parent_) UnhookWindow(this, parent_);
  box_ = parent_ = nullptr;
  scrollState_ = 0;
}

void cTextBoxBackground::TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                         LRESULT& RetVal, bool& UseRetVal) {
  if (hwnd == box_) {
    if (wMsg == WM_PAINT && !passingPaint_) {
      RetVal = SendPast(passingPaint_, box_, wMsg, wParam, lParam);
      UseRetVal = true;
      AfterPaint();
    } else if (wMsg == WM_ERASEBKGND) {
      RetVal = 1;  // the repaint covers the whole box
      UseRetVal = true;
    } else if (wMsg == WM_DESTROY) {
      Detach();
    }
  } else if (hwnd == parent_) {
    if (wMsg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == box_ &&
        (HIWORD(wParam) == EN_HSCROLL || HIWORD(wParam) == EN_VSCROLL)) {
      scrollState_ = 1;  // the box has moved its pixels, tiles and all
    } else if ((wMsg == WM_CTLCOLOREDIT || wMsg == WM_CTLCOLORSTATIC) &&
               reinterpret_cast<HWND>(lParam) == box_ && !passingColour_) {
      // A read-only box asks with WM_CTLCOLORSTATIC.
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      RetVal = SendPast(passingColour_, parent_, wMsg, wParam, lParam);
      UseRetVal = true;
      AfterColour();
    }
  }
}

void cTextBoxBackground::AfterPaint() {
  switch (scrollState_) {
    case 0:
      Repaint();
      break;
    case 2:
      scrollState_ = 0;  // repainted at the colour message already
      break;
  }
}

void cTextBoxBackground::AfterColour() {
  switch (scrollState_) {
    case 1:
      scrollState_ = 2;
      Repaint();
      break;
    case 2:
      scrollState_ = 0;
      break;
    default:
      Repaint();
      break;
  }
}

void cTextBoxBackground::Repaint() {
  // The box's own drawing below asks for colours again: no repaint starts inside a repaint.
  if (drawing_ || !box_) return;
  drawing_ = true;
  RECT client{};
  GetClientRect(box_, &client);
  work_.SetWidth(client.right + 1);
  work_.SetHeight(client.bottom + 1);
  if (HDC work = work_.hDC()) {
    TileArea(work, 0, 0, work_.Width(), work_.Height());
    // The box draws only its text: its background erase is suppressed, its text transparent.
    SendMessageW(box_, WM_PRINT, reinterpret_cast<WPARAM>(work), PRF_CHECKVISIBLE | PRF_CLIENT);
    if (box_) {
      HDC screen = GetDC(box_);
      BitBlt(screen, 0, 0, work_.Width(), work_.Height(), work, 0, 0, SRCCOPY);
      ReleaseDC(box_, screen);
    }
  }
  drawing_ = false;
}

}  // namespace cv3
