// Drawing helpers of the roster tree's tiled look: colour translation, drawing a picture, a
// transparent copy between device contexts, and the painter that draws the tree over a tiled
// picture. Drawing objects are created and freed within each call. UI thread only.
#pragma once

#include "win32/subclass_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <olectl.h>
// clang-format on

namespace cv3 {

// The system window-background colour as an OLE colour.
inline constexpr OLE_COLOR kWindowBackground = 0x80000005;

// An RGB value for an OLE colour, which may name a system colour (0x800000xx). CLR_INVALID when
// the colour is not valid.
COLORREF TranslateOleColor(OLE_COLOR colour);

// A borrowed picture handle and what kind it is.
enum class PictureKind { kNone, kBitmap, kIcon };
struct PictureRef {
  PictureKind kind = PictureKind::kNone;
  HANDLE handle = nullptr;

  static PictureRef Bitmap(HBITMAP bitmap) { return {PictureKind::kBitmap, bitmap}; }
  static PictureRef Icon(HICON icon) { return {PictureKind::kIcon, icon}; }
};

// Draws `picture` into `target`. A bitmap: the width x height rectangle at (srcX, srcY) of the
// bitmap goes to (x, y), through a memory DC (with `palette` selected and realised when given).
// An icon: drawn at (x, y) in its own size. Returns false, drawing nothing, for a missing picture
// or one of another kind.
bool DrawPicture(HDC target, int x, int y, int width, int height, PictureRef picture, int srcX,
                 int srcY, HPALETTE palette = nullptr);

// Copies the width x height rectangle at (srcX, srcY) of `source` to (x, y) of `target`,
// leaving the target unchanged wherever the source has `transparent` (an OLE colour). Returns
// false, leaving the target unchanged, when the drawing objects cannot be made.
bool TransparentCopy(HDC target, int x, int y, int width, int height, HDC source, int srcX,
                     int srcY, OLE_COLOR transparent, HPALETTE palette = nullptr);

// Paints a tree-view control over a tiled picture: the control paints itself into a memory DC,
// and everything of it that has the window-background colour shows the tile instead. Feed it
// the hooked tree's messages (it is a HookOwner, or call TreeViewMessage from the owner's own):
//   WM_ERASEBKGND   consumed with 1 (the paint covers everything);
//   WM_HSCROLL, WM_VSCROLL, WM_MOUSEWHEEL   the whole tree is invalidated without erasing (the
//                   control would scroll the tile with its items), and the control goes on;
//   WM_PAINT        painted here and consumed with 0; the control's own paint, which this sends
//                   with the memory DC as wParam, passes through to the control;
//   anything else   left to the control.
// Without a tile every message is left to the control. The tile is borrowed: it must outlive
// the painter's use of it.
class TiledTreePainter : public HookOwner {
 public:
  TiledTreePainter() = default;
  explicit TiledTreePainter(HBITMAP tile) { SetTile(tile); }
  virtual ~TiledTreePainter() = default;

  // The tile picture; its size is read from the bitmap. nullptr switches the painter off.
  void SetTile(HBITMAP tile);
  HBITMAP tile() const { return tile_; }
  SIZE tileSize() const { return tileSize_; }

  void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                       bool& UseRetVal) override;

 private:
  void Paint(HWND hwnd);

  HBITMAP tile_ = nullptr;
  SIZE tileSize_{};
  bool painting_ = false;  // set during our own paint: its nested WM_PAINT goes to the control
};

}  // namespace cv3
