// The pieces of frmMain that are not its own logic: the frame and logo panels, the pictures and
// image lists loaded from the program's folder, the tray icon and the tiled tree. Kept apart so
// that frmMain reads as its layout and its messages.
#pragma once

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>

#include "win32/subclass_win32.h"
#include "win32/window_win32.h"

namespace cv3 {

class frmMain;

// The program's icon from its resources, large and small at the DPI.
void LoadAppIcons(UINT dpi, HICON& large, HICON& small);
// The roster's and the toolbar's image lists from the pictures below the program's folder;
// nullptr when the pictures are missing.
HIMAGELIST LoadRosterImages(const std::wstring& programDir, UINT dpi);
HIMAGELIST LoadToolbarImages(const std::wstring& programDir, UINT dpi);
// cvlogo.gif and bkgrnd.gif below "\pictures"; false when one cannot be read.
bool LoadFramePictures(const std::wstring& programDir, HBITMAP& logo, SIZE& logoSize,
                       HBITMAP& frame, SIZE& frameSize);

// picTVFrame (holds the tree and the logo, tiles the frame picture, passes the tree's
// notifications on to frmMain) and picLogo (the logo picture with lblLogoStatus over it). In the
// plain look both are white.
class PicturePanel : public Window {
 public:
  enum class Role { kFrame, kLogo };
  PicturePanel(frmMain* owner, Role role) : owner_(owner), role_(role) {}
  HWND Make(HWND parent);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);

  frmMain* owner_;
  Role role_;
};

// The "action" name of a tray notification whose lParam's low word, read as a mouse move's x
// pixels, is x.
std::string TrayActionFromPixels(int x, UINT dpi);

// The roster's expand box over the dark tile, centred on `centre`, its border `reach` pixels from
// the centre: a light border and sign ("-" when open, "+" when closed) on a dark fill.
void DrawExpandSign(HDC dc, POINT centre, int reach, bool open, UINT dpi);

// The roster's keys for a node's popup menu, hooked on the tree while it lives: Shift+F10 (which
// would open the menu bar) and the menu key (which comes as a context menu without a point) run
// `open`.
class TreeMenuKeys : private HookOwner {
 public:
  TreeMenuKeys(HWND tree, std::function<void()> open);
  ~TreeMenuKeys();
  TreeMenuKeys(const TreeMenuKeys&) = delete;
  TreeMenuKeys& operator=(const TreeMenuKeys&) = delete;

 private:
  void TreeViewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                       bool& consumed) override;

  HWND tree_;
  std::function<void()> open_;
};

// The tiled background behind the roster tree: hooks the tree while it lives.
class TreeLook {
 public:
  TreeLook(HWND tree, const std::wstring& programDir);
  ~TreeLook();
  bool ok() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace cv3
