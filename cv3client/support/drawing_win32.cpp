#include "cv3client/support/drawing_win32.h"

namespace cv3 {
namespace {

// A memory DC with a bitmap selected, put back and freed on destruction.
class MemorySurface {
 public:
  MemorySurface(HDC compatibleWith, HBITMAP bitmap) : bitmap_(bitmap) {
    dc_ = CreateCompatibleDC(compatibleWith);
    if (dc_ && bitmap_) previous_ = SelectObject(dc_, bitmap_);
  }
  ~MemorySurface() {
    if (dc_) {
      if (previous_) SelectObject(dc_, previous_);
      DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
  }
  MemorySurface(const MemorySurface&) = delete;
  MemorySurface& operator=(const MemorySurface&) = delete;

  bool ok() const { return dc_ && bitmap_ && previous_; }
  HDC dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_;
  HGDIOBJ previous_ = nullptr;
};

// A colour bitmap in the screen's format.
HBITMAP ScreenBitmap(int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

}  // namespace

COLORREF TranslateOleColor(OLE_COLOR colour) {
  COLORREF rgb = CLR_INVALID;
  if (OleTranslateColor(colour, nullptr, &rgb) != S_OK) return CLR_INVALID;
  return rgb;
}

bool DrawPicture(HDC target, int x, int y, int width, int height, PictureRef picture, int srcX,
                 int srcY, HPALETTE palette) {
  if (!picture.handle) return false;
  switch (picture.kind) {
    case PictureKind::kBitmap: {
      if (GetObjectType(picture.handle) != OBJ_BITMAP) return false;
      HDC memory = CreateCompatibleDC(nullptr);
      if (!memory) return false;
      HPALETTE previousPalette = nullptr;
      if (palette) {
        previousPalette = SelectPalette(memory, palette, FALSE);
        RealizePalette(memory);
      }
      HGDIOBJ previous = SelectObject(memory, picture.handle);
      BitBlt(target, x, y, width, height, memory, srcX, srcY, SRCCOPY);
      if (previous) SelectObject(memory, previous);
      if (previousPalette) SelectPalette(memory, previousPalette, FALSE);
      DeleteDC(memory);
      return true;
    }
    case PictureKind::kIcon:
      return DrawIconEx(target, x, y, static_cast<HICON>(picture.handle), 0, 0, 0, nullptr,
                        DI_NORMAL) != FALSE;
    case PictureKind::kNone:
      break;
  }
  return false;
}

bool TransparentCopy(HDC target, int x, int y, int width, int height, HDC source, int srcX,
                     int srcY, OLE_COLOR transparent, HPALETTE palette) {
  if (width <= 0 || height <= 0) return true;
  const COLORREF key = TranslateOleColor(transparent);
  if (key == CLR_INVALID) return false;

  MemorySurface result(nullptr, ScreenBitmap(width, height));
  MemorySurface copy(nullptr, ScreenBitmap(width, height));
  MemorySurface mask(nullptr, CreateBitmap(width, height, 1, 1, nullptr));
  if (!result.ok() || !copy.ok() || !mask.ok()) return false;
  HPALETTE previousPalettes[2] = {};
  if (palette) {
    previousPalettes[0] = SelectPalette(result.dc(), palette, FALSE);
    RealizePalette(result.dc());
    previousPalettes[1] = SelectPalette(copy.dc(), palette, FALSE);
    RealizePalette(copy.dc());
  }

  // The target as it is, and the source with the source's own colours.
  BitBlt(result.dc(), 0, 0, width, height, target, x, y, SRCCOPY);
  SetBkColor(copy.dc(), GetBkColor(source));
  SetTextColor(copy.dc(), GetTextColor(source));
  BitBlt(copy.dc(), 0, 0, width, height, source, srcX, srcY, SRCCOPY);

  // Colour to monochrome turns pixels of the background colour white, all others black.
  SetBkColor(copy.dc(), key);
  SetTextColor(copy.dc(), RGB(255, 255, 255));
  BitBlt(mask.dc(), 0, 0, width, height, copy.dc(), 0, 0, SRCCOPY);

  // Monochrome to colour maps white to the background colour and black to the text colour.
  // Target AND NOT mask: the source's transparent pixels become black.
  SetTextColor(copy.dc(), RGB(0, 0, 0));
  SetBkColor(copy.dc(), RGB(255, 255, 255));
  BitBlt(copy.dc(), 0, 0, width, height, mask.dc(), 0, 0, 0x220326);
  // Keep the target where the source is transparent, black where it is not; then paint the
  // source into the black holes.
  SetTextColor(result.dc(), RGB(0, 0, 0));
  SetBkColor(result.dc(), RGB(255, 255, 255));
  BitBlt(result.dc(), 0, 0, width, height, mask.dc(), 0, 0, SRCAND);
  BitBlt(result.dc(), 0, 0, width, height, copy.dc(), 0, 0, SRCPAINT);

  BitBlt(target, x, y, width, height, result.dc(), 0, 0, SRCCOPY);
  if (previousPalettes[0]) SelectPalette(result.dc(), previousPalettes[0], FALSE);
  if (previousPalettes[1]) SelectPalette(copy.dc(), previousPalettes[1], FALSE);
  return true;
}

void TiledTreePainter::SetTile(HBITMAP tile) {
  BITMAP info{};
  if (tile && GetObjectW(tile, sizeof info, &info) == sizeof info && info.bmWidth > 0 &&
      info.bmHeight > 0) {
    tile_ = tile;
    tileSize_ = {info.bmWidth, info.bmHeight};
  } else {
    tile_ = nullptr;
    tileSize_ = {};
  }
}

void TiledTreePainter::TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM, LPARAM, LRESULT& RetVal,
                                       bool& UseRetVal) {
  if (!tile_) return;
  switch (wMsg) {
    case WM_ERASEBKGND:
      RetVal = 1;
      UseRetVal = true;
      return;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
      InvalidateRect(hwnd, nullptr, FALSE);
      return;
    case WM_PAINT:
      if (painting_) return;
      painting_ = true;
      Paint(hwnd);
      painting_ = false;
      RetVal = 0;
      UseRetVal = true;
      return;
    default:
      return;
  }
}

void TiledTreePainter::Paint(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  PAINTSTRUCT paint{};
  HDC screen = BeginPaint(hwnd, &paint);
  if (!screen) return;
  if (width > 0 && height > 0) {
    MemorySurface tree(screen, CreateCompatibleBitmap(screen, width, height));
    MemorySurface tiled(screen, CreateCompatibleBitmap(screen, width, height));
    if (tree.ok() && tiled.ok()) {
      SendMessageW(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(tree.dc()), 0);
      for (int y = 0; y < height; y += tileSize_.cy) {
        for (int x = 0; x < width; x += tileSize_.cx) {
          DrawPicture(tiled.dc(), x, y, tileSize_.cx, tileSize_.cy, PictureRef::Bitmap(tile_), 0,
                      0);
        }
      }
      // The control's own background is the colour that lets the tile through.
      TransparentCopy(tiled.dc(), 0, 0, width, height, tree.dc(), 0, 0, kWindowBackground);
      BitBlt(screen, 0, 0, width, height, tiled.dc(), 0, 0, SRCCOPY);
    } else {
      // Out of drawing memory: the plain look is better than a hole.
      SendMessageW(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(screen), 0);
    }
  }
  EndPaint(hwnd, &paint);
}

}  // namespace cv3
